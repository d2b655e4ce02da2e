#include "report/lyrxml.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

const QByteArray kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

void loadBytes(TlyrXMLDocument &doc, QByteArray bytes)
{
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    doc.LoadFromStream(buf);
}

void loadPartial(TlyrXMLDocument &doc, const QByteArray &bytes)
{
    auto buf = std::make_unique<QBuffer>();
    buf->setData(bytes);
    buf->open(QIODevice::ReadOnly);
    doc.LoadFromStream(std::move(buf), true);
}

QByteArray saveBytes(TlyrXMLDocument &doc)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    doc.SaveToStream(buf);
    return out;
}

int countItems(const TlyrXMLItem *item)
{
    int n = 1;
    for (int i = 0; i < item->Count(); ++i) n += countItems(item->Items(i));
    return n;
}

// A prepared-report-like document: pages from the third on may be unloaded.
void buildPages(TlyrXMLDocument &doc, int pages, int objectsPerPage)
{
    TlyrXMLItem *root = doc.Root();
    root->Name = QStringLiteral("preparedreport");
    TlyrXMLItem *list = root->Add();
    list->Name = QStringLiteral("previewpages");
    for (int p = 0; p < pages; ++p) {
        TlyrXMLItem *page = list->Add();
        page->Name = QStringLiteral("page%1").arg(p);
        page->Unloadable = p >= 2;
        for (int o = 0; o < objectsPerPage; ++o) {
            TlyrXMLItem *obj = page->Add();
            obj->Name = QStringLiteral("TlyrMemoView");
            obj->SetProp("Name", QStringLiteral("Memo%1").arg(o));
            obj->SetProp("u", QStringLiteral("第%1页 \"%2\" <&>").arg(p).arg(o));
        }
    }
}

}  // namespace

TEST(lyrXMLEscape, EscapesOfTheFormat)
{
    EXPECT_EQ(lyrStrToXML(QStringLiteral("<")), QByteArray("&#60;"));
    EXPECT_EQ(lyrStrToXML(QStringLiteral("a\nb\rc\"d&e>f")), QByteArray("a&#10;b&#13;c&#34;d&#38;e&#62;f"));
    EXPECT_EQ(lyrStrToXML(QStringLiteral("&quot;x")), QByteArray("&#34;x"));
    EXPECT_EQ(lyrXMLToStr("&#65;&quot;"), QStringLiteral("A\""));
    // Characters above 127 are written and read as UTF-8.
    EXPECT_EQ(lyrStrToXML(QStringLiteral("é会")), QByteArray("\xC3\xA9\xE4\xBC\x9A"));
    EXPECT_EQ(lyrXMLToStr("&#233;&#20250;"), QStringLiteral("é会"));
    EXPECT_EQ(lyrXMLToStr("&#128512;"), QString::fromUtf8("\xF0\x9F\x98\x80"));

    const QString all = QStringLiteral("line1\r\nline2 \"q\" & <tag> &amp; 会员 ;#&");
    EXPECT_EQ(lyrXMLToStr(lyrStrToXML(all)), all);
}

TEST(lyrXMLEscape, OnlyDigitEntitiesAreDecoded)
{
    for (const char *literal : {"&#x;", "&#;", "&#12345678;", "&#12a;", "&#65", "&amp;", "&", "a&#x41;", "&#1114112;",
                                "&#1234567;", "&#55296;", "&quo"})
        EXPECT_EQ(lyrXMLToStr(literal), QString::fromLatin1(literal)) << literal;
    EXPECT_EQ(lyrXMLToStr("x&#0000065;y"), QStringLiteral("xAy"));
}

TEST(lyrXMLEscape, ValueText)
{
    EXPECT_EQ(lyrValueToXML(true), QByteArray("1"));
    EXPECT_EQ(lyrValueToXML(false), QByteArray("0"));
    EXPECT_EQ(lyrValueToXML(-42), QByteArray("-42"));
    EXPECT_EQ(lyrValueToXML(QStringLiteral("a\"b")), QByteArray("a&#34;b"));
    EXPECT_EQ(lyrValueToXML(QVariant()), QByteArray());
    EXPECT_EQ(lyrValueToXML(QDateTime(QDate(2024, 3, 5), QTime(0, 0))), QByteArray("2024-03-05"));
}

