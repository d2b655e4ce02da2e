#include "report/lyrcomponent.h"
#include "report/lyrres.h"
#include "script/ks_iinterpreter.h"

#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>

TEST(lyrResources, BuiltInTable)
{
    TlyrResources &res = lyrResources();
    EXPECT_EQ(res.Count(), 177);
    EXPECT_EQ(res.Get(QStringLiteral("207")), QStringLiteral("Other"));  // leading "!" removed
    EXPECT_EQ(res.Get(QStringLiteral("poReverse")), QStringLiteral("Reverse (9-1)"));
    EXPECT_EQ(res.GetByNumber(9),
              QStringLiteral("Enter page numbers and/or page ranges, separated by commas. For example, 1,3,5-12"));
    EXPECT_EQ(res.Get(QStringLiteral("MBERROR")), QStringLiteral("Error"));
    EXPECT_EQ(res.Get(QStringLiteral("clDSNotExist")), QStringLiteral("Dataset \"%s\" does not exist"));
    EXPECT_EQ(res.Get(QStringLiteral("601")), QStringLiteral("Collapse all"));
    // Ids other parts ask for without a text show themselves.
    EXPECT_EQ(res.Get(QStringLiteral("obReport")), QStringLiteral("obReport"));
    EXPECT_EQ(res.Get(QStringLiteral("=== TlyrPreviewForm ===")), QStringLiteral("=== TlyrPreviewForm ==="));
}

