// Feeds arbitrary bytes to the prepared-report loader, fully and with
// partial loading (a whole file with a page index read in parts), builds
// the first pages and the last, draws the first ones and saves the
// result again. Seeds include cut files, flipped bits, a page without its
// end tag, a huge attribute and markup that is not well formed (a NUL for a
// "<", a control byte in an attribute, an attribute without "=", an unclosed
// quote, a non-ASCII byte where an element starts), which marks its page
// damaged.

#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"

#include <QBuffer>
#include <QGuiApplication>

#include "fuzz_app.h"

#include <cstdint>

// Also the -max_len the fuzzer is run with (tests/fuzz/CMakeLists.txt).
constexpr size_t kMaxInput = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzEnsureApp();
    // Large enough for long texts and many pages; the work per input stays
    // bounded (at most 50 pages built, 3 drawn).
    if (size > kMaxInput) return 0;
    static TlyrReport *report = [] {
        lyrInstallEngine();
        auto *r = new TlyrReport;
        r->EngineOptions()->SetNewSilentMode(simSilent);
        return r;
    }();
    auto &pages = *static_cast<TlyrPreviewPages *>(report->PreviewPages());
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (bool partial : {false, true}) {
        try {
            auto buf = std::make_unique<QBuffer>();
            buf->setData(bytes);
            buf->open(QIODevice::ReadOnly);
            pages.LoadFromStream(std::move(buf), partial);
            for (int i = 0; i < pages.Count() && i < 50; ++i) pages.GetPage(i);
            // A file read in parts (it ends whole and carries a page index):
            // the last page read on to, then the rest.
            if (pages.Count() > 50) pages.GetPage(pages.Count() - 1);
            pages.ReadAllPages();
            // Whatever geometry the file gives, drawing stays bounded.
            TlyrRecordingCanvas canvas(96);
            for (int i = 0; i < pages.Count() && i < 3; ++i) pages.DrawPage(i, canvas, 1, 1, 0, 0);
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            pages.SaveToStream(out);
        } catch (const std::exception &) {}
        report->ClearErrors();
    }
    pages.Clear();
    return 0;
}