TEST(lyrXMLItem, AttributesKeepTheirPlace)
{
    TlyrXMLItem item;
    item.SetProp("Left", QStringLiteral("10"));
    item.SetProp("Top", QStringLiteral("20"));
    EXPECT_EQ(item.Text, QByteArray("Left=\"10\" Top=\"20\""));
    item.SetProp("LEFT", QStringLiteral("5 & 6"));
    EXPECT_EQ(item.Text, QByteArray("Left=\"5 &#38; 6\" Top=\"20\""));
    EXPECT_EQ(item.Prop("left"), QStringLiteral("5 & 6"));
    EXPECT_EQ(item.Prop("Width"), QString());
    EXPECT_FALSE(item.HasProp("Width"));

    item.Text = "A=\"1\" ";  // a trailing blank is not doubled
    item.SetProp("B", QStringLiteral("2"));
    EXPECT_EQ(item.Text, QByteArray("A=\"1\" B=\"2\""));

    // A value that looks like another attribute does not answer for it.
    item.Text = "Memo=\"x Top=\" Top=\"7\"";
    EXPECT_EQ(item.Prop("Top"), QStringLiteral("7"));
    item.SetProp("Top", QStringLiteral("8"));
    EXPECT_EQ(item.Text, QByteArray("Memo=\"x Top=\" Top=\"8\""));
    // A name that only ends like another is not it.
    item.Text = "XTop=\"1\"";
    EXPECT_EQ(item.Prop("Top"), QString());
}

// The one-pass escape from UTF-16 writes what escaping the UTF-8 bytes does,
// and appending builds what setting does on a fresh element.
TEST(lyrXMLItem, AppendingMatchesSetting)
{
    const QString texts[] = {QString(),
                             QStringLiteral("plain"),
                             QStringLiteral("第1页 合计 \"1,234.50\" <元> &quot;x&quot &\r\n"),
                             QString::fromUtf8("\xF0\x9F\x98\x80 end"),
                             QString(QChar(0xD800)) + QStringLiteral("a") + QChar(0xDC00),
                             QStringLiteral("tail &")};
    for (const QString &t : texts) {
        EXPECT_EQ(lyrStrToXML(t), lyrBytesToXML(t.toUtf8())) << t.toStdString();
        TlyrXMLItem set, appended;
        set.SetProp("Name", QStringLiteral("M1"));
        set.SetProp("u", t);
        appended.AppendProp("Name", u"M1");
        appended.AppendProp(QStringLiteral("u"), t);
        EXPECT_EQ(appended.Text, set.Text);
        EXPECT_EQ(appended.Prop("u"), set.Prop("u"));
    }
    QByteArray out("x=\"");
    lyrAppendStrToXML(out, u"<a>");
    EXPECT_EQ(out, QByteArray("x=\"&#60;a&#62;"));
}

TEST(lyrXMLItem, TreeOperations)
{
    TlyrXMLItem root;
    TlyrXMLItem *a = root.Add();
    a->Name = QStringLiteral("Alpha");
    TlyrXMLItem *b = root.FindItem(QStringLiteral("beta"));
    EXPECT_EQ(root.Count(), 2);
    EXPECT_EQ(root.FindItem(QStringLiteral("ALPHA")), a);
    EXPECT_EQ(root.Find(QStringLiteral("BETA")), 1);
    EXPECT_EQ(root.Find(QStringLiteral("gamma")), -1);

    TlyrXMLItem other;
    other.AddItem(b);  // moves
    EXPECT_EQ(root.Count(), 1);
    EXPECT_EQ(b->Parent(), &other);
    root.InsertItem(0, b);
    EXPECT_EQ(root.IndexOf(b), 0);
    EXPECT_EQ(other.Count(), 0);

    b->AddItem(&root);  // into its own subtree: refused
    EXPECT_EQ(b->Count(), 0);

    delete a;  // leaves the parent's list
    EXPECT_EQ(root.Count(), 1);
    EXPECT_EQ(root.Items(0), b);

    b->Unloadable = true;
    b->Add();
    b->Clear();
    EXPECT_FALSE(b->Loaded);
}

