#include "report/lyrclass.h"
#include "report/lyrdrawtext.h"
#include "report/lyrmemo.h"
#include "report/lyrvariables.h"
#include "report/lyrxmlserializer.h"
#include "drawing_test_helpers.h"
#include "script/ks_props.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class MemoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        report.EngineOptions()->SetNewSilentMode(simSilent);
        page = new TlyrPage(&report);
        page->SetName(QStringLiteral("Page1"));
        memo = new TlyrMemoView(page);
        memo->SetName(QStringLiteral("Memo1"));
        memo->SetBounds(0, 0, 200, 20);
    }
    // Lines of the memo 16 units high, with nothing between them.
    void sixteenUnitLines()
    {
        TlyrFont f;
        f.SetSize(12);
        memo->SetFont(&f);
        memo->SetLineSpacing(0);
        memo->SetGapY(0);
    }
    QString printed(const QString &text)
    {
        memo->SetText(text);
        memo->BeforePrint();
        memo->GetData();
        const QString out = memo->GetText();
        memo->AfterPrint();
        return out;
    }
    TlyrReport report;
    TlyrPage *page = nullptr;
    TlyrMemoView *memo = nullptr;
};

// A memo drawn, measured and compared keeps the default frame, highlight and
// display format without making them; asked for, they are there with the
// same values, and the memo is written the same either way.
TEST(LyrMemoParts, FrameHighlightAndFormatAreMadeWhenFirstAskedFor)
{
    TlyrMemoView m, other;
    m.SetBounds(0, 0, 100, 20);
    other.SetBounds(0, 0, 100, 20);
    m.SetText(QStringLiteral("合计 12.50"));
    TlyrRecordingCanvas c(96);
    m.Draw(c, 1, 1, 0, 0);
    EXPECT_GT(m.CalcHeight(), 0);
    EXPECT_EQ(m.Diff(&other), QStringLiteral(" u=\"合计 12.50\""));
    EXPECT_EQ(m.FormatData(KsValue(5)), QStringLiteral("5"));
    EXPECT_FALSE(m.HighlightActive());
    EXPECT_TRUE(m.findChildren<TlyrFrame *>().isEmpty());
    EXPECT_TRUE(m.findChildren<TlyrHighlight *>().isEmpty());
    EXPECT_TRUE(m.findChildren<TlyrFormat *>().isEmpty());
    EXPECT_EQ(m.FrameValue().Width(), 1);
    EXPECT_EQ(m.FrameValue().Typ(), 0);

    TlyrXMLSerializer ser(nullptr);
    const QByteArray untouched = ser.WriteComponentStr(&m);
    TlyrMemoView asked;
    asked.SetBounds(0, 0, 100, 20);
    asked.SetText(QStringLiteral("合计 12.50"));
    EXPECT_EQ(asked.Frame()->Width(), 1);
    EXPECT_EQ(asked.Highlight()->Font()->Color(), clRed);
    EXPECT_EQ(asked.DisplayFormat()->Kind(), fkText);
    EXPECT_EQ(ser.WriteComponentStr(&asked), untouched);

    asked.Frame()->SetTyp(ftAll);
    EXPECT_EQ(asked.FrameValue().Typ(), ftAll);
    EXPECT_EQ(asked.findChildren<TlyrFrame *>().size(), 1);
}

TEST_F(MemoTest, ExpressionsAreReplacedInPlace)
{
    EXPECT_EQ(printed(QStringLiteral("共 [1 + 2] 件")), QStringLiteral("共 3 件"));
    // Nested brackets stay inside one expression.
    EXPECT_EQ(printed(QStringLiteral("[Format('%2.2n', [1234.5])]")), QStringLiteral("1,234.50"));
    // A bracket inside a quoted string does not count.
    EXPECT_EQ(printed(QStringLiteral("<['a]b']>")), QStringLiteral("<a]b>"));
    // The template text comes back after printing.
    EXPECT_EQ(memo->GetText(), QStringLiteral("<['a]b']>"));
    // No closing bracket: the text stays.
    EXPECT_EQ(printed(QStringLiteral("a [1 + 2")), QStringLiteral("a [1 + 2"));
    memo->SetAllowExpressions(false);
    EXPECT_EQ(printed(QStringLiteral("[1 + 2]")), QStringLiteral("[1 + 2]"));
}

TEST_F(MemoTest, FormatSuffixes)
{
    EXPECT_EQ(printed(QStringLiteral("[1234.5 #n%2.2n]")), QStringLiteral("1,234.50"));
    EXPECT_EQ(printed(QStringLiteral("[1234.5 #n%2.2f]")), QStringLiteral("1234.50"));
    EXPECT_EQ(printed(QStringLiteral("[1234.5 #n%2,2f]")), QStringLiteral("1234,50"));
    EXPECT_EQ(printed(QStringLiteral("[1234.5 #n#,##0.00]")), QStringLiteral("1,234.50"));
    EXPECT_EQ(printed(QStringLiteral("[1 > 0 #bNo,Yes]")), QStringLiteral("Yes"));
    EXPECT_EQ(printed(QStringLiteral("[5 #n0.00]")), QStringLiteral("0.00"));
    // ")" after " #": not a format.
    EXPECT_EQ(printed(QStringLiteral("[Copy('a #b)', 1, 3)]")), QStringLiteral("a #"));
    EXPECT_EQ(printed(QStringLiteral("[TotalPages#]")), QStringLiteral("[TotalPages#]"));
}

