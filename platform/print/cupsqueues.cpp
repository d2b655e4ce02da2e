#include "platform/print/cupsqueues.h"

#include <cups/cups.h>

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

int cupsPrintRaw(const QString &queue, const QString &title, const QByteArray &data, int copies)
{
    Http http = connectServer();
    if (!http) throw PrintError(QStringLiteral("打印服务没有响应，无法打印"), QString::fromUtf8(cupsServer()));
    const QByteArray name = queue.toUtf8(), docTitle = title.toUtf8();
    cups_option_t *options = nullptr;
    int count = 0;
    const QByteArray copyText = QByteArray::number(copies < 1 ? 1 : copies);
    count = cupsAddOption("copies", copyText.constData(), count, &options);
    const int job = cupsCreateJob(http.get(), name.constData(), docTitle.constData(), count, options);
    cupsFreeOptions(count, options);
    if (job <= 0) throw PrintError(QStringLiteral("打印机“%1”不接受打印任务").arg(queue), lastError());
    bool ok = cupsStartDocument(http.get(), name.constData(), job, docTitle.constData(), CUPS_FORMAT_RAW, 1) ==
              HTTP_STATUS_CONTINUE;
    if (ok && !data.isEmpty())
        ok = cupsWriteRequestData(http.get(), data.constData(), static_cast<size_t>(data.size())) ==
             HTTP_STATUS_CONTINUE;
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

}  // namespace print
