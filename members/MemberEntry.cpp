#include "members/MemberEntry.h"

#include "core/DateCn.h"
#include "core/IMCode.h"
#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/checks.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"

#include <QGridLayout>
#include <algorithm>
#include <QHBoxLayout>
#include <QVBoxLayout>

using members::MemberRecord;
using ui::fail;
using vdb::Statement;

namespace {
// The live member with a card.
Statement liveMemberQuery(const QString &card)
{
    return std::move(Statement("select * from Member Where theNum=:card and theDel='否'").text("card", card));
}
}  // namespace

// ---------------------------------------------------------------- shared

MemberEntry::MemberEntry(QWidget *parent, const QString &caption) : ui::Form(parent)
{
    setWindowTitle(caption);
    GroupBox1 = new QGroupBox(QStringLiteral("会员信息"), this);
    m_grid = new QGridLayout(GroupBox1);
    m_grid->setHorizontalSpacing(8);
    auto edit = [&](int maxLength) { return ui::lineEdit(GroupBox1, maxLength); };
    Edit1 = edit(velmora::kCardLength);
    Edit2 = edit(20);
    DBLookupComboBox1 = new ui::LookupComboBox(GroupBox1);
    Edit3 = edit(30);
    Edit4 = edit(10);
    Edit5 = edit(10);
    Edit6 = edit(50);
    Edit7 = edit(100);
    DBLookupComboBox2 = new ui::LookupComboBox(GroupBox1);
    Edit8 = edit(20);
    Edit9 = edit(20);
    Edit10 = edit(10);
    Edit11 = edit(velmora::kCardLength);
    ui::installKeyFilter(Edit4, ui::KeyFilter::Date);
    ui::installKeyFilter(Edit5, ui::KeyFilter::Date);

    auto label = [&](const QString &t, int row, int col) {
        auto *l = new QLabel(t, GroupBox1);
        m_grid->addWidget(l, row, col, Qt::AlignRight);
        return l;
    };
    auto hint = [&](int row) {
        auto *l = new QLabel(QStringLiteral("1980-01-01"), GroupBox1);
        l->setStyleSheet(QStringLiteral("color: gray"));
        m_grid->addWidget(l, row, 2);
    };
    const QString left[] = {QStringLiteral("会员卡号："), QStringLiteral("会员姓名："), QStringLiteral("会员性别："),
                            QStringLiteral("联系方式："), QStringLiteral("公历生日："), QStringLiteral("农历生日：")};
    QWidget *leftFields[] = {Edit1, Edit2, DBLookupComboBox1, Edit3, Edit4, Edit5};
    for (int r = 0; r < 6; ++r) {
        label(left[r], r, 0);
        m_grid->addWidget(leftFields[r], r, 1);
    }
    hint(4);
    hint(5);
    const QString right[] = {QStringLiteral("会员分类："), QStringLiteral("体貌特征："),
                             QStringLiteral("爱        好："), QStringLiteral("车        牌："),
                             QStringLiteral("介  绍  人：")};
    QWidget *rightFields[] = {DBLookupComboBox2, Edit8, Edit9, Edit10, Edit11};
    for (int r = 0; r < 5; ++r) {
        label(right[r], r, 3);
        m_grid->addWidget(rightFields[r], r, 4);
    }
    auto *jsrNote = new QLabel(QStringLiteral("介绍人请录入介绍人的会员卡号"), GroupBox1);
    jsrNote->setStyleSheet(QStringLiteral("color: blue"));
    m_grid->addWidget(jsrNote, 5, 3, 1, 2);
    label(QStringLiteral("联系地址："), 6, 0);
    m_grid->addWidget(Edit6, 6, 1, 1, 4);
    label(QStringLiteral("备        注："), 7, 0);
    m_grid->addWidget(Edit7, 7, 1, 1, 4);
    auto *notes = new QLabel(QStringLiteral("注：新增的会员的初始密码为 270946\n"
                                            "会员查询 里，查询后 右键 密码管理 可以修改密码"),
                             GroupBox1);
    notes->setStyleSheet(QStringLiteral("color: red"));
    m_grid->addWidget(notes, 8, 1, 1, 4);
    m_grid->setColumnMinimumWidth(1, 150);
    m_grid->setColumnMinimumWidth(4, 150);
    m_grid->setColumnStretch(1, 1);
    m_grid->setColumnStretch(4, 1);

    BitBtn1 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { BitBtn2Click(); });
    QHBoxLayout *buttons = ui::buttonRow({BitBtn1, BitBtn2});
    buttons->setObjectName(QStringLiteral("buttons"));
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(GroupBox1);
    lay->addLayout(buttons);

    frmDM->DBComSex(DBLookupComboBox1);
    frmDM->DBComMType(DBLookupComboBox2);
}

