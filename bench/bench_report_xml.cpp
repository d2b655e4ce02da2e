// XML write and read of a 200,000-element document with the report library's
// XML layer, against QXmlStreamWriter / QXmlStreamReader on the same document
// in the same run, by turns (measure.h: the order alternating, after one
// untimed run of each, in processor time). ratio_vs_baseline, ratio_min and
// ratio_median = our time / Qt's time (below 1: faster).
//
// Both writers do the same work: from the same plain data (element names and
// attribute pairs as text, built before anything is timed) to the bytes of
// the document. Ours builds the element tree (append-only attributes) and
// saves it; Qt streams it out. Both readers build a tree of the elements
// with their attributes: ours its own, Qt's plain elements.
// Target: BM_XMLWrite's ratio_vs_baseline at most 1.

#include "measure.h"
#include "plain_xml.h"
#include "report/lyrxml.h"

#include <QBuffer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kPages = 2000;
constexpr int kPerPage = 99;  // 2000 pages x (1 + 99) elements = 200,000

struct Element {
    QString name;
    std::vector<std::pair<QString, QString>> attrs;
};

// The document as plain data, for Qt's writer.
const std::vector<std::vector<Element>> &pagesData()
{
    static const std::vector<std::vector<Element>> data = [] {
        std::vector<std::vector<Element>> pages(kPages);
        for (int p = 0; p < kPages; ++p) {
            auto &page = pages[p];
            page.push_back({QStringLiteral("page%1").arg(p), {}});
            for (int o = 0; o < kPerPage; ++o) {
                Element e{QStringLiteral("TlyrMemoView"), {}};
                e.attrs = {{QStringLiteral("Name"), QStringLiteral("Memo%1").arg(o)},
                           {QStringLiteral("l"), QString::number(o * 7.5)},
                           {QStringLiteral("t"), QString::number(p % 50 * 18.9)},
                           {QStringLiteral("w"), QStringLiteral("200")},
                           {QStringLiteral("h"), QStringLiteral("18.9")},
                           {QStringLiteral("u"), QStringLiteral("第%1页 合计 \"1,234.50\" <元>").arg(p)}};
                page.push_back(std::move(e));
            }
        }
        return pages;
    }();
    return data;
}

std::unique_ptr<TlyrXMLDocument> buildDocument()
{
    auto doc = std::make_unique<TlyrXMLDocument>();
    TlyrXMLItem *root = doc->Root();
    root->Name = QStringLiteral("preparedreport");
    for (const auto &page : pagesData()) {
        TlyrXMLItem *pageItem = root->Add();
        pageItem->Name = page[0].name;
        for (size_t i = 1; i < page.size(); ++i) {
            TlyrXMLItem *item = pageItem->Add();
            item->Name = page[i].name;
            for (const auto &[name, value] : page[i].attrs) item->AppendProp(name, value);
        }
    }
    return doc;
}

QByteArray qtWrite()
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("preparedreport"));
    for (const auto &page : pagesData()) {
        w.writeStartElement(page[0].name);
        for (size_t i = 1; i < page.size(); ++i) {
            w.writeStartElement(page[i].name);
            for (const auto &[name, value] : page[i].attrs) w.writeAttribute(name, value);
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray lyrWrite(TlyrXMLDocument &doc)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    doc.SaveToStream(buf);
    return out;
}

void report(benchmark::State &state, double bytes)
{
    if (state.counters.count("ms_per_op") && state.counters["ms_per_op"] > 0)
        state.counters["lyr_MBps"] = bytes / state.counters["ms_per_op"] / 1e3;
    if (state.counters.count("baseline_ms") && state.counters["baseline_ms"] > 0)
        state.counters["qt_MBps"] = bytes / state.counters["baseline_ms"] / 1e3;
}

// Build and write, both sides from the same data.
void BM_XMLWrite(benchmark::State &state)
{
    double bytes = 0;
    benchmark::DoNotOptimize(pagesData().size());
    measurePair(
            state,
            {[&] {
                const QByteArray a = lyrWrite(*buildDocument());
                bytes = static_cast<double>(a.size());
            }},
            {[] { benchmark::DoNotOptimize(qtWrite().size()); }});
    report(state, bytes);
}

// Read into a tree and the tree freed, on both sides.
void BM_XMLRead(benchmark::State &state)
{
    QByteArray bytes;
    {
        auto doc = buildDocument();
        bytes = lyrWrite(*doc);
    }
    measurePair(
            state,
            {[&] {
                TlyrXMLDocument doc;
                QBuffer buf(&bytes);
                buf.open(QIODevice::ReadOnly);
                doc.LoadFromStream(buf);
                benchmark::DoNotOptimize(doc.Root()->Count());
            }},
            {[&] {
                bool failed = false;
                const PlainElement root = readPlain(bytes, &failed);
                if (failed) state.SkipWithError("Qt reader failed on the document");
                benchmark::DoNotOptimize(root.Children.size());
            }});
    report(state, static_cast<double>(bytes.size()));
}

}  // namespace

BENCHMARK(BM_XMLWrite)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XMLRead)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
