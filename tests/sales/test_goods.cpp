// Goods categories, goods entry, quick entry, pinyin code and goods lookup.
#include "fixture.h"

#include "sales/FindShop.h"
#include "sales/SType.h"
#include "sales/Shop_In.h"

#include <QTest>

namespace {

// Collects what a lookup or quick entry hands back.
struct Catcher : GoodsTarget {
    std::vector<std::pair<GoodsRecord, ui::LookupOrigin>> got;
    void lookupTaken(const GoodsRecord &g, ui::LookupOrigin o) override { got.push_back({g, o}); }
};

class GoodsTest : public SalesTest {};

TEST_F(GoodsTest, NewCategoryGetsOneDiscountRowPerMemberTypeAndRefusesDuplicates)
{
    addType("金卡", "90", "2");
    exec("INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('停卡',80,3,'','停用',0)");
    TfrmSType w;
    w.Edit1->setText("饮料");
    w.Edit2->setText("冷饮's");
    w.CheckBox1->setChecked(true);
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 商品分类信息 保存成功！");
    EXPECT_EQ(rows("select theName,Remark,theState,theKC from SType"), QStringList{"饮料|冷饮's|启用|是"});
    // The seed type 普通会员 (100, 1), the two added, disabled ones too.
    EXPECT_EQ(rows("select MType,theZK,theJF from MTS where SType='饮料' order by MType"),
              QStringList({"停卡|80|3", "普通会员|100|1", "金卡|90|2"}));
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    EXPECT_TRUE(w.CheckBox1->isChecked());
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 1);

    w.Edit1->setText("饮料");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "商品分类 已存在，请重新录入！");
    EXPECT_EQ(count("SType"), 1);

    w.Edit1->clear();
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "商品分类 不能为空，请重新录入！");
}

TEST_F(GoodsTest, CategoryWithABrokenMemberTypeWritesNothing)
{
    exec("INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('坏卡',NULL,1,'','启用',0)");
    const QStringList before = snapshot();
    TfrmSType w;
    w.Edit1->setText("零食");
    w.BitBtn2Click();
    EXPECT_TRUE(msgs.last().contains("坏卡")) << msgs.last().toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(GoodsTest, StockSwitchTicksTheBoxOnShow)
{
    myDeptKC = "True";
    TfrmSType w;
    EXPECT_FALSE(w.CheckBox1->isChecked());
    w.FormShow();
    EXPECT_TRUE(w.CheckBox1->isChecked());
}

TEST_F(GoodsTest, StockItemsSetTheFlagOnTheCategoryAndAllItsGoods)
{
    addCategory("饮料");
    addGoods("a1", "可乐", "饮料", "3");
    addGoods("a2", "雪碧", "饮料", "3");
    exec("UPDATE SShop SET theDel='是' WHERE theNum='a2'");
    addGoods("b1", "薯片", "零食", "5");
    TfrmSType w;
    w.DBGrid1->selectRow(0);
    w.N4Click();
    EXPECT_EQ(one("select theKC from SType where theName='饮料'"), "否");
    EXPECT_EQ(count("SShop", "theType='饮料' AND theKC='否'"), 2);  // deleted goods too
    EXPECT_EQ(one("select theKC from SShop where theNum='b1'"), "是");
    w.DBGrid1->selectRow(0);
    w.N3Click();
    EXPECT_EQ(count("SShop", "theKC='是'"), 3);

    w.DBGrid1->selectRow(0);
    w.T1Click();
    EXPECT_EQ(one("select theState from SType where theName='饮料'"), "停用");
    w.DBGrid1->selectRow(0);
    w.Q1Click();
    EXPECT_EQ(one("select theState from SType where theName='饮料'"), "启用");
}

TEST_F(GoodsTest, CategoryWithLiveGoodsCannotBeDeleted)
{
    addCategory("饮料");
    setDiscount("普通会员", "饮料", "95");
    const QString id = addGoods("a1", "可乐", "饮料", "3");
    TfrmSType w;
    w.DBGrid1->selectRow(0);
    w.D1Click();
    EXPECT_EQ(msgs.last(), "该分类有商品信息，不能删除！");
    EXPECT_EQ(count("SType"), 1);

    exec("UPDATE SShop SET theDel='是' WHERE ID=" + id);
    msgs.answer(ui::Answer::No);
    w.D1Click();
    EXPECT_EQ(msgs.shown().back().caption, "删除");
    EXPECT_EQ(count("SType"), 1);

    msgs.answer(ui::Answer::Yes);
    w.D1Click();
    EXPECT_EQ(count("SType"), 0);
    EXPECT_EQ(count("MTS", "SType='饮料'"), 0);
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 0);
}

