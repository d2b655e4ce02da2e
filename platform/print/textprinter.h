#pragma once
// Text jobs for the receipt printer: lines written one by one in the printer
// font "黑体" 9 on columns (one per GBK byte, two for a Chinese character):
// each Chinese character on its own columns, each run of other characters
// from its first column by the font's own advances and never past its last,
// so the columns line up whatever widths the installed font gives its glyphs.

#include "platform/error.h"
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

namespace print {

// A job could not be printed; message() is a Chinese text for the user.
class PrintError : public velmora::Error {
public:
    using velmora::Error::Error;
};

// Columns a character takes in a GBK text: 1 below U+0080, else 2.
int gbkColumns(char32_t c);
int gbkWidth(const QString &text);

struct TextJob {
    QString title;
    QStringList lines;
};

// Sends the lines to the current target as one job.  The job is always ended
// before an error is reported.  Throws PrintError.
void printTextLines(const QString &title, const QStringList &lines);

// Draws the lines into a PDF file, laid out as on the printer.
void printTextLinesToPdf(const QString &path, const QString &title, const QStringList &lines);

// While alive, jobs are kept in a list instead of being printed.
class ScopedTextCapture {
public:
    ScopedTextCapture();
    ~ScopedTextCapture();
    ScopedTextCapture(const ScopedTextCapture &) = delete;
    ScopedTextCapture &operator=(const ScopedTextCapture &) = delete;
    const std::vector<TextJob> &jobs() const { return m_jobs; }
    // Makes the next jobs fail as a printer that is not there.
    bool failing = false;

private:
    friend void printTextLines(const QString &, const QStringList &);
    std::vector<TextJob> m_jobs;
    ScopedTextCapture *m_previous = nullptr;
};

// While alive, jobs are written as PDF files "<folder>/<n>.pdf" (n from 1).
class ScopedPdfOutput {
public:
    explicit ScopedPdfOutput(const QString &folder);
    ~ScopedPdfOutput();
    ScopedPdfOutput(const ScopedPdfOutput &) = delete;
    ScopedPdfOutput &operator=(const ScopedPdfOutput &) = delete;
    QStringList files() const { return m_files; }

private:
    friend void printTextLines(const QString &, const QStringList &);
    QString m_folder;
    QStringList m_files;
    ScopedPdfOutput *m_previous = nullptr;
};

}  // namespace print
