#include "core/User.h"

#include "core/MenuCatalog.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "core/login.h"
#include "core/main.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"

#include <QFormLayout>
#include <QSet>
#include <QVBoxLayout>
#include <algorithm>

using vdb::Statement;

// ---------------------------------------------------------------- users

TfrmUser::TfrmUser(QWidget *parent)
    : TfrmNameList({QStringLiteral("SUser"), QStringLiteral("用户管理"), QStringLiteral("用户信息"),
                    QStringLiteral("用  户  名："), QStringLiteral("备        注："), QStringLiteral("用户名"),
                    QStringLiteral("用户信息"), 12,
                    QStringLiteral("select theName as 用户名,Remark as 备注,") + "theState as 状态,ID" + " from SUser",
                    -1, true, false, true},
                   parent)
{
    frmUser = this;
    Label3 = ui::note(GroupBox1, QStringLiteral("新增的用户初始化密码为 270946"));
    Label4 = ui::note(GroupBox1, QStringLiteral("新增的用户，请在用户列表里用鼠标右键设置操作权限"));
    auto *form = static_cast<QFormLayout *>(GroupBox1->layout());
    form->addRow(QString(), Label3);
    form->addRow(QString(), Label4);

    L1 = ui::menuItem(this, QStringLiteral("权限管理 &L"), [this] { L1Click(); });
    QAction *first = PopupMenu1->actions().value(0);
    PopupMenu1->insertAction(first, L1);
    PopupMenu1->insertSeparator(first);
}

TfrmUser::~TfrmUser()
{
    if (frmUser == this) frmUser = nullptr;
}

qint64 TfrmUser::nextUserId(vdb::Connection &c)
{
    vdb::Query q(&c);
    qint64 last = 0;
    auto atLeast = [&](const QString &sql) {
        q.OpenSql(sql);
        if (!q.IsEmpty()) last = std::max(last, q.FieldByIndex(0).AsInteger());
    };
    atLeast(QStringLiteral("select max(ID) from SUser"));
    atLeast(QStringLiteral("select max(UID) from SLevel"));
    q.OpenSql(QStringLiteral("select name from sqlite_master where name='sqlite_sequence'"));
    if (!q.IsEmpty()) atLeast(QStringLiteral("select seq from sqlite_sequence where name='SUser'"));
    return last + 1;
}

void TfrmUser::insertRow(vdb::Connection &c, const QString &name, const QString &remark)
{
    Statement(
            "Insert into SUser(ID,theName,thePass,Remark,theState,theDel) Values(:id,:name,:pass,:remark,'启用','否')")
            .integer("id", nextUserId(c))
            .text("name", name)
            .text("pass", velmora::kDefaultPassword)
            .text("remark", remark)
            .run(c);
}

void TfrmUser::deleteRow(vdb::Connection &c, const QString &id)
{
    // The rights go with the user: nobody inherits them.
    Statement("Delete from SLevel where UID=:id").number("id", id).run(c);
    TfrmNameList::deleteRow(c, id);
}

bool TfrmUser::mayChange(const QString &name, const QString &action)
{
    if (name != myUser) return true;
    return ui::fail(QStringLiteral("不能") + action + QStringLiteral("当前登录用户名！"));
}

void TfrmUser::L1Click()
{
    QString id, name;
    if (!currentRow(&id, &name)) return;
    TfrmLevel w(this);
    w.setUser(name, id);
    ui::showModal(&w);
}

// ---------------------------------------------------------------- rights

namespace {
// A right as the login reads it: top menu and item position.
int position(const QString &mnum)
{
    int top = 0, item = 0;
    return velmora::parseMenuNumber(mnum, &top, &item) ? top * 100 + item : -1;
}
}  // namespace

TfrmLevel::TfrmLevel(QWidget *parent) : ui::Form(parent)
{
    frmLevel = this;
    resize(760, 540);
    Label1 = new QLabel(QStringLiteral("勾选表示该用户拥有权限"), this);
    GroupBox1 = new QGroupBox(this);
    CheckListBox1 = new QListWidget(GroupBox1);
    // Four columns, filled from top to bottom.
    CheckListBox1->setFlow(QListView::TopToBottom);
    CheckListBox1->setWrapping(true);
    CheckListBox1->setResizeMode(QListView::Adjust);
    CheckListBox1->setUniformItemSizes(true);
    CheckListBox1->setGridSize(QSize(170, 22));
    auto *inner = new QVBoxLayout(GroupBox1);
    inner->addWidget(CheckListBox1);
    Lab_UID = new QLabel(QStringLiteral("0"), this);
    Lab_UID->setVisible(false);
    BitBtn1 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *main = new QVBoxLayout(this);
    main->addWidget(Label1);
    main->addWidget(GroupBox1, 1);
    main->addLayout(ui::buttonRow({BitBtn1, BitBtn2}));
}

TfrmLevel::~TfrmLevel()
{
    if (frmLevel == this) frmLevel = nullptr;
}

