#include "reportengine/lyrprinter.h"

#include "platform/print/cupsqueues.h"
#include "platform/print/textprinter.h"
#include "platform/safefile.h"
#include "report/lyrres.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace {

QString res(const char *id)
{
    return lyrResources().Get(QString::fromLatin1(id));
}

// A size of Qt is the table's paper when both sides agree to a tenth of a mm.
bool isTablePaper(const QPageSize &size, const TlyrPaperInfo &paper)
{
    const QSizeF mm = size.size(QPageSize::Millimeter);
    return std::fabs(mm.width() * 10 - paper.Width) < 1.5 && std::fabs(mm.height() * 10 - paper.Height) < 1.5;
}

}  // namespace

const std::vector<TlyrPaperInfo> &lyrPaperTable()
{
    static const std::vector<TlyrPaperInfo> table = {
            {1, "Letter", 2159, 2794},
            {2, "Letter Small", 2159, 2794},
            {3, "Tabloid", 2794, 4318},
            {4, "Ledger", 4318, 2794},
            {5, "Legal", 2159, 3556},
            {6, "Statement", 1397, 2159},
            {7, "Executive", 1841, 2667},
            {8, "A3", 2970, 4200},
            {9, "A4", 2100, 2970},
            {10, "A4 Small", 2100, 2970},
            {11, "A5", 1480, 2100},
            {12, "B4 (JIS)", 2500, 3540},
            {13, "B5 (JIS)", 1820, 2570},
            {14, "Folio", 2159, 3302},
            {15, "Quarto", 2150, 2750},
            {16, "10x14", 2540, 3556},
            {17, "11x17", 2794, 4318},
            {18, "Note", 2159, 2794},
            {19, "Envelope #9", 984, 2254},
            {20, "Envelope #10", 1048, 2413},
            {21, "Envelope #11", 1143, 2635},
            {22, "Envelope #12", 1207, 2794},
            {23, "Envelope #14", 1270, 2921},
            {24, "C size sheet", 4318, 5588},
            {25, "D size sheet", 5588, 8636},
            {26, "E size sheet", 8636, 11176},
            {27, "Envelope DL", 1100, 2200},
            {28, "Envelope C5", 1620, 2290},
            {29, "Envelope C3", 3240, 4580},
            {30, "Envelope C4", 2290, 3240},
            {31, "Envelope C6", 1140, 1620},
            {32, "Envelope C65", 1140, 2290},
            {33, "Envelope B4", 2500, 3530},
            {34, "Envelope B5", 1760, 2500},
            {35, "Envelope B6", 1760, 1250},
            {36, "Envelope Italy", 1100, 2300},
            {37, "Envelope Monarch", 984, 1905},
            {38, "6 3/4 Envelope", 921, 1651},
            {39, "US Std Fanfold", 3778, 2794},
            {40, "German Std Fanfold", 2159, 3048},
            {41, "German Legal Fanfold", 2159, 3302},
            {42, "B4 (ISO)", 2500, 3530},
            {43, "Japanese Postcard", 1000, 1480},
            {44, "9x11", 2286, 2794},
            {45, "10x11", 2540, 2794},
            {46, "15x11", 3810, 2794},
            {47, "Envelope Invite", 2200, 2200},
            {50, "Letter Extra", 2413, 3048},
            {51, "Legal Extra", 2413, 3810},
            {52, "Tabloid Extra", 2969, 4572},
            {53, "A4 Extra", 2355, 3223},
            {54, "Letter Transverse", 2159, 2794},
            {55, "A4 Transverse", 2100, 2970},
            {56, "Letter Extra Transverse", 2413, 3048},
            {57, "SuperA/A4", 2270, 3560},
            {58, "SuperB/A3", 3050, 4870},
            {59, "Letter Plus", 2159, 3223},
            {60, "A4 Plus", 2100, 3300},
            {61, "A5 Transverse", 1480, 2100},
            {62, "B5 (JIS) Transverse", 1820, 2570},
            {63, "A3 Extra", 3220, 4450},
            {64, "A5 Extra", 1740, 2350},
            {65, "B5 (ISO) Extra", 2010, 2760},
            {66, "A2", 4200, 5940},
            {67, "A3 Transverse", 2970, 4200},
            {68, "A3 Extra Transverse", 3220, 4450},
    };
    return table;
}

bool lyrGetPaperDimensions(int code, double &width, double &height)
{
    for (const TlyrPaperInfo &p : lyrPaperTable()) {
        if (p.Code == code) {
            width = p.Width / 10.0;
            height = p.Height / 10.0;
            return true;
        }
    }
    return false;
}

