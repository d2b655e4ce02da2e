#include "core/login.h"

#include "core/DateCn.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "core/main.h"
#include "platform/db/db.h"
#include "platform/ui/application.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QCloseEvent>
#include <QDate>
#include <QDateEdit>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Passwords are masked with "@".
class AtMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *ret) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter) return '@';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

}  // namespace

void velmora::maskPassword(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    auto *mask = new AtMaskStyle;
    mask->setParent(edit);
    edit->setStyle(mask);
}

TfrmLogin::TfrmLogin(QWidget *parent) : ui::Form(parent)
{
    frmLogin = this;
    setWindowTitle(QStringLiteral("软件登录"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);

    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setOpenLinks(false);
    WebBrowser1->setFrameShape(QFrame::NoFrame);
    WebBrowser1->setFixedHeight(130);
    WebBrowser1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    WebBrowser1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    GroupBox1 = new QGroupBox(QStringLiteral("软件登录"), this);
    Label1 = new QLabel(QStringLiteral("用  户  名："), GroupBox1);
    DBLookupComboBox1 = new ui::LookupComboBox(GroupBox1);
    Label2 = new QLabel(QStringLiteral("密        码："), GroupBox1);
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setMaxLength(20);
    velmora::maskPassword(Edit1);
    Label3 = new QLabel(QStringLiteral("营业日期："), GroupBox1);
    DateTimePicker1 = new ui::DatePicker(GroupBox1);

    auto *form = new QFormLayout(GroupBox1);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setContentsMargins(40, 14, 40, 10);
    form->setVerticalSpacing(10);
    form->addRow(Label1, DBLookupComboBox1);
    form->addRow(Label2, Edit1);
    form->addRow(Label3, DateTimePicker1);

    BitBtn1 = new QPushButton(QStringLiteral("登录"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);
    setDefaultButton(BitBtn1);
    BitBtn1->setMinimumWidth(80);
    BitBtn2->setMinimumWidth(80);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addSpacing(30);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->addWidget(WebBrowser1);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(12, 0, 12, 0);
    body->addWidget(GroupBox1);
    body->addLayout(buttons);
    layout->addLayout(body);
    setFixedWidth(440);

    ui::on(DBLookupComboBox1, &ui::LookupComboBox::Click, this, [this] { DBLookupComboBox1Click(); });
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ui::on(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

    FormCreate();
}

TfrmLogin::~TfrmLogin()
{
    if (frmLogin == this) frmLogin = nullptr;
}

QString TfrmLogin::pagePath(const QString &folder)
{
    return folder + QStringLiteral("help/login.html");
}

void TfrmLogin::FormCreate()
{
    frmDM->DBComUser(DBLookupComboBox1);
    // A page of the program itself: the window never goes to the network.
    const QString page = pagePath(frmMain ? frmMain->myFolder : velmora::programFolder());
    if (QFileInfo::exists(page)) WebBrowser1->setSource(QUrl::fromLocalFile(page));
    DateTimePicker1->setDate(QDate::currentDate());
}

void TfrmLogin::DBLookupComboBox1Click()
{
    Edit1->setFocus();
}

void TfrmLogin::BitBtn1Click()
{
    const QString name = DBLookupComboBox1->Text();
    if (name.isEmpty()) {
        ui::showMessage(QStringLiteral("用户名 不能为空，请选择 用户名！"), this);
        DBLookupComboBox1->setFocus();
        return;
    }
    const QString pass = Edit1->text();
    vdb::Query q(frmDM->ADOConnection1());
    mySql = QStringLiteral("select * from SUser where theName='") + vdb::sqlText(name) + "' AND thePass='" +
            vdb::sqlText(pass) + "'";
    q.OpenSql(mySql);
    if (q.RecordCount() != 1) {
        ui::showMessage(QStringLiteral("密码错误，请重新录入密码！"), this);
        Edit1->setFocus();
        return;
    }
    // The business date is shown and compared as a lunar date too.
    if (!requireLunarTableDate(DateTimePicker1)) return;
    const QString id = q.value(QStringLiteral("ID"));
    myUser = name;
    myPass = pass;
    myLoginDate = DateTimePicker1->date().toString(velmora::kDateFormat);

    // The rights first: what the main window opens on showing (the
    // reminders) opens only for a user who holds its right.
    mySql = QStringLiteral("select * from SLevel Where UID=") + vdb::sqlNum(id) + " order by MNum";
    q.OpenSql(mySql);
    for (q.First(); !q.Eof(); q.Next()) frmMain->applyRight(q.value(QStringLiteral("MNum")));

    hide();
    frmMain->showMaximized();
}

void TfrmLogin::BitBtn2Click()
{
    close();
}

void TfrmLogin::FormClose()
{
    velmora::terminateApplication();
}

void TfrmLogin::closeEvent(QCloseEvent *event)
{
    event->accept();
    FormClose();
}

void TfrmLogin::reject()
{
    close();
}
