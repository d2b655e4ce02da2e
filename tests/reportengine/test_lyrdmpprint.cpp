#include "print_report_util.h"
#include "print_test_util.h"

#include "reportengine/lyrdmpprint.h"

namespace {

QByteArray esc(const char *rest, int n)
{
    return QByteArray("\x1b") + QByteArray(rest, n);
}

}  // namespace

TEST(DotMatrixRaw, StyleChangesUseTheEscapeCommands)
{
    EXPECT_EQ(lyrDMPStyleChange(0, 0), QByteArray());
    EXPECT_EQ(lyrDMPStyleChange(0, fsxBold | fsxUnderline), esc("E", 1) + esc("-\x01", 2));
    EXPECT_EQ(lyrDMPStyleChange(fsxBold | fsxUnderline, 0), esc("F", 1) + esc("-\x00", 2));
    EXPECT_EQ(lyrDMPStyleChange(0, fsxItalic), esc("4", 1));
    EXPECT_EQ(lyrDMPStyleChange(fsxItalic, 0), esc("5", 1));
    EXPECT_EQ(lyrDMPStyleChange(0, fsxSuperScript), esc("S\x00", 2));
    EXPECT_EQ(lyrDMPStyleChange(fsxSuperScript, fsxSubScript), esc("S\x01", 2));
    EXPECT_EQ(lyrDMPStyleChange(fsxSubScript, 0), esc("T", 1));
    EXPECT_EQ(lyrDMPStyleChange(0, fsxCondensed), QByteArray("\x0f"));
    EXPECT_EQ(lyrDMPStyleChange(fsxCondensed, 0), QByteArray("\x12"));
    EXPECT_EQ(lyrDMPStyleChange(0, fsxWide), esc("W\x01", 2));
    EXPECT_EQ(lyrDMPStyleChange(fsxWide, 0), esc("W\x00", 2));
    EXPECT_EQ(lyrDMPStyleChange(0, fsx12cpi), esc("M", 1));
    EXPECT_EQ(lyrDMPStyleChange(fsx12cpi, fsx15cpi), esc("g", 1));
    EXPECT_EQ(lyrDMPStyleChange(fsx15cpi, 0), esc("P", 1));
}

TEST_F(PrintReportTest, DotMatrixFramesAndUncollatedCopies)
{
    TlyrMasterData *band = pageWithBand<TlyrDMPPage>(51, 2, true);
    auto *page = static_cast<TlyrDMPPage *>(band->Page());
    auto *m = new TlyrDMPMemoView(report.get());
    m->SetName(QStringLiteral("Boxed"));
    m->SetParent(band);
    m->SetBounds(9.6, 17, 28.8, 17);
    m->Frame()->SetTyp(ftAll);
    m->SetText(QStringLiteral("[Line#]"));
    // Objects with the parent's font take the page's style.
    m->SetParentFont(true);
    page->SetFontStyle(fsxCondensed);
    ASSERT_EQ(m->FontStyle(), fsxCondensed);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    ASSERT_EQ(pages().Count(), 2);
    QStringList log;
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<LogPrinter>(log));
    auto *printer = static_cast<LogPrinter *>(list.back().get());
    lyrPrinters().SetPrinters(std::move(list), QString());
    report->PrintOptions()->Copies = 2;
    report->PrintOptions()->Collate = false;
    report->PrintOptions()->Reverse = true;
    ASSERT_TRUE(pages().Print());
    EXPECT_EQ(log.filter(QStringLiteral("raw")).size(), 1);

    // The page's condensed print is switched on first and off at the end;
    // the frame's lines run through the cells around the three-cell text
    // (a row above and below, a column either side), corners crossed.
    auto pageBytes = [](const char *n) {
        QByteArray b("\x0f");
        b += "\r\n";
        b += " +---+\r\n";
        b += QByteArray(" |") + n + "  |\r\n";
        b += " +---+\r\n";
        b += "\x12\f";
        return b;
    };
    const QByteArray expected = QByteArray("\x1b@") + pageBytes("2") + pageBytes("2") + pageBytes("1") + pageBytes("1");
    EXPECT_EQ(printer->Raw.toHex(' '), expected.toHex(' ')) << printer->Raw.toStdString();
    lyrPrinters().SetPrinters({}, QString());
}
