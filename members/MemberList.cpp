#include "members/MemberList.h"

#include "core/MenuOpeners.h"
#include "core/dm.h"
#include "core/main.h"
#include "members/MemberRecord.h"
#include "members/Openers.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>

using velmora::ListWhere;

namespace members {

excel::ExportLayout memberListLayout()
{
    return excel::makeExportLayout(
            "TfrmMember_M", "会员查询", "会员表",
            "序号,会员卡号,会员分类,会员姓名,性别,公历生日,农历生日,联系方式,联系地址,体貌特征,"
            "爱好,车牌,享受折扣,积分比例,积分,累计消费,消费次数,消费日期,账户余额,录入人,录入日期,"
            "备注,状态,介绍人卡号",
            "会员卡号,公历生日,农历生日,联系方式,消费日期,录入日期", "15 积分,16 累计消费,17 消费次数,19 账户余额");
}

}  // namespace members

TfrmMember_M::TfrmMember_M(QWidget *parent) : TListFrame(parent), hasRight(velmora::holdsRight)
{
    setWindowTitle(QStringLiteral("会员查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral(
            "select theNum as 会员卡号,theType as 会员分类,theName as 会员姓名,theSex as 性别,theBir as 公历生日,"
            "NLBir as 农历生日,thePho as 联系方式,theAdd as 联系地址,theTM as 体貌特征,theAH as 爱好,theCP as 车牌,"
            "theZK as 享受折扣,theJFBL as 积分比例,theJF as 积分,theXF as 累计消费,UseCount as 消费次数,UseDate as "
            "消费日期,"
            "theCZ as 账户余额,theUser as 录入人,theDate as 录入日期,Remark as 备注,theState as 状态,JSRNum as "
            "介绍人卡号,"
            "thePY,ID");
    s.from = QStringLiteral("from Member");
    s.where = QStringLiteral("Where (theDel='否')");
    s.order = QStringLiteral("ORDER BY ID");
    s.tieBreak = QStringLiteral("ID");
    s.totals = QStringLiteral("select SUM(theJF) as 积分,SUM(theXF) as 累计消费,SUM(UseCount) as 消费次数,"
                              "SUM(theCZ) as 账户余额");
    s.countLabel = QStringLiteral("会员数量：");
    s.totalLabels = {
            {"积分：", "积分"}, {"累计消费：", "累计消费"}, {"消费次数：", "消费次数"}, {"账户余额：", "账户余额"}};
    s.widths = {{"会员姓名", 80}, {"联系方式", 90}, {"联系地址", 180}, {"享受折扣", 60}, {"积分比例", 60},
                {"积分", 60},     {"累计消费", 60}, {"消费次数", 60},  {"账户余额", 60}, {"备注", 200}};
    s.hidden = {QStringLiteral("thePY"), QStringLiteral("ID")};
    s.titleSort = true;
    s.exportWindow = QStringLiteral("TfrmMember_M");
    setSpec(s);

    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComMType);
    choiceFilter(0, &CheckBox1, QStringLiteral("会员分类"), DBLookupComboBox1, QStringLiteral("theType"));
    Edit1 = textFilter(0, &CheckBox2, QStringLiteral("会员卡号"), QStringLiteral("theNum"));
    Edit2 = editFilter(0, &CheckBox3, QStringLiteral("会员姓名"), [](ListWhere &w, const QString &text) {
        w.nameOrCode(QStringLiteral("theName"), QStringLiteral("thePY"), text);
    });
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSex);
    choiceFilter(0, &CheckBox4, QStringLiteral("会员性别"), DBLookupComboBox2, QStringLiteral("theSex"));
    Edit3 = textFilter(1, &CheckBox5, QStringLiteral("联系方式"), QStringLiteral("thePho"));
    Edit4 = textFilter(1, &CheckBox6, QStringLiteral("介  绍  人"), QStringLiteral("JSRNum"));
    Edit5 = textFilter(1, &CheckBox7, QStringLiteral("联系地址"), QStringLiteral("theAdd"));
    Edit6 = textFilter(1, &CheckBox8, QStringLiteral("备        注"), QStringLiteral("Remark"));
    DBLookupComboBox3 = velmora::lookupBox(&TfrmDM::DBComUser);
    choiceFilter(2, &CheckBox9, QStringLiteral("录  入  人"), DBLookupComboBox3, QStringLiteral("theUser"));
    Edit7 = textFilter(2, &CheckBox10, QStringLiteral("体貌特征"), QStringLiteral("theTM"));
    Edit8 = textFilter(2, &CheckBox11, QStringLiteral("爱        好"), QStringLiteral("theAH"));
    Edit9 = textFilter(2, &CheckBox12, QStringLiteral("车        牌"), QStringLiteral("theCP"));

    auto item = [this](const QString &text, void (TfrmMember_M::*handler)(), QKeySequence key = {}) {
        QAction *a = PopupMenu1->addAction(text);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(a);
        }
        ui::on(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    C1 = item(QStringLiteral("复制会员卡号 &C"), &TfrmMember_M::C1Click);
    PopupMenu1->addSeparator();
    F1 = item(QStringLiteral("消费录入 &1"), &TfrmMember_M::F1Click, QKeySequence(Qt::Key_F1));
    N2 = item(QStringLiteral("查看消费记录 &2"), &TfrmMember_M::N2Click);
    F2 = item(QStringLiteral("储值录入 &3"), &TfrmMember_M::F2Click, QKeySequence(Qt::Key_F2));
    N4 = item(QStringLiteral("查看储值记录 &4"), &TfrmMember_M::N4Click);
    F3 = item(QStringLiteral("兑换录入 &5"), &TfrmMember_M::F3Click, QKeySequence(Qt::Key_F3));
    N6 = item(QStringLiteral("查看兑换记录 &6"), &TfrmMember_M::N6Click);
    PopupMenu1->addSeparator();
    M1 = item(QStringLiteral("修改 &M"), &TfrmMember_M::M1Click);
    Y1 = item(QStringLiteral("修改拼音码 &Y"), &TfrmMember_M::Y1Click);
    P1 = item(QStringLiteral("密码管理 &P"), &TfrmMember_M::P1Click);
    J1 = item(QStringLiteral("纪念日管理 &J"), &TfrmMember_M::J1Click);
    Z1 = item(QStringLiteral("增加积分 &Z"), &TfrmMember_M::Z1Click);
    PopupMenu1->addSeparator();
    Q1 = item(QStringLiteral("启用 &Q"), &TfrmMember_M::Q1Click);
    T1 = item(QStringLiteral("停用 &T"), &TfrmMember_M::T1Click);
    PopupMenu1->addSeparator();
    D1 = item(QStringLiteral("注销 &D"), &TfrmMember_M::D1Click);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { ui::guarded([this] { M1Click(); }); });
}