TEST(lyrXMLDocument, ReadsTagsAndSkipsCommentsAndCharacterData)
{
    TlyrXMLDocument doc;
    loadBytes(doc, kHeader + "\r\n<!-- a <comment> -- with dashes -->"
                             "<TlyrReport Name=\"r\">text is lost<page1/><page2 Left=\"1\"/>"
                             "<page3 Left=\"2\" /><!---->"
                             "<Band><Memo Text=\"&#60;b&#62;\"></Memo></band></TlyrReport>");
    TlyrXMLItem *root = doc.Root();
    EXPECT_EQ(root->Name, QStringLiteral("TlyrReport"));
    EXPECT_EQ(root->Prop("Name"), QStringLiteral("r"));
    ASSERT_EQ(root->Count(), 4);
    EXPECT_EQ(root->Items(0)->Name, QStringLiteral("page1"));
    EXPECT_EQ(root->Items(0)->Count(), 0);
    EXPECT_EQ(root->Items(1)->Text, QByteArray("Left=\"1\""));
    EXPECT_EQ(root->Items(2)->Prop("Left"), QStringLiteral("2"));
    EXPECT_EQ(root->Items(3)->Items(0)->Prop("Text"), QStringLiteral("<b>"));
    EXPECT_TRUE(root->Value.isEmpty());
}

TEST(lyrXMLDocument, MalformedInputIsRejected)
{
    const QByteArray good = kHeader + "<a x=\"1\"><b/><c><d/></c></a>";
    const QList<QByteArray> bad = {
            "<a/>",                    // no header
            kHeader + "<a><b></a>",    // mismatched end tag
            kHeader + "<a x=\"<\"/>",  // "<" inside a tag
            kHeader + "<a><b/>",       // end of stream inside the root
            kHeader + "<a><xa/>",      // ... after a child whose name ends like it
            kHeader + "<a><b><a/>",    // ... inside a child
            kHeader + "<a",            // cut inside a tag
            kHeader + "<!-- open",     // cut inside a comment
            kHeader + "",              // no root
            kHeader + "</a>",          // end tag as root
            kHeader + "<a>< b/></a>",  // empty name
    };
    for (const QByteArray &text : bad) {
        TlyrXMLDocument doc;
        EXPECT_THROW(loadBytes(doc, text), TlyrInvalidXMLException) << text.constData();
        EXPECT_EQ(doc.Root()->Count(), 0);
        EXPECT_TRUE(doc.Root()->Name.isEmpty());
    }
    // Every truncation of a good document is an error, never a crash.
    for (qsizetype len = 0; len < good.size(); ++len) {
        TlyrXMLDocument doc;
        EXPECT_THROW(loadBytes(doc, good.left(len)), TlyrInvalidXMLException) << len;
    }
    TlyrXMLDocument doc;
    loadBytes(doc, kHeader + "<A><B></b></a>");  // end tags compare without case
    EXPECT_EQ(doc.Root()->Count(), 1);
}

TEST(lyrXMLDocument, NestingIsBounded)
{
    const int deep = TlyrXMLReader::MaxDepth + 10;
    QByteArray text = kHeader;
    for (int i = 0; i < deep; ++i) text += "<n>";
    for (int i = 0; i < deep; ++i) text += "</n>";
    TlyrXMLDocument doc;
    EXPECT_THROW(loadBytes(doc, text), TlyrInvalidXMLException);

    QByteArray fine = kHeader;
    for (int i = 0; i < 100; ++i) fine += "<n>";
    for (int i = 0; i < 100; ++i) fine += "</n>";
    loadBytes(doc, fine);
    EXPECT_EQ(countItems(doc.Root()), 100);
}

