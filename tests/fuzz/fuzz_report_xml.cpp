// Feeds arbitrary bytes to the XML reader, fully and with partial loading,
// reads every element back on demand and writes the tree again.

#include "report/lyrxml.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void walk(TlyrXMLDocument &doc, TlyrXMLItem *item, int &budget)
{
    if (--budget < 0) return;
    if (item->Unloadable && !item->Loaded) doc.LoadItem(item);
    (void)item->Prop("Name");
    (void)item->Prop("u");
    for (int i = 0; i < item->Count(); ++i) walk(doc, item->Items(i), budget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // Unescaping never fails; escaping then unescaping gives the text back
    // unless it holds the legacy "&quot;" form.
    const QByteArray plain = lyrXMLToBytes(bytes);
    if (!bytes.contains("&quot;") && lyrXMLToBytes(lyrBytesToXML(bytes)) != bytes) abort();
    (void)plain;

    for (bool partial : {false, true}) {
        TlyrXMLDocument doc;
        try {
            auto buf = std::make_unique<QBuffer>();
            buf->setData(bytes);
            buf->open(QIODevice::ReadOnly);
            if (partial)
                doc.LoadFromStream(std::move(buf), true);
            else
                doc.LoadFromStream(*buf);
            int budget = 10000;
            walk(doc, doc.Root(), budget);
            QByteArray out;
            QBuffer sink(&out);
            sink.open(QIODevice::WriteOnly);
            doc.SaveToStream(sink);
            // What was written reads back.
            TlyrXMLDocument again;
            sink.close();
            sink.open(QIODevice::ReadOnly);
            again.LoadFromStream(sink);
        } catch (const TlyrInvalidXMLException &) {}
    }
    return 0;
}
