#include "platform/print/cupsqueues.h"

#include <cups/cups.h>

#include <QFile>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace print {

namespace {

// Seconds to wait for the server before taking it as absent.
constexpr int kConnectTimeoutMs = 3000;

struct HttpClose {
    void operator()(http_t *h) const { httpClose(h); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

Http connectServer()
{
    int cancel = 0;
    http_t *h =
            httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectTimeoutMs, &cancel);
    return Http(h);
}

QString lastError()
{
    return QString::fromUtf8(cupsLastErrorString());
}

}  // namespace

std::vector<QueueInfo> cupsQueues()
{
    std::vector<QueueInfo> out;
    Http http = connectServer();
    if (!http) return out;
    cups_dest_t *dests = nullptr;
    const int n = cupsGetDests2(http.get(), &dests);
    for (int i = 0; i < n; ++i) {
        if (dests[i].instance) continue;
        QueueInfo q;
        q.name = QString::fromUtf8(dests[i].name);
        if (const char *info = cupsGetOption("printer-info", dests[i].num_options, dests[i].options))
            q.info = QString::fromUtf8(info);
        q.isDefault = dests[i].is_default != 0;
        out.push_back(q);
    }
    cupsFreeDests(n, dests);
    return out;
}

QString cupsDefaultQueue()
{
    for (const QueueInfo &q : cupsQueues())
        if (q.isDefault) return q.name;
    return {};
}

namespace {

struct Options {
    cups_option_t *list = nullptr;
    int count = 0;
    ~Options() { cupsFreeOptions(count, list); }
    void add(const char *name, const QByteArray &value)
    {
        count = cupsAddOption(name, value.constData(), count, &list);
    }
};

// One job of one document: created, sent by write (false on a failed
// write), finished; a job whose data did not all arrive is cancelled.
int submit(const QString &queue, const QString &title, const char *format, const Options &options,
           const std::function<bool(http_t *)> &write)
{
    Http http = connectServer();
    if (!http) throw PrintError(QStringLiteral("打印服务没有响应，无法打印"), QString::fromUtf8(cupsServer()));
    const QByteArray name = queue.toUtf8(), docTitle = title.toUtf8();
    const int job = cupsCreateJob(http.get(), name.constData(), docTitle.constData(), options.count, options.list);
    if (job <= 0) throw PrintError(QStringLiteral("打印机“%1”不接受打印任务").arg(queue), lastError());
    bool ok = cupsStartDocument(http.get(), name.constData(), job, docTitle.constData(), format, 1) ==
              HTTP_STATUS_CONTINUE;
    if (ok) ok = write(http.get());
    // The document is always finished, so the server does not keep a job
    // waiting for data that never comes.
    const bool finished = cupsFinishDocument(http.get(), name.constData()) == IPP_STATUS_OK;
    if (!ok || !finished) {
        const QString reason = lastError();
        cupsCancelJob2(http.get(), name.constData(), job, 0);
        throw PrintError(QStringLiteral("打印任务没有送到打印机“%1”").arg(queue), reason);
    }
    return job;
}

bool writeAll(http_t *http, const char *data, qint64 size)
{
    return size <= 0 || cupsWriteRequestData(http, data, static_cast<size_t>(size)) == HTTP_STATUS_CONTINUE;
}

}  // namespace

QueueResolution cupsQueueResolution(const QString &queue)
{
    QueueResolution out;
    Http http = connectServer();
    if (!http) return out;
    cups_dest_t *dest = cupsGetNamedDest(http.get(), queue.toUtf8().constData(), nullptr);
    if (!dest) return out;
    if (cups_dinfo_t *info = cupsCopyDestInfo(http.get(), dest)) {
        ipp_attribute_t *a = cupsFindDestDefault(http.get(), dest, info, "printer-resolution");
        if (a && ippGetValueTag(a) == IPP_TAG_RESOLUTION) {
            ipp_res_t units = IPP_RES_PER_INCH;
            int y = 0;
            const int x = ippGetResolution(a, 0, &y, &units);
            const double perInch = units == IPP_RES_PER_CM ? 2.54 : 1.0;
            if (x > 0 && y > 0) out = {int(std::lround(x * perInch)), int(std::lround(y * perInch))};
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
    return out;
}

int cupsPrintRaw(const QString &queue, const QString &title, const QByteArray &data, int copies)
{
    Options options;
    options.add("copies", QByteArray::number(copies < 1 ? 1 : copies));
    return submit(queue, title, CUPS_FORMAT_RAW, options,
                  [&](http_t *http) { return writeAll(http, data.constData(), data.size()); });
}

int cupsPrintPdf(const QString &queue, const QString &title, const QString &pdfFile, const PdfJobOptions &o)
{
    QFile file(pdfFile);
    if (!file.open(QIODevice::ReadOnly))
        throw PrintError(QStringLiteral("打印任务没有送到打印机“%1”").arg(queue), file.errorString());
    Options options;
    options.add("copies", QByteArray::number(o.copies < 1 ? 1 : o.copies));
    if (!o.sides.isEmpty()) options.add(CUPS_SIDES, o.sides.toUtf8());
    if (o.paperWidth > 0 && o.paperHeight > 0) {
        // Hundredths of a millimetre, portrait.
        const int w = int(std::lround(std::min(o.paperWidth, o.paperHeight) * 100));
        const int h = int(std::lround(std::max(o.paperWidth, o.paperHeight) * 100));
        if (pwg_media_t *media = pwgMediaForSize(w, h)) options.add(CUPS_MEDIA, QByteArray(media->pwg));
    }
    return submit(queue, title, CUPS_FORMAT_PDF, options, [&](http_t *http) {
        char buffer[65536];
        for (;;) {
            const qint64 n = file.read(buffer, sizeof buffer);
            if (n < 0) return false;
            if (n == 0) return true;
            if (!writeAll(http, buffer, n)) return false;
        }
    });
}

}  // namespace print
