// A memo's text with bracketed expressions (and a format suffix) expanded
// by GetData: the bracket scanning must never crash or loop; expression
// errors are the report's error lines or exceptions of our own.

#include "report/lyrclass.h"
#include "report/lyrmemo.h"

#include <QGuiApplication>

#include "fuzz_app.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzEnsureApp();
    if (size < 1 || size > 4000) return 0;
    static TlyrReport *report = [] {
        auto *r = new TlyrReport;
        r->EngineOptions()->SetNewSilentMode(simSilent);
        return r;
    }();
    auto *page = new TlyrPage(report);
    auto *memo = new TlyrMemoView(page);
    memo->SetBounds(0, 0, 120, 30);
    memo->SetExpressionDelimiters(data[0] & 1 ? QStringLiteral("<%,%>") : QStringLiteral("[,]"));
    memo->SetHideZeros(data[0] & 2);
    memo->SetText(QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    memo->SetTagStr(memo->GetText());
    try {
        memo->BeforePrint();
        memo->GetData();
        TlyrRecordingCanvas canvas(96);
        memo->Draw(canvas, 1, 1, 0, 0);
        memo->AfterPrint();
    } catch (const std::exception &) {}
    delete page;
    report->ClearErrors();
    return 0;
}
