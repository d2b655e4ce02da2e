#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrpage.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrDsgnIntf.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_props.h"
#include "barcode_test_util.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray saveTemplate(TlyrReport &r)
{
    QBuffer b;
    b.open(QIODevice::ReadWrite);
    r.SaveToStream(b);
    return b.data();
}

void loadTemplate(TlyrReport &r, const QByteArray &xml)
{
    QBuffer b;
    b.setData(xml);
    b.open(QIODevice::ReadOnly);
    r.LoadFromStream(b);
}

struct Scene {
    TlyrReport report;
    TlyrReportPage *page;
    TlyrBarCodeView *bc;
    Scene()
    {
        report.EngineOptions()->SetNewSilentMode(simSilent);
        page = new TlyrReportPage(&report);
        page->SetName(QStringLiteral("Page1"));
        bc = new TlyrBarCodeView(page);
        bc->SetName(QStringLiteral("BarCode1"));
        bc->SetBounds(20, 10, 100, 60);
    }
};

// Column x of img is dark (a bar) at row y.
bool dark(const QImage &img, int x, int y)
{
    return qGray(img.pixel(x, y)) < 128;
}

TEST(LyrBarCodeView, StartsAsCode39WithEightDigitsAndReachesScripts)
{
    TlyrBarCodeView v;
    EXPECT_EQ(v.BarType(), int(bcCode39));
    EXPECT_EQ(v.Text(), QStringLiteral("12345678"));
    EXPECT_TRUE(v.ShowText());
    EXPECT_DOUBLE_EQ(v.WideBarRatio(), 2.0);
    EXPECT_DOUBLE_EQ(v.Zoom(), 1.0);
    EXPECT_EQ(v.Color(), clNone);
    const KsClassInfo *cls = ksFindClassInfo(QStringLiteral("TlyrBarCodeView"));
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->Ancestor->ClassName, QStringLiteral("TlyrView"));
    const KsPropInfo *type = cls->FindProperty(QStringLiteral("BarType"));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->TypeName, QStringLiteral("TlyrBarcodeType"));
    EXPECT_EQ(type->EnumNames.size(), TlyrBarcode::TypeCount);
    qint64 value = -1;
    EXPECT_TRUE(type->ValueOf(QStringLiteral("bcCodeEAN13"), value));
    EXPECT_EQ(value, qint64(bcCodeEAN13));
}

TEST(LyrBarCodeView, WidthFollowsTheSymbolAndZoom)
{
    Scene s;
    TlyrBarcode ref;
    ref.Typ = bcCode39;
    ref.Text = QStringLiteral("12345678");
    const int symbol = ref.Width();
    TlyrRecordingCanvas c;
    s.bc->Draw(c, 1, 1, 0, 0);
    EXPECT_DOUBLE_EQ(s.bc->Width(), symbol);
    s.bc->SetZoom(2);
    s.bc->Draw(c, 1, 1, 0, 0);
    EXPECT_DOUBLE_EQ(s.bc->Width(), 2.0 * symbol);
    // A saved zoom of 0 draws at 1.
    s.bc->SetZoom(0);
    s.bc->Draw(c, 1, 1, 0, 0);
    EXPECT_DOUBLE_EQ(s.bc->Zoom(), 1.0);
    EXPECT_DOUBLE_EQ(s.bc->Width(), symbol);
    // Turned, the symbol's length is the height and the width stays.
    s.bc->SetRotation(90);
    s.bc->Draw(c, 1, 1, 0, 0);
    EXPECT_DOUBLE_EQ(s.bc->Height(), symbol);
    EXPECT_DOUBLE_EQ(s.bc->Width(), symbol);
}

