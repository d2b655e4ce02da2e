#pragma once
// Printers of the report library: the list of the system's printer queues
// (CUPS), a printer object per queue that prints pages through Qt's print
// support and raw jobs through libcups, a stand-in printer for a system
// without printers, and the table of standard paper sizes by their
// Windows paper codes (the codes templates store). Sizes are millimetres.

#include "report/lyrcanvas.h"
#include "report/lyrpage.h"

#include <QByteArray>
#include <QPageSize>
#include <QString>

#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPdfWriter;
class QPrinter;
class QTemporaryFile;

namespace vplatform {
class SafeFile;
}

// Paper source code of the driver's automatic choice.
constexpr int lyrBinAuto = 7;

struct TlyrPaperInfo {
    int Code;
    const char *Name;
    // Tenths of a millimetre, portrait (as the paper constant defines it).
    int Width, Height;
};

// The 66 standard papers (codes 1 to 68 without 48 and 49).
const std::vector<TlyrPaperInfo> &lyrPaperTable();
// Width and height in mm of a code (first match); false when absent.
bool lyrGetPaperDimensions(int code, double &width, double &height);
// The page size Qt is given: always by millimetres, since Qt's own mapping
// of the paper codes differs from the table for several of them.
QPageSize lyrPageSizeMM(double width, double height);

struct TlyrNamedCode {
    QString Name;
    int Code;
};

// The canvas of a printer: text keeps its point size at the printer's
// resolution.
class TlyrPrinterCanvas : public TlyrCanvas {
public:
    TlyrPrinterCanvas(QPainter *painter, int dpiX, int dpiY) : TlyrCanvas(painter, dpiX, dpiY, true) {}
};

class TlyrCustomPrinter {
public:
    TlyrCustomPrinter(const QString &name, const QString &port) : Name(name), Port(port) {}
    virtual ~TlyrCustomPrinter() = default;
    TlyrCustomPrinter(const TlyrCustomPrinter &) = delete;
    TlyrCustomPrinter &operator=(const TlyrCustomPrinter &) = delete;

    // Paper source chosen in the properties dialog; -1: each page's own.
    int Bin = -1;
    std::vector<TlyrNamedCode> Bins;
    int DefOrientation = poPortrait;
    int DefPaper = 9;
    double DefPaperWidth = 210, DefPaperHeight = 297;
    int DpiX = 600, DpiY = 600;
    // Output file ("print to file"); empty: the printer.
    QString FileName;
    bool Initialized = false;
    QString Name, Port;
    int PaperSize = 9;
    std::vector<TlyrNamedCode> Papers;
    double PaperWidth = 210, PaperHeight = 297;
    double LeftMargin = 0, TopMargin = 0, RightMargin = 0, BottomMargin = 0;
    int Orientation = poPortrait;
    bool Printing = false;
    QString Title;

    // The drawing surface of the current page; null outside a page.
    virtual TlyrCanvas *Canvas() = 0;

    virtual void Init() = 0;
    virtual void Abort() = 0;
    virtual void BeginDoc() = 0;
    virtual void BeginPage() = 0;
    virtual void BeginRAWDoc() = 0;
    virtual void EndDoc() = 0;
    virtual void EndPage() = 0;
    virtual void EndRAWDoc() = 0;
    virtual void WriteRAWDoc(const QByteArray &bytes) = 0;
    virtual void SetViewParams(int paperSize, double width, double height, int orientation) = 0;
    // duplex: 1 unchanged, 2 vertical, 3 horizontal, 4 simplex.
    virtual void SetPrintParams(int paperSize, double width, double height, int orientation, int bin, int duplex,
                                int copies) = 0;
    virtual void PropertiesDlg() {}

    // Position of the code in Papers, -1 when absent.
    int PaperIndex(int code) const;
    // Code of the named paper; the first entry's code for an unknown name.
    int PaperNameToCode(const QString &name) const;

protected:
    // PaperSize, PaperWidth, PaperHeight and Orientation: a code of the
    // table gives its sizes (turned for landscape); any other code is a
    // custom paper of width x height.
    void setPaper(int paperSize, double width, double height, int orientation);
    // Papers := "Custom" then the rows of the table.
    void fillPapersFromTable();
    void fillDefaultBins();
};

