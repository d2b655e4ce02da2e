#include "preview_fixture.h"

#include <QImage>
#include <QPainter>
#include <QScopeGuard>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList memoTexts(TlyrReportPage *page)
{
    QStringList out;
    if (!page) return out;
    for (TlyrComponent *c : page->AllObjects())
        if (auto *m = qobject_cast<TlyrCustomMemoView *>(c)) out << m->GetText();
    return out;
}

}  // namespace

TEST(PreviewPagesEdit, ModifyPageReplacesOnePageAndKeepsIt)
{
    PreviewReport r(60);
    ASSERT_TRUE(r.prepare());
    TlyrPreviewPages &pages = r.pages();
    ASSERT_GE(pages.Count(), 2);
    const QStringList second = memoTexts(pages.GetPage(1));
    const QStringList first = memoTexts(pages.GetPage(0));
    TlyrReportPage *page = pages.GetPage(0);
    for (TlyrComponent *c : page->AllObjects())
        if (auto *m = qobject_cast<TlyrMemoView *>(c); m && m->Name() == QLatin1String("Title"))
            m->SetText(QStringLiteral("改过的标题"));
    page->SetOrientation(poLandscape);
    pages.ModifyPage(0, page);
    EXPECT_EQ(pages.PageCacheCount(), 0);
    QStringList changed = first;
    changed[first.indexOf(QStringLiteral("消费单  No. XF0001"))] = QStringLiteral("改过的标题");
    // Every row is still there, in its place.
    EXPECT_EQ(memoTexts(pages.GetPage(0)), changed);
    EXPECT_GT(pages.GetPageSize(0).width(), pages.GetPageSize(0).height());
    EXPECT_FALSE(pages.PagesItem()->Items(0)->Unloadable);
    EXPECT_EQ(memoTexts(pages.GetPage(1)), second);
    // Out of range: nothing happens.
    pages.ModifyPage(pages.Count(), pages.GetPage(1));
    pages.ModifyPage(-1, pages.GetPage(1));
    EXPECT_EQ(memoTexts(pages.GetPage(1)), second);
}

TEST(PreviewPagesEdit, AddFromAppendsAnotherReportsPages)
{
    PreviewReport a(60), b(10);
    ASSERT_TRUE(a.prepare());
    ASSERT_TRUE(b.prepare());
    const int countA = a.pages().Count(), countB = b.pages().Count();
    const QStringList firstOfB = memoTexts(b.pages().GetPage(0));
    a.pages().AddFrom(b.report.get());
    ASSERT_EQ(a.pages().Count(), countA + countB);
    EXPECT_EQ(memoTexts(a.pages().GetPage(countA)), firstOfB);
    // A report's own pages are not appended to themselves.
    a.pages().AddFrom(a.report.get());
    EXPECT_EQ(a.pages().Count(), countA + countB);
}

TEST(PreviewPagesEdit, EmptyPagesAndDeletingNeverTheLastOne)
{
    PreviewReport r(2);
    ASSERT_TRUE(r.prepare());
    TlyrPreviewPages &pages = r.pages();
    ASSERT_EQ(pages.Count(), 1);
    pages.DeletePage(0);
    EXPECT_EQ(pages.Count(), 1);
    pages.AddEmptyPage(0);
    ASSERT_EQ(pages.Count(), 2);
    EXPECT_TRUE(memoTexts(pages.GetPage(0)).isEmpty());
    EXPECT_FALSE(memoTexts(pages.GetPage(1)).isEmpty());
    pages.DeletePage(0);
    EXPECT_EQ(pages.Count(), 1);
    EXPECT_FALSE(memoTexts(pages.GetPage(0)).isEmpty());
}