TEST_F(MemoTest, DisplayFormatTakesNumericText)
{
    memo->DisplayFormat()->SetKind(fkNumeric);
    memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.2n"));
    EXPECT_EQ(memo->FormatData(KsValue(1234.5)), QStringLiteral("1,234.50"));
    EXPECT_EQ(memo->FormatData(KsValue(QStringLiteral("1234.5"))), QStringLiteral("1,234.50"));
    EXPECT_TRUE(report.Errors().isEmpty());
    EXPECT_EQ(memo->FormatData(KsValue(QStringLiteral("n/a"))), QStringLiteral("n/a"));
    ASSERT_EQ(report.Errors().size(), 1);
    EXPECT_TRUE(report.Errors()[0].startsWith(QStringLiteral("Memo1")));
}

// Amounts with half cents print rounded half away from zero in every
// numeric display format, given as numbers or as text from the database.
TEST_F(MemoTest, HalfCentsRoundAwayFromZeroInDisplayFormats)
{
    for (const char *amount : {"1.005", "2.675", "10.235", "0.015", "-1.005", "8.345"}) {
        SCOPED_TRACE(amount);
        const QString text = QString::fromLatin1(amount);
        // The cents of the amount's own digits: thousandths plus a half, cut.
        const bool negative = text.startsWith(u'-');
        const int thousandths = QString(text).remove(u'-').remove(u'.').toInt();
        const int cents = (thousandths + 5) / 10;
        const QString expected = (negative ? QStringLiteral("-") : QString()) +
                                 QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(printed(QStringLiteral("[%1 #n%2.2f]").arg(text)), expected);
        EXPECT_EQ(printed(QStringLiteral("[%1 #n#,##0.00]").arg(text)), expected);
        EXPECT_EQ(printed(QStringLiteral("[%1 #n%2.2n]").arg(text)), expected);
        memo->DisplayFormat()->SetKind(fkNumeric);
        memo->DisplayFormat()->SetFormatStr(QStringLiteral("#,##0.00"));
        EXPECT_EQ(memo->FormatData(KsValue(text)), expected);
        memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.2f"));
        EXPECT_EQ(memo->FormatData(KsValue(text.toDouble())), expected);
        memo->DisplayFormat()->SetKind(fkText);
    }
}

TEST_F(MemoTest, HideZerosAndSuppressRepeated)
{
    memo->SetHideZeros(true);
    EXPECT_EQ(printed(QStringLiteral("[0]")), QString());
    EXPECT_EQ(printed(QStringLiteral("['0']")), QStringLiteral("0"));
    memo->SetHideZeros(false);
    memo->SetSuppressRepeated(true);
    EXPECT_EQ(printed(QStringLiteral("[1 + 1]")), QStringLiteral("2"));
    EXPECT_EQ(printed(QStringLiteral("[1 + 1]")), QString());
    EXPECT_EQ(printed(QStringLiteral("[1 + 2]")), QStringLiteral("3"));
    memo->ResetSuppress();
    EXPECT_EQ(printed(QStringLiteral("[1 + 2]")), QStringLiteral("3"));
}

TEST_F(MemoTest, HighlightFollowsItsCondition)
{
    memo->Highlight()->SetCondition(QStringLiteral("2 > 1"));
    memo->Highlight()->SetColor(clYellow);
    printed(QStringLiteral("x"));
    EXPECT_TRUE(memo->Highlight()->Active);
    TlyrRecordingCanvas c(96);
    memo->Draw(c, 1, 1, 0, 0);
    ASSERT_FALSE(c.Texts.empty());
    EXPECT_EQ(c.Texts[0].Font.Color, clRed);
    EXPECT_EQ(c.Shapes.front().BrushColor, clYellow);
    // The highlight colour lasts for one drawing.
    EXPECT_EQ(memo->Color(), clNone);
}

TEST_F(MemoTest, RotationIsStoredModulo360)
{
    memo->SetRotation(370);
    EXPECT_EQ(memo->Rotation(), 10);
}

