// Loads arbitrary bytes as a report template: damaged templates must end in
// error lines, never a crash. What loads is saved and loaded again.

#include "report/lyrclass.h"

#include <QBuffer>
#include <QCoreApplication>

#include "fuzz_app.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzEnsureApp<QCoreApplication>();

    QBuffer in;
    in.setData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    in.open(QIODevice::ReadOnly);
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    // No ancestor files are read while fuzzing.
    report.OnLoadTemplate = [](TlyrReport *, const QString &) { return false; };
    report.LoadFromStream(in);

    QBuffer out;
    out.open(QIODevice::ReadWrite);
    report.SaveToStream(out);
    out.seek(0);
    TlyrReport again;
    again.EngineOptions()->SetNewSilentMode(simSilent);
    again.OnLoadTemplate = report.OnLoadTemplate;
    again.LoadFromStream(out);
    return 0;
}