TEST(lyrXMLDocument, WriterLayout)
{
    TlyrXMLDocument doc;
    TlyrXMLItem *root = doc.Root();
    root->Name = QStringLiteral("TlyrReport");
    root->SetProp("Title", QStringLiteral("会员"));
    TlyrXMLItem *page = root->Add();
    page->Name = QStringLiteral("TlyrReportPage");
    page->Text = " Name=\"Page1\"";  // already starts with a blank
    TlyrXMLItem *memo = page->Add();
    memo->Name = QStringLiteral("TlyrMemoView");
    TlyrXMLItem *note = root->Add();
    note->Name = QStringLiteral("note");
    note->Value = "a<b";

    doc.AutoIndent = true;
    EXPECT_EQ(saveBytes(doc), kHeader + "\r\n"
                                        "<TlyrReport Title=\"\xE4\xBC\x9A\xE5\x91\x98\">\r\n"
                                        "  <TlyrReportPage Name=\"Page1\">\r\n"
                                        "    <TlyrMemoView/>\r\n"
                                        "  </TlyrReportPage>\r\n"
                                        "  <note>a&#60;b</note>\r\n"
                                        "</TlyrReport>\r\n");
    doc.AutoIndent = false;
    const QByteArray flat = saveBytes(doc);
    EXPECT_EQ(flat, kHeader + "<TlyrReport Title=\"\xE4\xBC\x9A\xE5\x91\x98\"><TlyrReportPage Name=\"Page1\">"
                              "<TlyrMemoView/></TlyrReportPage><note>a&#60;b</note></TlyrReport>");

    TlyrXMLDocument back;
    loadBytes(back, flat);
    EXPECT_EQ(back.Root()->Prop("Title"), QStringLiteral("会员"));
    EXPECT_EQ(back.Root()->Items(0)->Prop("Name"), QStringLiteral("Page1"));
    EXPECT_TRUE(back.Root()->Items(1)->Value.isEmpty());  // character data is not read
}

TEST(lyrXMLDocument, UnloadTokenIsWrittenLastAndReadBack)
{
    TlyrXMLDocument doc;
    doc.Root()->Name = QStringLiteral("r");
    TlyrXMLItem *withText = doc.Root()->Add();
    withText->Name = QStringLiteral("page0");
    withText->Text = "a=\"1\" b=\"2\"";
    withText->Unloadable = true;
    withText->Add()->Name = QStringLiteral("obj");
    TlyrXMLItem *bare = doc.Root()->Add();
    bare->Name = QStringLiteral("page1");
    bare->Unloadable = true;
    const QByteArray bytes = saveBytes(doc);
    EXPECT_TRUE(bytes.contains("<page0 a=\"1\" b=\"2\" ld=\"0\"><obj/></page0>"));
    EXPECT_TRUE(bytes.contains("<page1 ld=\"0\"/>"));

    TlyrXMLDocument full;
    loadBytes(full, bytes);
    TlyrXMLItem *p0 = full.Root()->Items(0);
    EXPECT_EQ(p0->Text, QByteArray("a=\"1\" b=\"2\""));
    EXPECT_TRUE(p0->Loaded);
    EXPECT_EQ(p0->Count(), 1);

    TlyrXMLDocument partial;
    loadPartial(partial, bytes);
    p0 = partial.Root()->Items(0);
    EXPECT_EQ(p0->Text, QByteArray("a=\"1\" b=\"2\""));
    EXPECT_TRUE(p0->Unloadable);
    EXPECT_FALSE(p0->Loaded);
    EXPECT_EQ(p0->Count(), 0);
    partial.LoadItem(p0);
    EXPECT_TRUE(p0->Loaded);
    ASSERT_EQ(p0->Count(), 1);
    EXPECT_EQ(p0->Items(0)->Name, QStringLiteral("obj"));

    // Token at the start of the attributes, in upper case.
    TlyrXMLDocument upper;
    loadPartial(upper, kHeader + "<r><p LD=\"0\" x=\"1\"><q/></p></r>");
    EXPECT_EQ(upper.Root()->Items(0)->Text, QByteArray("x=\"1\""));
    EXPECT_FALSE(upper.Root()->Items(0)->Loaded);
}

