#include "report/lyrclass.h"
#include "report/lyrpropstream.h"
#include "report/lyrutils.h"
#include "report/lyrxmlserializer.h"
#include "report_test_objects.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SerializerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestObjects();
        lyrSetNowFunction([] { return 46000.25; });
        previous_ = lyrSetErrorMsgHandler([this](const QString& t) { shown_ << t; });
    }
    void TearDown() override
    {
        lyrSetNowFunction({});
        lyrSetErrorMsgHandler(previous_);
    }
    static QByteArray save(TlyrReport& r)
    {
        QBuffer b;
        b.open(QIODevice::ReadWrite);
        r.SaveToStream(b);
        return b.data();
    }
    static void load(TlyrReport& r, const QByteArray& xml)
    {
        QBuffer b;
        b.setData(xml);
        b.open(QIODevice::ReadOnly);
        r.LoadFromStream(b);
    }
    QStringList shown_;
    TlyrErrorMsgHandler previous_;
};

// Pages, a band-like view with a reference, text, nested font, a string
// list, the three collections and a password.
void build(TlyrReport& r, TlyrUserDataSet*& ds)
{
    r.setObjectName(QStringLiteral("Rep"));
    auto* data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    ds = new TlyrUserDataSet(data);
    ds->SetName(QStringLiteral("lyrDB_XF"));
    ds->SetFields({QStringLiteral("theNum"), QStringLiteral("theSum")});
    ds->SetLeft(60);
    ds->SetTop(20);
    auto* page = new TtestPage(&r);
    page->SetName(QStringLiteral("Page1"));
    page->SetPaperWidth(100);
    page->SetColumns(2);
    page->SetColumnWidth(40);
    auto* memo = new TlyrTestMemoView(page);
    memo->SetName(QStringLiteral("Memo1"));
    memo->SetBounds(10.5, 20, 300, 18.9);
    memo->SetDataSet(ds);
    memo->SetStyle(TlyrTestMemoView::vsBoxed);
    memo->SetComponentText(QStringLiteral("合计: [lyrDB_XF.\"theSum\"]\r\n第二行 <&> \"q\"\r\n"));
    memo->SetLines({QStringLiteral("a"), QStringLiteral("b")});
    memo->Font()->SetName(QStringLiteral("宋体"));
    memo->Font()->SetSize(12);
    r.Datasets()->Add(ds);
    r.Variables()->SetVariable(QStringLiteral("Total"), QStringLiteral("1+2"));
    TlyrStyleItem* style = r.Styles()->Add();
    r.Styles()->SetName(style, QStringLiteral("标题"));
    style->Color = 255;
    style->Font->SetSize(16);
    r.ReportOptions()->Password = QStringLiteral("k9口令");
    r.ReportOptions()->Author = QStringLiteral("店长");
    r.SetScriptText({QStringLiteral("begin"), QStringLiteral("  x := 1;"), QStringLiteral("end.")});
}

}  // namespace

TEST_F(SerializerTest, FreshReportWritesNoDefaults)
{
    TlyrReport r;
    const QByteArray xml = save(r);
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport "));
    for (const char* absent : {"ShowProgress", "StoreInDFM", "ConvertNulls", "Modal=", "Copies", "Name=", "Tag=",
                               "DataSetName", "PropData", "Password"})
        EXPECT_FALSE(xml.contains(absent)) << absent << "\n" << xml.constData();
    // Floats and string lists are written without an ancestor.
    EXPECT_TRUE(xml.contains(" PreviewOptions.Zoom=\"1\""));
    EXPECT_TRUE(xml.contains(" ScriptText.Text=\"begin&#13;&#10;&#13;&#10;end.\""));
    EXPECT_TRUE(xml.contains(" PrintOptions.Printer=\"Default\""));
    EXPECT_TRUE(xml.contains(" Version=\"4.3\""));
}