QPageSize lyrPageSizeMM(double width, double height)
{
    // A sheet between 1 mm and the largest a PDF page takes (200 inches): a
    // damaged page's size prints on the nearest sheet there is.
    const auto sheet = [](double v) { return v != v ? 1.0 : std::clamp(v, 1.0, 5080.0); };
    width = sheet(width);
    height = sheet(height);
    // Qt keeps a size that matches a standard one under its own id; the
    // millimetres are what counts.
    return QPageSize(QSizeF(std::min(width, height), std::max(width, height)), QPageSize::Millimeter, QString(),
                     QPageSize::ExactMatch);
}

// ---------------------------------------------------------------- base

int TlyrCustomPrinter::PaperIndex(int code) const
{
    for (size_t i = 0; i < Papers.size(); ++i)
        if (Papers[i].Code == code) return static_cast<int>(i);
    return -1;
}

int TlyrCustomPrinter::PaperNameToCode(const QString &name) const
{
    for (const TlyrNamedCode &p : Papers)
        if (p.Name == name) return p.Code;
    return Papers.empty() ? lyrCustomPaper : Papers.front().Code;
}

void TlyrCustomPrinter::setPaper(int paperSize, double width, double height, int orientation)
{
    double w = width, h = height;
    if (lyrGetPaperDimensions(paperSize, w, h)) {
        if (orientation == poLandscape) std::swap(w, h);
    } else {
        paperSize = lyrCustomPaper;
        w = width;
        h = height;
    }
    PaperSize = paperSize;
    PaperWidth = w;
    PaperHeight = h;
    Orientation = orientation;
}

void TlyrCustomPrinter::fillPapersFromTable()
{
    Papers.clear();
    Papers.push_back({res("prCustom"), lyrCustomPaper});
    for (const TlyrPaperInfo &p : lyrPaperTable()) Papers.push_back({QString::fromLatin1(p.Name), p.Code});
}

void TlyrCustomPrinter::fillDefaultBins()
{
    // CUPS has no portable choice of paper source: the driver's own only.
    Bins.clear();
    Bins.push_back({res("prDefault"), lyrBinAuto});
}

// ---------------------------------------------------------------- virtual

void TlyrVirtualPrinter::Init()
{
    if (Initialized) return;
    DpiX = DpiY = 600;
    DefPaper = PaperSize = 9;
    DefPaperWidth = PaperWidth = 210;
    DefPaperHeight = PaperHeight = 297;
    DefOrientation = Orientation = poPortrait;
    LeftMargin = TopMargin = RightMargin = BottomMargin = 5;
    fillPapersFromTable();
    fillDefaultBins();
    Bin = -1;
    Initialized = true;
}

void TlyrVirtualPrinter::SetViewParams(int paperSize, double width, double height, int orientation)
{
    setPaper(paperSize, width, height, orientation);
    LeftMargin = TopMargin = RightMargin = BottomMargin = 5;
}

void TlyrVirtualPrinter::SetPrintParams(int paperSize, double width, double height, int orientation, int bin, int, int)
{
    SetViewParams(paperSize, width, height, orientation);
    Bin = bin;
}

// ---------------------------------------------------------------- CUPS queue

TlyrPrinter::TlyrPrinter(const QString &name, const QString &port) : TlyrCustomPrinter(name, port) {}

TlyrPrinter::~TlyrPrinter()
{
    if (partOpen_) TlyrPrinter::Abort();
}

void TlyrPrinter::Init()
{
    if (Initialized) return;
    // Whole dots of the queue's own resolution (a label printer's 203 dpi)
    // keep narrow bars whole; 600 dpi otherwise.
    const print::QueueResolution dpi = print::cupsQueueResolution(Name);
    DpiX = dpi.x > 0 ? dpi.x : 600;
    DpiY = dpi.y > 0 ? dpi.y : 600;
    const QPrinterInfo info = QPrinterInfo::printerInfo(Name);
    Papers.clear();
    Papers.push_back({res("prCustom"), lyrCustomPaper});
    // The queue's papers that the table knows; all of the table when the
    // queue names none of them (a queue without a driver).
    const QList<QPageSize> sizes = info.isNull() ? QList<QPageSize>() : info.supportedPageSizes();
    for (const TlyrPaperInfo &p : lyrPaperTable())
        if (std::any_of(sizes.cbegin(), sizes.cend(), [&](const QPageSize &s) { return isTablePaper(s, p); }))
            Papers.push_back({QString::fromLatin1(p.Name), p.Code});
    if (Papers.size() == 1) fillPapersFromTable();
    fillDefaultBins();
    DefPaper = 9;
    if (!info.isNull() && info.defaultPageSize().isValid()) {
        for (const TlyrPaperInfo &p : lyrPaperTable()) {
            if (isTablePaper(info.defaultPageSize(), p)) {
                DefPaper = p.Code;
                break;
            }
        }
    }
    lyrGetPaperDimensions(DefPaper, DefPaperWidth, DefPaperHeight);
    DefOrientation = poPortrait;
    SetViewParams(DefPaper, 0, 0, poPortrait);
    Bin = -1;
    Initialized = true;
}

