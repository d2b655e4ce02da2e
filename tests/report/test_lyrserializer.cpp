#include "report/lyrclass.h"
#include "report/lyrpropstream.h"
#include "report/lyrutils.h"
#include "report/lyrxmlserializer.h"
#include "report_test_objects.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace {

class SerializerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestObjects();
        lyrSetNowFunction([] { return 46000.25; });
        previous_ = lyrSetErrorMsgHandler([this](const QString &t) { shown_ << t; });
    }
    void TearDown() override
    {
        lyrSetNowFunction({});
        lyrSetErrorMsgHandler(previous_);
    }
    static QByteArray save(TlyrReport &r)
    {
        QBuffer b;
        b.open(QIODevice::ReadWrite);
        r.SaveToStream(b);
        return b.data();
    }
    static void load(TlyrReport &r, const QByteArray &xml)
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
void build(TlyrReport &r, TlyrUserDataSet *&ds)
{
    r.setObjectName(QStringLiteral("Rep"));
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    ds = new TlyrUserDataSet(data);
    ds->SetName(QStringLiteral("lyrDB_XF"));
    ds->SetFields({QStringLiteral("theNum"), QStringLiteral("theSum")});
    ds->SetLeft(60);
    ds->SetTop(20);
    auto *page = new TtestPage(&r);
    page->SetName(QStringLiteral("Page1"));
    page->SetPaperWidth(100);
    page->SetColumns(2);
    page->SetColumnWidth(40);
    auto *memo = new TlyrTestMemoView(page);
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
    TlyrStyleItem *style = r.Styles()->Add();
    r.Styles()->SetName(style, QStringLiteral("标题"));
    style->Color = 255;
    style->Font->SetSize(16);
    r.ReportOptions()->Password = QStringLiteral("k9口令");
    r.ReportOptions()->Author = QStringLiteral("店长");
    r.SetScriptText({QStringLiteral("begin"), QStringLiteral("  x := 1;"), QStringLiteral("end.")});
}

// base.yl3: Page1 with the memo "Title"; the child template inherits it.
QString writeBase(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("base.yl3"));
    TlyrReport base;
    auto *page = new TtestPage(&base);
    page->SetName(QStringLiteral("Page1"));
    auto *m = new TlyrTestMemoView(page);
    m->SetName(QStringLiteral("Title"));
    m->SetBounds(1, 2, 100, 20);
    m->SetComponentText(QStringLiteral("店名"));
    base.SaveToFile(path);
    return path;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// child.yl3: inherits base.yl3; `page` is the inside of Page1's element.
QString writeChild(const QTemporaryDir &dir, const QByteArray &page)
{
    const QString base = writeBase(dir);
    const QString child = dir.filePath(QStringLiteral("child.yl3"));
    writeFile(child, "<?xml version=\"1.0\"?><TlyrReport ParentReport=\"" + base.toUtf8() +
                             "\"><inherited Name=\"Page1\">" + page + "</inherited></TlyrReport>");
    return child;
}

}  // namespace

