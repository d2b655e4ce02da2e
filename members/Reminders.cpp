#include "members/Reminders.h"

#include "core/DateCn.h"
#include "core/FileDialogs.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "members/AccountList.h"
#include "members/Openers.h"
#include "platform/media/sound.h"
#include "platform/safefile.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

using velmora::ListWhere;

namespace members {

void monthDayRange(ListWhere &w, const QString &column, const QString &from, const QString &to)
{
    const QString md = QStringLiteral("Mid(") + column + QStringLiteral(",6,5)");
    if (from <= to)
        w.add(QStringLiteral(" AND (") + md + QStringLiteral(" Between ? AND ?)"), {from, to});
    else  // across the new year: the end of one year and the start of the next
        w.add(QStringLiteral(" AND (") + md + QStringLiteral(" <> '') AND ((") + md + QStringLiteral(" >= ?) OR (") +
                      md + QStringLiteral(" <= ?))"),
              {from, to});
}

excel::ExportLayout birthdayListLayout()
{
    return excel::makeExportLayout("TfrmSRTX", "生日提醒", "会员表",
                                   "序号,会员卡号,会员分类,会员姓名,性别,公历生日,农历生日,联系方式,联系地址,享受折扣,"
                                   "积分比例,积分,累计消费,消费次数,消费日期,账户余额,录入人,录入日期,备注,状态",
                                   "会员卡号,联系方式", "");
}

excel::ExportLayout anniversaryListLayout()
{
    return excel::makeExportLayout("TfrmJNRTX", "纪念日提醒", "会员纪念日表",
                                   "序号 4,会员卡号 8,会员分类 8,会员姓名 10,性别 6,纪念日名称 12,纪念日 8,备注 16",
                                   "会员卡号", "", false);
}

}  // namespace members

namespace {

const QString kMonthDay = QStringLiteral("MM-dd");

QDate businessDate()
{
    return QDate::fromString(myLoginDate, velmora::kDateFormat);
}

// Two date pickers in the first row of a reminder's group: today and a month later.
void rangePickers(velmora::TListFrame *w, QHBoxLayout *row, QDateEdit **from, QDateEdit **to)
{
    const QDate today = QDate::currentDate();
    for (QDateEdit **d : {from, to}) {
        *d = new ui::DatePicker(d == from ? today : today.addMonths(1), w->GroupBox1);
        row->addWidget(
                new QLabel(d == from ? QStringLiteral("开始日期：") : QStringLiteral("截止日期："), w->GroupBox1));
        row->addWidget(*d);
    }
}

// Both dates of a reminder inside the lunar calendar's years.
bool rangeInLunarTable(QDateEdit *from, QDateEdit *to)
{
    return requireLunarTableDate(from) && requireLunarTableDate(to);
}

// "查看会员信息 &V" on the popup and a double click.
QAction *memberViewItem(velmora::TListFrame *w, std::function<void()> handler)
{
    QAction *a = members::listAction(w->PopupMenu1, w, QStringLiteral("查看会员信息 &V"), handler);
    QObject::connect(w->DBGrid1, &QAbstractItemView::doubleClicked, w, [handler] { ui::guarded(handler); });
    return a;
}

void viewMember(velmora::TListFrame *w)
{
    if (w->currentRow() < 0) return;
    members::openMemberView(w, w->field(QStringLiteral("会员卡号")));
}

const char *const kMemberColumns =
        "select theNum as 会员卡号,theType as 会员分类,theName as 会员姓名,theSex as 性别,theBir as 公历生日,"
        "NLBir as 农历生日,thePho as 联系方式,theAdd as 联系地址,theZK as 享受折扣,theJFBL as 积分比例,theJF as 积分,"
        "theXF as 累计消费,UseCount as 消费次数,UseDate as 消费日期,theCZ as 账户余额,theUser as 录入人,"
        "theDate as 录入日期,theTM as 体貌特征,theAH as 爱好,theCP as 车牌,Remark as 备注,theState as 状态";

velmora::ListSpec memberSpec(const QString &extraColumns, const QString &order)
{
    velmora::ListSpec s;
    s.select = QString::fromUtf8(kMemberColumns) + extraColumns;
    s.from = QStringLiteral("from Member");
    s.where = QStringLiteral("Where (theDel='否')");
    s.order = order;
    s.countLabel = QStringLiteral("会员数量：");
    s.widths = {{"会员姓名", 80}, {"联系方式", 80}, {"联系地址", 120}, {"享受折扣", 60},
                {"积分比例", 60}, {"积分", 60},     {"累计消费", 60},  {"账户余额", 60}};
    return s;
}

velmora::ListSpec birthdaySpec(const QString &column)
{
    velmora::ListSpec s = memberSpec({}, QStringLiteral("order by Mid(") + column + QStringLiteral(",6,5) desc, ID"));
    s.exportWindow = QStringLiteral("TfrmSRTX");
    return s;
}

}  // namespace

