#pragma once
// A report of the shop's sale-document layout (title, a header row, rows of
// eight columns, a total) built in code, with the engine and the preview
// installed.

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreview.h"
#include "reportengine/lyrpreviewpages.h"

#include <QApplication>

#include <memory>

// A window of that size showing the report's pages, as ShowReport makes it.
inline std::unique_ptr<TlyrPreviewForm> openPreviewForm(TlyrReport &report, QSize size)
{
    auto form = std::make_unique<TlyrPreviewForm>();
    report.PreviewOptions()->Maximized = false;
    form->resize(size);
    report.SetPreview(form->Preview);
    form->Init(&report);
    form->show();
    QApplication::processEvents();
    return form;
}

struct PreviewReport {
    explicit PreviewReport(int rows, int paper = 9, double rowHeight = 20)
    {
        lyrRegisterReportClasses();
        lyrInstallEngine();
        report = std::make_unique<TlyrReport>();
        report->EngineOptions()->SetNewSilentMode(simSilent);
        page = new TlyrReportPage(report.get());
        page->SetName(QStringLiteral("Page1"));
        page->SetParent(report.get());
        page->SetPaperSize(paper);
        page->SetLeftMargin(9);
        page->SetRightMargin(9);
        auto *header = band<TlyrPageHeader>("PageHeader1", 0, 60);
        memo(header, "Title", QStringLiteral("消费单  No. XF0001"), 0, 680, 28);
        const char *heads[] = {"序号", "商品编号", "商品名称", "单位", "数量", "单价", "折扣", "金额"};
        for (int c = 0; c < 8; ++c)
            memo(header, QStringLiteral("H%1").arg(c), QString::fromUtf8(heads[c]), c * 85, 85, 22, 30);
        auto *master = band<TlyrMasterData>("MasterData1", 80, rowHeight);
        master->SetRowCount(rows);
        const char *cells[] = {"[Line]", "SP[Line]", "苹果汁 [Line]", "瓶", "2", "3.50", "1.00", "合计 7.00"};
        for (int c = 0; c < 8; ++c)
            memo(master, QStringLiteral("M%1").arg(c), QString::fromUtf8(cells[c]), c * 85, 85, rowHeight);
        auto *footer = band<TlyrFooter>("Footer1", 120, 24);
        memo(footer, "Total", QStringLiteral("合计 123"), 0, 680, 24);
    }
    template <class B>
    B *band(const char *name, double top, double height)
    {
        auto *b = new B(report.get());
        b->SetName(QString::fromLatin1(name));
        b->SetParent(page);
        b->SetTop(top);
        b->SetHeight(height);
        return b;
    }
    TlyrMemoView *memo(TlyrBand *b, const QString &name, const QString &text, double left, double width, double height,
                       double top = 0)
    {
        auto *m = new TlyrMemoView(report.get());
        m->SetName(name);
        m->SetParent(b);
        m->SetBounds(left, top, width, height);
        m->SetText(text);
        return m;
    }
    TlyrMemoView *memo(TlyrBand *b, const char *name, const QString &text, double left, double width, double height,
                       double top = 0)
    {
        return memo(b, QString::fromLatin1(name), text, left, width, height, top);
    }
    // The window ShowReport opens without waiting (null when none), the
    // report's build not yet started.
    TlyrPreviewForm *showWithoutWaiting()
    {
        report->PreviewOptions()->Modal = false;
        report->PreviewOptions()->Maximized = false;
        report->ShowReport();
        auto *link = qobject_cast<TlyrPreviewFormLink *>(report->PreviewForm());
        return link ? link->Form() : nullptr;
    }
    // A drill-down group "GroupHeader1" per row, its header showing text.
    TlyrGroupHeader *drillDownGroup(const QString &text)
    {
        auto *group = band<TlyrGroupHeader>("GroupHeader1", 62, 16);
        group->Condition = QStringLiteral("Line");
        group->DrillDown = true;
        memo(group, "G", text, 0, 100, 16);
        return group;
    }
    TlyrPreviewPages &pages() { return *static_cast<TlyrPreviewPages *>(report->PreviewPages()); }
    // How many text objects of the prepared pages hold text.
    int textsContaining(const QString &text)
    {
        int n = 0;
        for (int i = 0; i < pages().Count(); ++i)
            if (TlyrReportPage *p = pages().GetPage(i))
                for (TlyrComponent *c : p->AllObjects())
                    if (auto *m = qobject_cast<TlyrCustomMemoView *>(c); m && m->GetText().contains(text)) ++n;
        return n;
    }
    bool prepare() { return report->PrepareReport(true); }
    std::unique_ptr<TlyrPreviewForm> openForm(QSize size) { return openPreviewForm(*report, size); }

    std::unique_ptr<TlyrReport> report;
    TlyrReportPage *page = nullptr;
};
