// The registration rows of the windows: one per menu item, with the list
// windows' open flags and export layouts.
#include "core/MenuOpeners.h"
#include "core/Register.h"
#include "core/Unit1.h"
#include "members/Register.h"
#include "sales/Register.h"
#include "platform/excel/excelcell.h"

#include <QHash>
#include <QSet>
#include <gtest/gtest.h>

using namespace excel;

namespace {

// Every folder's windows, as the program registers them at start.
void registerAll()
{
    core::registerWindows();
    members::registerWindows();
    sales::registerWindows();
}

const ExportLayout &layoutOf(const char *window)
{
    const ExportLayout *l = velmora::exportLayout(QString::fromLatin1(window));
    EXPECT_NE(l, nullptr) << window;
    static const ExportLayout none;
    return l ? *l : none;
}

TEST(WindowRows, EveryListWindowHasItsFlagAndTheConditionsOfItsItem)
{
    using namespace velmora;
    registerAll();
    const QHash<QString, bool *> lists = {
            {"103", &myOpenMember_M}, {"106", &myOpenSRTX},  {"107", &myOpenJNRTX},  {"110", &myOpenM_Q},
            {"201", &myOpenXF_M},     {"202", &myOpenXF_MX}, {"203", &myOpenXF_SKQ}, {"204", &myOpenXF_TJ},
            {"301", &myOpenCZ_M},     {"403", &myOpenDH_M},  {"503", &myOpenShop_M}, {"506", &myOpenKC},
            {"509", &myOpenJH_M},     {"510", &myOpenJH_MX}, {"513", &myOpenTH_M},   {"514", &myOpenTH_MX},
            {"517", &myOpenGYS_M},    {"600", &myOpenBB_D},  {"601", &myOpenBB_M},   {"602", &myOpenBB_Y},
    };
    for (auto it = lists.begin(); it != lists.end(); ++it) {
        const WindowRow *r = findWindow(it.key());
        ASSERT_NE(r, nullptr) << it.key().toStdString();
        EXPECT_EQ(r->openFlag, it.value()) << it.key().toStdString();
    }
    const QHash<QString, unsigned> conditions = {
            {"009", Standalone}, {"010", Standalone}, {"012", NoClose}, {"103", OwnItem},
            {"300", OwnItem},    {"402", OwnItem},    {"506", Stock},   {"508", Stock},
            {"517", Stock},      {"600", OwnItem},    {"601", 0},
    };
    // A window that comes registers its whole row in place of the pending one.
    core::registerWindows();
    for (auto it = conditions.begin(); it != conditions.end(); ++it) {
        ASSERT_NE(findWindow(it.key()), nullptr) << it.key().toStdString();
        EXPECT_EQ(findWindow(it.key())->conditions, it.value()) << it.key().toStdString();
    }
    const WindowRow *imports = findWindow("518");
    ASSERT_NE(imports, nullptr);
    EXPECT_EQ(imports->conditions, unsigned(Stock));
    EXPECT_EQ(imports->openFlag, nullptr);
    EXPECT_TRUE(bool(imports->opener));
    EXPECT_EQ(findWindow("104")->conditions, unsigned(OwnItem));
    EXPECT_EQ(findWindow("999"), nullptr);
}

// Replacing only the opener of a registered window keeps the rest of its row.
TEST(WindowRows, RegisteringAnOpenerKeepsTheRow)
{
    using namespace velmora;
    registerAll();
    registerOpener("203", [](TfrmMain *) -> QWidget * { return nullptr; });
    EXPECT_EQ(findWindow("203")->openFlag, &myOpenXF_SKQ);
    EXPECT_TRUE(bool(findOpener("203")));
    unregisterOpener("203");
    EXPECT_FALSE(bool(findOpener("203")));
    EXPECT_NE(exportLayout("TfrmXF_SKQ"), nullptr);
}

TEST(WindowRows, ExportLayoutsAreConsistent)
{
    registerAll();
    const auto all = velmora::exportLayouts();
    EXPECT_EQ(all.size(), 19u);
    EXPECT_EQ(velmora::exportLayout("TfrmM_Q"), nullptr);  // the member reset does not export
    // Last column letter of each window.
    const QHash<QString, QString> last = {
            {"TfrmShop_M", "I"},   {"TfrmGYS_M", "F"}, {"TfrmXF_M", "V"},  {"TfrmCZ_M", "L"},   {"TfrmDH_M", "K"},
            {"TfrmMember_M", "X"}, {"TfrmXF_MX", "N"}, {"TfrmSRTX", "T"},  {"TfrmBB_D", "Q"},   {"TfrmBB_M", "Q"},
            {"TfrmBB_Y", "Q"},     {"TfrmXF_TJ", "L"}, {"TfrmJNRTX", "H"}, {"TfrmKC", "I"},     {"TfrmJH_M", "K"},
            {"TfrmJH_MX", "M"},    {"TfrmTH_M", "K"},  {"TfrmTH_MX", "M"}, {"TfrmXF_SKQ", "J"},
    };
    QSet<QString> windows;
    for (const ExportLayout *layout : all) {
        const ExportLayout &l = *layout;
        windows.insert(l.window);
        EXPECT_EQ(columnLetters(l.columnCount() - 1), last.value(l.window)) << l.window.toStdString();
        EXPECT_EQ(l.columns.first().title, "序号");
        EXPECT_FALSE(l.columns.first().text);
        QSet<QString> titles;
        for (const ExportColumn &c : l.columns) {
            EXPECT_FALSE(titles.contains(c.title)) << l.window.toStdString() << c.title.toStdString();
            titles.insert(c.title);
        }
        QSet<int> totalColumns;
        for (const ExportTotal &t : l.totals) {
            EXPECT_GT(t.column, 1);
            EXPECT_LE(t.column, l.columnCount());
            EXPECT_FALSE(totalColumns.contains(t.column));
            totalColumns.insert(t.column);
            EXPECT_FALSE(l.columns[t.column - 1].text) << l.window.toStdString();
        }
    }
    EXPECT_EQ(windows.size(), 19);
    // The totals of the sale list take its profit from the field 利润.
    const ExportLayout &xf = layoutOf("TfrmXF_M");
    EXPECT_EQ(xf.columns[21].title, "本单利润");
    EXPECT_EQ(xf.totals.last().column, 22);
    EXPECT_EQ(xf.totals.last().field, "利润");
    EXPECT_EQ(layoutOf("TfrmDH_M").columns.last().width, 0);
    EXPECT_EQ(layoutOf("TfrmKC").columnOf("商品编码"), 3);
    EXPECT_TRUE(layoutOf("TfrmKC").columns[2].text);
}

}  // namespace