// ---------------------------------------------------------------- birthdays

TfrmSRTX::TfrmSRTX(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("生日提醒"));
    setSpec(birthdaySpec(m_orderColumn));
    GroupBox1->setTitle(QStringLiteral("生日提醒"));
    rangePickers(this, filterRow(0), &DateTimePicker1, &DateTimePicker2);
    RadioButton1 = new QRadioButton(QStringLiteral("公历生日"), GroupBox1);
    RadioButton2 = new QRadioButton(QStringLiteral("农历生日"), GroupBox1);
    RadioButton1->setChecked(true);
    filterRow(0)->addWidget(RadioButton1);
    filterRow(0)->addWidget(RadioButton2);
    ui::on(RadioButton1, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
    ui::on(RadioButton2, &QRadioButton::clicked, this, [this] { RadioButton2Click(); });
    BitBtn3->setEnabled(true);
    V1 = memberViewItem(this, [this] { V1Click(); });
}

void TfrmSRTX::RadioButton1Click()
{
    if (!RadioButton1->isChecked()) return;
    DateTimePicker1->setDate(businessDate());
    DateTimePicker2->setDate(QDate::currentDate().addMonths(1));
}

void TfrmSRTX::RadioButton2Click()
{
    if (!RadioButton2->isChecked()) return;
    // The lunar month-day shown as a date of the business year.
    const QString text = businessDate().toString(QStringLiteral("yyyy-")) + frmDM->myNL5(myLoginDate);
    const QDate d = QDate::fromString(text, velmora::kDateFormat);
    if (!d.isValid()) {
        ui::showMessage(ui::badDateMessage(text), this);
        return;
    }
    DateTimePicker1->setDate(d);
    DateTimePicker2->setDate(d.addMonths(1));
}

bool TfrmSRTX::filtersValid()
{
    if (rangeInLunarTable(DateTimePicker1, DateTimePicker2)) return true;
    m_today = false;
    return false;
}

void TfrmSRTX::baseCondition(ListWhere &w)
{
    const QString from = DateTimePicker1->date().toString(kMonthDay);
    const QString to = DateTimePicker2->date().toString(kMonthDay);
    if (m_today) {
        m_today = false;
        w.add(QStringLiteral(" AND ((Mid(theBir,6,5)=?) OR (Mid(NLBir,6,5)=?))"),
              {businessDate().toString(kMonthDay), frmDM->myNL5(myLoginDate)});
    } else if (RadioButton1->isChecked()) {
        members::monthDayRange(w, QStringLiteral("theBir"), from, to);
    } else if (RadioButton2->isChecked()) {
        members::monthDayRange(w, QStringLiteral("NLBir"), from, to);
    }
    // Lunar birthdays list in the order of their lunar month-day.
    const QString column = RadioButton2->isChecked() ? QStringLiteral("NLBir") : QStringLiteral("theBir");
    if (column != m_orderColumn) {
        m_orderColumn = column;
        setSpec(birthdaySpec(column));
    }
}

void TfrmSRTX::showToday()
{
    DateTimePicker1->setDate(businessDate());
    DateTimePicker2->setDate(businessDate());
    // Neither radio button stays ticked.
    RadioButton1->setAutoExclusive(false);
    RadioButton1->setChecked(false);
    RadioButton2->setChecked(false);
    RadioButton1->setAutoExclusive(true);
    m_today = true;
    BitBtn1Click();
}

void TfrmSRTX::V1Click()
{
    viewMember(this);
}

// ---------------------------------------------------------------- anniversaries