// A CUPS queue. Pages are drawn with Qt into a PDF file, which is sent
// through libcups like raw output, so a job the queue refuses or that does
// not arrive fails the print. The canvas has the queue's own resolution
// where the server reports one, else 600 dpi. CUPS takes one paper size,
// orientation, copy count and duplex mode per job: when these change
// between pages, the pages so far are sent as one job and the next pages
// start another.
class TlyrPrinter : public TlyrCustomPrinter {
public:
    TlyrPrinter(const QString &name, const QString &port);
    ~TlyrPrinter() override;
    TlyrCanvas *Canvas() override { return canvas_.get(); }
    void Init() override;
    void Abort() override;
    void BeginDoc() override;
    void BeginPage() override;
    void BeginRAWDoc() override;
    void EndDoc() override;
    void EndPage() override;
    void EndRAWDoc() override;
    void WriteRAWDoc(const QByteArray &bytes) override;
    void SetViewParams(int paperSize, double width, double height, int orientation) override;
    void SetPrintParams(int paperSize, double width, double height, int orientation, int bin, int duplex,
                        int copies) override;
    // Jobs sent to the queue so far (parts count one each).
    int JobsSent() const { return jobsSent_; }

private:
    void startPart();
    void finishPart();
    void applyLayout(QPrinter &p) const;
    void startFile();
    // The device pages are drawn on: the queue's printer or the file's writer.
    QPagedPaintDevice *device() const;

    std::unique_ptr<QPrinter> printer_;
    // Printing to a file: the PDF goes into a part file beside the target,
    // which replaces the target only once every page was written.
    std::unique_ptr<vplatform::SafeFile> file_;
    std::unique_ptr<QPdfWriter> pdf_;
    std::unique_ptr<QPainter> painter_;
    // The PDF of the running job part, for a queue.
    std::unique_ptr<QTemporaryFile> spool_;
    std::unique_ptr<TlyrPrinterCanvas> canvas_;
    QByteArray raw_;
    int copies_ = 1;
    int duplex_ = 1;
    // Settings of the running job part; a change needs a new part.
    struct PartKey {
        double W = 0, H = 0;
        int Orientation = 0, Copies = 1, Duplex = 1;
        bool operator==(const PartKey &) const = default;
    } part_;
    bool pagePending_ = false;
    bool partOpen_ = false;
    int pagesInPart_ = 0;
    int jobsSent_ = 0;
};

// The printer of a system without printers: layout only.
class TlyrVirtualPrinter : public TlyrCustomPrinter {
public:
    using TlyrCustomPrinter::TlyrCustomPrinter;
    TlyrCanvas *Canvas() override { return nullptr; }
    void Init() override;
    void Abort() override {}
    void BeginDoc() override {}
    void BeginPage() override {}
    void BeginRAWDoc() override {}
    void EndDoc() override {}
    void EndPage() override {}
    void EndRAWDoc() override {}
    void WriteRAWDoc(const QByteArray &) override {}
    void SetViewParams(int paperSize, double width, double height, int orientation) override;
    void SetPrintParams(int paperSize, double width, double height, int orientation, int bin, int duplex,
                        int copies) override;
};

class TlyrPrinters {
public:
    // Reads the system's queues (FillPrinters).
    TlyrPrinters();
    ~TlyrPrinters();

    bool HasPhysicalDevice = false;
    int Count() const { return static_cast<int>(printers_.size()); }
    TlyrCustomPrinter *Items(int index) const;
    QStringList PrinterNames() const;
    // Case-insensitive; -1 when absent.
    int IndexOf(const QString &name) const;
    int PrinterIndex() const { return index_; }
    // -1 selects the default printer (the first one when the default is
    // not in the list); the selected printer is initialised.
    void SetPrinterIndex(int index);
    TlyrCustomPrinter *Printer() const { return Items(index_); }
    QString GetDefaultPrinter() const { return default_; }
    void Clear();
    void FillPrinters();
    // Replaces the list (the program's tests use fake printers); an empty
    // list gets the virtual printer.
    void SetPrinters(std::vector<std::unique_ptr<TlyrCustomPrinter>> printers, const QString &defaultName);

private:
    void settle();
    std::vector<std::unique_ptr<TlyrCustomPrinter>> printers_;
    QString default_;
    int index_ = -1;
};

// The global printer list, made on first use.
TlyrPrinters &lyrPrinters();
// Reads the system's queues again (after the print server changed).
void lyrRefreshPrinters();
