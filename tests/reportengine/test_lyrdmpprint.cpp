#include "print_report_util.h"
#include "print_test_util.h"

#include "reportengine/lyrdmpprint.h"

#include <QBuffer>

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
    LogPrinter *printer = installLogPrinter(log);
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

namespace {

// Texts that take their page's style keep it when the template is loaded:
// the style is switched on before the text and off only at the page's end.
struct PageStyleCase {
    int Style;
    const char *Name;
};

const PageStyleCase kPageStyles[] = {{fsxBold, "bold"},
                                     {fsxItalic | fsxUnderline, "italic underlined"},
                                     {fsxCondensed, "condensed"},
                                     {fsxBold | fsxWide, "bold wide"}};

}  // namespace

TEST_F(PrintReportTest, LoadedDotMatrixTextsTakeTheirPagesStyle)
{
    for (const PageStyleCase &c : kPageStyles) {
        SCOPED_TRACE(c.Name);
        {
            TlyrReport made;
            made.EngineOptions()->SetNewSilentMode(simSilent);
            made.PrintOptions()->ShowDialog = false;
            auto *page = new TlyrDMPPage(&made);
            page->SetName(QStringLiteral("Page1"));
            page->SetDefaults();
            page->SetFontStyle(c.Style);
            auto *band = new TlyrMasterData(page);
            band->SetName(QStringLiteral("MasterData1"));
            band->SetHeight(17);
            band->SetRowCount(1);
            auto *m = new TlyrDMPMemoView(&made);
            m->SetParent(band);
            m->SetName(QStringLiteral("Text1"));
            m->SetBounds(0, 0, 38.4, 17);
            m->SetText(QStringLiteral("WORD"));
            m->SetParentFont(true);
            ASSERT_TRUE(m->ParentFont());
            ASSERT_EQ(m->FontStyle(), c.Style);
            // Made on the band at once, as loading makes it.
            auto *direct = new TlyrDMPMemoView(band);
            EXPECT_TRUE(direct->ParentFont());
            EXPECT_EQ(direct->FontStyle(), c.Style);
            delete direct;
            QBuffer b;
            b.open(QIODevice::ReadWrite);
            made.SaveToStream(b);
            b.seek(0);
            report->LoadFromStream(b);
        }
        ASSERT_TRUE(report->Errors().isEmpty()) << report->Errors().join(u'\n').toStdString();
        auto *loaded = qobject_cast<TlyrDMPMemoView *>(report->FindObject(QStringLiteral("Text1")));
        ASSERT_NE(loaded, nullptr);
        EXPECT_TRUE(loaded->ParentFont());
        EXPECT_EQ(loaded->FontStyle(), c.Style);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        QStringList log;
        LogPrinter *printer = installLogPrinter(log);
        ASSERT_TRUE(pages().Print());
        const QByteArray on = lyrDMPStyleChange(0, c.Style);
        const QByteArray raw = printer->Raw;
        const qsizetype text = raw.indexOf("WORD");
        ASSERT_GE(text, 0) << raw.toHex(' ').toStdString();
        const qsizetype start = raw.indexOf(on);
        ASSERT_GE(start, 0) << raw.toHex(' ').toStdString();
        EXPECT_LT(start, text) << raw.toHex(' ').toStdString();
        // No style of the page is switched off before the text, each is after it.
        const QByteArray before = raw.mid(start + on.size(), text - start - on.size());
        for (int bit = 1; bit <= fsx15cpi; bit <<= 1) {
            if (!(c.Style & bit)) continue;
            const QByteArray off = lyrDMPStyleChange(bit, 0);
            EXPECT_EQ(before.indexOf(off), -1) << bit << ": " << raw.toHex(' ').toStdString();
            EXPECT_GT(raw.indexOf(off, text), text) << bit << ": " << raw.toHex(' ').toStdString();
        }
        lyrPrinters().SetPrinters({}, QString());
    }
}