TEST_F(MemoTest, HeightsAndSplitting)
{
    sixteenUnitLines();
    memo->SetText(QStringLiteral("1\r\n2\r\n3"));
    EXPECT_EQ(memo->CalcHeight(), 48);
    // Exactly three lines high: the text rectangle reaches one past the
    // bottom edge, and the fitting height counts both ends.
    memo->SetHeight(46);
    memo->InitPart();
    EXPECT_DOUBLE_EQ(memo->DrawPart(), 0.0001);
    EXPECT_EQ(memo->PartRest(), QString());
    // Room for two: the third line goes on.
    memo->SetText(QStringLiteral("1\r\n2\r\n3"));
    memo->SetHeight(40);
    memo->InitPart();
    memo->DrawPart();
    EXPECT_EQ(memo->GetText(), QStringLiteral("1\r\n2"));
    EXPECT_EQ(memo->PartRest(), QStringLiteral("3\r\n"));
    // Not even one line: the memo's own height.
    memo->SetText(QStringLiteral("1\r\n2"));
    memo->SetHeight(10);
    memo->InitPart();
    EXPECT_EQ(memo->DrawPart(), 10);
}

// A long text, as one paragraph or as many lines, splits into full parts
// that hold all of it in order; each part lays out only the start of what
// is left, so this takes no longer than laying the text out once or twice.
TEST_F(MemoTest, ALongTextSplitsIntoFullPartsThatHoldAllOfIt)
{
    sixteenUnitLines();
    QStringList words;
    for (int i = 1; i <= 20000; ++i) words << QStringLiteral("w%1").arg(i);
    for (bool lines : {false, true}) {
        SCOPED_TRACE(lines ? "lines" : "one paragraph");
        memo->SetBounds(0, 0, 200, 20);
        memo->SetText(words.join(lines ? QStringLiteral("\r\n") : QStringLiteral(" ")));
        const int total = qRound(memo->CalcHeight() / 16);
        // Ten lines a part.
        memo->SetHeight(160);
        memo->InitPart();
        QString printed;
        int parts = 0;
        do {
            memo->DrawPart();
            printed += memo->GetText();
            ++parts;
        } while (!memo->PartEmpty() && parts <= total);
        EXPECT_EQ(parts, (total + 9) / 10);
        printed.remove(QRegularExpression(QStringLiteral("\\s")));
        EXPECT_EQ(printed, words.join(QString()));
    }
}

TEST_F(MemoTest, ChineseTextWrapsWithinTheWidth)
{
    memo->SetBounds(0, 0, 80, 20);
    memo->SetText(QStringLiteral("会员积分兑换商品明细表会员积分兑换商品明细表"));
    const double one = [&] {
        TlyrMemoView m;
        m.SetText(QStringLiteral("会"));
        return m.CalcHeight();
    }();
    EXPECT_GT(memo->CalcHeight(), 2 * one - 5);
    EXPECT_LE(memo->CalcWidth(), 600);
    TlyrRecordingCanvas c(96);
    memo->Draw(c, 1, 1, 0, 0);
    ASSERT_GT(c.Texts.size(), 1u);
    QString joined;
    for (const auto &t : c.Texts) {
        int w = 0;
        for (int a : t.Advances) w += a;
        EXPECT_LE(t.X + w, 80);
        joined += t.Text;
    }
    EXPECT_EQ(joined, memo->GetText());
}

TEST_F(MemoTest, MoneyColumnIsRightAligned)
{
    memo->SetHAlign(haRight);
    memo->SetBounds(100, 10, 80, 18);
    memo->Frame()->SetTyp(ftAll);
    TlyrRecordingCanvas c(96);
    for (const char *amount : {"1,234.50", "8.00", "12,000.00"}) {
        memo->SetText(QString::fromLatin1(amount));
        c.Clear();
        memo->Draw(c, 1, 1, 0, 0);
        ASSERT_EQ(c.Texts.size(), 1u);
        int end = c.Texts[0].X;
        for (int a : c.Texts[0].Advances) end += a;
        // Right edge of the text rectangle (frame and gap inside) minus one.
        EXPECT_EQ(end, int(memo->TextRect.Right) - 1) << amount;
    }
}

TEST_F(MemoTest, DiffWritesTheTextAndPassesTheParagraphFlag)
{
    TlyrMemoView ref;
    memo->SetText(QStringLiteral("a\r\nb"));
    memo->SetHAlign(haRight);
    memo->SetLastParaBreak(true);
    const QString d = memo->Diff(&ref);
    EXPECT_TRUE(d.contains(QStringLiteral(" HAlign=\"1\""))) << d.toStdString();
    EXPECT_TRUE(d.contains(QStringLiteral(" u=\"a&#13;&#10;b\""))) << d.toStdString();
    EXPECT_TRUE(d.endsWith(QStringLiteral(" LastParaBreak=\"1\"")));
    EXPECT_TRUE(memo->FirstParaBreak());
    EXPECT_FALSE(memo->LastParaBreak());
}