bool MemberEntry::normalizeLunar(const QString &typed, QString *stored, QString *message)
{
    QString monthDay, day, padded;
    if (typed.size() == 10) {
        monthDay = typed.right(5);
        day = typed.right(2);
        padded = typed.left(4) + QLatin1Char('-') + monthDay;
    } else if (typed.size() == 9) {
        monthDay = typed.right(4);
        day = typed.right(2);
        padded = typed.left(4) + QStringLiteral("-0") + monthDay;
    }
    if (!day.isEmpty() && day == QLatin1String("31")) {
        *message = QStringLiteral("农历没有31号，请重新录入！");
        return false;
    }
    // The lunar calendar has a 29th and 30th of the second month; no solar
    // check, but the year must be one.
    const bool yearGiven =
            padded.size() == 10 && padded.at(4) == u'-' &&
            std::all_of(padded.begin(), padded.begin() + 4, [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (yearGiven && (monthDay == QLatin1String("2-29") || monthDay == QLatin1String("2-30") ||
                      monthDay == QLatin1String("02-29") || monthDay == QLatin1String("02-30"))) {
        const int year = padded.left(4).toInt();
        if (year < LunarFirstYear || year > LunarLastYear) {
            *message = ui::badDateMessage(typed);
            return false;
        }
        *stored = padded;
        return true;
    }
    // Lunar years are those of the calendar's table, as for solar dates.
    const QDate d = ui::parseDate(typed);
    if (!InLunarTable(d)) {
        *message = ui::badDateMessage(typed);
        return false;
    }
    if (d.day() == 31) {  // typed short, as in "90-5-31"
        *message = QStringLiteral("农历没有31号，请重新录入！");
        return false;
    }
    *stored = d.toString(velmora::kDateFormat);
    return true;
}

void MemberEntry::BitBtn1Click()
{
    ui::trimFields({Edit1, Edit2, Edit11});
    const QString card = Edit1->text();
    const QString type = DBLookupComboBox2->Text();
    const QString introducer = Edit11->text();
    if (!ui::requireText(Edit1, QStringLiteral("会员卡号"))) return;
    if (type.isEmpty()) {
        fail(QStringLiteral("请选择 会员分类！"), DBLookupComboBox2);
        return;
    }
    if (!ui::requireText(Edit2, QStringLiteral("会员姓名"))) return;

    vdb::Query q(&db());
    if (!introducer.isEmpty()) {
        if (introducer == card) {
            fail(QStringLiteral("介绍人卡号 不能是 会员卡号，请重新录入！"), Edit11);
            return;
        }
        liveMemberQuery(introducer).open(q);
        if (q.IsEmpty()) {
            fail(QStringLiteral("介绍人卡号 不存在，请重新录入！"), Edit11);
            return;
        }
    }

    QString solar = Edit4->text();
    if (!solar.isEmpty()) {
        const QDate d = ui::parseDate(solar);
        if (!InLunarTable(d)) {
            fail(ui::badDateMessage(solar), Edit4);
            return;
        }
        solar = d.toString(velmora::kDateFormat);
    }
    QString lunar = Edit5->text();
    if (!lunar.isEmpty()) {
        QString message;
        if (!normalizeLunar(Edit5->text(), &lunar, &message)) {
            fail(message, Edit5);
            return;
        }
    }

    const QString zk = frmDM->myRetMType(type, QStringLiteral("theZK"));
    const QString ratio = frmDM->myRetMType(type, QStringLiteral("theJF"));
    if (!vdb::isSqlNumber(zk) || !vdb::isSqlNumber(ratio)) {
        fail(QStringLiteral("请选择 会员分类！"), DBLookupComboBox2);
        return;
    }
    const QString pinyin = MakePYCode(Edit2->text());

    velmora::NewMember n;
    n.num = card;
    n.type = type;
    n.name = Edit2->text();
    n.sex = DBLookupComboBox1->Text();
    n.pinyin = pinyin;
    n.bir = solar;
    n.nlBir = lunar;
    n.pho = Edit3->text();
    n.add = Edit6->text();
    n.remark = Edit7->text();
    n.tm = Edit8->text();
    n.ah = Edit9->text();
    n.cp = Edit10->text();
    n.introducer = introducer;
    n.zk = zk;
    n.jfbl = ratio;
    MemberRecord m = MemberRecord::of(n);

    const QString id = editId();
    const bool isEdit = !id.isEmpty() && id != QLatin1String("0");
    if (isEdit) {
        // The card password stays as the member set it.
        if (velmora::updateMember(db(), id, n) == 0) {
            fail(QStringLiteral("该会员已不存在，不能保存！"));
            return;
        }
    } else {
        liveMemberQuery(card).open(q);
        if (!q.IsEmpty()) {
            fail(QStringLiteral("会员卡号 已存在，请重新录入！"));
            return;
        }
        velmora::insertMember(db(), n);
        m.cz = m.jf = m.useCount = m.xf = QStringLiteral("0");
        m.date = myLoginDate;
        m.useDate = QStringLiteral("1900-01-01");
    }
    saved(m, isEdit);
}

void MemberEntry::clearMemberFields()
{
    for (QLineEdit *e : {Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9, Edit10, Edit11}) e->clear();
}

void MemberEntry::fillFrom(const MemberRecord &m)
{
    const std::pair<QLineEdit *, const QString *> fields[] = {
            {Edit1, &m.num}, {Edit2, &m.name}, {Edit3, &m.pho}, {Edit4, &m.bir}, {Edit5, &m.nlBir}, {Edit6, &m.add},
            {Edit7, &m.remark}, {Edit8, &m.tm}, {Edit9, &m.ah}, {Edit10, &m.cp}, {Edit11, &m.jsrNum}};
    for (const auto &[edit, value] : fields) ui::setStoredText(edit, *value);
    DBLookupComboBox1->setText(m.sex);
    DBLookupComboBox2->setText(m.type);
}

// ---------------------------------------------------------------- full entry

TfrmMember_In::TfrmMember_In(QWidget *parent) : MemberEntry(parent, QStringLiteral("会员录入"))
{
    frmMember_In = this;
    ui::installKeyFilter(Edit3, ui::KeyFilter::Date);  // the phone: digits and "-" here
    CheckBox1 = new QCheckBox(QStringLiteral("连续新增"), this);
    CheckBox1->setChecked(true);
    Lab_ID = new QLabel(QStringLiteral("0"), this);
    Lab_ID->setVisible(false);
    if (auto *buttons = findChild<QHBoxLayout *>(QStringLiteral("buttons"))) buttons->insertWidget(0, CheckBox1);
}

TfrmMember_In::~TfrmMember_In()
{
    if (frmMember_In == this) frmMember_In = nullptr;
}

void TfrmMember_In::myNew()
{
    setWindowTitle(QStringLiteral("会员录入"));
    Lab_ID->setText(QStringLiteral("0"));
    Edit1->setEnabled(true);
    Edit1->setText(frmDM->NewMNum());
    DBLookupComboBox1->setText(myDeptSex);
    DBLookupComboBox2->setText(myDeptMType);
    CheckBox1->setVisible(true);
    CheckBox1->setChecked(true);
    Edit2->setFocus();
}

bool TfrmMember_In::myEdit(const QString &id)
{
    vdb::Query q(&db());
    Statement("select * from Member where ID=:id").number("id", id).open(q);
    if (q.RecordCount() != 1) return false;
    setWindowTitle(QStringLiteral("会员修改"));
    Lab_ID->setText(q.value(QStringLiteral("ID")));
    fillFrom(MemberRecord::fromCurrentRow(q));
    CheckBox1->setChecked(false);
    CheckBox1->setVisible(false);
    Edit1->setEnabled(false);
    return true;
}

void TfrmMember_In::saved(const MemberRecord &m, bool wasEdit)
{
    if (!CheckBox1->isChecked()) {
        ui::showMessage(QStringLiteral("恭喜！恭喜！ 会员信息 保存成功！"));
        if (wasEdit) emit memberEdited(m.num);
        accept();
        return;
    }
    Edit1->setText(frmDM->NewMNum());
    clearMemberFields();
    Edit2->setFocus();
}

// ---------------------------------------------------------------- quick entry

TfrmNewMember::TfrmNewMember(QWidget *parent, ui::LookupTarget<MemberRecord> *target)
    : MemberEntry(parent, QStringLiteral("新增会员")), myTarget(target)
{
    frmNewMember = this;
    DBLookupComboBox2->setText(myDeptMType);
    DBLookupComboBox1->setText(myDeptSex);
    Edit1->setText(frmDM->NewMNum());
}

TfrmNewMember::~TfrmNewMember()
{
    if (frmNewMember == this) frmNewMember = nullptr;
}

bool TfrmNewMember::enter(QWidget *owner, ui::LookupTarget<MemberRecord> *target)
{
    TfrmNewMember dlg(owner, target);
    ui::showModal(&dlg);
    return dlg.wasSaved();
}

void TfrmNewMember::saved(const MemberRecord &m, bool)
{
    m_saved = true;
    MemberRecord handed = m;
    handed.jsrNum.clear();  // the quick entry hands no introducer on
    if (myTarget) myTarget->lookupTaken(handed, ui::LookupOrigin::QuickEntry);
    accept();
}
