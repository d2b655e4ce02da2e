// Lays out arbitrary text with tags on (wrapping and hyphenation too),
// splits it for a page break and draws both parts on a recording canvas:
// no input may crash the tag parser or the layout.

#include "report/lyrdrawtext.h"

#include <QGuiApplication>

#include "fuzz_app.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzEnsureApp();
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    const int width = 10 + data[1];
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    TlyrDrawText dt;
    dt.SetFont(QStringLiteral("Arial"), 4 + (flags >> 4), flags & 3, clBlack);
    dt.SetOptions(flags & 4, true, false, flags & 8, flags & 16, !(flags & 32), (flags & 64) ? 90 : 0);
    dt.SetGaps(flags & 128 ? 3 : 0, 0, 0);
    const TlyrRect r = lyrRect(0, 0, width, 40);
    dt.SetDimensions(r, r, 1, 1, 1);
    dt.SetText(text.split(QStringLiteral("\n")));
    TlyrRecordingCanvas canvas(96);
    dt.DrawText(canvas, TlyrHAlign(flags % 4), TlyrVAlign(flags % 3));
    bool paraBreak = false;
    const QString rest = dt.GetOutBoundsText(paraBreak);
    dt.DrawText(canvas, haBlock, vaTop);
    dt.SetText(rest.split(QStringLiteral("\r\n")));
    dt.DrawText(canvas, haLeft, vaBottom);
    return 0;
}