TEST_F(MemoTest, FlowToTakesTheRest)
{
    TlyrFont f;
    f.SetSize(12);
    memo->SetFont(&f);
    memo->SetLineSpacing(0);
    memo->SetGapY(0);
    memo->SetHeight(32);
    auto *next = new TlyrMemoView(page);
    next->SetName(QStringLiteral("Memo2"));
    memo->SetFlowTo(next);
    printed(QStringLiteral("1\r\n2\r\n3\r\n4"));
    // The passed text's final line break starts no empty line.
    EXPECT_EQ(next->Memo(), (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
    EXPECT_FALSE(next->AllowExpressions());
}

TEST_F(MemoTest, TemplateRoundTrip)
{
    auto *data = new TlyrDataPage(&report);
    data->SetName(QStringLiteral("Data"));
    memo->SetText(QStringLiteral("合计：[1 + 2]\r\nline 2"));
    memo->SetHAlign(haBlock);
    memo->SetVAlign(vaCenter);
    memo->SetGapX(3);
    memo->SetLineSpacing(4);
    memo->SetCharSpacing(1);
    memo->SetParagraphGap(5);
    memo->SetExpressionDelimiters(QStringLiteral("<%,%>"));
    memo->SetAllowHTMLTags(true);
    memo->SetWordBreak(true);
    memo->SetUnderlines(true);
    memo->SetRotation(90);
    memo->SetColor(clSilver);
    memo->DisplayFormat()->SetKind(fkNumeric);
    memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.2n"));
    memo->Highlight()->SetCondition(QStringLiteral("Value > 0"));
    memo->Frame()->SetTyp(ftAll);
    TlyrFont f;
    f.SetName(QStringLiteral("黑体"));
    f.SetSize(14);
    f.SetStyle(TlyrFont::fsBold);
    memo->SetFont(&f);
    auto *sys = new TlyrSysMemoView(page);
    sys->SetName(QStringLiteral("SysMemo1"));
    sys->SetText(QStringLiteral("[Page#] / [TotalPages#]"));
    sys->SetHAlign(haCenter);
    auto *next = new TlyrMemoView(page);
    next->SetName(QStringLiteral("Memo2"));
    memo->SetFlowTo(next);

    TlyrReport again;
    const QByteArray first = expectRoundTrip(report, again);
    EXPECT_TRUE(first.contains("HAlign=\"haBlock\"")) << first.toStdString();
    EXPECT_FALSE(first.contains("GapY"));
    auto *m2 = qobject_cast<TlyrMemoView *>(again.FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(m2->GetText(), memo->GetText());
    EXPECT_EQ(m2->FlowTo(), again.FindObject(QStringLiteral("Memo2")));
    EXPECT_EQ(m2->Font()->Name(), QStringLiteral("黑体"));
}

// ---------------------------------------------------------------- goldens

// Pixels that differ by more than a small step in any channel, as a share.
double differingShare(const QImage &a, const QImage &b)
{
    if (a.size() != b.size()) return 1;
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p(a.pixel(x, y)), q(b.pixel(x, y));
            if (std::abs(p.red() - q.red()) > 80 || std::abs(p.green() - q.green()) > 80 ||
                std::abs(p.blue() - q.blue()) > 80)
                ++differing;
        }
    }
    return double(differing) / (a.width() * a.height());
}

QImage drawScene(int dpi)
{
    const double scale = dpi / 96.0;
    QImage img(int(320 * scale), int(160 * scale), QImage::Format_RGB32);
    img.fill(Qt::white);
    TlyrReport r;
    auto *page = new TlyrPage(&r);
    auto *title = new TlyrMemoView(page);
    title->SetBounds(10, 10, 300, 30);
    title->SetText(QStringLiteral("<b>销售单</b> No. <font color=red>20260001</font>"));
    title->SetAllowHTMLTags(true);
    title->SetHAlign(haCenter);
    TlyrFont big;
    big.SetSize(14);
    title->SetFont(&big);
    auto *body = new TlyrMemoView(page);
    body->SetBounds(10, 45, 180, 60);
    body->SetText(QStringLiteral("会员 张三 积分兑换 Points 1,234 合计 ¥1,234.50 谢谢惠顾"));
    body->Frame()->SetTyp(ftAll);
    body->Frame()->SetStyle(fsDash);
    auto *money = new TlyrMemoView(page);
    money->SetBounds(200, 45, 110, 20);
    money->SetText(QStringLiteral("1,234.50"));
    money->SetHAlign(haRight);
    money->Frame()->SetTyp(ftAll);
    money->Frame()->SetStyle(fsDouble);
    money->Frame()->SetWidth(1);
    money->SetColor(clYellow);
    auto *turned = new TlyrMemoView(page);
    turned->SetBounds(200, 70, 30, 80);
    turned->SetText(QStringLiteral("竖排 90"));
    turned->SetRotation(90);
    turned->Frame()->SetTyp(ftAll);
    turned->Frame()->SetDropShadow(true);
    {
        QPainter p(&img);
        TlyrCanvas c(&p, dpi, dpi, false);
        for (auto *o : page->Objects()) static_cast<TlyrView *>(o)->Draw(c, scale, scale, 0, 0);
    }
    return img;
}

// Frames of each style and width, shadows, rotated text at the four right
// angles, a justified paragraph, tags and colour tags, blank lines.
QImage drawFrames(int dpi)
{
    const double scale = dpi / 96.0;
    QImage img(int(420 * scale), int(260 * scale), QImage::Format_RGB32);
    img.fill(Qt::white);
    TlyrReport r;
    auto *page = new TlyrPage(&r);
    int x = 10;
    for (int style = fsSolid; style <= fsDouble; ++style) {
        for (int width : {1, 2, 3}) {
            auto *v = new TlyrView(page);
            v->SetBounds(x, 10 + (width - 1) * 30, 55, 22);
            v->Frame()->SetTyp(ftAll);
            v->Frame()->SetStyle(style);
            v->Frame()->SetWidth(width);
            v->Frame()->SetDropShadow(width == 3);
            v->SetColor(style % 2 ? clYellow : clNone);
        }
        x += 67;
    }
    int angleX = 10;
    for (int angle : {0, 90, 180, 270}) {
        auto *m = new TlyrMemoView(page);
        m->SetBounds(angleX, 110, 70, 70);
        m->SetText(QStringLiteral("角度 %1\r\n第二行").arg(angle));
        m->SetRotation(angle);
        m->Frame()->SetTyp(ftAll);
        angleX += 80;
    }
    auto *block = new TlyrMemoView(page);
    block->SetBounds(330, 110, 80, 140);
    block->SetHAlign(haBlock);
    block->SetAllowHTMLTags(true);
    block->SetText(QStringLiteral(
            "aa bb cc <b>dd</b> ee ff gg <font color=\"#0000FF\">hh ii</font> jj kk ll\r\n\r\n<u>x</u>"));
    block->Frame()->SetTyp(ftAll);
    auto *tenLines = new TlyrMemoView(page);
    tenLines->SetBounds(10, 190, 300, 60);
    QStringList lines;
    for (int i = 1; i <= 10; ++i) lines << QStringLiteral("第 %1 行 line %1").arg(i);
    tenLines->SetMemo(lines);
    tenLines->Frame()->SetTyp(ftAll);
    {
        QPainter p(&img);
        TlyrCanvas c(&p, dpi, dpi, false);
        for (auto *o : page->Objects()) static_cast<TlyrView *>(o)->Draw(c, scale, scale, 0, 0);
    }
    return img;
}

void expectGolden(const QImage &img, const QString &name)
{
    const QString golden = QStringLiteral(VELMORA_SOURCE_DIR "/tests/report/golden/") + name;
    if (qEnvironmentVariableIsSet("VELMORA_UPDATE_GOLDENS")) {
        QDir().mkpath(QFileInfo(golden).path());
        img.save(golden);
    }
    QImage expected(golden);
    ASSERT_FALSE(expected.isNull()) << golden.toStdString();
    EXPECT_LT(differingShare(img.convertToFormat(QImage::Format_RGB32), expected.convertToFormat(QImage::Format_RGB32)),
              0.005)
            << name.toStdString();
}

TEST(LyrMemoGolden, FramesRotationAndJustification)
{
    for (int dpi : {96, 600}) expectGolden(drawFrames(dpi), QStringLiteral("frames_%1.png").arg(dpi));
}

TEST(LyrMemoGolden, SceneAt96And600Dpi)
{
    for (int dpi : {96, 600}) expectGolden(drawScene(dpi), QStringLiteral("memo_scene_%1.png").arg(dpi));
}

}  // namespace

