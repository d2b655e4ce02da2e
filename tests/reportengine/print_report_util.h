#pragma once
// A report of N prepared pages, one memo with the page's number on each,
// for the printing tests.

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrcomponent.h"
#include "report/lyrdmpclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrutils.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprint.h"
#include "reportengine/lyrprinter.h"

#include <gtest/gtest.h>

#include <QRectF>

#include <memory>
#include <type_traits>

class PrintReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lyrRegisterReportClasses();
        lyrRegisterDMPClasses();
        lyrInstallEngine();
        previous = lyrSetErrorMsgHandler([this](const QString &t) { messages << t; });
        report = std::make_unique<TlyrReport>();
        report->setParent(&keeper);
        report->EngineOptions()->SetNewSilentMode(simSilent);
        report->PrintOptions()->ShowDialog = false;
    }
    void TearDown() override
    {
        report->setParent(nullptr);
        report.reset();
        lyrEngineFactories() = TlyrEngineFactories();
        lyrSetErrorMsgHandler(previous);
    }
    // A page of the class (a dot-matrix page with its defaults) holding a
    // data band of rows records, each on a page of its own when newPages.
    template <class Page>
    TlyrMasterData *pageWithBand(double bandHeight, int rows, bool newPages)
    {
        auto *page = new Page(report.get());
        page->SetName(QStringLiteral("Page1"));
        page->SetParent(report.get());
        if constexpr (std::is_same_v<Page, TlyrDMPPage>) page->SetDefaults();
        auto *band = new TlyrMasterData(report.get());
        band->SetName(QStringLiteral("MasterData1"));
        band->SetParent(page);
        band->SetHeight(bandHeight);
        band->SetRowCount(rows);
        band->SetStartNewPage(newPages);
        return band;
    }
    // A text object of the class on the band.
    template <class View>
    View *textView(TlyrBand *band, const QString &name, const QRectF &bounds, const QString &text)
    {
        auto *v = new View(report.get());
        v->SetName(name);
        v->SetParent(band);
        v->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
        v->SetText(text);
        return v;
    }
    // Prepares pages pages, each with the memo "Page N" (N from 1).
    void build(int pages, double paperWidth = 210, double paperHeight = 297)
    {
        TlyrMasterData *band = pageWithBand<TlyrReportPage>(20, pages, true);
        auto *page = static_cast<TlyrReportPage *>(band->Page());
        page->SetPaperWidth(paperWidth);
        page->SetPaperHeight(paperHeight);
        textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 300, 20}, QStringLiteral("Page [Line#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        ASSERT_EQ(this->pages().Count(), pages);
    }
    TlyrPreviewPages &pages() { return *static_cast<TlyrPreviewPages *>(report->PreviewPages()); }

    QObject keeper;
    std::unique_ptr<TlyrReport> report;
    QStringList messages;
    TlyrErrorMsgHandler previous;
};