TEST(lyrXMLDocument, PartialLoadUnloadAndSaveStayComplete)
{
    QTemporaryDir dir;
    TlyrXMLDocument doc;
    doc.TempDir = dir.path();
    buildPages(doc, 8, 5);
    const QByteArray complete = saveBytes(doc);

    TlyrXMLDocument partial;
    partial.TempDir = dir.path();
    loadPartial(partial, complete);
    TlyrXMLItem *pages = partial.Root()->Items(0);
    ASSERT_EQ(pages->Count(), 8);
    EXPECT_EQ(pages->Items(1)->Count(), 5);
    for (int p = 2; p < 8; ++p) EXPECT_FALSE(pages->Items(p)->Loaded);
    // Saving reads the unloaded pages back: the output is the whole document.
    EXPECT_EQ(saveBytes(partial), complete);
    EXPECT_FALSE(pages->Items(5)->Loaded);

    // Page 3 goes to the temporary file after an edit; page 4 still lives in
    // the source stream and must come from there.
    TlyrXMLItem *p3 = pages->Items(3);
    partial.LoadItem(p3);
    p3->Items(0)->SetProp("u", QStringLiteral("changed"));
    partial.UnloadItem(p3);
    EXPECT_FALSE(p3->Loaded);
    ASSERT_FALSE(partial.TempFileName().isEmpty());
    EXPECT_TRUE(QFileInfo(partial.TempFileName()).fileName().startsWith(QStringLiteral("ly")));
    EXPECT_EQ(QFileInfo(partial.TempFileName()).absolutePath(), QDir(dir.path()).absolutePath());

    TlyrXMLItem *p4 = pages->Items(4);
    partial.LoadItem(p4);
    ASSERT_EQ(p4->Count(), 5);
    EXPECT_EQ(p4->Items(2)->Prop("u"), QStringLiteral("第4页 \"2\" <&>"));
    partial.LoadItem(p3);
    ASSERT_EQ(p3->Count(), 5);
    EXPECT_EQ(p3->Items(0)->Prop("u"), QStringLiteral("changed"));
    EXPECT_EQ(p3->Items(1)->Prop("u"), QStringLiteral("第3页 \"1\" <&>"));

    // Unload and reload repeatedly: the last copy wins.
    for (int round = 0; round < 3; ++round) {
        p3->Items(0)->SetProp("u", QStringLiteral("round %1").arg(round));
        partial.UnloadItem(p3);
        partial.LoadItem(p3);
        EXPECT_EQ(p3->Items(0)->Prop("u"), QStringLiteral("round %1").arg(round));
    }

    const QString temp = partial.TempFileName();
    partial.Clear();
    EXPECT_FALSE(QFile::exists(temp));
}

TEST(lyrXMLDocument, ClearedWithoutUnloadLoadsEmpty)
{
    TlyrXMLDocument doc;
    buildPages(doc, 3, 2);
    TlyrXMLItem *p2 = doc.Root()->Items(0)->Items(2);
    p2->Clear();
    EXPECT_FALSE(p2->Loaded);
    doc.LoadItem(p2);  // nothing was written out: nothing to read
    EXPECT_TRUE(p2->Loaded);
    EXPECT_EQ(p2->Count(), 0);
}