TEST_F(SerializerTest, FreshReportWritesNoDefaults)
{
    TlyrReport r;
    const QByteArray xml = save(r);
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport "));
    for (const char *absent : {"ShowProgress", "StoreInDFM", "ConvertNulls", "Modal=", "Copies",
                               "Name=", "Tag=", "DataSetName", "PropData", "Password"})
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
    TlyrUserDataSet *ds = nullptr;
    build(r, ds);
    const QByteArray first = save(r);
    EXPECT_EQ(r.ReportOptions()->Password, QStringLiteral("k9口令"));  // restored after writing
    EXPECT_FALSE(first.contains("k9"));

    lyrEngineFactories().AskPassword = [](TlyrReport *, QString &entered) {
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
    auto *memo = qobject_cast<TlyrTestMemoView *>(loaded.FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(memo, nullptr);
    // One final CR LF is dropped; inner ones survive.
    EXPECT_EQ(memo->ComponentText(), QStringLiteral("合计: [lyrDB_XF.\"theSum\"]\r\n第二行 <&> \"q\""));
    EXPECT_EQ(memo->Style(), TlyrTestMemoView::vsBoxed);
    EXPECT_EQ(memo->Lines(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(memo->Font()->Name(), QStringLiteral("宋体"));
    EXPECT_DOUBLE_EQ(memo->Left(), 10.5);
    auto *lds = qobject_cast<TlyrUserDataSet *>(loaded.FindObject(QStringLiteral("lyrDB_XF")));
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
    TlyrUserDataSet *ds = nullptr;
    build(r, ds);
    const QByteArray xml = save(r);
    const qsizetype pw = xml.indexOf("PaperWidth="), ps = xml.indexOf("PaperSize="), cols = xml.indexOf("Columns="),
                    cw = xml.indexOf("ColumnWidth=");
    ASSERT_GE(pw, 0);
    EXPECT_LT(pw, ps);
    EXPECT_LT(cols, cw);

    TlyrReport loaded;
    lyrEngineFactories().AskPassword = [](TlyrReport *, QString &e) {
        e = QStringLiteral("k9口令");
        return true;
    };
    load(loaded, xml);
    lyrEngineFactories().AskPassword = nullptr;
    auto *page = qobject_cast<TtestPage *>(loaded.FindObject(QStringLiteral("Page1")));
    ASSERT_NE(page, nullptr);
    EXPECT_DOUBLE_EQ(page->PaperWidth(), 100);  // PaperSize 256 after it keeps the width
    EXPECT_EQ(page->PaperSize(), 256);
    EXPECT_EQ(page->Columns(), 2);
    EXPECT_DOUBLE_EQ(page->ColumnWidth(), 40);  // Columns' own width overwritten after it
}

TEST_F(SerializerTest, ForwardReferencesAndUnknownAttributes)
{
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
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
    auto *ds = qobject_cast<TlyrDataSet *>(r.FindObject(QStringLiteral("DS")));
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->UserName(), QStringLiteral("lyrDB_TM"));
    EXPECT_EQ(r.DataSet(), ds);
    EXPECT_EQ(r.ScriptLanguage(), QStringLiteral("JScript"));
    auto *m = qobject_cast<TlyrTestMemoView *>(r.FindObject(QStringLiteral("M")));
    auto *n = qobject_cast<TlyrTestMemoView *>(r.FindObject(QStringLiteral("N")));
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
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                           "<TlyrReport>\r\n"
                           "  <TtestPage Name=\"Data\">\r\n"
                           "    <TlyrUserDataSet Name=\"A\"/>\r\n"
                           "    <TlyrTestMemoView Name=\"M\"/>\r\n"
                           "  </TtestPage>\r\n"
                           "  <TlyrUserDataSet Name=\"B\"/>\r\n"
                           "</TlyrReport>\r\n";
    TlyrReport r;
    load(r, xml);
    auto *dataPage = qobject_cast<TlyrDataPage *>(r.Objects().first());
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
    EXPECT_TRUE(r.Errors().contains(QStringLiteral("TlyrReport.PropData: 属性数据已损坏")))
            << r.Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(r.Variables()->Count(), 0);
    ASSERT_NE(r.FindObject(QStringLiteral("D")), nullptr);
    // A value that is no number names the object and the property, and the
    // object keeps the value it had.
    EXPECT_TRUE(r.Errors().contains(QStringLiteral("D.Left: 'abc' is not a valid floating point value")))
            << r.Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_DOUBLE_EQ(r.FindObject(QStringLiteral("D"))->Left(), TlyrDataPage(nullptr).Left());

    // An unregistered class that names no object is left out with what it
    // holds; the rest of the template loads.
    TlyrReport u;
    u.EngineOptions()->SetNewSilentMode(simSilent);
    load(u, "<?xml version=\"1.0\"?><TlyrReport><TtestPage Name=\"Page1\">"
            "<TlyrNoSuchView Name=\"X\"><TlyrTestMemoView Name=\"Inside\"/></TlyrNoSuchView>"
            "<TlyrTestMemoView Name=\"After\" Height=\"abc\" Width=\"40\"/></TtestPage>"
            "<TtestPage Name=\"Page2\"/></TlyrReport>");
    EXPECT_EQ(u.Errors(), (QStringList{QStringLiteral("After.Height: 'abc' is not a valid floating point value"),
                                       QStringLiteral("Cannot find class TlyrNoSuchView")}));
    EXPECT_EQ(u.FindObject(QStringLiteral("X")), nullptr);
    EXPECT_EQ(u.FindObject(QStringLiteral("Inside")), nullptr);
    TlyrComponent *after = u.FindObject(QStringLiteral("After"));
    ASSERT_NE(after, nullptr);
    EXPECT_DOUBLE_EQ(after->Width(), 40);
    EXPECT_DOUBLE_EQ(after->Height(), TlyrTestMemoView(nullptr).Height());
    EXPECT_NE(u.FindObject(QStringLiteral("Page2")), nullptr);

    // Malformed XML: where the reader stopped and what it expected; a file
    // that cannot be read is no loaded template.
    TlyrReport bad;
    bad.EngineOptions()->SetNewSilentMode(simMessageBoxes);
    load(bad, "<TlyrReport>");
    EXPECT_EQ(bad.Errors(), QStringList{QStringLiteral("Invalid file format: 第 1 行：文件应以 <?xml ...?> 开头")});
    ASSERT_EQ(shown_.size(), 1);
    EXPECT_TRUE(shown_.first().startsWith(QStringLiteral("The following error(s) have occured:\r\n")));
    QTemporaryDir dir;
    const QString cutFile = dir.filePath(QStringLiteral("cut.yl3"));
    writeFile(cutFile, "<?xml version=\"1.0\"?>\r\n<TlyrReport>\r\n  <TtestPage Name=\"Page1\">\r\n"
                   "    <TlyrTestMemoView Name=\"M\"/>\r\n");
    bad.EngineOptions()->SetNewSilentMode(simSilent);
    EXPECT_FALSE(bad.LoadFromFile(cutFile));
    EXPECT_EQ(bad.Errors(),
              QStringList{QStringLiteral("Invalid file format: %1, 第 5 行：应为 </TtestPage>，文件已结束").arg(cutFile)});
    EXPECT_EQ(bad.FindObject(QStringLiteral("M")), nullptr);
}

TEST_F(SerializerTest, AncestorTemplateWritesOnlyChanges)
{
    QTemporaryDir dir;
    const QString parentPath = writeBase(dir);
    TlyrReport child;
    child.SetParentReport(parentPath);  // absolute path: used as is
    ASSERT_NE(child.ParentReportObject(), nullptr);
    auto *title = qobject_cast<TlyrTestMemoView *>(child.FindObject(QStringLiteral("Title")));
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->IsAncestor());
    title->SetLeft(50);
    auto *added = new TlyrTestMemoView(title->Parent());
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
    auto *t2 = qobject_cast<TlyrTestMemoView *>(again.FindObject(QStringLiteral("Title")));
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
    TlyrUserDataSet *ds = nullptr;
    build(r, ds);
    const QByteArray xml = save(r);
    int asked = 0;
    lyrEngineFactories().AskPassword = [&](TlyrReport *, QString &e) {
        ++asked;
        e = QStringLiteral("wrong");
        return true;
    };
    for (bool safe : {false, true}) {
        TlyrReport loaded;
        loaded.EngineOptions()->SetThreadSafeMode(safe);
        load(loaded, xml);
        auto *memo = qobject_cast<TlyrTestMemoView *>(loaded.FindObject(QStringLiteral("Memo1")));
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
    EXPECT_FALSE(TemplateLockHeldElsewhere());  // released afterwards
}

// Loading the ancestor takes the loading lock again on the same thread.
TEST_F(SerializerTest, InheritedTemplateLoadsInThreadSafeMode)
{
    QTemporaryDir dir;
    const QString child = writeChild(dir, "<inherited Name=\"Title\" Left=\"50\"/>");
    auto done = std::make_shared<std::promise<QString>>();
    std::future<QString> result = done->get_future();
    std::thread worker([child, done] {
        TlyrReport r;
        r.EngineOptions()->SetNewSilentMode(simSilent);
        r.EngineOptions()->SetThreadSafeMode(true);
        r.LoadFromFile(child);
        auto *title = qobject_cast<TlyrTestMemoView *>(r.FindObject(QStringLiteral("Title")));
        QString text = r.Errors().join(QLatin1Char('\n'));
        if (!title)
            text += QStringLiteral("no Title");
        else if (title->Left() != 50 || !title->IsAncestor() || !title->LockHeldAtLoad)
            text += QStringLiteral("Title not inherited under the lock");
        done->set_value(text);
    });
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        worker.detach();  // stuck on the lock: nothing can end it
        FAIL() << "loading an inherited template in thread-safe mode does not finish";
    }
    worker.join();
    EXPECT_EQ(result.get(), QString());
    EXPECT_FALSE(TemplateLockHeldElsewhere());
}

// A new template replaces an inherited one; an empty ParentReport makes the
// objects the report's own.
TEST_F(SerializerTest, ClearAndANewTemplateDropTheAncestor)
{
    QTemporaryDir dir;
    const QString child = writeChild(dir, "<TlyrTestMemoView Name=\"Added\"/>");
    const QString other = dir.filePath(QStringLiteral("other.yl3"));
    writeFile(other, "<?xml version=\"1.0\"?><TlyrReport><TtestPage Name=\"Page1\">"
                     "<TlyrTestMemoView Name=\"Other\" Left=\"3\"/></TtestPage></TlyrReport>");

    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    ASSERT_TRUE(r.LoadFromFile(child));
    ASSERT_NE(r.FindObject(QStringLiteral("Title")), nullptr);
    r.Clear();
    EXPECT_EQ(r.FindObject(QStringLiteral("Title")), nullptr);
    EXPECT_EQ(r.PagesCount(), 0);
    EXPECT_EQ(r.ParentReportObject(), nullptr);
    EXPECT_FALSE(r.IsAncestor());

    ASSERT_TRUE(r.LoadFromFile(child));
    ASSERT_TRUE(r.LoadFromFile(other));
    EXPECT_EQ(r.FindObject(QStringLiteral("Title")), nullptr);
    EXPECT_EQ(r.FindObject(QStringLiteral("Added")), nullptr);
    ASSERT_NE(r.FindObject(QStringLiteral("Other")), nullptr);
    for (TlyrComponent *c : r.AllObjects()) EXPECT_FALSE(c->IsAncestor()) << c->objectName().toStdString();
    const QByteArray xml = save(r);
    EXPECT_FALSE(xml.contains("inherited")) << xml.constData();
    TlyrReport again;
    again.EngineOptions()->SetNewSilentMode(simSilent);
    load(again, xml);
    EXPECT_TRUE(again.Errors().isEmpty()) << again.Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_NE(again.FindObject(QStringLiteral("Other")), nullptr);

    ASSERT_TRUE(r.LoadFromFile(child));
    r.SetParentReport(QString());
    EXPECT_FALSE(r.IsAncestor());
    for (TlyrComponent *c : r.AllObjects()) EXPECT_FALSE(c->IsAncestor()) << c->objectName().toStdString();
    const QByteArray own = save(r);
    EXPECT_FALSE(own.contains("inherited")) << own.constData();
    EXPECT_TRUE(own.contains("Name=\"Title\""));
}

// On a full disk the old template stays as it was and the save fails.
TEST_F(SerializerTest, SaveToFileKeepsTheOldFileWhenTheDiskIsFull)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.yl3"));
    TlyrReport r;
    TlyrUserDataSet *ds = nullptr;
    build(r, ds);
    r.SaveToFile(path);
    const QByteArray before = readFile(path);
    ASSERT_GT(before.size(), 512);
    r.ReportOptions()->Author = QStringLiteral("新的作者");
    {
        FileSizeLimit full(256);
        EXPECT_THROW(r.SaveToFile(path), ElyrError);
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("r.yl3")});
    r.SaveToFile(path);
    EXPECT_NE(readFile(path), before);
}