TfrmJNRTX::TfrmJNRTX(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("纪念日提醒"));
    velmora::ListSpec s;
    s.select = QStringLiteral(
            "select MJN.theNum as 会员卡号,theType as 会员分类,Member.theName as 会员姓名,theSex as 性别,"
            "MJN.theName as 纪念日名称,theJNR as 纪念日,MJN.Remark as 备注");
    s.from = QStringLiteral("from Member INNER JOIN MJN ON Member.theNum = MJN.theNum");
    s.where = QStringLiteral("Where (theDel='否')");
    s.order = QStringLiteral("ORDER BY Mid(theJNR,6,5) desc, MJN.ID");
    s.countLabel = QStringLiteral("会员纪念日数量：");
    s.exportWindow = QStringLiteral("TfrmJNRTX");
    setSpec(s);
    GroupBox1->setTitle(QStringLiteral("纪念日提醒"));
    rangePickers(this, filterRow(0), &DateTimePicker1, &DateTimePicker2);
    BitBtn3->setEnabled(true);
    V1 = memberViewItem(this, [this] { V1Click(); });
}

bool TfrmJNRTX::filtersValid()
{
    return rangeInLunarTable(DateTimePicker1, DateTimePicker2);
}

void TfrmJNRTX::baseCondition(ListWhere &w)
{
    members::monthDayRange(w, QStringLiteral("theJNR"), DateTimePicker1->date().toString(kMonthDay),
                           DateTimePicker2->date().toString(kMonthDay));
}

void TfrmJNRTX::showToday()
{
    DateTimePicker1->setDate(businessDate());
    DateTimePicker2->setDate(businessDate());
    BitBtn1Click();
}

void TfrmJNRTX::V1Click()
{
    viewMember(this);
}

// ---------------------------------------------------------------- sound

