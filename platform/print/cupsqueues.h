#pragma once
// The printer queues of the CUPS server (the one libcups is pointed at, by
// CUPS_SERVER or the client configuration) and raw jobs sent to them: bytes
// that reach the printer as they are, for printers driven by escape
// commands. Qt's print support covers page jobs; it has no raw path.

#include "platform/print/textprinter.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace print {

struct QueueInfo {
    QString name;
    // The queue's description, or empty.
    QString info;
    bool isDefault = false;
};

// The queues of the server in its order; empty when no server answers
// within a few seconds.
std::vector<QueueInfo> cupsQueues();
// The server's default queue, or empty.
QString cupsDefaultQueue();

// The queue's default resolution in dots per inch, as the server reports
// it; {0, 0} when it reports none (a queue without a driver) or does not
// answer.
struct QueueResolution {
    int x = 0, y = 0;
};
QueueResolution cupsQueueResolution(const QString &queue);

// Sends data as one job of the raw format; returns the job's id. Throws
// PrintError (with the server's reason as detail) when the server does not
// take the job.
int cupsPrintRaw(const QString &queue, const QString &title, const QByteArray &data, int copies = 1);

struct PdfJobOptions {
    int copies = 1;
    // IPP "sides" keyword; empty: the queue's default.
    QString sides;
    // Paper of the job in millimetres (either orientation); 0: the queue's.
    double paperWidth = 0, paperHeight = 0;
};

// Sends the PDF file as one job; returns the job's id. Throws PrintError as
// cupsPrintRaw does, also when the server goes away while the file is sent.
int cupsPrintPdf(const QString &queue, const QString &title, const QString &pdfFile, const PdfJobOptions &options);

}  // namespace print