TEST(LyrBarCodeView, AlignmentMovesLeftByTheWidthChange)
{
    for (int align : {int(haLeft), int(haRight), int(haCenter)}) {
        Scene s;
        TlyrRecordingCanvas c;
        s.bc->SetHAlign(align);
        s.bc->Draw(c, 1, 1, 0, 0);
        const double left = s.bc->Left(), width = s.bc->Width();
        s.bc->SetText(QStringLiteral("1234567"));  // one character less
        s.bc->Draw(c, 1, 1, 0, 0);
        const double narrower = width - s.bc->Width();
        ASSERT_GT(narrower, 0);
        const double expected = align == haRight ? narrower : align == haCenter ? narrower / 2 : 0;
        EXPECT_DOUBLE_EQ(s.bc->Left() - left, expected) << "align " << align;
    }
}

TEST(LyrBarCodeView, RejectedTextPrintsTheMessageInRedAndOneErrorLine)
{
    Scene s;
    s.bc->SetBarType(bcCodeEAN13);
    s.bc->SetText(QStringLiteral("12AB"));
    s.bc->Frame()->SetTyp(15);
    QImage img(300, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    TlyrRecordingCanvas c(96, false, &p);
    s.bc->Draw(c, 1, 1, 0, 0);
    c.Clear();
    s.bc->Draw(c, 1, 1, 0, 0);
    p.end();
    EXPECT_EQ(s.bc->LastError(), QStringLiteral("Barcode must be numeric"));
    ASSERT_FALSE(c.Texts.empty());
    const QRect box(20, 10, 100, 60);
    for (const TlyrRecordedText &t : c.Texts) {
        EXPECT_EQ(t.Font.Color, clRed);
        EXPECT_TRUE(box.contains(t.X, t.Y)) << t.X << "," << t.Y;
        EXPECT_GE(t.X, box.left() + 2);
    }
    QStringList lines;
    for (const TlyrRecordedText &t : c.Texts) lines << t.Text;
    EXPECT_EQ(lines.join(u' ').simplified(), QStringLiteral("Barcode must be numeric"));
    EXPECT_EQ(s.report.Errors().size(), 1);
    EXPECT_TRUE(s.report.Errors().value(0).contains(QStringLiteral("Barcode must be numeric")));
    // No bars: nothing black inside the frame.
    for (int x = 24; x < 118; ++x)
        for (int y = 14; y < 68; ++y) ASSERT_FALSE(qGray(img.pixel(x, y)) < 40 && qRed(img.pixel(x, y)) < 100);
}

TEST(LyrBarCodeView, BarsAreWhereTheElementStringPutsThem)
{
    for (double zoom : {1.0, 2.0}) {
        Scene s;
        s.bc->SetZoom(zoom);
        s.bc->SetShowText(false);
        s.bc->SetColor(clWhite);
        QImage img(400, 120, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        TlyrRecordingCanvas c(96, false, &p);
        s.bc->Draw(c, 1, 1, 0, 0);
        p.end();
        // The background was filled over the object's box.
        bool filled = false;
        for (const TlyrRecordedShape &sh : c.Shapes) filled |= sh.What == TlyrRecordedShape::Fill;
        EXPECT_TRUE(filled);
        TlyrBarcode ref;
        ref.Typ = bcCode39;
        ref.Text = QStringLiteral("12345678");
        const QString modules = bctest::modules(ref, ref.MakeData());
        ASSERT_EQ(int(s.bc->Width()), int(modules.size() * zoom));
        for (int m = 0; m < modules.size(); ++m)
            for (int k = 0; k < int(zoom); ++k) {
                const int x = 20 + int(m * zoom) + k;
                EXPECT_EQ(dark(img, x, 40), modules[m] == u'1') << "zoom " << zoom << " module " << m;
            }
    }
}

TEST(LyrBarCodeView, RealBoundsTakeTheTextAndTheGuardBars)
{
    Scene s;
    s.bc->SetText(QStringLiteral("1"));
    double l, t, r, b;
    s.bc->GetRealBounds(l, t, r, b);
    EXPECT_DOUBLE_EQ(l, s.bc->Left());
    EXPECT_DOUBLE_EQ(r, s.bc->Left() + s.bc->Width());

    s.bc->SetBarType(bcCodeUPC_A);
    s.bc->SetText(QStringLiteral("03600029145"));
    s.bc->GetRealBounds(l, t, r, b);
    EXPECT_DOUBLE_EQ(l, s.bc->Left() - 8);
    EXPECT_DOUBLE_EQ(r, s.bc->Left() + s.bc->Width() + 8);
    s.bc->SetRotation(90);
    s.bc->GetRealBounds(l, t, r, b);
    EXPECT_DOUBLE_EQ(b, s.bc->Top() + s.bc->Height() + 8);
    EXPECT_DOUBLE_EQ(t, s.bc->Top() - 8);
    EXPECT_DOUBLE_EQ(l, s.bc->Left());

    s.bc->SetBarType(bcCodeEAN13);
    s.bc->SetRotation(270);
    s.bc->SetText(QStringLiteral("400638133393"));
    s.bc->GetRealBounds(l, t, r, b);
    EXPECT_DOUBLE_EQ(t, s.bc->Top() - 8);
    EXPECT_DOUBLE_EQ(b, s.bc->Top() + s.bc->Height());
}

TEST(LyrBarCodeView, DataFieldWinsOverTheExpression)
{
    Scene s;
    auto *data = new TlyrDataPage(&s.report);
    data->SetName(QStringLiteral("Data"));
    auto *ds = new TlyrUserDataSet(data);
    ds->SetName(QStringLiteral("Goods"));
    ds->SetFields({QStringLiteral("Code")});
    ds->OnGetValue = [](const QString &, KsValue &v) { v = KsValue(QStringLiteral("A1B2")); };
    s.report.Datasets()->Add(ds);
    s.bc->SetExpression(QStringLiteral("'EXPR'"));
    s.bc->SetDataSet(ds);
    s.bc->SetDataField(QStringLiteral("Code"));
    s.bc->GetData();
    EXPECT_EQ(s.bc->Text(), QStringLiteral("A1B2"));
}

TEST(LyrBarCodeView, TemplateRoundTripKeepsEveryProperty)
{
    Scene s;
    (new TlyrDataPage(&s.report))->SetName(QStringLiteral("Data"));
    s.bc->SetBarType(bcCode128B);
    s.bc->SetCalcCheckSum(true);
    s.bc->SetExpression(QStringLiteral("<Goods.\"Code\">"));
    s.bc->SetHAlign(haCenter);
    s.bc->SetRotation(180);
    s.bc->SetShowText(false);
    s.bc->SetText(QStringLiteral("XY-1"));
    s.bc->SetWideBarRatio(2.5);
    s.bc->SetZoom(1.5);
    const QByteArray first = saveTemplate(s.report);
    EXPECT_TRUE(first.contains("<TlyrBarCodeView ")) << first.toStdString();
    TlyrReport again;
    again.EngineOptions()->SetNewSilentMode(simSilent);
    loadTemplate(again, first);
    EXPECT_TRUE(again.Errors().isEmpty()) << again.Errors().join(u'\n').toStdString();
    auto *b = qobject_cast<TlyrBarCodeView *>(again.FindObject(QStringLiteral("BarCode1")));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->BarType(), int(bcCode128B));
    EXPECT_TRUE(b->CalcCheckSum());
    EXPECT_EQ(b->Expression(), s.bc->Expression());
    EXPECT_EQ(b->HAlign(), int(haCenter));
    EXPECT_EQ(b->Rotation(), 180);
    EXPECT_FALSE(b->ShowText());
    EXPECT_EQ(b->Text(), QStringLiteral("XY-1"));
    EXPECT_DOUBLE_EQ(b->WideBarRatio(), 2.5);
    EXPECT_DOUBLE_EQ(b->Zoom(), 1.5);
    EXPECT_EQ(saveTemplate(again).toStdString(), first.toStdString());
}

QString decode(const QString &png)
{
    QProcess p;
    p.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--nodbus"), png});
    if (!p.waitForFinished(20000)) return QStringLiteral("<timeout>");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

TEST(LyrBarCodeView, GoodsLabelAt300DpiDecodesToTheGoodsCode)
{
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) GTEST_SKIP() << "zbarimg not installed";
    Scene s;
    auto *data = new TlyrDataPage(&s.report);
    data->SetName(QStringLiteral("Data"));
    auto *ds = new TlyrUserDataSet(data);
    ds->SetName(QStringLiteral("lyrDB_Goods"));
    ds->SetFields({QStringLiteral("GoodsCode")});
    ds->OnGetValue = [](const QString &, KsValue &v) { v = KsValue(QStringLiteral("6901234-X7")); };
    s.report.Datasets()->Add(ds);
    s.bc->SetDataSet(ds);
    s.bc->SetDataField(QStringLiteral("GoodsCode"));

    // The label as a template, read back before it prints.
    TlyrReport label;
    label.EngineOptions()->SetNewSilentMode(simSilent);
    loadTemplate(label, saveTemplate(s.report));
    auto *bc = qobject_cast<TlyrBarCodeView *>(label.FindObject(QStringLiteral("BarCode1")));
    ASSERT_NE(bc, nullptr);
    auto *goods = qobject_cast<TlyrUserDataSet *>(label.FindObject(QStringLiteral("lyrDB_Goods")));
    ASSERT_NE(goods, nullptr);
    goods->OnGetValue = ds->OnGetValue;
    bc->GetData();
    const double scale = 300.0 / 96;
    QImage img(lyrRoundi(400 * scale), lyrRoundi(120 * scale), QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        TlyrCanvas c(&p, 300, 300, false);
        bc->Draw(c, scale, scale, 0, 0);
    }
    EXPECT_TRUE(bc->LastError().isEmpty()) << bc->LastError().toStdString();
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("label.png"));
    ASSERT_TRUE(img.save(png));
    if (qEnvironmentVariableIsSet("VELMORA_KEEP_PNG")) img.save(QDir::temp().filePath(QStringLiteral("label300.png")));
    EXPECT_EQ(decode(png), QStringLiteral("CODE-39:6901234-X7"));
}

}  // namespace