namespace {

TEST(LyrStyles, FramesAreFrameObjectsThatRoundTripAndApply)
{
    TlyrReport r;
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    TlyrStyleItem *style = r.Styles()->Add();
    r.Styles()->SetName(style, QStringLiteral("金额"));
    style->Color = clYellow;
    style->Frame->SetTyp(ftTop | ftBottom);
    style->Frame->SetStyle(fsDouble);
    style->Frame->LeftLine()->SetWidth(3);
    TlyrReport again;
    const QByteArray first = expectRoundTrip(r, again);
    // The style's attribute text travels hex-encoded in PropData.
    EXPECT_TRUE(first.contains(QByteArray("Frame.Typ=\"12\"").toHex().toUpper()));
    TlyrStyleItem *loaded = again.Styles()->Find(QStringLiteral("金额"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Frame->Typ(), ftTop | ftBottom);
    EXPECT_EQ(loaded->Frame->Style(), fsDouble);
    EXPECT_EQ(loaded->Frame->LeftLine()->Width(), 3);
    auto *page = new TlyrPage(&again);
    auto *memo = new TlyrMemoView(page);
    memo->SetStyle(QStringLiteral("金额"));
    EXPECT_EQ(memo->Color(), clYellow);
    EXPECT_EQ(memo->Frame()->Typ(), ftTop | ftBottom);
    EXPECT_EQ(memo->Frame()->LeftLine()->Width(), 3);
}

}  // namespace

namespace {

TEST_F(MemoTest, DataFieldUnderANumericFormatTakesTextFromTheDatabase)
{
    auto *ds = new TlyrUserDataSet(&report);
    ds->SetName(QStringLiteral("lyrDB_XF"));
    ds->SetFields({QStringLiteral("theSum")});
    QString stored = QStringLiteral("1234.5");
    ds->OnGetValue = [&](const QString &, KsValue &v) { v = KsValue(stored); };
    memo->SetDataSet(ds);
    memo->SetDataField(QStringLiteral("theSum"));
    memo->DisplayFormat()->SetKind(fkNumeric);
    memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.2n"));
    EXPECT_EQ(printed(QString()), QStringLiteral("1,234.50"));
    stored = QStringLiteral("0");
    memo->SetHideZeros(true);
    // Text "0" is no number value: it prints.
    EXPECT_EQ(printed(QString()), QStringLiteral("0.00"));
    stored = QStringLiteral("免费");
    EXPECT_EQ(printed(QString()), QStringLiteral("免费"));
    EXPECT_EQ(report.Errors().size(), 1);
}

}  // namespace

namespace {

TEST_F(MemoTest, PrintTimeTagsAndComponentText)
{
    memo->SetText(QStringLiteral("第 [Page#] 页 共 [TOTALPAGES#] 页 [COPYNAME#]"));
    memo->TotalPages = 7;
    memo->CopyNo = 2;
    lyrGlobalVariables().SetVariable(QStringLiteral("CopyName"), QStringLiteral("副本"));
    TlyrRecordingCanvas c(96);
    memo->Draw(c, 1, 1, 0, 0);
    EXPECT_EQ(memo->GetText(), QStringLiteral("第 [Page#] 页 共 7 页 副本2"));
    memo->SetText(QStringLiteral("共 [TotalPages] 页"));
    EXPECT_EQ(memo->GetComponentText(), QStringLiteral("共 7 页"));
    lyrGlobalVariables().Clear();
}

TEST_F(MemoTest, TagStrIsExpandedWhilePrinted)
{
    memo->SetTagStr(QStringLiteral("no. [1 + 2]"));
    memo->SetText(QStringLiteral("x"));
    memo->BeforePrint();
    memo->GetData();
    EXPECT_EQ(memo->TagStr(), QStringLiteral("no. 3"));
    memo->AfterPrint();
    EXPECT_EQ(memo->TagStr(), QStringLiteral("no. [1 + 2]"));
}

TEST_F(MemoTest, UnderlinesRuleEachLine)
{
    TlyrFont f;
    f.SetSize(12);
    memo->SetFont(&f);
    memo->SetBounds(0, 0, 200, 70);
    memo->SetUnderlines(true);
    memo->SetText(QStringLiteral("a"));
    TlyrRecordingCanvas c(96);
    memo->Draw(c, 1, 1, 0, 0);
    std::vector<int> ys;
    for (const auto &s : c.Shapes)
        if (s.What == TlyrRecordedShape::Line) ys.push_back(s.Rect.top());
    // Line height 16 + spacing 2 = 18: rules at 18, 36, 54 (under the bottom edge 70).
    EXPECT_EQ(ys, (std::vector<int>{18, 36, 54}));
}

TEST_F(MemoTest, AutoWidthFollowsTheTextAndKeepsTheRightEdge)
{
    memo->SetBounds(100, 0, 300, 20);
    memo->SetAutoWidth(true);
    memo->SetHAlign(haRight);
    memo->SetText(QStringLiteral("1,234.50"));
    TlyrRecordingCanvas c(96);
    memo->Draw(c, 1, 1, 0, 0);
    EXPECT_LT(memo->Width(), 100);
    EXPECT_NEAR(memo->Width(), memo->CalcWidth(), 0.5);  // CalcWidth rounds
    EXPECT_DOUBLE_EQ(memo->Left() + memo->Width(), 400);
}

// A memo sized to its text is measured piece by piece and drawn from the
// lines the canvas shows: it takes the width a layout of all its lines gives
// and draws the pixels of a memo of that width laid out whole.
TEST_F(MemoTest, AutoWidthMeasuredInPiecesDrawsAsTheWholeLayout)
{
    const QString text = QStringLiteral(u"first <b>bold</b> words\r\n\r\n<font color=\"#FF0000\">red</font> and a "
                                        u"second paragraph of words, ПЕРЕПРАВЛЯЕТСЯ\r\n中文的一行 end");
    const qsizetype whole = TlyrDrawText::WholeTextChars;
    auto *same = new TlyrMemoView(page);
    same->SetName(QStringLiteral("Memo2"));
    for (bool wrap : {true, false})
        for (int h : {haLeft, haRight, haCenter, haBlock})
            for (int v : {vaTop, vaBottom}) {
                SCOPED_TRACE(testing::Message() << wrap << " " << h << " " << v);
                for (TlyrMemoView *m : {memo, same}) {
                    m->SetAllowHTMLTags(true);
                    m->SetWordWrap(wrap);
                    m->SetWordBreak(true);
                    m->SetParagraphGap(7);
                    m->SetCharSpacing(0.5);
                    m->SetGapX(3);
                    m->SetHAlign(h);
                    m->SetVAlign(v);
                    m->SetText(text);
                }
                memo->SetBounds(100, 10, 300, 120);
                memo->SetAutoWidth(true);
                // The widest line of a layout of every line.
                TlyrDrawText all;
                all.SetFont(*memo->Font());
                all.SetOptions(wrap, true, false, true, false, true, 0);
                all.SetGaps(7, 0.5, memo->LineSpacing());
                all.SetDimensions(lyrRect(0, 0, 10000, 10000), lyrRect(0, 0, 10000, 10000), 1, 1, 1);
                all.SetText(memo->Memo());
                const double width = all.CalcWidth() + 2 * 3;
                auto draw = [](TlyrMemoView *m) {
                    QImage image(500, 150, QImage::Format_RGB32);
                    image.fill(Qt::white);
                    QPainter painter(&image);
                    TlyrCanvas canvas(&painter, 96, 96, false);
                    m->Draw(canvas, 1, 1, 0, 0);
                    return image;
                };
                TlyrDrawText::WholeTextChars = 0;
                const QImage pieces = draw(memo);
                TlyrDrawText::WholeTextChars = whole;
                EXPECT_DOUBLE_EQ(memo->Width(), width);
                const double right = h == haRight ? 400 : h == haCenter ? 250 + width / 2 : 100 + width;
                EXPECT_DOUBLE_EQ(memo->Left() + memo->Width(), right);
                same->SetBounds(memo->Left(), 10, width, 120);
                const QImage laidWhole = draw(same);
                int inked = 0;
                for (int y = 0; y < laidWhole.height(); ++y)
                    for (int x = 0; x < laidWhole.width(); ++x) inked += laidWhole.pixel(x, y) != qRgb(255, 255, 255);
                EXPECT_GT(inked, 300);
                EXPECT_TRUE(pieces == laidWhole);
            }
}

// An unwrapped memo sized to its text, drawn with only the lines the canvas
// shows laid out, draws what a layout of every line draws: many lines or
// few, short or long, at any font size, Wysiwyg or not, from the top, the
// bottom or the centre, turned or not. The lines' places depend on how many
// there are, not on how many are shown.
TEST_F(MemoTest, TheLinesShownOfAnAutoWidthMemoDrawAsEveryLineDoes)
{
    struct Case {
        int lines, length, size;
        bool wysiwyg, clipped;
        int vAlign, rotation;
    };
    const Case cases[] = {
            {330, 60, 10, true, false, vaTop, 0},     {330, 60, 10, true, true, vaTop, 0},
            {330, 60, 10, false, false, vaTop, 0},    {1000, 20, 8, true, false, vaTop, 0},
            {40, 200, 13, true, true, vaTop, 0},      {330, 60, 11, false, false, vaTop, 0},
            {330, 60, 10, true, false, vaBottom, 0},  {1000, 20, 13, true, true, vaCenter, 0},
            {330, 60, 10, true, false, vaTop, 90},    {330, 60, 11, true, true, vaBottom, 180},
            {1000, 20, 8, false, false, vaCenter, 270}, {40, 30, 10, true, false, vaTop, 270},
    };
    const QString words = QStringLiteral("The quick brown fox jumps over the lazy dog, again and again. ");
    const qsizetype whole = TlyrDrawText::WholeTextChars;
    constexpr int kSide = 400;
    for (const Case &c : cases)
        for (qsizetype limit : {whole, qsizetype(0)}) {
            SCOPED_TRACE(testing::Message() << c.lines << "x" << c.length << " size " << c.size << " wysiwyg "
                                            << c.wysiwyg << " clipped " << c.clipped << " v " << c.vAlign
                                            << " turned " << c.rotation
                                            << " whole up to " << limit);
            QString text;
            for (int i = 0; i < c.lines; ++i) {
                QString line = QString::number(i) + u' ';
                while (line.size() < c.length) line += words;
                text += line.left(c.length) + QStringLiteral("\r\n");
            }
            TlyrFont f;
            f.SetSize(c.size);
            memo->SetFont(&f);
            memo->SetText(text);
            memo->SetWordWrap(false);
            memo->SetAutoWidth(true);
            memo->SetWysiwyg(c.wysiwyg);
            memo->SetClipped(c.clipped);
            memo->SetVAlign(c.vAlign);
            memo->SetRotation(c.rotation);
            memo->SetBounds(10, 10, 300, 250);
            // Every line laid out: no limit to the text laid out whole, and
            // a canvas that shows every line (unless clipped to the box),
            // of which the part the small one shows is compared.
            auto draw = [this](int height) {
                QImage image(kSide, height, QImage::Format_RGB32);
                image.fill(Qt::white);
                QPainter painter(&image);
                TlyrCanvas canvas(&painter, 96, 96, false);
                memo->Draw(canvas, 1, 1, 0, 0);
                return image;
            };
            TlyrDrawText::WholeTextChars = qsizetype(1) << 30;
            const QImage all = draw(kSide + c.lines * 2 * c.size).copy(0, 0, kSide, kSide);
            TlyrDrawText::WholeTextChars = limit;
            const QImage shown = draw(kSide);
            TlyrDrawText::WholeTextChars = whole;
            int inked = 0, differ = 0;
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x) {
                    inked += all.pixel(x, y) != qRgb(255, 255, 255);
                    differ += all.pixel(x, y) != shown.pixel(x, y);
                }
            EXPECT_GT(inked, 1000);
            EXPECT_EQ(differ, 0);
        }
}

}  // namespace

