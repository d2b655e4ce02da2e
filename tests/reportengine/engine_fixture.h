#pragma once
// A report of one empty page for engine tests, with helpers that put bands
// and memos on it.

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"

#include <gtest/gtest.h>

#include <memory>

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        lyrRegisterReportClasses();
        lyrInstallEngine();
        newReport();
    }
    // An empty report with one page.
    void newReport()
    {
        if (report) report->setParent(nullptr);
        report = std::make_unique<TlyrReport>();
        report->setParent(&keeper);
        report->EngineOptions()->SetNewSilentMode(simSilent);
        page = new TlyrReportPage(report.get());
        page->SetName(QStringLiteral("Page1"));
        page->SetParent(report.get());
    }
    void TearDown() override
    {
        report->setParent(nullptr);
        report.reset();
        lyrEngineFactories() = TlyrEngineFactories();
    }
    // A band on the page (or on another page given).
    template <class B>
    B *band(const QString &name, double top, double height, TlyrComponent *parent = nullptr)
    {
        auto *b = new B(report.get());
        b->SetName(name);
        b->SetParent(parent ? parent : page);
        b->SetTop(top);
        b->SetHeight(height);
        return b;
    }
    // A memo as high as its band.
    TlyrMemoView *memo(TlyrBand *b, const QString &name, const QString &text, double left = 0, double width = 200)
    {
        auto *m = new TlyrMemoView(report.get());
        m->SetName(name);
        m->SetParent(b);
        m->SetBounds(left, 0, width, b->Height());
        m->SetText(text);
        return m;
    }
    // A subreport object in band b at the place given, over a page of its
    // own (the object's SubPage) that holds nothing yet.
    TlyrSubreport *subreportObject(TlyrBand *b, const QString &name, double left, double top, double width,
                                   double height)
    {
        auto *subPage = new TlyrReportPage(report.get());
        subPage->SetName(name + QStringLiteral("Page"));
        subPage->SetParent(report.get());
        auto *sub = new TlyrSubreport(report.get());
        sub->SetName(name);
        sub->SetParent(b);
        sub->SetBounds(left, top, width, height);
        sub->SetSubPage(subPage);
        return sub;
    }
    TlyrPreviewPages &pages() { return *static_cast<TlyrPreviewPages *>(report->PreviewPages()); }
    // The texts of every memo on prepared page i, in page order.
    QStringList texts(int i)
    {
        QStringList out;
        TlyrReportPage *p = pages().GetPage(i);
        if (!p) return out;
        for (TlyrComponent *c : p->AllObjects())
            if (auto *m = qobject_cast<TlyrCustomMemoView *>(c)) out << m->GetText();
        return out;
    }

    QObject keeper;
    std::unique_ptr<TlyrReport> report;
    TlyrReportPage *page = nullptr;
};