void TfrmLevel::setUser(const QString &name, const QString &id)
{
    const QString caption = name + QStringLiteral(" 的权限设置");
    setWindowTitle(caption);
    GroupBox1->setTitle(caption);
    Lab_UID->setText(id);
}

void TfrmLevel::FormShow()
{
    CheckListBox1->clear();
    vdb::Connection &c = db();
    vdb::Query rights(&c);
    Statement("Select MNum from SLevel where UID=:uid").number("uid", Lab_UID->text()).open(rights);
    QSet<int> granted;
    for (rights.First(); !rights.Eof(); rights.Next()) granted.insert(position(rights.value(QStringLiteral("MNum"))));

    vdb::Query menu(&c);
    mySql = QStringLiteral("select * from SMenu Order by MNum");
    menu.OpenSql(mySql);
    for (menu.First(); !menu.Eof(); menu.Next()) {
        const QString mnum = menu.value(QStringLiteral("MNum"));
        auto *item = new QListWidgetItem(mnum + QLatin1Char('&') + menu.value(QStringLiteral("MName")), CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        const int at = position(mnum);
        item->setCheckState(at >= 0 && granted.contains(at) ? Qt::Checked : Qt::Unchecked);
    }
}

QStringList TfrmLevel::items() const
{
    QStringList out;
    for (int i = 0; i < CheckListBox1->count(); ++i) out << CheckListBox1->item(i)->text();
    return out;
}

QStringList TfrmLevel::checkedNumbers() const
{
    QStringList out;
    for (int i = 0; i < CheckListBox1->count(); ++i)
        if (CheckListBox1->item(i)->checkState() == Qt::Checked) out << CheckListBox1->item(i)->text().left(3);
    return out;
}

void TfrmLevel::setChecked(const QString &mnum, bool on)
{
    for (int i = 0; i < CheckListBox1->count(); ++i)
        if (CheckListBox1->item(i)->text().left(3) == mnum)
            CheckListBox1->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void TfrmLevel::BitBtn1Click()
{
    vdb::Connection &c = db();
    const QString uid = Lab_UID->text();
    {
        vdb::Transaction tx(c);
        Statement("Delete from SLevel where UID=:uid").number("uid", uid).run(c);
        for (const QString &number : checkedNumbers())
            Statement("insert into SLevel(UID,MNum) Values(:uid,:mnum)").number("uid", uid).text("mnum", number).run(c);
        tx.commit();
    }
    ui::showMessage(GroupBox1->title() + QStringLiteral(" 保存成功！"), this);
    accept();
}

// ---------------------------------------------------------------- password

TfrmCPass::TfrmCPass(QWidget *parent) : ui::Form(parent)
{
    frmCPass = this;
    setWindowTitle(QStringLiteral("修改密码"));
    GroupBox1 = new QGroupBox(QStringLiteral("密码信息"), this);
    auto *form = new QFormLayout(GroupBox1);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLineEdit **edits[3] = {&Edit1, &Edit2, &Edit3};
    const char *labels[3] = {"原  密  码：", "新  密  码：", "确认密码："};
    for (int i = 0; i < 3; ++i) {
        *edits[i] = ui::lineEdit(GroupBox1, 20);
        velmora::maskPassword(*edits[i]);
        form->addRow(QString::fromUtf8(labels[i]), *edits[i]);
    }
    BitBtn1 = ui::button(this, QStringLiteral("确认"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1);
    main->addLayout(ui::buttonRow({BitBtn1, BitBtn2}));
}

TfrmCPass::~TfrmCPass()
{
    if (frmCPass == this) frmCPass = nullptr;
}

void TfrmCPass::BitBtn1Click()
{
    if (Edit1->text() != myPass) return (void)ui::fail(QStringLiteral("原密码 错误，请重新录入！"), Edit1);
    if (Edit2->text() == Edit1->text())
        return (void)ui::fail(QStringLiteral("新密码 与 原密码 一样，请重新录入！"), Edit2);
    if (Edit2->text() != Edit3->text())
        return (void)ui::fail(QStringLiteral("新密码 与 确认密码 不一致，请重新录入！"), Edit3);
    vdb::Connection &c = db();
    int changed = 0;
    {
        vdb::Transaction tx(c);
        changed = Statement("Update SUser set thePass=:pass Where theName=:user")
                          .text("pass", Edit2->text())
                          .text("user", myUser)
                          .run(c);
        tx.commit();
    }
    // The logged-in user may have gone with a restore: say so instead of ending the program.
    if (changed == 0)
        return (void)ui::fail(QStringLiteral("用户 ") + myUser + QStringLiteral(" 不存在，密码没有修改！"));
    myPass = Edit2->text();
    ui::show({QStringLiteral("密码修改成功！请重新登录！"), QStringLiteral("信息提示"), ui::Icon::Information,
              ui::Buttons::Ok},
             this);
    accept();
    velmora::terminateApplication();
}