namespace {

// The view enumerations a memo inherits read and write by name, and the
// numbers older saves hold still load.
TEST(LyrMemoTemplate, ViewEnumerationsGoByName)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    loadTemplate(r, "<?xml version=\"1.0\"?><TlyrReport><TlyrReportPage Name=\"Page1\">"
               "<TlyrMemoView Name=\"A\" StretchMode=\"smActualHeight\" ShiftMode=\"smWhenOverlapped\""
               " Align=\"baRight\"/>"
               "<TlyrSysMemoView Name=\"B\" StretchMode=\"smMaxHeight\" ShiftMode=\"smDontShift\" Align=\"baClient\"/>"
               "<TlyrMemoView Name=\"C\" StretchMode=\"1\" ShiftMode=\"2\" Align=\"4\"/>"
               "</TlyrReportPage></TlyrReport>");
    EXPECT_TRUE(r.Errors().isEmpty()) << r.Errors().join(u'\n').toStdString();
    auto memo = [&](const char *name) { return qobject_cast<TlyrCustomMemoView *>(r.FindObject(QLatin1String(name))); };
    ASSERT_TRUE(memo("A") && memo("B") && memo("C"));
    EXPECT_EQ(memo("A")->StretchMode(), smActualHeight);
    EXPECT_EQ(memo("A")->ShiftMode(), smWhenOverlapped);
    EXPECT_EQ(memo("A")->Align(), baRight);
    EXPECT_EQ(memo("B")->StretchMode(), smMaxHeight);
    EXPECT_EQ(memo("B")->ShiftMode(), smDontShift);
    EXPECT_EQ(memo("B")->Align(), baClient);
    EXPECT_EQ(memo("C")->StretchMode(), smActualHeight);
    EXPECT_EQ(memo("C")->ShiftMode(), smWhenOverlapped);
    EXPECT_EQ(memo("C")->Align(), baWidth);
    const QByteArray xml = saveTemplate(r);
    EXPECT_TRUE(xml.contains("StretchMode=\"smActualHeight\"")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("ShiftMode=\"smWhenOverlapped\""));
    EXPECT_TRUE(xml.contains("Align=\"baClient\""));
    EXPECT_FALSE(xml.contains("StretchMode=\"1\""));
}

