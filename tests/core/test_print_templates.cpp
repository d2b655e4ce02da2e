// The four templates of the printed documents as the data module loads them
// from the program's resources: the report settings, the datasets each
// uses, the page and the bands.

#include "core/dm.h"
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrpage.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

struct Expected {
    TlyrReport *TfrmDM::*report;
    QStringList datasets;  // the names under which the template uses them
    double margin;         // left and right
};

const Expected kTemplates[] = {
        {&TfrmDM::lyrR_XF, {"lyrDB_DJ", "lyrDB_Unit", "lyrDB_XF", "lyrDB_XF_M", "lyrDB_XF_SK"}, 9},
        {&TfrmDM::lyrR_JH, {"lyrDB_DJ", "lyrDB_JH", "lyrDB_JH_M", "lyrDB_Unit"}, 9},
        {&TfrmDM::lyrR_TH, {"lyrDB_DJ", "lyrDB_TH", "lyrDB_TH_M", "lyrDB_Unit"}, 9},
        {&TfrmDM::lyrR_TM, {"lyrDB_TM"}, 10},
};

QStringList datasetNames(TlyrReport *r)
{
    QStringList out;
    for (int i = 0; i < r->Datasets()->Count(); ++i) out << r->Datasets()->Items(i)->DataSetName();
    return out;
}

}  // namespace

TEST(PrintTemplates, SettingsDatasetsAndPages)
{
    TfrmDM dm;
    for (const Expected &e : kTemplates) {
        TlyrReport *r = dm.*e.report;
        ASSERT_NE(r, nullptr);
        SCOPED_TRACE(r->Name().toStdString());
        EXPECT_TRUE(r->Errors().isEmpty()) << r->Errors().join('\n').toStdString();
        EXPECT_EQ(r->Version(), "4.3");
        EXPECT_FALSE(r->DotMatrixReport());
        EXPECT_EQ(r->IniFile(), "\\Software\\Lyrane");
        EXPECT_EQ(r->ScriptLanguage(), "PascalScript");
        EXPECT_EQ(r->ScriptText().value(0), "begin");
        EXPECT_EQ(r->ScriptText().last(), "end.");
        EXPECT_EQ(r->ScriptText().join("").trimmed(), "beginend.");
        EXPECT_EQ(r->PrintOptions()->Printer, "Default");
        EXPECT_DOUBLE_EQ(r->PreviewOptions()->Zoom, 1);
        // print, open, save, export, zoom, find, outline, page setup, tools,
        // edit, navigator and quick export.
        EXPECT_EQ(r->PreviewOptions()->Buttons, (TlyrPreviewOptions::pbExportQuick << 1) - 1);
        EXPECT_EQ(r->Variables()->Count(), 0);
        EXPECT_EQ(r->Styles()->Count(), 0);
        EXPECT_EQ(datasetNames(r), e.datasets);

        ASSERT_EQ(r->PagesCount(), 2);  // the data page and one printed page
        auto *page = qobject_cast<TlyrReportPage *>(r->Pages(1));
        ASSERT_NE(page, nullptr);
        EXPECT_DOUBLE_EQ(page->PaperWidth(), 210);
        EXPECT_DOUBLE_EQ(page->PaperHeight(), 297);
        EXPECT_EQ(page->PaperSize(), 9);
        EXPECT_DOUBLE_EQ(page->LeftMargin(), e.margin);
        EXPECT_DOUBLE_EQ(page->RightMargin(), e.margin);
        EXPECT_DOUBLE_EQ(page->TopMargin(), 10);
        EXPECT_DOUBLE_EQ(page->BottomMargin(), 10);

        // The footer's SUM(...,MasterData1) finds its band; no two bands of
        // the page share a top.
        QSet<double> tops;
        int masters = 0;
        for (TlyrComponent *c : page->Objects()) {
            auto *band = qobject_cast<TlyrBand *>(c);
            if (!band) continue;
            EXPECT_FALSE(tops.contains(band->Top())) << band->Name().toStdString();
            tops.insert(band->Top());
            if (auto *m = qobject_cast<TlyrMasterData *>(band)) {
                ++masters;
                EXPECT_EQ(m->Name(), "MasterData1");
                ASSERT_NE(m->DataSet(), nullptr);
                EXPECT_EQ(m->DataSet()->UserName(),
                          e.datasets.contains("lyrDB_TM") ? "lyrDB_TM" : e.datasets.filter("_M").value(0));
                EXPECT_EQ(m->RowCount(), 0);
            }
        }
        EXPECT_EQ(masters, 1);
    }
}

// The labels: three 63.33 mm columns of 63.3 x 46 mm labels with a Code 39
// barcode of the goods code, ratio 2.
TEST(PrintTemplates, LabelBand)
{
    TfrmDM dm;
    auto *band = qobject_cast<TlyrMasterData *>(dm.lyrR_TM->FindObject("MasterData1"));
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(band->Columns(), 3);
    EXPECT_NEAR(band->ColumnWidth() / lyrUnitsPerMM, 190.0 / 3, 0.001);
    EXPECT_NEAR(band->Width() / lyrUnitsPerMM, 63.3, 0.001);
    EXPECT_NEAR(band->Height() / lyrUnitsPerMM, 46, 0.001);
    TlyrComponent *code = dm.lyrR_TM->FindObject("BarCode1");
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->property("BarType").toInt(), 3);
    EXPECT_EQ(code->property("Expression").toString(), "<lyrDB_TM.\"theNum\">");
    EXPECT_DOUBLE_EQ(code->property("WideBarRatio").toDouble(), 2);
    EXPECT_DOUBLE_EQ(code->property("Zoom").toDouble(), 1);
    EXPECT_EQ(code->property("Rotation").toInt(), 0);
}

// With a second data module alive (as in tests) each module's templates run
// over its own queries.
TEST(PrintTemplates, EachDataModuleUsesItsOwnDatasets)
{
    TfrmDM first;
    TfrmDM second;
    for (TfrmDM *dm : {&first, &second}) {
        for (int i = 0; i < dm->lyrR_XF->Datasets()->Count(); ++i)
            EXPECT_EQ(dm->lyrR_XF->Datasets()->Items(i)->DataSet()->parent(), dm);
        auto *band = qobject_cast<TlyrMasterData *>(dm->lyrR_XF->FindObject("MasterData1"));
        ASSERT_NE(band, nullptr);
        EXPECT_EQ(band->DataSet(), dm->lyrDBD_XF_M);
    }
}
