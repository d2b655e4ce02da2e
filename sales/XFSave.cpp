// "保存" of the sale entry: every check and every number first, then the
// writes in one transaction, then the receipt, then the window is reset.

#include "sales/XF_In.h"

#include "core/NumToChar.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "platform/print/textprinter.h"
#include "platform/ui/checks.h"
#include "platform/ui/messages.h"

#include <QHash>
#include <cmath>

using ui::fail;
using velmora::isOn;
using velmora::toNumber;
using vdb::numberText;
using vdb::sqlNum;
using vdb::sqlText;

namespace {

struct Line {
    QString code, name, unit, category, py, id;
    double price = 0, count = 0, money = 0, cost = 0, zk = 0;
};

// A check that can only be made inside the transaction failed: the writes
// are rolled back and the message shown.
struct Refusal {
    QString message;
    QWidget *focus;
};

// The live member's stored value as it is now.
double storedValue(vdb::Connection &c, const QString &card)
{
    vdb::Query q(&c);
    mySql = QStringLiteral("Select theCZ From Member Where theNum='") + sqlText(card) + "' AND theDel='否'";
    q.OpenSql(mySql);
    return q.IsEmpty() ? 0.0 : q.FieldByName(QStringLiteral("theCZ")).AsFloat();
}

// The first line whose stock-tracked goods have less stock now than the
// quantity sold; -1 when every line is covered.
int firstShortLine(vdb::Connection &c, const std::vector<Line> &lines)
{
    QStringList ids;
    for (const Line &l : lines) ids << sqlNum(l.id);
    vdb::Query q(&c);
    mySql = QStringLiteral("Select ID,theKC,theCount from SShop Where ID IN (") + ids.join(QLatin1Char(',')) + ")";
    q.OpenSql(mySql);
    QHash<QString, double> stock;
    for (q.First(); !q.Eof(); q.Next())
        if (q.value(QStringLiteral("theKC")) == QStringLiteral("是"))
            stock.insert(q.value(QStringLiteral("ID")), q.FieldByName(QStringLiteral("theCount")).AsFloat());
    for (int i = 0; i < int(lines.size()); ++i) {
        auto it = stock.find(lines[i].id);
        if (it == stock.end()) continue;
        *it -= lines[i].count;  // the same goods on two lines share its stock
        if (*it < 0) return i;
    }
    return -1;
}

QString shortMessage(const Line &l)
{
    return QStringLiteral("商品 ") + l.code + " " + l.name + QStringLiteral(" 库存不足！");
}

}  // namespace