TEST(PreviewPagesEdit, UpdatePageDimensionsMakesTheSourcePageCustom)
{
    PreviewReport r(2);
    TlyrPreviewPages &pages = r.pages();
    bool grown = false;
    r.report->OnProgress = [&](TlyrReport *, TlyrProgressType, int) {
        if (grown) return;
        pages.UpdatePageDimensions(r.page, 500, 2000);
        grown = true;
    };
    ASSERT_TRUE(r.prepare());
    ASSERT_TRUE(grown);
    ASSERT_EQ(pages.SourcePages.size(), size_t(1));
    TlyrReportPage *source = pages.SourcePages[0].get();
    EXPECT_EQ(source->PaperSize(), lyrCustomPaper);
    EXPECT_NEAR(source->PaperWidth(), 500 / lyrUnitsPerMM, 1e-6);
    EXPECT_NEAR(source->PaperHeight(), 2000 / lyrUnitsPerMM, 1e-6);
}

TEST(PreviewPagesEdit, DictionaryKeysResumeFromTheLargestTakenStartingNumber)
{
    TlyrDictionary d;
    auto add = [&](const char *prefix) { return d.AddObject(QString::fromLatin1(prefix), QString(), nullptr); };
    EXPECT_EQ(add("m"), QStringLiteral("m1"));
    EXPECT_EQ(add("m"), QStringLiteral("m2"));
    EXPECT_EQ(add("b"), QStringLiteral("b1"));
    // A key asked for but never added is offered again.
    EXPECT_EQ(d.CreateUniqueName(QStringLiteral("m")), QStringLiteral("m3"));
    EXPECT_EQ(add("m"), QStringLiteral("m3"));
    // A file may bring 10000: the search starts there from then on.
    d.Add(QStringLiteral("m10000"), QString(), nullptr);
    EXPECT_EQ(add("m"), QStringLiteral("m10001"));
    EXPECT_EQ(add("m"), QStringLiteral("m10002"));
    d.Clear();
    for (int i = 1; i <= 12000; ++i) ASSERT_EQ(add("m"), QStringLiteral("m%1").arg(i));
    d.Add(QStringLiteral("m12002"), QString(), nullptr);
    EXPECT_EQ(add("m"), QStringLiteral("m12001"));
    EXPECT_EQ(add("m"), QStringLiteral("m12003"));
    EXPECT_EQ(d.Count(), 12003);
}

// The engine and the preview may hold the pages and their outline by the
// report's contract alone: every operation they use is reachable there.
TEST(PreviewPagesEdit, TheContractReachesThePagesAndTheirOutline)
{
    PreviewReport r(60);
    ASSERT_TRUE(r.prepare());
    TlyrCustomPreviewPages &pages = *r.report->PreviewPages();
    const int n = pages.Count();
    ASSERT_GE(n, 2);
    EXPECT_FALSE(pages.GetPageSize(0).isEmpty());
    EXPECT_NE(pages.GetPage(1), nullptr);
    pages.AddEmptyPage(0);
    EXPECT_EQ(pages.Count(), n + 1);
    pages.DeletePage(0);
    EXPECT_EQ(pages.Count(), n);
    TlyrCustomOutline &outline = *pages.Outline;
    outline.LevelRoot();
    outline.AddItem(QStringLiteral("甲"), 12.4);
    outline.LevelUp();
    QString text;
    int page = -1, top = -1;
    outline.GetItem(outline.Count() - 1, text, page, top);
    EXPECT_EQ(text, QStringLiteral("甲"));
    EXPECT_EQ(top, 12);
    EXPECT_NE(outline.GetCurPosition(), nullptr);
}