// A Null variable is written without a value and reads back as Null.
TEST_F(SerializerTest, NullVariableStaysNull)
{
    TlyrReport r;
    r.Variables()->SetVariable(QStringLiteral("Nothing"), QVariant());
    r.Variables()->SetVariable(QStringLiteral("Blank"), QString());
    TlyrReport loaded;
    loaded.EngineOptions()->SetNewSilentMode(simSilent);
    load(loaded, save(r));
    ASSERT_EQ(loaded.Variables()->Count(), 2);
    EXPECT_GE(loaded.Variables()->IndexOf(QStringLiteral("Nothing")), 0);
    EXPECT_TRUE(loaded.Variables()->Variables(QStringLiteral("Nothing")).isNull());
    EXPECT_EQ(loaded.Variables()->Variables(QStringLiteral("Blank")).typeId(), QMetaType::QString);
    EXPECT_TRUE(loaded.Calc(QStringLiteral("Nothing")).IsNull());
    EXPECT_TRUE(loaded.Errors().isEmpty()) << loaded.Errors().join(QLatin1Char('\n')).toStdString();
}

// A number for an enumeration must name one of its values.
TEST_F(SerializerTest, EnumerationNumbersAreRangeChecked)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    load(r, "<?xml version=\"1.0\"?><TlyrReport><TtestPage Name=\"Page1\">"
            "<TlyrTestMemoView Name=\"A\" Style=\"7\"/><TlyrTestMemoView Name=\"B\" Style=\"2\"/>"
            "<TlyrTestMemoView Name=\"C\" Style=\"-1\"/></TtestPage></TlyrReport>");
    auto style = [&](const char *name) {
        auto *m = qobject_cast<TlyrTestMemoView *>(r.FindObject(QLatin1String(name)));
        return m ? static_cast<int>(m->Style()) : -100;
    };
    EXPECT_EQ(style("A"), TlyrTestMemoView::vsPlain);
    EXPECT_EQ(style("B"), TlyrTestMemoView::vsBoxed);
    EXPECT_EQ(style("C"), TlyrTestMemoView::vsPlain);
    EXPECT_TRUE(r.Errors().contains(QStringLiteral("A.Style: Invalid property value 7")))
            << r.Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(r.Errors().contains(QStringLiteral("C.Style: Invalid property value -1")));
}