TEST(lyrXMLDocument, FilesRoundTripAndPartialFileLoading)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("report.lp3"));
    TlyrXMLDocument doc;
    doc.AutoIndent = true;
    buildPages(doc, 4, 3);
    doc.SaveToFile(name);

    TlyrXMLDocument back;
    back.LoadFromFile(name, true);
    TlyrXMLItem *pages = back.Root()->Items(0);
    EXPECT_FALSE(pages->Items(3)->Loaded);
    back.LoadItem(pages->Items(3));
    EXPECT_EQ(pages->Items(3)->Items(2)->Prop("Name"), QStringLiteral("Memo2"));

    EXPECT_THROW(back.LoadFromFile(dir.filePath(QStringLiteral("missing.lp3"))), ElyrError);
    EXPECT_THROW(doc.SaveToFile(dir.filePath(QStringLiteral("no/such/dir/x.xml"))), ElyrError);
}

TEST(lyrXMLDocument, LargeDocumentLoadsPartially)
{
    // About 50 MB of pages written straight to a file.
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("big.lp3"));
    {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kHeader + "\r\n<preparedreport><previewpages>");
        QByteArray page;
        for (int p = 0; p < 4600; ++p) {
            page = "<page" + QByteArray::number(p) + (p >= 2 ? " ld=\"0\">" : ">");
            for (int o = 0; o < 100; ++o)
                page += "<b" + QByteArray::number(o % 7) + " l=\"" + QByteArray::number(o) +
                        "\" t=\"96.5\" w=\"200\" h=\"18.9\" u=\"第" + QByteArray::number(p) +
                        "页 合计 &#34;1,234.50&#34; 元 and some more text to fill\"/>\r\n";
            page += "</page" + QByteArray::number(p) + ">";
            f.write(page);
        }
        f.write("</previewpages></preparedreport>");
    }
    ASSERT_GT(QFileInfo(name).size(), 50LL * 1000 * 1000);

    TlyrXMLDocument doc;
    doc.LoadFromFile(name, true);
    TlyrXMLItem *pages = doc.Root()->Items(0);
    ASSERT_EQ(pages->Count(), 4600);
    // Only the first two pages' objects are in memory.
    EXPECT_EQ(countItems(doc.Root()), 2 + 4600 + 2 * 100);
    TlyrXMLItem *p = pages->Items(2345);
    doc.LoadItem(p);
    ASSERT_EQ(p->Count(), 100);
    EXPECT_EQ(p->Items(99)->Prop("u"), QStringLiteral("第2345页 合计 \"1,234.50\" 元 and some more text to fill"));
}

TEST(lyrXMLItem, ScannerWalksPairsInOrder)
{
    TlyrAttributeScanner s("Name=\"Memo1\"  Left=\"1,5\" bare Text=\"a&#10;b\" Tag=7 Last=\"unclosed");
    QStringList seen;
    while (s.Next()) seen << QString::fromUtf8(s.Name()) + u'|' + s.Value();
    EXPECT_EQ(seen, QStringList({"Name|Memo1", "Left|1,5", "Text|a\nb", "Tag|7", "Last|unclosed"}));

    TlyrXMLItem item;
    item.Text = "Tag=7 x=\"1\"";
    item.SetProp("tag", QStringLiteral("8 9"));  // an unquoted value gets quotes
    EXPECT_EQ(item.Text, QByteArray("Tag=\"8 9\" x=\"1\""));
    EXPECT_EQ(item.Prop("TAG"), QStringLiteral("8 9"));
}

TEST(lyrXMLDocument, PartialLoadFromAStreamTheCallerKeeps)
{
    TlyrXMLDocument source;
    buildPages(source, 4, 2);
    QByteArray bytes = saveBytes(source);
    QBuffer kept(&bytes);
    kept.open(QIODevice::ReadOnly);
    {
        TlyrXMLDocument doc;
        doc.LoadFromStream(kept, true);
        TlyrXMLItem *p3 = doc.Root()->Items(0)->Items(3);
        EXPECT_FALSE(p3->Loaded);
        doc.LoadItem(p3);
        EXPECT_EQ(p3->Count(), 2);
    }
    EXPECT_TRUE(kept.isOpen());  // not the document's to close
}
