// Drives the report engine's template generator from the fuzzer's bytes:
// each input is a template combining page and band columns, groups, keep
// blocks, split bands, subreports and page bands, with the shapes on top
// (records and bands hidden by script, label sheets, column groups, totals
// over text, plain text in brackets, page-number expressions); its prepared
// pages must keep every rule of the property test (each record once, in
// order, inside its page, nothing over anything, right page numbers and
// totals).

#include "../reportengine/lyrproperty.h"

#include <QApplication>

#include "fuzz_app.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzEnsureApp<QApplication>();
    static bool installed = [] {
        lyrRegisterReportClasses();
        lyrInstallEngine();
        return true;
    }();
    (void)installed;
    lyrprop::ByteSource src(data, size);
    const lyrprop::Plan plan = lyrprop::generate(src, 0, true, true);
    for (const lyrprop::Failure &f : lyrprop::runPlan(plan)) {
        std::fprintf(stderr, "%s\n%s: %s\n", plan.describe().toUtf8().constData(), f.Kind.toUtf8().constData(),
                     f.Text.toUtf8().constData());
        std::abort();
    }
    return 0;
}