void TlyrPrinter::SetViewParams(int paperSize, double width, double height, int orientation)
{
    setPaper(paperSize, width, height, orientation);
    // Pages are drawn on the whole sheet: the driver places them.
    LeftMargin = TopMargin = RightMargin = BottomMargin = 0;
}

void TlyrPrinter::SetPrintParams(int paperSize, double width, double height, int orientation, int bin, int duplex,
                                 int copies)
{
    SetViewParams(paperSize, width, height, orientation);
    copies_ = copies < 1 ? 1 : copies;
    if (duplex != 1) duplex_ = duplex;
    // The bin is not sent: CUPS offers no portable choice of source.
}

void TlyrPrinter::applyLayout(QPrinter &p) const
{
    p.setPageSize(lyrPageSizeMM(PaperWidth, PaperHeight));
    p.setPageOrientation(PaperWidth > PaperHeight ? QPageLayout::Landscape : QPageLayout::Portrait);
    p.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

QPagedPaintDevice *TlyrPrinter::device() const
{
    if (pdf_) return pdf_.get();
    return printer_.get();
}

void TlyrPrinter::startFile()
{
    file_ = std::make_unique<vplatform::SafeFile>(FileName);
    if (!file_->open()) {
        const QString error = file_->errorString();
        file_.reset();
        throw print::PrintError(error);
    }
    pdf_ = std::make_unique<QPdfWriter>(&file_->device());
    pdf_->setResolution(DpiX);
    pdf_->setTitle(Title);
    pdf_->setPageLayout(QPageLayout(lyrPageSizeMM(PaperWidth, PaperHeight),
                                    PaperWidth > PaperHeight ? QPageLayout::Landscape : QPageLayout::Portrait,
                                    QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

void TlyrPrinter::startPart()
{
    if (!FileName.isEmpty()) {
        startFile();
    } else {
        spool_ = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/velmora-print-XXXXXX.pdf"));
        if (!spool_->open()) {
            spool_.reset();
            throw print::PrintError(QStringLiteral("无法在打印机“%1”上开始打印").arg(Name));
        }
        const QString output = spool_->fileName();
        spool_->close();
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPrinter &p = *printer_;
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(output);
        p.setResolution(DpiX);
        p.setDocName(Title);
        p.setFullPage(true);
        applyLayout(p);
    }
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(device())) {
        const QString error = file_ ? file_->errorString() : QString();
        painter_.reset();
        pdf_.reset();
        file_.reset();
        printer_.reset();
        spool_.reset();
        throw print::PrintError(FileName.isEmpty() ? QStringLiteral("无法在打印机“%1”上开始打印").arg(Name)
                                : error.isEmpty()  ? vplatform::fileErrorText(FileName, EIO)
                                                   : error);
    }
    DpiX = device()->logicalDpiX();
    DpiY = device()->logicalDpiY();
    canvas_ = std::make_unique<TlyrPrinterCanvas>(painter_.get(), DpiX, DpiY);
    part_ = {PaperWidth, PaperHeight, Orientation, copies_, duplex_};
    partOpen_ = true;
    pagesInPart_ = 0;
}

void TlyrPrinter::finishPart()
{
    if (!partOpen_) return;
    partOpen_ = false;
    canvas_.reset();
    const bool ok = painter_->end();
    painter_.reset();
    if (file_) {
        pdf_.reset();
        const std::unique_ptr<vplatform::SafeFile> file = std::move(file_);
        // The old file stays unless the whole new one is in place.
        if (!ok) file->abandon();
        if (!ok || !file->commit()) throw print::PrintError(file->errorString());
        return;
    }
    const bool error = printer_->printerState() == QPrinter::Error;
    printer_.reset();
    const std::unique_ptr<QTemporaryFile> spool = std::move(spool_);
    if (!ok || error) throw print::PrintError(QStringLiteral("打印机“%1”没有完成打印任务").arg(Name));
    print::PdfJobOptions o;
    o.copies = part_.Copies;
    o.sides = part_.Duplex == 2   ? QStringLiteral("two-sided-long-edge")
              : part_.Duplex == 3 ? QStringLiteral("two-sided-short-edge")
              : part_.Duplex == 4 ? QStringLiteral("one-sided")
                                  : QString();
    o.paperWidth = part_.W;
    o.paperHeight = part_.H;
    print::cupsPrintPdf(Name, Title, spool->fileName(), o);
    ++jobsSent_;
}

void TlyrPrinter::BeginDoc()
{
    Printing = true;
    pagePending_ = false;
}

void TlyrPrinter::BeginPage()
{
    const PartKey key{PaperWidth, PaperHeight, Orientation, copies_, duplex_};
    if (partOpen_ && !(key == part_)) {
        if (FileName.isEmpty()) {
            // The queue takes one size per job: the next job part.
            finishPart();
        } else {
            // A file holds pages of every size.
            device()->setPageLayout(
                    QPageLayout(lyrPageSizeMM(PaperWidth, PaperHeight),
                                PaperWidth > PaperHeight ? QPageLayout::Landscape : QPageLayout::Portrait,
                                QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
            part_ = key;
        }
    }
    if (!partOpen_) {
        startPart();
    } else if (pagesInPart_ > 0) {
        if (!device()->newPage()) throw print::PrintError(QStringLiteral("打印机“%1”无法开始新的一页").arg(Name));
    }
    ++pagesInPart_;
    // Pages are drawn from the printable corner, as the margins say.
    painter_->resetTransform();
    painter_->translate(LeftMargin * DpiX / 25.4, TopMargin * DpiY / 25.4);
}

void TlyrPrinter::EndPage() {}

void TlyrPrinter::EndDoc()
{
    Printing = false;
    Bin = -1;
    finishPart();
}

void TlyrPrinter::Abort()
{
    if (partOpen_) {
        partOpen_ = false;
        canvas_.reset();
        if (printer_) printer_->abort();
        painter_.reset();
        printer_.reset();
        pdf_.reset();
        // Nothing of a cancelled part reaches the queue, and a file keeps
        // its old content.
        spool_.reset();
        file_.reset();
    }
    Printing = false;
    Bin = -1;
}

void TlyrPrinter::BeginRAWDoc()
{
    raw_.clear();
}

void TlyrPrinter::WriteRAWDoc(const QByteArray &bytes)
{
    raw_.append(bytes);
}

void TlyrPrinter::EndRAWDoc()
{
    const QByteArray data = std::exchange(raw_, QByteArray());
    if (!FileName.isEmpty()) {
        QString error;
        if (!vplatform::saveFileSafely(FileName, data, &error)) throw print::PrintError(error);
        return;
    }
    print::cupsPrintRaw(Name, Title, data, copies_);
    ++jobsSent_;
}

// ---------------------------------------------------------------- list

TlyrPrinters::TlyrPrinters()
{
    FillPrinters();
}

TlyrPrinters::~TlyrPrinters() = default;

TlyrCustomPrinter *TlyrPrinters::Items(int index) const
{
    if (index < 0 || index >= Count()) return nullptr;
    return printers_[static_cast<size_t>(index)].get();
}

QStringList TlyrPrinters::PrinterNames() const
{
    QStringList out;
    for (const auto &p : printers_) out << p->Name;
    return out;
}

int TlyrPrinters::IndexOf(const QString &name) const
{
    for (int i = 0; i < Count(); ++i)
        if (printers_[static_cast<size_t>(i)]->Name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void TlyrPrinters::SetPrinterIndex(int index)
{
    if (index == -1) index = IndexOf(default_);
    // A default that is not among the printers: the first one.
    if (index < 0 || index >= Count()) index = Count() > 0 ? 0 : -1;
    index_ = index;
    if (TlyrCustomPrinter *p = Printer()) p->Init();
}

void TlyrPrinters::Clear()
{
    printers_.clear();
    index_ = -1;
    default_.clear();
    HasPhysicalDevice = false;
}

void TlyrPrinters::FillPrinters()
{
    Clear();
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    QString def;
    for (const print::QueueInfo &q : print::cupsQueues()) {
        list.push_back(std::make_unique<TlyrPrinter>(q.name, q.info));
        if (q.isDefault) def = q.name;
    }
    SetPrinters(std::move(list), def);
}

void TlyrPrinters::SetPrinters(std::vector<std::unique_ptr<TlyrCustomPrinter>> printers, const QString &defaultName)
{
    Clear();
    printers_ = std::move(printers);
    default_ = defaultName;
    settle();
}

void TlyrPrinters::settle()
{
    HasPhysicalDevice = !printers_.empty();
    if (printers_.empty()) {
        printers_.push_back(std::make_unique<TlyrVirtualPrinter>(res("prVirtual"), QString()));
        default_ = printers_.front()->Name;
    }
    SetPrinterIndex(-1);
}

TlyrPrinters &lyrPrinters()
{
    static TlyrPrinters printers;
    return printers;
}

void lyrRefreshPrinters()
{
    lyrPrinters().FillPrinters();
}