TEST_F(GoodsTest, GoodsEntryChecksInOrderAndWritesTheItem)
{
    addCategory("饮料", "否");
    addGoods("x", "旧的", "饮料", "1");
    exec("UPDATE SShop SET theDate='2026-03-07'");  // one item entered today already
    TfrmShop_In w;
    w.FormShow();
    EXPECT_EQ(w.Edit3->text(), "2603070002");

    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "请选择 商品分类！");
    w.DBLookupComboBox1->setText("饮料");
    const QString code = w.Edit3->text();
    w.Edit3->clear();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "商品编码 不能为空，请重新录入！");
    w.Edit3->setText(code);
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "商品名称 不能为空，请重新录入！");
    w.Edit1->setText("可口可乐");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "单位 不能为空，请重新录入！");
    w.Edit2->setText("瓶");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "单价 不能为空，请重新录入！");
    QTest::keyClicks(w.Edit4, "3a.5-");  // letters and minus are dropped
    EXPECT_EQ(w.Edit4->text(), "3.5");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "成本 不能为空，请重新录入！");
    w.Edit6->setText("1.2.3");  // the key filter lets this through
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "成本 不是有效的数字，请重新录入！");
    EXPECT_EQ(count("SShop"), 1);
    w.Edit6->setText("2");
    w.Edit5->setText("老板's 推荐");
    const int shown = msgs.count();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.count(), shown);  // continuous entry: no message
    EXPECT_EQ(rows("select theType,theName,theUnit,thePrice,Remark,thePY,theState,theNum,theDate,theDel,theCB,"
                   "theCount,theKC,theXF from SShop where theNum='" +
                   code + "'"),
              QStringList{"饮料|可口可乐|瓶|3.5|老板's 推荐|KKKL|启用|" + code + "|2026-03-07|否|2|0|否|0"});
    // Unit and category stay, the rest empties, the next code comes.
    EXPECT_EQ(w.Edit2->text(), "瓶");
    EXPECT_EQ(w.DBLookupComboBox1->Text(), "饮料");
    EXPECT_TRUE(w.Edit1->text().isEmpty() && w.Edit4->text().isEmpty() && w.Edit6->text().isEmpty());
    EXPECT_EQ(w.Edit3->text(), "2603070003");

    // A live code cannot be used again; a deleted item's code can.
    w.Edit3->setText(code);
    w.Edit1->setText("百事");
    w.Edit4->setText("3");
    w.Edit6->setText("1");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "商品编码 已存在，请重新录入！");
    exec("UPDATE SShop SET theDel='是' WHERE theNum='" + code + "'");
    w.CheckBox2->setChecked(false);
    w.BitBtn1Click();
    EXPECT_EQ(count("SShop", "theNum='" + code + "'"), 2);
    EXPECT_TRUE(w.Edit2->text().isEmpty());
}

TEST_F(GoodsTest, ChangingAnItemRecomputesPinyinAndStockFlagAndChecksTheCode)
{
    addCategory("饮料", "是");
    addCategory("服务", "否");
    const QString a = addGoods("a1", "可乐", "饮料", "3");
    addGoods("b1", "雪碧", "饮料", "3");
    exec("UPDATE SShop SET thePY='HAND', theCount=7 WHERE ID=" + a);
    TfrmShop_In w;
    int refreshed = 0;
    w.onChanged = [&] { ++refreshed; };
    w.myLoad(a);
    EXPECT_FALSE(w.CheckBox1->isChecked());
    w.Edit3->setText("b1");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "商品编码 已存在，请重新录入！");
    w.Edit3->setText("a9");
    w.Edit1->setText("洗车");
    w.DBLookupComboBox1->setText("服务");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 商品信息 保存成功！");
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(rows("select theNum,theName,thePY,theType,theKC,theCount from SShop where ID=" + a),
              QStringList{"a9|洗车|XC|服务|否|7"});
}