TfrmSound::TfrmSound(const QString &folder, QWidget *parent)
    : ui::Form(parent), m_player(std::make_unique<vplatform::SoundPlayer>())
{
    setWindowTitle(QStringLiteral("提醒声音设置"));
    auto *current = new QGroupBox(QStringLiteral("当前声音"), this);
    auto *g1 = new QGridLayout(current);
    Edit1 = new QLineEdit(folder + QStringLiteral("Music/1.mp3"), current);
    Edit1->setReadOnly(true);
    Button1 = ui::button(current, QStringLiteral("播放"), [this] { Button1Click(); });
    g1->addWidget(new QLabel(QStringLiteral("声音路径："), current), 0, 0);
    g1->addWidget(Edit1, 0, 1);
    g1->addWidget(Button1, 0, 2);
    auto *change = new QGroupBox(QStringLiteral("更换声音"), this);
    auto *g2 = new QGridLayout(change);
    Edit2 = new QLineEdit(change);
    Edit2->setReadOnly(true);
    Button2 = ui::button(change, QStringLiteral("打开"), [this] { Button2Click(); });
    Button3 = ui::button(change, QStringLiteral("试听"), [this] { Button3Click(); });
    g2->addWidget(new QLabel(QStringLiteral("声音路径："), change), 0, 0);
    g2->addWidget(Edit2, 0, 1);
    g2->addWidget(Button2, 0, 2);
    g2->addWidget(Button3, 0, 3);
    BitBtn1 = ui::button(this, QStringLiteral("替换"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(current);
    lay->addWidget(change);
    lay->addLayout(ui::buttonRow({BitBtn1, BitBtn2}));
    resize(520, 220);
    connect(m_player.get(), &vplatform::SoundPlayer::failed, this,
            [this](const QString &message) { ui::error(message, QStringLiteral("错误"), this); });
}

TfrmSound::~TfrmSound() = default;

void TfrmSound::Button1Click()
{
    playOrSay(Edit1->text());
}

void TfrmSound::playOrSay(const QString &path)
{
    if (!m_player->play(path)) ui::error(m_player->error(), QStringLiteral("错误"), this);
}

void TfrmSound::Button2Click()
{
    const QString f = velmora::chooseOpenFile(this, QStringLiteral("打开"), QStringLiteral("mp3文件 (*.mp3)"));
    if (!f.isEmpty()) Edit2->setText(f);
}

void TfrmSound::Button3Click()
{
    playOrSay(Edit2->text());
}

void TfrmSound::BitBtn1Click()
{
    m_player->stop();
    const QString from = Edit2->text();
    if (from.isEmpty()) {
        ui::fail(QStringLiteral("请打开声音文件！"), Button2);
        return;
    }
    // The new file is copied beside the old one and renamed over it: the
    // old sound stays until the new one is whole, and there is always one.
    const QString target = Edit1->text();
    QString why;
    const bool ok = vplatform::copyFileSafely(from, target, &why);
    if (!ok) {
        ui::warning(QStringLiteral("替换失败，当前声音没有改变！\n") + from + QStringLiteral(" -> ") + target +
                    QStringLiteral("\n") + why);
        return;
    }
    ui::showMessage(QStringLiteral("替换成功！"), this);
    Edit2->clear();
}

// ---------------------------------------------------------------- member reset

TfrmM_Q::TfrmM_Q(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("会员清零"));
    velmora::ListSpec s = memberSpec(QStringLiteral(",thePY,ID"), QStringLiteral("ORDER BY ID DESC"));
    s.hidden = {QStringLiteral("thePY"), QStringLiteral("ID")};
    setSpec(s);
    BitBtn3->hide();  // the reset does not export

    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComMType);
    choiceFilter(0, &CheckBox1, QStringLiteral("会员分类"), DBLookupComboBox1, QStringLiteral("theType"));
    Edit1 = textFilter(0, &CheckBox2, QStringLiteral("会员卡号"), QStringLiteral("theNum"));
    Edit2 = editFilter(0, &CheckBox3, QStringLiteral("会员姓名"), [](ListWhere &w, const QString &text) {
        const QString like = QStringLiteral("%") + text + QStringLiteral("%");
        w.add(QStringLiteral(" AND (theName like ? OR thePY Like ?)"), {like, like});
    });
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSex);
    choiceFilter(0, &CheckBox4, QStringLiteral("会员性别"), DBLookupComboBox2, QStringLiteral("theSex"));
    Edit3 = textFilter(1, &CheckBox5, QStringLiteral("联系方式"), QStringLiteral("thePho"));
    Edit4 = textFilter(1, &CheckBox6, QStringLiteral("联系地址"), QStringLiteral("theAdd"));
    Edit5 = textFilter(1, &CheckBox7, QStringLiteral("备        注"), QStringLiteral("Remark"));
    DBLookupComboBox3 = velmora::lookupBox(&TfrmDM::DBComUser);
    choiceFilter(1, &CheckBox8, QStringLiteral("录  入  人"), DBLookupComboBox3, QStringLiteral("theUser"));
    belowGrid()->addWidget(new QLabel(QStringLiteral("注意：清零操作是对所有查询出来的会员    "
                                                     "选择条件后，查询后，鼠标右键..."),
                                      this));

    J1 = members::listAction(PopupMenu1, this, QStringLiteral("积分清零 &J"), [this] { J1Click(); });
    PopupMenu1->addSeparator();
    C1 = members::listAction(PopupMenu1, this, QStringLiteral("消费次数清零 &C"), [this] { C1Click(); });
    E1 = members::listAction(PopupMenu1, this, QStringLiteral("消费金额清零 &E"), [this] { E1Click(); });
    N1 = members::listAction(PopupMenu1, this, QStringLiteral("消费日期清零 &R"), [this] { N1Click(); });
    PopupMenu1->addSeparator();
    Z1 = members::listAction(PopupMenu1, this, QStringLiteral("账户余额清零 &Z"), [this] { Z1Click(); });
}

void TfrmM_Q::reset(const QString &what, const QString &assignment)
{
    if (!queried()) return;
    if (!ui::ask(QStringLiteral("确认将查询后会员的") + what + QStringLiteral("清零吗？该清零将不可恢复！"),
                 // Titled by what it clears: a balance question under
                 // "会员积分清零" would be read as one about points.
                 QStringLiteral("会员") + what + QStringLiteral("清零"), this))
        return;
    // The condition of the last query, with its values bound.
    db().execute(QStringLiteral("UPdate Member Set ") + assignment + QStringLiteral(" Where (theDel='否') ") +
                         where().sql(),
                 where().values());
    Ref();
}

void TfrmM_Q::J1Click()
{
    reset(QStringLiteral("积分"), QStringLiteral("theJF=0"));
}
void TfrmM_Q::C1Click()
{
    reset(QStringLiteral("消费次数"), QStringLiteral("UseCount=0"));
}
void TfrmM_Q::E1Click()
{
    reset(QStringLiteral("消费金额"), QStringLiteral("theXF=0"));
}
void TfrmM_Q::N1Click()
{
    reset(QStringLiteral("消费日期"), QStringLiteral("UseDate=theDate"));
}
void TfrmM_Q::Z1Click()
{
    reset(QStringLiteral("账户余额"), QStringLiteral("theCZ=0"));
}
