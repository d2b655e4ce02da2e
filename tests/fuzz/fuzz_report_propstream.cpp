// Feeds arbitrary bytes to the property-stream reader and the collection
// reader.

#include "report/lyrpropstream.h"
#include "report/lyrvariables.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        TlyrPropReader r(bytes);
        while (!r.AtEnd()) r.SkipValue();
    } catch (const ElyrPropStreamError &) {}
    TlyrVariables vars;
    TlyrVariablesAdapter adapter(vars);
    try {
        TlyrPropReader r(bytes);
        lyrReadCollection(adapter, r);
        // What was read streams out and back the same.
        TlyrPropWriter w;
        lyrWriteCollection(adapter, w, false);
        TlyrVariables again;
        TlyrVariablesAdapter againAdapter(again);
        TlyrPropReader r2(w.Data());
        lyrReadCollection(againAdapter, r2);
    } catch (const ElyrPropStreamError &) {}
    return 0;
}