namespace {

// Outline items of one level, kept by text.
class ListOutline : public TlyrCustomOutline {
public:
    using TlyrCustomOutline::TlyrCustomOutline;
    QStringList Items;
    bool Down = false;
    int Count() override { return Down ? 0 : static_cast<int>(Items.size()); }
    void AddItem(const QString &text, double) override { Items << text; }
    void LevelDown(int) override { Down = true; }
    void LevelRoot() override { Down = false; }
    void LevelUp() override { Down = false; }
    void GetItem(int index, QString &text, int &page, int &top) override
    {
        text = Items.value(index);
        page = index;
        top = 0;
    }
};

// A store of another kind than the program's own: each page is the list of
// what the engine wrote to it, and drawing only notes the page.
class ListPages : public TlyrCustomPreviewPages {
public:
    explicit ListPages(TlyrReport *report) : TlyrCustomPreviewPages(report) { Outline = new ListOutline(this); }
    QList<QStringList> Written;
    QList<int> Drawn;
    int Count() override { return static_cast<int>(Written.size()); }
    QSize GetPageSize(int) override { return QSize(200, 300); }
    void Clear() override
    {
        Written.clear();
        CurPage = -1;
    }
    void Initialize() override { CurPage = -1; }
    void AddPage(TlyrReportPage *) override
    {
        ++CurPage;
        if (CurPage >= Written.size()) Written.append(QStringList());
    }
    void AddObject(TlyrComponent *obj) override
    {
        if (CurPage < 0) return;
        QString line = obj->Name();
        for (TlyrComponent *c : obj->AllObjects())
            if (auto *m = qobject_cast<TlyrCustomMemoView *>(c)) line += QLatin1Char(' ') + m->GetText();
        Written[CurPage] << line;
    }
    int GetCurPosition() override { return CurPage >= 0 ? static_cast<int>(Written[CurPage].size()) : 0; }
    int GetLogicalPageNo() override { return CurPage + 1; }
    int GetLogicalTotalPages() override { return Count(); }
    void DrawPage(int index, TlyrCanvas &, double, double, double, double) override { Drawn << index; }
};

}  // namespace

// The engine builds into, and the preview shows, any store that keeps the
// report's contract, not only the program's own.
TEST(PreviewPagesEdit, TheEngineAndThePreviewWorkThroughTheContract)
{
    lyrRegisterReportClasses();
    lyrInstallEngine();
    TlyrEngineFactories &f = lyrEngineFactories();
    const auto own = f.PreviewPages;
    f.PreviewPages = [](TlyrReport *r) -> TlyrCustomPreviewPages * { return new ListPages(r); };
    const auto restore = qScopeGuard([&] { f.PreviewPages = own; });
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    auto *pages = dynamic_cast<ListPages *>(report.PreviewPages());
    ASSERT_NE(pages, nullptr);
    auto *page = new TlyrReportPage(&report);
    page->SetName(QStringLiteral("Page1"));
    page->SetParent(&report);
    auto *master = new TlyrMasterData(&report);
    master->SetName(QStringLiteral("MasterData1"));
    master->SetParent(page);
    master->SetBounds(0, 20, 600, 20);
    master->SetRowCount(3);
    master->SetOutlineText(QStringLiteral("Line"));
    auto *cell = new TlyrMemoView(&report);
    cell->SetName(QStringLiteral("Cell"));
    cell->SetParent(master);
    cell->SetBounds(0, 0, 100, 20);
    cell->SetText(QStringLiteral("R[Line]"));
    ASSERT_TRUE(report.PrepareReport()) << report.Errors().join(u'\n').toStdString();

    ASSERT_EQ(pages->Count(), 1);
    EXPECT_EQ(pages->Written[0], (QStringList{"MasterData1 R1", "MasterData1 R2", "MasterData1 R3"}));
    auto *outline = static_cast<ListOutline *>(pages->Outline);
    EXPECT_EQ(outline->Items, (QStringList{"1", "2", "3"}));

    TlyrPreview preview;
    preview.resize(500, 400);
    report.SetPreview(&preview);
    EXPECT_EQ(preview.PageCount(), 1);
    preview.UpdatePages();
    preview.UpdateOutline();
    ASSERT_EQ(preview.OutlineTree->topLevelItemCount(), 3);
    EXPECT_EQ(preview.OutlineTree->topLevelItem(2)->text(0), QStringLiteral("3"));
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    preview.Workspace->PaintTo(painter, image.size());
    EXPECT_TRUE(pages->Drawn.contains(0));
    report.SetPreview(nullptr);
}