// Two objects of one name (in any letter case) are not merged.
TEST_F(SerializerTest, DuplicateNamesGiveErrorLines)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    load(r, "<?xml version=\"1.0\"?><TlyrReport><TtestPage Name=\"Page1\">"
            "<TlyrTestMemoView Name=\"Memo1\" Left=\"5\"/><TlyrTestMemoView Name=\"MEMO1\" Left=\"9\" Top=\"4\"/>"
            "<TtestBand Name=\"memo1\"/></TtestPage></TlyrReport>");
    auto *page = r.FindObject(QStringLiteral("Page1"));
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->Objects().size(), 1);
    EXPECT_DOUBLE_EQ(page->Objects().first()->Left(), 5);
    EXPECT_DOUBLE_EQ(page->Objects().first()->Top(), 0);
    int lines = 0;
    for (const QString &e : r.Errors()) lines += e.contains(QStringLiteral("重复"));
    EXPECT_EQ(lines, 2) << r.Errors().join(QLatin1Char('\n')).toStdString();
}

// Attributes before ParentReport survive the ancestor's load.
TEST_F(SerializerTest, AttributesBeforeParentReportAreKept)
{
    QTemporaryDir dir;
    const QString base = writeBase(dir);
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    load(r, "<?xml version=\"1.0\"?><TlyrReport ScriptLanguage=\"JScript\" DotMatrixReport=\"True\" ParentReport=\"" +
                    base.toUtf8() + "\" ReportOptions.Author=\"店长\"/>");
    EXPECT_TRUE(r.Errors().isEmpty()) << r.Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(r.ScriptLanguage(), QStringLiteral("JScript"));
    EXPECT_TRUE(r.DotMatrixReport());
    EXPECT_EQ(r.ReportOptions()->Author, QStringLiteral("店长"));
    EXPECT_EQ(r.ParentReport(), base);
    auto *title = r.FindObject(QStringLiteral("Title"));
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->IsAncestor());
}