TEST_F(GoodsTest, QuickEntryHandsTheNewItemToItsOpener)
{
    addCategory("饮料", "否");
    myDeptSType = "饮料";
    Catcher catcher;
    TfrmNewShop w;
    EXPECT_EQ(w.DBLookupComboBox1->Text(), "饮料");
    EXPECT_EQ(w.Edit3->text(), "2603070001");
    w.myMType = "金卡";
    w.receiver = &catcher;
    w.Edit1->setText("可乐");
    w.Edit2->setText("瓶");
    w.Edit4->setText("4");
    w.Edit6->setText("2.5");
    w.BitBtn1Click();
    ASSERT_EQ(catcher.got.size(), 1u);
    const GoodsRecord &g = catcher.got[0].first;
    EXPECT_EQ(catcher.got[0].second, ui::LookupOrigin::QuickEntry);
    EXPECT_EQ(g.id, one("select ID from SShop where theNum='2603070001'"));
    EXPECT_EQ(QStringList({g.code, g.name, g.unit, g.price, g.category, g.py, g.cost, g.kc, g.count, g.memberType}),
              QStringList({"2603070001", "可乐", "瓶", "4", "饮料", "KL", "2.5", "否", "0", "金卡"}));
    EXPECT_EQ(msgs.count(), 0);
}

TEST_F(GoodsTest, PinyinWindowStoresTheCodeAsTyped)
{
    addCategory("饮料");
    const QString a = addGoods("a1", "可乐", "饮料", "3");
    TfrmShop_PY w;
    w.myLoad(a);
    EXPECT_EQ(w.Edit3->text(), "可乐");
    EXPECT_EQ(w.Edit7->text(), "A1");
    w.Edit7->clear();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "拼音码 不能为空，请重新录入！");
    w.Edit7->setText("kele'x");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 商品名称拼音码 保存成功！");
    EXPECT_EQ(one("select thePY from SShop where ID=" + a), "kele'x");
}

TEST_F(GoodsTest, LookupHandsTheChosenRowAndIgnoresTypedLetters)
{
    addCategory("饮料");
    addGoods("a1", "可乐", "饮料", "3", "1.5", "是", "8");
    addGoods("a2", "雪碧", "饮料", "4");
    Catcher catcher;
    TfrmFindShop w;
    w.receiver = &catcher;
    w.myMType = "金卡";
    w.ADOQuery1.setConnection(&c());
    w.ADOQuery1.OpenSql("select theType as 商品分类,theNum as 商品编码,theName as 商品名称,theUnit as 单位,"
                        "thePrice as 单价,Remark as 备注,ID,thePY,theCB,theKC,theCount from SShop order by theName");
    w.show();
    EXPECT_TRUE(w.DBGrid1->isColumnHidden(6));
    EXPECT_TRUE(w.DBGrid1->isColumnHidden(10));
    EXPECT_FALSE(w.DBGrid1->isColumnHidden(5));
    EXPECT_FALSE(TfrmFindShop::keyPasses(u'x'));
    EXPECT_TRUE(TfrmFindShop::keyPasses(u'('));
    w.DBGrid1->selectRow(1);
    QTest::keyClicks(w.DBGrid1, "kx");
    EXPECT_EQ(w.DBGrid1->currentRowIndex(), 1);
    EXPECT_TRUE(catcher.got.empty());
    w.DBGrid1->selectRow(0);
    QTest::keyClick(w.DBGrid1, Qt::Key_Return);
    ASSERT_EQ(catcher.got.size(), 1u);
    const GoodsRecord &g = catcher.got[0].first;
    EXPECT_EQ(QStringList({g.code, g.name, g.price, g.cost, g.kc, g.count, g.memberType}),
              QStringList({"a1", "可乐", "3", "1.5", "是", "8", "金卡"}));
    EXPECT_FALSE(w.isVisible());
}

TEST_F(GoodsTest, EscapeClosesTheLookupWithoutHandingAnything)
{
    addCategory("饮料");
    addGoods("a1", "可乐", "饮料", "3");
    Catcher catcher;
    TfrmFindShop w;
    w.receiver = &catcher;
    w.ADOQuery1.setConnection(&c());
    w.ADOQuery1.OpenSql("select theType as 商品分类,theNum as 商品编码,theName as 商品名称,theUnit as 单位,"
                        "thePrice as 单价,Remark as 备注,ID,thePY,theCB,theKC,theCount from SShop");
    w.show();
    QTest::keyClick(w.DBGrid1, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(catcher.got.empty());
}

}  // namespace