void TfrmXF_In::BitBtn1Click()
{
    StringGrid1->endEdit();
    const bool walkIn = CheckBox1->isChecked();
    const QString saleType = walkIn ? QStringLiteral("散客") : QStringLiteral("会员");
    // A walk-in sale belongs to no member, whatever the card box still shows.
    const QString card = walkIn ? QString() : Edit1->text();
    if (!walkIn && card.isEmpty()) return (void)fail(QStringLiteral("会员信息不能为空，请录入会员卡号！"), Ed_Num);
    if (walkIn) myJSRNum.clear();

    std::vector<Line> lines;
    for (int r = 1; r < StringGrid1->rowCount(); ++r) {
        if (!hasGoods(r)) continue;
        auto cell = [&](int c) { return StringGrid1->Cells(c, r); };
        Line l;
        l.code = cell(cCode);
        l.name = cell(cName);
        l.unit = cell(cUnit);
        l.category = cell(cType);
        l.py = cell(cPY);
        l.id = sqlNum(cell(cID));
        l.price = toNumber(cell(cPrice));
        l.count = toNumber(cell(cCount));
        l.money = toNumber(cell(cMoney));
        l.cost = fieldNumber(cell(cCB));
        l.zk = toNumber(cell(cZK));
        lines.push_back(l);
    }
    if (lines.empty()) return (void)fail(QStringLiteral("商品信息 不能为空！请重新选择"), StringGrid1);

    vdb::Connection &c = db();
    const bool checkStock = isOn(myDeptKC) && !isOn(myDeptFKC);
    if (checkStock) {
        const int i = firstShortLine(c, lines);
        if (i >= 0) return (void)fail(shortMessage(lines[i]), StringGrid1);
    }

    if (Edit21->text().isEmpty()) return (void)fail(QStringLiteral("折上折 不能为空，请录入！"), Edit21);
    double zsz = 0;
    if (!vdb::isSqlNumber(Edit21->text(), &zsz) || zsz > 100 || zsz <= 0)
        return (void)fail(QStringLiteral("折上折 错误，请重新录入！"), Edit21);
    const double goods = fieldNumber(Edit17->text());
    const double zr = fieldNumber(Edit18->text());
    const double hj = fieldNumber(Edit19->text());
    const double sj = fieldNumber(Edit27->text());
    if (hj < 0) return (void)fail(QStringLiteral("合计金额 不能小于0，请修改 折让金额！"), Edit18);
    if (sj > hj) return (void)fail(QStringLiteral("收款金额 录入错误，请重新录入！"), Edit27);
    const double owed = hj - sj;

    const QString payment = CheckBox4->isChecked() ? QStringLiteral("会员卡") : DBLookupComboBox3->Text();
    const bool cardPay = payment == QStringLiteral("会员卡");
    if (!walkIn && cardPay) {
        if (storedValue(c, card) < sj) {
            CheckBox4->setChecked(false);
            return (void)fail(QStringLiteral("会员 账户余额 不足，请选择其它收款方式！"), DBLookupComboBox3);
        }
        if (!askCardPassword(card, Edit3->text())) return;
    }
    if (walkIn && cardPay)
        return (void)fail(QStringLiteral("散客 不能用会员卡消费，请选择其它收款方式！"), DBLookupComboBox3);
    const QString cashier = DBLookupComboBox2->Text();
    const QString worker = DBLookupComboBox1->Text();
    if (cashier.isEmpty()) return (void)fail(QStringLiteral("请选择 收款人！"), DBLookupComboBox2);
    if (worker.isEmpty()) return (void)fail(QStringLiteral("请选择 员工姓名！"), DBLookupComboBox1);

    double points = 0;
    if (!walkIn) {
        points = hj * toNumber(Edit10->text());
        if (isOn(myDeptJFQL) && points > 0) points = std::trunc(points);
    }
    const QString pointsText = !walkIn && CheckBox3->isChecked() ? numberText(points) : QStringLiteral("0");
    const QString saleDate = DateTimePicker1->date().toString(velmora::kDateFormat);
    const QString remark = Edit20->text();
    const QString introducer = walkIn ? QString() : myJSRNum;

    QString number;
    try {
        vdb::Transaction tx(c);
        vdb::Query q(&c);
        if (!walkIn && cardPay) {
            if (storedValue(c, card) < sj)
                throw Refusal{QStringLiteral("会员 账户余额 不足，请选择其它收款方式！"), DBLookupComboBox3};
            frmDM->myMemberCZ(card, numberText(-sj));
        }
        if (checkStock) {
            const int i = firstShortLine(c, lines);
            if (i >= 0) throw Refusal{shortMessage(lines[i]), StringGrid1};
        }
        number = frmDM->NewXFNum();
        const QString dx = NumToChar(hj);
        double costTotal = 0, countTotal = 0;
        int bh = 0;
        for (const Line &l : lines) {
            ++bh;
            mySql = QStringLiteral("insert into UXF_List(theNum,SNum,theName,theUnit,thePrice,") +
                    "theCount,theMoney,theType,thePY,myBH," + "theCB,theZK,SID) Values('" + number + "','" +
                    sqlText(l.code) + "','" + sqlText(l.name) + "','" + sqlText(l.unit) + "'," + sqlNum(l.price) + "," +
                    sqlNum(l.count) + "," + sqlNum(l.money) + ",'" + sqlText(l.category) + "','" + sqlText(l.py) +
                    "','" + QString::number(bh) + "'," + sqlNum(l.cost) + "," + sqlNum(l.zk) + "," + sqlNum(l.id) + ")";
            q.ExecSql(mySql);
            costTotal += l.cost * l.count;
            countTotal += l.count;
            if (isOn(myDeptKC)) frmDM->myKC(l.id, numberText(-l.count));
            frmDM->myXF(l.id, numberText(l.count));
        }
        if (!walkIn) {
            if (CheckBox3->isChecked()) frmDM->myMemberJF(card, pointsText);
            frmDM->myMemberXF(card, numberText(hj));
            frmDM->myMemberUC(card, QStringLiteral("1"));
            frmDM->myMemberUD(card);
            frmDM->myMemberUP(card);
        }
        mySql = QStringLiteral("Insert Into UXF(theDate,theType,theNum,theHJ,theZR,") +
                "theSJ,MType,Remark,theDel,theUser," + "MNum,theJF,theZK,theDX,theCB," +
                "theCount,JSRNum,JSRTC,TCJF,TCMoney," + "WName,myDate,theYE,theSum) Values('" + sqlText(myLoginDate) +
                "','" + saleType + "','" + number + "'," + sqlNum(hj) + "," + sqlNum(zr) + "," + sqlNum(sj) + ",'" +
                sqlText(payment) + "','" + sqlText(remark) + "','否','" + sqlText(myUser) + "','" + sqlText(card) + "'," +
                sqlNum(pointsText) + "," + sqlNum(zsz) + ",'" + sqlText(dx) + "'," + sqlNum(costTotal) + "," +
                sqlNum(countTotal) + ",'" + sqlText(introducer) + "','否',0,0,'" + sqlText(worker) + "','" +
                sqlText(saleDate) + "'," + sqlNum(owed) + "," + sqlNum(goods) + ")";
        q.ExecSql(mySql);
        mySql = QStringLiteral("Insert Into UXF_SK (theNum, theMoney, theSMType, theSKR, SKDate) Values ('") + number +
                "', " + sqlNum(sj) + ", '" + sqlText(payment) + "', '" + sqlText(cashier) + "', '" + sqlText(saleDate) +
                "') ";
        q.ExecSql(mySql);
        tx.commit();
    } catch (const Refusal &r) {
        return (void)fail(r.message, r.focus);
    }
    m_lastNumber = number;

    // The sale is stored: a printer problem is told, and the window still
    // moves on so that a second "保存" cannot store it again.
    if (isOn(myDeptPXP) || isOn(myDeptPDJ)) {
        try {
            velmora::myPrintXF_Pos(number);
        } catch (const print::PrintError &e) {
            ui::warning(QStringLiteral("消费单 %1 已保存，但小票没有打印：\n%2").arg(number, e.message()));
        } catch (const vdb::DbError &e) {
            ui::warning(QStringLiteral("消费单 %1 已保存，但小票没有打印：\n%2").arg(number, e.message()));
        } catch (const std::exception &e) {
            ui::warning(QStringLiteral("消费单 %1 已保存，但小票没有打印：\n%2").arg(number, QString::fromUtf8(e.what())));
        }
    }

    if (CheckBox2->isChecked()) {
        myNew();
        Ed_Num->setFocus();
    } else {
        ui::showMessage(QStringLiteral("恭喜！恭喜！ 消费录入 保存成功！"), this);
        accept();
    }
}