TEST(lyrResources, AddAndAddStrings)
{
    TlyrResources res;
    res.AddStrings(QStringLiteral("a=first\r\n=== section ===\r\nx=\r\nnoequals\nb=second=with equals\rc=third"));
    EXPECT_EQ(res.Count(), 3);
    EXPECT_EQ(res.Get(QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(res.Get(QStringLiteral("b")), QStringLiteral("second=with equals"));
    EXPECT_EQ(res.Get(QStringLiteral("c")), QStringLiteral("third"));
    res.Add(QStringLiteral("A"), QStringLiteral("replaced"));
    EXPECT_EQ(res.Count(), 3);
    EXPECT_EQ(res.Get(QStringLiteral("a")), QStringLiteral("replaced"));
    res.Add(QStringLiteral("bang"), QStringLiteral("!!twice"));
    EXPECT_EQ(res.Get(QStringLiteral("bang")), QStringLiteral("!twice"));
}

TEST(lyrResources, FormatFillsThePlacesInOrder)
{
    TlyrResources res;
    res.Add(QStringLiteral("pageOf"), QStringLiteral("Page %d of %d"));
    res.Add(QStringLiteral("mixed"), QStringLiteral("%s at %d, %s"));
    EXPECT_EQ(res.Format(QStringLiteral("pageOf"), {QStringLiteral("2"), QStringLiteral("5")}),
              QStringLiteral("Page 2 of 5"));
    EXPECT_EQ(res.Format(QStringLiteral("mixed"), {QStringLiteral("a"), QStringLiteral("1")}),
              QStringLiteral("a at 1, %s"));
    EXPECT_EQ(res.Format(QStringLiteral("pageOf"), {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}),
              QStringLiteral("Page 1 of 2"));
}

TEST(lyrResources, ScriptMessagesGoToTheCompilerTable)
{
    QMap<QString, QString> table;
    lyrResources().UpdateScriptResources([&](const QString &id, const QString &text) { table[id] = text; });
    EXPECT_EQ(table.size(), 17);
    EXPECT_EQ(table.value(QStringLiteral("SIdUndeclared")), QStringLiteral("Undeclared identifier:"));
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        EXPECT_NE(it.key(), it.value()) << qPrintable(it.key());  // every id has its text

    // The report library's start hands the table to the compiler, which then
    // reports its errors in the table's words.
    lyrRegisterReportClasses();
    auto compileError = [](const char *language, const char *text) {
        TksScript s;
        s.AddRTTI();
        s.SyntaxType = QLatin1String(language);
        s.Lines = QStringList{QString::fromLatin1(text)};
        EXPECT_FALSE(s.Compile()) << text;
        return s.ErrorMsg;
    };
    EXPECT_EQ(compileError("PascalScript", "var t: String; begin t.Size := 1 end."),
              QStringLiteral("Strings do not have properties or methods"));
    EXPECT_EQ(compileError("PascalScript", "begin q := 1 end."), QStringLiteral("Undeclared identifier: 'q'"));
    EXPECT_EQ(compileError("PascalScript", "var a, a: Integer; begin end."),
              QStringLiteral("Identifier redeclared: 'a'"));
    EXPECT_EQ(compileError("PascalScript", "var a: TNoSuchType; begin end."),
              QStringLiteral("Unknown type: 'TNoSuchType'"));
    EXPECT_EQ(compileError("Klingon", "x"), QStringLiteral("Language 'Klingon' not found"));

    // A text changed in the table reaches the compiler when handed over again.
    const QString saved = lyrResources().Get(QStringLiteral("SIdUndeclared"));
    lyrResources().Add(QStringLiteral("SIdUndeclared"), QStringLiteral("Name not known:"));
    lyrResources().UpdateScriptResources();
    EXPECT_EQ(compileError("PascalScript", "begin q := 1 end."), QStringLiteral("Name not known: 'q'"));
    lyrResources().Add(QStringLiteral("SIdUndeclared"), saved);
    lyrResources().UpdateScriptResources();
    EXPECT_EQ(compileError("PascalScript", "begin q := 1 end."), QStringLiteral("Undeclared identifier: 'q'"));
}

TEST(lyrResources, ButtonImagesLoadFromTheProgramResources)
{
    TlyrResources res;
    TlyrImageList &preview = res.PreviewButtonImages();
    TlyrImageList &objects = res.ObjectImages();
    // Indexes the preview window and the object registry use.
    EXPECT_EQ(preview.Count(), 25);
    EXPECT_EQ(objects.Count(), 24);
    const QImage &print = preview.Image(2);
    EXPECT_EQ(print.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(print.pixel(0, 15)), 0);  // key colour is see-through
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) opaque += qAlpha(print.pixel(x, y)) != 0;
    EXPECT_GT(opaque, 40);

    QImage strip(48, 16, QImage::Format_RGB32);
    strip.fill(Qt::red);
    res.SetPreviewButtonImages(strip, false);
    EXPECT_EQ(res.PreviewButtonImages().Count(), 28);
    res.SetPreviewButtonImages(strip, true);
    EXPECT_EQ(res.PreviewButtonImages().Count(), 3);
    EXPECT_EQ(res.LargeImages().Width, 32);
    EXPECT_TRUE(res.OtherImages(1).IsEmpty());
}

TEST(lyrResources, HelpTopicsAndMissingViewer)
{
    TlyrResources &res = lyrResources();
    const QString file = lyrGetAppPath() + QStringLiteral("LyrUser.chm");
    EXPECT_EQ(res.HelpTopic(QStringLiteral("tlyrdesignerform")), file + QStringLiteral("::/Designer.htm"));
    EXPECT_EQ(res.HelpTopic(QStringLiteral("TlyrSQLEditorForm")), file + QStringLiteral("::/TlyrADOQuery.htm"));
    EXPECT_EQ(res.HelpTopic(QStringLiteral("TSomethingElse")), file);

    QStringList shown;
    lyrSetHelpViewer([&](const QString &topic) { shown << topic; });
    ASSERT_FALSE(QFile::exists(file));
    res.Help(QStringLiteral("TlyrDesignerForm"));  // no help file: nothing happens
    EXPECT_TRUE(shown.isEmpty());
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    res.Help(QStringLiteral("TlyrDesignerForm"));
    QFile::remove(file);
    EXPECT_EQ(shown, QStringList({file + QStringLiteral("::/Designer.htm")}));
    lyrSetHelpViewer({});
    lyrShowHelp(QStringLiteral("x"));  // without a viewer: nothing, no error
}

TEST(lyrResources, LanguageFilesBesideTheProgram)
{
    const QString file = lyrGetAppPath() + QStringLiteral("GERMAN.lyc");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TlyrResources res;
    QFile::remove(file);
    EXPECT_TRUE(res.Languages().contains(QStringLiteral("German")));
}