TEST_F(SerializerTest, RoundTripGivesTheSameBytes)
{
    TlyrReport r;
    TlyrUserDataSet* ds = nullptr;
    build(r, ds);
    const QByteArray first = save(r);
    EXPECT_EQ(r.ReportOptions()->Password, QStringLiteral("k9口令"));  // restored after writing
    EXPECT_FALSE(first.contains("k9"));

    lyrEngineFactories().AskPassword = [](TlyrReport*, QString& entered) {
        entered = QStringLiteral("k9口令");
        return true;
    };
    TlyrReport loaded;
    load(loaded, first);
    lyrEngineFactories().AskPassword = nullptr;
    EXPECT_TRUE(loaded.Errors().isEmpty()) << loaded.Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(save(loaded), first);

    EXPECT_EQ(loaded.ReportOptions()->Password, QStringLiteral("k9口令"));
    EXPECT_EQ(loaded.ReportOptions()->Author, QStringLiteral("店长"));
    auto* memo = qobject_cast<TlyrTestMemoView*>(loaded.FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(memo, nullptr);
    // One final CR LF is dropped; inner ones survive.
    EXPECT_EQ(memo->ComponentText(), QStringLiteral("合计: [lyrDB_XF.\"theSum\"]\r\n第二行 <&> \"q\""));
    EXPECT_EQ(memo->Style(), TlyrTestMemoView::vsBoxed);
    EXPECT_EQ(memo->Lines(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(memo->Font()->Name(), QStringLiteral("宋体"));
    EXPECT_DOUBLE_EQ(memo->Left(), 10.5);
    auto* lds = qobject_cast<TlyrUserDataSet*>(loaded.FindObject(QStringLiteral("lyrDB_XF")));
    ASSERT_NE(lds, nullptr);
    EXPECT_EQ(memo->DataSet(), lds);
    EXPECT_DOUBLE_EQ(lds->Left(), 60);  // pLeft / pTop of PropData
    EXPECT_DOUBLE_EQ(lds->Top(), 20);
    ASSERT_EQ(loaded.Datasets()->Count(), 1);
    EXPECT_EQ(loaded.Datasets()->Items(0)->DataSet(), lds);
    EXPECT_EQ(loaded.Variables()->Variables(QStringLiteral("total")).toString(), QStringLiteral("1+2"));
    ASSERT_EQ(loaded.Styles()->Count(), 1);
    EXPECT_EQ(loaded.Styles()->Items(0)->Name, QStringLiteral("标题"));
    EXPECT_EQ(loaded.Styles()->Items(0)->Color, 255);
    EXPECT_EQ(loaded.Styles()->Items(0)->Font->Size(), 16);
    EXPECT_EQ(loaded.ScriptText().value(1), QStringLiteral("  x := 1;"));
}

TEST_F(SerializerTest, AttributesApplyInDeclarationOrder)
{
    TlyrReport r;
    TlyrUserDataSet* ds = nullptr;
    build(r, ds);
    const QByteArray xml = save(r);
    const qsizetype pw = xml.indexOf("PaperWidth="), ps = xml.indexOf("PaperSize="), cols = xml.indexOf("Columns="),
                    cw = xml.indexOf("ColumnWidth=");
    ASSERT_GE(pw, 0);
    EXPECT_LT(pw, ps);
    EXPECT_LT(cols, cw);

    TlyrReport loaded;
    lyrEngineFactories().AskPassword = [](TlyrReport*, QString& e) {
        e = QStringLiteral("k9口令");
        return true;
    };
    load(loaded, xml);
    lyrEngineFactories().AskPassword = nullptr;
    auto* page = qobject_cast<TtestPage*>(loaded.FindObject(QStringLiteral("Page1")));
    ASSERT_NE(page, nullptr);
    EXPECT_DOUBLE_EQ(page->PaperWidth(), 100);  // PaperSize 256 after it keeps the width
    EXPECT_EQ(page->PaperSize(), 256);
    EXPECT_EQ(page->Columns(), 2);
    EXPECT_DOUBLE_EQ(page->ColumnWidth(), 40);  // Columns' own width overwritten after it
}

TEST_F(SerializerTest, ForwardReferencesAndUnknownAttributes)
{
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<TlyrReport Bogus=\"1\" DataSet=\"DS\" ScriptLanguage=\"JScript\">\r\n"
        "  <TtestPage Name=\"P\" Unknown.Path=\"x\" Columns=\"2\">\r\n"
        "    <TlyrTestMemoView Name=\"M\" DataSet=\"DS\" Missing=\"nil\" Style=\"2\"/>\r\n"
        "    <TlyrTestMemoView Name=\"N\" DataSet=\"Nobody\" Style=\"vsBold\"/>\r\n"
        "  </TtestPage>\r\n"
        "  <TlyrDataPage Name=\"Data\">\r\n"
        "    <TlyrUserDataSet Name=\"DS\" UserName=\"lyrDB_TM\"/>\r\n"
        "  </TlyrDataPage>\r\n"
        "</TlyrReport>\r\n";
    TlyrReport r;
    load(r, xml);
    EXPECT_TRUE(r.Errors().isEmpty()) << r.Errors().join(QLatin1Char('\n')).toStdString();
    auto* ds = qobject_cast<TlyrDataSet*>(r.FindObject(QStringLiteral("DS")));
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->UserName(), QStringLiteral("lyrDB_TM"));
    EXPECT_EQ(r.DataSet(), ds);
    EXPECT_EQ(r.ScriptLanguage(), QStringLiteral("JScript"));
    auto* m = qobject_cast<TlyrTestMemoView*>(r.FindObject(QStringLiteral("M")));
    auto* n = qobject_cast<TlyrTestMemoView*>(r.FindObject(QStringLiteral("N")));
    ASSERT_TRUE(m && n);
    EXPECT_EQ(m->DataSet(), ds);
    EXPECT_EQ(m->Style(), TlyrTestMemoView::vsBoxed);
    EXPECT_EQ(n->DataSet(), nullptr);  // a missing target stays unset
    EXPECT_EQ(n->Style(), TlyrTestMemoView::vsBold);
    // The data page exists, so nothing moved.
    EXPECT_EQ(r.Objects().first()->Name(), QStringLiteral("P"));
}

TEST_F(SerializerTest, DataPageRule)
{
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<TlyrReport>\r\n"
        "  <TtestPage Name=\"Data\">\r\n"
        "    <TlyrUserDataSet Name=\"A\"/>\r\n"
        "    <TlyrTestMemoView Name=\"M\"/>\r\n"
        "  </TtestPage>\r\n"
        "  <TlyrUserDataSet Name=\"B\"/>\r\n"
        "</TlyrReport>\r\n";
    TlyrReport r;
    load(r, xml);
    auto* dataPage = qobject_cast<TlyrDataPage*>(r.Objects().first());
    ASSERT_NE(dataPage, nullptr);
    EXPECT_EQ(dataPage->Name(), QStringLiteral("DataPage1"));  // "Data" was taken
    ASSERT_EQ(dataPage->Objects().size(), 2);
    EXPECT_EQ(dataPage->Objects()[0]->Name(), QStringLiteral("A"));
    EXPECT_DOUBLE_EQ(dataPage->Objects()[0]->Left(), 60);
    EXPECT_DOUBLE_EQ(dataPage->Objects()[1]->Left(), 124);
    EXPECT_DOUBLE_EQ(dataPage->Objects()[1]->Top(), 20);
}

TEST_F(SerializerTest, DamagedTemplatesGiveErrorLines)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    // PropData cut short inside the Datasets list, and not hexadecimal at all.
    TlyrPropWriter w;
    w.WritePropName("Variables");
    w.WriteListBegin();
    w.WriteListBegin();
    w.WriteLString("Name=\"x\"");
    const QByteArray cut = lyrBytesToHex(w.Data().left(w.Data().size() - 3));
    const QByteArray xml = "<?xml version=\"1.0\"?><TlyrReport PropData=\"" + cut +
                           "\"><TlyrDataPage Name=\"D\" PropData=\"zz\" Left=\"abc\"/></TlyrReport>";
    load(r, xml);
    EXPECT_GE(r.Errors().size(), 2);
    EXPECT_TRUE(r.Errors().contains(QStringLiteral("属性数据已损坏")));
    EXPECT_EQ(r.Variables()->Count(), 0);
    ASSERT_NE(r.FindObject(QStringLiteral("D")), nullptr);

    // An unregistered class that names no object ends the load with lines.
    TlyrReport u;
    u.EngineOptions()->SetNewSilentMode(simSilent);
    load(u, "<?xml version=\"1.0\"?><TlyrReport><TlyrNoSuchView Name=\"X\"/></TlyrReport>");
    EXPECT_TRUE(u.Errors().contains(QStringLiteral("Cannot find class TlyrNoSuchView")));
    EXPECT_TRUE(u.Errors().contains(QStringLiteral("Class TlyrNoSuchView not found")));

    // Malformed XML.
    TlyrReport bad;
    bad.EngineOptions()->SetNewSilentMode(simMessageBoxes);
    load(bad, "<TlyrReport>");
    EXPECT_TRUE(bad.Errors().contains(QStringLiteral("Invalid file format")));
    ASSERT_EQ(shown_.size(), 1);
    EXPECT_TRUE(shown_.first().startsWith(QStringLiteral("The following error(s) have occured:\r\n")));
}

TEST_F(SerializerTest, AncestorTemplateWritesOnlyChanges)
{
    QTemporaryDir dir;
    const QString parentPath = dir.filePath(QStringLiteral("base.yl3"));
    {
        TlyrReport base;
        auto* page = new TtestPage(&base);
        page->SetName(QStringLiteral("Page1"));
        auto* m = new TlyrTestMemoView(page);
        m->SetName(QStringLiteral("Title"));
        m->SetBounds(1, 2, 100, 20);
        m->SetComponentText(QStringLiteral("店名"));
        base.SaveToFile(parentPath);
    }
    TlyrReport child;
    child.SetParentReport(parentPath);  // absolute path: used as is
    ASSERT_NE(child.ParentReportObject(), nullptr);
    auto* title = qobject_cast<TlyrTestMemoView*>(child.FindObject(QStringLiteral("Title")));
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->IsAncestor());
    title->SetLeft(50);
    auto* added = new TlyrTestMemoView(title->Parent());
    added->SetName(QStringLiteral("Added"));
    added->SetComponentText(QStringLiteral("新"));
    const QByteArray xml = save(child);
    EXPECT_TRUE(xml.contains("<inherited Name=\"Title\" Left=\"50\"/>")) << xml.constData();
    EXPECT_TRUE(xml.contains("<inherited Name=\"Page1\"/>") || xml.contains("<inherited Name=\"Page1\">"));
    EXPECT_TRUE(xml.contains("<TlyrTestMemoView Name=\"Added\""));
    EXPECT_TRUE(xml.contains("ParentReport=\"" + parentPath.toUtf8() + '"'));

    TlyrReport again;
    load(again, xml);
    EXPECT_TRUE(again.Errors().isEmpty()) << again.Errors().join(QLatin1Char('\n')).toStdString();
    auto* t2 = qobject_cast<TlyrTestMemoView*>(again.FindObject(QStringLiteral("Title")));
    ASSERT_NE(t2, nullptr);
    EXPECT_DOUBLE_EQ(t2->Left(), 50);
    EXPECT_DOUBLE_EQ(t2->Width(), 100);
    EXPECT_EQ(t2->ComponentText(), QStringLiteral("店名"));
    ASSERT_NE(again.FindObject(QStringLiteral("Added")), nullptr);
    EXPECT_EQ(save(again), xml);

    // A relative parent name is taken from the program's folder.
    TlyrReport rel;
    rel.EngineOptions()->SetNewSilentMode(simSilent);
    rel.SetParentReport(QStringLiteral("no/such/base.yl3"));
    EXPECT_EQ(rel.ParentReportObject(), nullptr);
    EXPECT_EQ(rel.Errors().size(), 1);
}