// Whichever unit registers its classes first, a memo's view enumerations
// keep their names: the view classes stand before the memo classes. The
// check runs in a fresh process, where nothing is registered yet.
TEST(LyrMemoTemplateDeathTest, EnumerationsKeepTheirNamesWhateverUnitRegistersFirst)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto check = [] {
        lyrRegisterViewClasses();
        const KsClassInfo *memo = ksFindClassInfo(QStringLiteral("TlyrMemoView"));
        const KsClassInfo *page = ksFindClassInfo(QStringLiteral("TlyrReportPage"));
        const KsPropInfo *p = memo ? memo->FindProperty(QStringLiteral("StretchMode")) : nullptr;
        const bool ok = p && p->Kind == KsPropKind::Enumeration &&
                        memo->InheritsFrom(ksFindClassInfo(QStringLiteral("TlyrStretcheable"))) && page &&
                        page->InheritsFrom(ksFindClassInfo(QStringLiteral("TlyrPage")));
        std::exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "");
}

// The one-letter text attribute "x" holds 8-bit text in the system code
// page; "u" holds UTF-8.
TEST(LyrMemoTemplate, EightBitTextIsTheSystemCodePage)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    QByteArray xml = "<?xml version=\"1.0\"?><TlyrReport><TlyrReportPage Name=\"Page1\">"
                     "<TlyrMemoView Name=\"A\" x=\"";
    xml += QByteArray("\xBA\xCF\xBC\xC6 &#38; 1");  // 合计 & 1 in GBK
    xml += "\"/><TlyrMemoView Name=\"B\" u=\"";
    xml += QStringLiteral("合计").toUtf8();
    xml += "\"/></TlyrReportPage></TlyrReport>";
    loadTemplate(r, xml);
    auto *a = qobject_cast<TlyrCustomMemoView *>(r.FindObject(QStringLiteral("A")));
    auto *b = qobject_cast<TlyrCustomMemoView *>(r.FindObject(QStringLiteral("B")));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetText(), QStringLiteral("合计 & 1"));
    EXPECT_EQ(b->GetText(), QStringLiteral("合计"));
}

}  // namespace