TfrmMember_M::~TfrmMember_M() = default;

void TfrmMember_M::C1Click()
{
    if (currentRow() < 0) return;
    QApplication::clipboard()->setText(field(QStringLiteral("会员卡号")));
}

void TfrmMember_M::openForCard(const QString &mnum, const QString &key)
{
    if (currentRow() < 0 || !hasRight(mnum)) return;
    const velmora::CardOpener open = velmora::cardWindow(key);
    if (!open) {
        ui::showMessage(QStringLiteral("该功能 暂不可用！"), this);
        return;
    }
    open(this, field(QStringLiteral("会员卡号")));
}

void TfrmMember_M::listForCard(const QString &mnum)
{
    if (currentRow() < 0 || !hasRight(mnum)) return;
    const velmora::Opener open = velmora::findOpener(mnum);
    if (!open) {
        ui::showMessage(QStringLiteral("该功能 暂不可用！"), this);
        return;
    }
    QWidget *w = open(frmMain);
    auto *list = qobject_cast<velmora::TListFrame *>(w);
    if (!list) {
        delete w;
        return;
    }
    // Shown beside this list, without an open flag of its own.
    if (frmMain)
        frmMain->showMdiChild(list, nullptr);
    else
        list->show();
    list->showForCard(field(QStringLiteral("会员卡号")));
}

void TfrmMember_M::F1Click()
{
    openForCard(QStringLiteral("200"), QStringLiteral("200"));
}
void TfrmMember_M::N2Click()
{
    listForCard(QStringLiteral("201"));
}
void TfrmMember_M::F2Click()
{
    openForCard(QStringLiteral("300"), QStringLiteral("300"));
}
void TfrmMember_M::N4Click()
{
    listForCard(QStringLiteral("301"));
}
void TfrmMember_M::F3Click()
{
    openForCard(QStringLiteral("402"), QStringLiteral("402"));
}
void TfrmMember_M::N6Click()
{
    listForCard(QStringLiteral("403"));
}

void TfrmMember_M::M1Click()
{
    if (currentRow() < 0) return;
    members::openMemberEdit(this, field(QStringLiteral("ID")), [this] { Ref(); });
}

void TfrmMember_M::Y1Click()
{
    if (currentRow() < 0) return;
    members::openMemberPY(this, field(QStringLiteral("会员卡号")), field(QStringLiteral("会员分类")),
                          field(QStringLiteral("会员姓名")), field(QStringLiteral("thePY")), [this] { Ref(); });
}

void TfrmMember_M::P1Click()
{
    if (currentRow() < 0) return;
    members::openMemberPass(this, field(QStringLiteral("会员卡号")));
}

void TfrmMember_M::J1Click()
{
    if (currentRow() < 0) return;
    if (const velmora::CardOpener open = velmora::cardWindow(QStringLiteral("纪念日管理")))
        open(this, field(QStringLiteral("会员卡号")));
    else
        ui::showMessage(QStringLiteral("该功能 暂不可用！"), this);
}

void TfrmMember_M::Z1Click()
{
    if (currentRow() < 0) return;
    if (const velmora::CardOpener open = velmora::cardWindow(QStringLiteral("增加积分")))
        open(this, field(QStringLiteral("会员卡号")));
    else
        ui::showMessage(QStringLiteral("该功能 暂不可用！"), this);
}

void TfrmMember_M::Q1Click()
{
    if (currentRow() < 0) return;
    frmDM->myState(QStringLiteral("Member"), QStringLiteral("启用"), field(QStringLiteral("ID")));
    Ref();
}

void TfrmMember_M::T1Click()
{
    if (currentRow() < 0) return;
    frmDM->myState(QStringLiteral("Member"), QStringLiteral("停用"), field(QStringLiteral("ID")));
    Ref();
}

void TfrmMember_M::D1Click()
{
    if (currentRow() < 0) return;
    const QString card = field(QStringLiteral("会员卡号"));
    // The grid's balance may be old: the stored one decides, before the
    // question and again in the deleting transaction.
    vdb::Connection &c = *frmDM->ADOConnection1();
    QString refusal = members::removalRefusal(c, card);
    if (refusal.isEmpty()) {
        if (!ui::ask(QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), this)) return;
        refusal = members::removeMember(c, card);
    }
    if (!refusal.isEmpty()) ui::showMessage(refusal, this);
    Ref();
}
