// The printed documents as the user meets them: saved sales, purchases and
// returns, and reprints from the lists, open the real preview window
// (answered through the scripted modal dialogs); the sale document printed
// from that window reaches a print queue with its texts.

#include "list_fixture.h"
#include "preview_window.h"
#include "stock_fixture.h"

#include "cups_daemon.h"
#include "reportengine/lyrprint.h"
#include "reportengine/lyrprintdialog.h"
#include "sales/GoodsLists.h"
#include "sales/StockLists.h"
#include "sales/XF_M.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QToolButton>

namespace {

class SalePreviewTest : public SaleListTest {
protected:
    void SetUp() override
    {
        SaleListTest::SetUp();
        exec("UPDATE SDept SET theName='好邻居'");
    }
    PreviewWindows preview;
};

TEST_F(SalePreviewTest, ASavedSaleWithTheDocumentSwitchOpensItsDocument)
{
    myDeptPDJ = "True";
    auto w = window();
    twoGoods(*w);
    XFTest::save(*w);
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    EXPECT_EQ(preview.modals.shown(), QStringList{"TlyrPreviewForm"});
    ASSERT_EQ(preview.seen.size(), 1u);
    const PreviewSeen &s = preview.seen[0];
    EXPECT_EQ(s.report, "lyrR_XF");
    EXPECT_EQ(s.pages, 1);
    const QString number = one("select theNum from UXF");
    EXPECT_TRUE(s.firstPage.contains("好邻居消费单")) << s.firstPage.join(" | ").toStdString();
    EXPECT_TRUE(s.firstPage.contains("消费单号：" + number)) << s.firstPage.join(" | ").toStdString();
    EXPECT_TRUE(s.firstPage.contains("可乐") && s.firstPage.contains("洗车"));
    // Closing the preview leaves the window ready for the next sale.
    EXPECT_TRUE(w->Edit1->text().isEmpty());

    // Without the switch nothing opens.
    myDeptPDJ = "False";
    twoGoods(*w);
    XFTest::save(*w);
    EXPECT_EQ(count("UXF"), 2);
    EXPECT_EQ(preview.seen.size(), 1u);
}

TEST_F(SalePreviewTest, TheSaleListReprintsTheSelectedSaleInThePreview)
{
    const QString n = save(sale());
    const QString walkIn = save(sale("38", "现金", true));
    TfrmXF_M w;
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        w.selectRow(row);
        w.X1Click();
    }
    ASSERT_EQ(preview.reports(), QStringList({"lyrR_XF", "lyrR_XF"}));
    QStringList numbers;
    for (const PreviewSeen &s : preview.seen)
        for (const QString &t : s.firstPage)
            if (t.startsWith("消费单号：")) numbers << t.mid(5);
    numbers.sort();
    QStringList expected{n, walkIn};
    expected.sort();
    EXPECT_EQ(numbers, expected);
}

// The goods list's "条码" shows the labels of the goods it finds.
TEST_F(SalePreviewTest, TheGoodsListShowsTheLabelsOfItsFilter)
{
    TfrmShop_M g;
    g.CheckBox3->setChecked(true);
    g.Edit2->setText("b1");
    g.BitBtn1Click();
    g.BitBtn4Click();
    ASSERT_EQ(preview.reports(), QStringList{"lyrR_TM"});
    EXPECT_EQ(preview.seen[0].pages, 1);
    EXPECT_TRUE(preview.seen[0].firstPage.contains("名称：洗车"));
    EXPECT_FALSE(preview.seen[0].firstPage.contains("名称：可乐"));
}