TEST_F(SerializerTest, TemplateThatIsItsOwnAncestorLoadsOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("self.yl3"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\"?><TlyrReport ParentReport=\"" + path.toUtf8() +
                "\"><TtestPage Name=\"Page1\"/></TlyrReport>");
    }
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    EXPECT_TRUE(r.LoadFromFile(path));
    ASSERT_EQ(r.Errors().size(), 1);
    EXPECT_TRUE(r.Errors().first().contains(QStringLiteral("引用了它自己")));
    EXPECT_NE(r.FindObject(QStringLiteral("Page1")), nullptr);
    EXPECT_EQ(r.FileName, path);
}

// A wrong password drops the template; thread-safe mode asks nothing.
TEST_F(SerializerTest, PasswordAndThreadSafeLoading)
{
    TlyrReport r;
    TlyrUserDataSet* ds = nullptr;
    build(r, ds);
    const QByteArray xml = save(r);
    int asked = 0;
    lyrEngineFactories().AskPassword = [&](TlyrReport*, QString& e) {
        ++asked;
        e = QStringLiteral("wrong");
        return true;
    };
    for (bool safe : {false, true}) {
        TlyrReport loaded;
        loaded.EngineOptions()->SetThreadSafeMode(safe);
        load(loaded, xml);
        auto* memo = qobject_cast<TlyrTestMemoView*>(loaded.FindObject(QStringLiteral("Memo1")));
        if (!safe) {
            EXPECT_EQ(memo, nullptr);
            EXPECT_EQ(loaded.PagesCount(), 0);
            EXPECT_TRUE(loaded.ReportOptions()->Password.isEmpty());
            continue;
        }
        ASSERT_NE(memo, nullptr);
        EXPECT_TRUE(memo->LockHeldAtLoad);
    }
    lyrEngineFactories().AskPassword = nullptr;
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(lyrTemplateLoadingLock().tryLock());  // released afterwards
    lyrTemplateLoadingLock().unlock();
}
