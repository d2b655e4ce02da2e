// The goods list (states, deletion by stock, labels by the filter) and the
// stock list with its totals.
#include "stock_fixture.h"

#include "core/ListFrame.h"
#include "core/MenuOpeners.h"
#include "platform/excel/excelreader.h"
#include "sales/GoodsLists.h"
#include "sales/Register.h"
#include "sales/StockPrint.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

using GoodsLists = StockTest;

TEST_F(GoodsLists, DeletionIsRefusedWhileStockIsAboveZero)
{
    exec("UPDATE SShop SET theCount=0.5 WHERE ID=" + a1);
    exec("UPDATE SShop SET theCount=-2 WHERE ID=" + b1);
    TfrmShop_M w;
    w.BitBtn1Click();
    auto select = [&](const QString &id) {
        for (int r = 0; r < w.rowCount(); ++r) {
            w.selectRow(r);
            if (w.field("ID") == id) return;
        }
    };
    select(a1);
    w.D2Click();
    EXPECT_EQ(msgs.last(), "该商品有库存，不能删除！");
    EXPECT_EQ(count("SShop", "theDel='否'"), 3);
    select(b1);
    msgs.answer(ui::Answer::No);
    w.D2Click();
    EXPECT_EQ(count("SShop", "theDel='否'"), 3);
    w.D2Click();
    EXPECT_EQ(one("select theDel from SShop where ID=" + b1), "是");
    EXPECT_EQ(w.rowCount(), 2);
}

TEST_F(GoodsLists, DisabledGoodsStayListedAndLabelsFollowTheFilterNotTheSort)
{
    TfrmShop_M w;
    EXPECT_FALSE(w.BitBtn4->isEnabled());
    w.Edit1->setText("xb");  // 雪碧 by its pinyin
    w.CheckBox2->setChecked(true);
    exec("UPDATE SShop SET thePY='XB' WHERE ID=" + b1);
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 1);
    w.selectRow(0);
    w.T1Click();
    EXPECT_EQ(one("select theState from SShop where ID=" + b1), "停用");
    w.selectRow(0);
    EXPECT_EQ(w.field("状态"), "停用");

    QStringList printed;
    sales::setLabelPrinter([&](const QString &where) { printed << where; });
    w.Edit1->setText("zz");  // edited but not queried
    w.TitleClick(2);
    ASSERT_TRUE(w.BitBtn4->isEnabled());
    w.BitBtn4Click();
    sales::setLabelPrinter({});
    ASSERT_EQ(printed.size(), 1);
    EXPECT_TRUE(printed[0].contains("xb")) << printed[0].toStdString();
    EXPECT_FALSE(printed[0].contains("zz"));
    EXPECT_EQ(count("SShop", "theDel='否'" + printed[0]), 1);
}

TEST_F(GoodsLists, StockListShowsOnlyKeptStockWithItsValue)
{
    exec("UPDATE SShop SET theCount=4, theCB=2.5 WHERE ID=" + a1);
    exec("UPDATE SShop SET theCount=-2 WHERE ID=" + b1);
    exec("UPDATE SShop SET theCount=7 WHERE ID=" + c1);  // no stock kept
    TfrmKC w;
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 2);
    w.selectRow(1);
    EXPECT_EQ(w.field("库存金额"), "10");
    EXPECT_EQ(w.total("库存数量"), "2");
    w.RadioButton2->click();
    ASSERT_EQ(w.rowCount(), 1);
    EXPECT_EQ(w.total("库存数量"), "-2");
    EXPECT_EQ(w.total("库存金额"), "-6");
    w.RadioButton3->click();
    EXPECT_EQ(w.rowCount(), 0);
    QStringList labels;
    for (QLabel *l : w.TotalLabels) labels << l->text();
    EXPECT_EQ(labels, QStringList({"库存数量：0", "库存金额：0"}));
    // The export's totals row holds the same "0" twice.
    sales::registerWindows();
    velmora::TListFrame::setExportFolder(dir.path());
    velmora::TListFrame::setExportOpener([](const QString &) { return true; });
    const int shown = msgs.count();
    const excel::ReadResult e = excel::readWorkbook(w.BitBtn3Click());
    ASSERT_TRUE(e.ok());
    EXPECT_EQ(msgs.count(), shown);  // opened: nothing to say
    ASSERT_EQ(e.sheet.rowCount(), 2);
    EXPECT_EQ(e.sheet.cell(1, 0), "合计");
    EXPECT_EQ(e.sheet.cell(1, 6), "0");
    EXPECT_EQ(e.sheet.cell(1, 7), "0");
    // No program opens the file: the user is told where it was written.
    velmora::TListFrame::setExportOpener([](const QString &) { return false; });
    const QString path = w.BitBtn3Click();
    ASSERT_TRUE(QFileInfo::exists(path));
    ASSERT_EQ(msgs.count(), shown + 1);
    EXPECT_TRUE(msgs.last().contains(QDir::toNativeSeparators(path))) << msgs.last().toStdString();
    EXPECT_TRUE(msgs.last().contains("没有能打开")) << msgs.last().toStdString();
    velmora::TListFrame::setExportOpener([](const QString &) { return true; });
}

TEST_F(GoodsLists, MenuRowsOpenTheLists)
{
    sales::registerWindows();
    for (const char *key : {"503", "506", "509", "510", "513", "514", "517"}) {
        const velmora::WindowRow *row = velmora::findWindow(key);
        ASSERT_NE(row, nullptr) << key;
        EXPECT_TRUE(row->opener) << key;
        EXPECT_NE(row->openFlag, nullptr) << key;
        ASSERT_TRUE(row->layout) << key;
    }
}

}  // namespace