// pdftotext's reading of a PDF file's bytes.
QString pdfText(const QByteArray &pdf)
{
    QTemporaryFile f(QDir::tempPath() + QStringLiteral("/velmora-doc-XXXXXX.pdf"));
    if (!f.open()) return {};
    f.write(pdf);
    f.flush();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), f.fileName(), QStringLiteral("-")});
    if (!p.waitForFinished(30000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The cashier presses the print button of the preview and confirms the
// print dialog: the document comes out of the PDF queue with its texts.
TEST_F(SalePreviewTest, TheSaleDocumentPrintsFromThePreviewToThePdfQueue)
{
    auto cups = std::make_unique<PrivateCups>();
    if (!cups->ok) GTEST_SKIP() << cups->reason.toStdString();
    // The program's printer list is the private server's for this test only.
    lyrRefreshPrinters();
    const auto restore = qScopeGuard([&] {
        cups.reset();
        lyrRefreshPrinters();
    });
    QStringList dialogs;
    preview.onPreview = [](TlyrPreviewForm *f) { f->PrintB->click(); };
    preview.onOther = [&](QDialog *d) {
        dialogs << d->metaObject()->className();
        return int(qobject_cast<TlyrPrintDialog *>(d) ? QDialog::Accepted : QDialog::Rejected);
    };
    myDeptPDJ = "True";
    auto w = window();
    twoGoods(*w);
    XFTest::save(*w);
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    ASSERT_EQ(preview.reports(), QStringList{"lyrR_XF"});
    EXPECT_EQ(dialogs, QStringList{"TlyrPrintDialog"});

    const QList<QByteArray> jobs = cups->jobs(QStringLiteral("pdf"), 1);
    ASSERT_EQ(jobs.size(), 1);
    ASSERT_TRUE(jobs.first().startsWith("%PDF"));
    // Letters of one line may come apart into words: compare without spaces.
    const QString text = pdfText(jobs.first()).remove(u' ');
    EXPECT_TRUE(text.contains("好邻居消费单")) << text.toStdString();
    EXPECT_TRUE(text.contains("消费单号：" + one("select theNum from UXF"))) << text.toStdString();
    EXPECT_TRUE(text.contains("可乐")) << text.toStdString();
    EXPECT_TRUE(text.contains("洗车")) << text.toStdString();
    EXPECT_TRUE(text.contains("38.00")) << text.toStdString();
}

class StockPreviewTest : public StockTest {
protected:
    PreviewWindows preview;
};

TEST_F(StockPreviewTest, SavedPurchasesAndReturnsAndTheirListsOpenTheirDocuments)
{
    myDeptPJH = myDeptPTH = "True";
    {
        TfrmJH_In w;
        line(w, 1, "a1", "2", "3");
        save(w);
    }
    {
        TfrmTH_In w;
        line(w, 1, "b1", "3", "1");
        save(w);
    }
    ASSERT_EQ(preview.reports(), QStringList({"lyrR_JH", "lyrR_TH"}));
    const QString jh = one("select theNum from UJH"), th = one("select theNum from UTH");
    EXPECT_TRUE(preview.seen[0].firstPage.contains("进货单号：" + jh))
            << preview.seen[0].firstPage.join(" | ").toStdString();
    EXPECT_TRUE(preview.seen[1].firstPage.contains("退货单号：" + th))
            << preview.seen[1].firstPage.join(" | ").toStdString();
    EXPECT_EQ(preview.modals.shown(), QStringList({"TlyrPreviewForm", "TlyrPreviewForm"}));

    reprintTheOnlyDocument<TfrmJH_M>();
    reprintTheOnlyDocument<TfrmTH_M>();
    ASSERT_EQ(preview.reports(), QStringList({"lyrR_JH", "lyrR_TH", "lyrR_JH", "lyrR_TH"}));
    EXPECT_TRUE(preview.seen[2].firstPage.contains("进货单号：" + jh));
    EXPECT_TRUE(preview.seen[3].firstPage.contains("退货单号：" + th));
}

// A report that fails after the commit: the document stays saved, the user
// is told it was not printed, and no preview opens.
TEST_F(StockPreviewTest, AReportFailingAfterTheCommitSaysTheDocumentWasSaved)
{
    myDeptPJH = myDeptPTH = "True";
    for (TlyrReport *r : {frmDM->lyrR_JH, frmDM->lyrR_TH}) r->SetScriptText({"begin", "  x := ;", "end."});
    TfrmJH_In jh;
    line(jh, 1, "a1", "2", "3");
    msgs.clear();
    save(jh);
    TfrmTH_In th;
    line(th, 1, "b1", "3", "1");
    save(th);
    EXPECT_TRUE(preview.seen.empty());
    ASSERT_EQ(msgs.count(), 2);
    EXPECT_TRUE(msgs.texts()[0].startsWith("进货单 " + one("select theNum from UJH") + " 已保存，但没有打印"))
            << msgs.texts()[0].toStdString();
    EXPECT_TRUE(msgs.texts()[1].startsWith("退货单 " + one("select theNum from UTH") + " 已保存，但没有打印"))
            << msgs.texts()[1].toStdString();
    EXPECT_EQ(goods(a1), "13/2");
    EXPECT_TRUE(jh.Edit1->text().isEmpty() && th.Edit1->text().isEmpty());
}

}  // namespace