namespace {

TEST(LyrBarCodeView, ScriptsSetTheSymbologyByName)
{
    Scene s;
    s.report.SetScriptText({QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(s.report.PrepareScript()) << s.report.Errors().join(u'\n').toStdString();
    EXPECT_EQ(s.report.Calc(QStringLiteral("bcCodeEAN13")).ToInt(), int(bcCodeEAN13));
    EXPECT_EQ(s.report.Calc(QStringLiteral("BarCode1.BarType")).ToInt(), int(bcCode39));
    TksScript script;
    script.AddRTTI();
    script.AddObject(QStringLiteral("BarCode1"), s.bc);
    script.Lines = {QStringLiteral("begin"), QStringLiteral("  BarCode1.BarType := bcCodeUPC_A;"),
                    QStringLiteral("  BarCode1.Zoom := 2;"), QStringLiteral("end.")};
    ASSERT_TRUE(script.Compile()) << script.ErrorMsg.toStdString();
    script.Execute();
    EXPECT_EQ(s.bc->BarType(), int(bcCodeUPC_A));
    EXPECT_DOUBLE_EQ(s.bc->Zoom(), 2.0);
}

}  // namespace

// The barcode class registers the report classes while the program starts,
// which hands the resource table to the compiler before main runs; the
// compiler's own texts must not overwrite the table's afterwards.
TEST(LyrBarCodeView, RegisteringAtStartLeavesTheCompilerTheTableTexts)
{
    TksScript s;
    s.AddRTTI();
    s.SyntaxType = QStringLiteral("PascalScript");
    s.Lines = QStringList{QStringLiteral("var t: String; begin t.Size := 1 end.")};
    EXPECT_FALSE(s.Compile());
    EXPECT_EQ(s.ErrorMsg, QStringLiteral("Strings do not have properties or methods"));
}
