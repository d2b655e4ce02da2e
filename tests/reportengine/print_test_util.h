#pragma once
// A printer and a page source that write what printing does into one log,
// so the page logic can be checked without a print server.

#include "reportengine/lyrprint.h"
#include "reportengine/lyrprinter.h"

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

class LogPrinter : public TlyrCustomPrinter {
public:
    explicit LogPrinter(QStringList &log, const QString &name = QStringLiteral("Fake"))
        : TlyrCustomPrinter(name, QStringLiteral("port-") + name), log_(log), canvas_(254, true)
    {}
    // BeginPage fails from this page on (1-based; 0: never).
    int FailAtPage = 0;
    int Pages = 0;
    QByteArray Raw;

    TlyrCanvas *Canvas() override { return &canvas_; }
    void Init() override
    {
        if (Initialized) return;
        DpiX = DpiY = 254;  // ten pixels per millimetre
        DefPaper = 9;
        DefPaperWidth = 210;
        DefPaperHeight = 297;
        fillPapersFromTable();
        fillDefaultBins();
        SetViewParams(9, 0, 0, poPortrait);
        Initialized = true;
    }
    void Abort() override
    {
        log_ << QStringLiteral("abort");
        Printing = false;
    }
    void BeginDoc() override
    {
        log_ << QStringLiteral("begindoc");
        Printing = true;
    }
    void BeginPage() override
    {
        ++Pages;
        if (FailAtPage > 0 && Pages >= FailAtPage) throw std::runtime_error("printer gone");
        log_ << QStringLiteral("page");
    }
    void EndDoc() override
    {
        log_ << QStringLiteral("enddoc");
        Printing = false;
    }
    void EndPage() override {}
    void BeginRAWDoc() override { Raw.clear(); }
    void WriteRAWDoc(const QByteArray &b) override { Raw += b; }
    void EndRAWDoc() override { log_ << QStringLiteral("raw"); }
    void SetViewParams(int paperSize, double width, double height, int orientation) override
    {
        setPaper(paperSize, width, height, orientation);
    }
    void SetPrintParams(int paperSize, double width, double height, int orientation, int bin, int duplex,
                        int copies) override
    {
        SetViewParams(paperSize, width, height, orientation);
        log_ << QStringLiteral("params %1 %2x%3 %4 duplex %5 copies %6")
                        .arg(PaperSize)
                        .arg(PaperWidth)
                        .arg(PaperHeight)
                        .arg(orientation == poLandscape ? "landscape" : "portrait")
                        .arg(duplex)
                        .arg(copies);
    }

private:
    QStringList &log_;
    TlyrRecordingCanvas canvas_;
};

// Makes one LogPrinter the program's only printer (the printer list owns it).
inline LogPrinter *installLogPrinter(QStringList &log)
{
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<LogPrinter>(log));
    auto *printer = static_cast<LogPrinter *>(list.back().get());
    lyrPrinters().SetPrinters(std::move(list), QString());
    return printer;
}

class LogSource : public TlyrPrintSource {
public:
    explicit LogSource(QStringList &log) : log_(log) {}
    std::vector<TlyrPrintPageInfo> PagesInfo;
    bool Stop = false;
    int Count() override { return static_cast<int>(PagesInfo.size()); }
    bool PageInfo(int index, TlyrPrintPageInfo &info) override
    {
        info = PagesInfo.at(static_cast<size_t>(index));
        return true;
    }
    void DrawPage(int index, TlyrCanvas &, double sx, double sy, double ox, double oy) override
    {
        log_ << QStringLiteral("draw %1 at %2,%3 scale %4,%5")
                        .arg(index + 1)
                        .arg(qRound(ox))
                        .arg(qRound(oy))
                        .arg(sx, 0, 'f', 4)
                        .arg(sy, 0, 'f', 4);
    }
    bool Terminated() override { return Stop; }
    // Pages of one size.
    void add(int count, double w, double h, int duplex = 0)
    {
        for (int i = 0; i < count; ++i) {
            TlyrPrintPageInfo p;
            p.PaperSize = lyrCustomPaper;
            p.PaperWidth = w;
            p.PaperHeight = h;
            p.Orientation = w > h ? poLandscape : poPortrait;
            p.Duplex = duplex;
            PagesInfo.push_back(p);
        }
    }

private:
    QStringList &log_;
};

// The page numbers drawn, in order.
inline QStringList drawnPages(const QStringList &log)
{
    QStringList out;
    for (const QString &l : log)
        if (l.startsWith(QLatin1String("draw "))) out << l.section(u' ', 1, 1);
    return out;
}

inline int countOf(const QStringList &log, const QString &prefix)
{
    int n = 0;
    for (const QString &l : log) n += l.startsWith(prefix) ? 1 : 0;
    return n;
}
