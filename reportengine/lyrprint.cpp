#include "reportengine/lyrprint.h"

#include "report/lyrutils.h"

#include <algorithm>
#include <cmath>

namespace {

// Sheets of split pages overlap by this much (mm) both ways.
constexpr double kOverlapMM = 3;
// A rest of at least this much (mm) takes one more sheet.
constexpr double kRestMM = 11;
// The most sheets a page is split into, or pages joined on a sheet, each way.
constexpr int kMaxSheetsAcross = 100;

// Per page: whether the page list and the odd or even choice let it
// through. Raises ElyrConvertError for a page list that does not read.
std::vector<bool> pagesPassing(const TlyrPrintJobOptions &options, int count)
{
    QStringList list;
    lyrParsePageNumbers(options.PageNumbers, list, count);
    // A text whose ranges hold no page ("3-1") prints nothing, not all.
    const bool hasList = !QString(options.PageNumbers).remove(u' ').isEmpty();
    std::vector<bool> out(static_cast<size_t>(std::max(0, count)));
    for (int i = 0; i < count; ++i) {
        const int n = i + 1;
        if (hasList && !list.contains(QString::number(n))) continue;
        if (options.PrintPages == TlyrPrintOptions::ppOdd && n % 2 == 0) continue;
        if (options.PrintPages == TlyrPrintOptions::ppEven && n % 2 == 1) continue;
        out[static_cast<size_t>(i)] = true;
    }
    return out;
}

}  // namespace

TlyrPrintJobOptions TlyrPrintJobOptions::From(const TlyrPrintOptions &o)
{
    TlyrPrintJobOptions j;
    j.Copies = o.Copies;
    j.Collate = o.Collate;
    j.PageNumbers = o.PageNumbers;
    j.PrintMode = o.PrintMode;
    j.PrintOnSheet = o.PrintOnSheet;
    j.PrintPages = o.PrintPages;
    j.Reverse = o.Reverse;
    return j;
}

TlyrPrintJob::TlyrPrintJob(TlyrPrintSource &source, TlyrCustomPrinter &printer, const TlyrPrintJobOptions &options)
    : source_(source), printer_(printer), o_(options)
{}

int TlyrPrintJob::SheetCount(double a, double b)
{
    if (!(b > 0)) return 1;
    // A damaged page's size takes no more sheets across than a real one.
    const double q = a / b;
    if (!(q < kMaxSheetsAcross)) return q != q ? 1 : kMaxSheetsAcross;
    if (!(q > 0)) return 1;
    const int n = static_cast<int>(q);
    const int count = std::fabs(n * b - a) >= kRestMM ? n + 1 : static_cast<int>(std::lround(a / b));
    // A page shorter than the rest limit still needs its sheet.
    return std::max(1, count);
}

void TlyrPrintJob::SplitLayout(double pageW, double pageH, double sheetW, double sheetH, int &nx, int &ny, bool &turned)
{
    nx = SheetCount(pageW, sheetW);
    ny = SheetCount(pageH, sheetH);
    const int tx = SheetCount(pageW, sheetH), ty = SheetCount(pageH, sheetW);
    turned = tx * ty < nx * ny;
    if (turned) nx = tx, ny = ty;
}

void TlyrPrintJob::JoinLayout(double sheetW, double sheetH, double pageW, double pageH, int &nx, int &ny, bool &turned)
{
    auto fit = [](double sheet, double page) {
        if (!(page > 0)) return 1;
        const double n = std::floor(sheet / page + 1e-9);
        return n >= kMaxSheetsAcross ? kMaxSheetsAcross : std::max(1, n != n ? 1 : static_cast<int>(n));
    };
    nx = fit(sheetW, pageW);
    ny = fit(sheetH, pageH);
    const int tx = fit(sheetH, pageW), ty = fit(sheetW, pageH);
    turned = tx * ty > nx * ny;
    if (turned) nx = tx, ny = ty;
}

bool TlyrPrintJob::passesFilter(int index) const
{
    return index >= 0 && index < static_cast<int>(passing_.size()) && passing_[static_cast<size_t>(index)];
}

bool TlyrPrintJob::abortIfTerminated()
{
    if (!source_.Terminated()) return false;
    if (printer_.Printing) printer_.Abort();
    started_ = false;
    stopped_ = true;
    return true;
}

void TlyrPrintJob::sheetFromPrinter()
{
    int code = o_.PrintOnSheet;
    double w = 0, h = 0;
    // "Default" is the printer's own paper, never a sheet without a size.
    if (code <= 0 || code == lyrCustomPaper) {
        code = printer_.DefPaper;
        w = printer_.DefPaperWidth;
        h = printer_.DefPaperHeight;
    }
    printer_.SetViewParams(code, w, h, poPortrait);
    o_.PrintOnSheet = printer_.PaperSize;
    sheetW_ = printer_.PaperWidth;
    sheetH_ = printer_.PaperHeight;
}

void TlyrPrintJob::Run()
{
    passing_ = pagesPassing(o_, source_.Count());
    if (o_.PrintMode != TlyrPrintOptions::pmDefault) sheetFromPrinter();
    if (o_.Copies <= 0) o_.Copies = 1;
    printer_.Title = o_.Title;
    try {
        if (o_.Collate) {
            for (int c = 1; c <= o_.Copies && !stopped_; ++c) {
                CopyNo = c;
                printCopy();
                if (stopped_) break;
                // The next copy starts on a sheet of its own.
                const bool twoSided = sent_.Duplex == 2 || sent_.Duplex == 3;
                if (twoSided && printed_ % 2 == 1 && printer_.Printing && c < o_.Copies) {
                    printer_.BeginPage();
                    printer_.EndPage();
                }
            }
        } else {
            CopyNo = 1;
            printCopy();
        }
        if (printer_.Printing) printer_.EndDoc();
    } catch (...) {
        if (printer_.Printing) printer_.Abort();
        CopyNo = 0;
        throw;
    }
    CopyNo = 0;
}

void TlyrPrintJob::printCopy()
{
    printed_ = 0;
    if (o_.PrintMode == TlyrPrintOptions::pmJoin) {
        joinPages();
        return;
    }
    const int n = source_.Count();
    const bool split = o_.PrintMode == TlyrPrintOptions::pmSplit;
    for (int k = 0; k < n; ++k) {
        const int i = o_.Reverse ? n - 1 - k : k;
        if (!(split ? splitPage(i) : printPage(i))) break;
    }
}

bool TlyrPrintJob::pageInfo(int index, TlyrPrintPageInfo &info)
{
    if (source_.PageInfo(index, info)) return true;
    if (std::find(Damaged.begin(), Damaged.end(), index) == Damaged.end()) Damaged.push_back(index);
    return false;
}

TlyrPrintJob::Step TlyrPrintJob::pageStart(int index, TlyrPrintPageInfo &info, int &copies, int &bin, int &duplex)
{
    if (!passesFilter(index)) return Step::Skip;
    if (abortIfTerminated()) return Step::Stop;
    if (!pageInfo(index, info)) return Step::Skip;
    copies = o_.Collate ? 1 : o_.Copies;
    source_.PagePrinting(index, o_.Collate ? CopyNo : 1);
    bin = index == 0 ? info.Bin : info.BinOtherPages;
    duplex = o_.DuplexOverride != 0 ? o_.DuplexOverride : info.Duplex;
    return Step::Print;
}

void TlyrPrintJob::pageDone(int index)
{
    source_.Progress(index + 1);
    printer_.EndPage();
    started_ = true;
    ++printed_;
    source_.PagesDone();
}

bool TlyrPrintJob::printPage(int index)
{
    TlyrPrintPageInfo info;
    int copies = 1, bin = lyrBinAuto, duplex = 0;
    if (const Step step = pageStart(index, info, copies, bin, duplex); step != Step::Print) return step == Step::Skip;
    const bool scale = o_.PrintMode == TlyrPrintOptions::pmScale;
    if (!scale) {
        const Sent s{info.PaperSize,
                     static_cast<int>(std::lround(info.PaperWidth)),
                     static_cast<int>(std::lround(info.PaperHeight)),
                     bin,
                     info.Orientation,
                     duplex + 1};
        if (!(started_ && s == sent_)) {
            printer_.SetPrintParams(info.PaperSize, info.PaperWidth, info.PaperHeight, info.Orientation, bin,
                                    duplex + 1, copies);
            sent_ = s;
        }
    } else if (!(started_ && sent_.Bin == bin && sent_.Orientation == info.Orientation && sent_.Duplex == duplex + 1)) {
        printer_.SetPrintParams(o_.PrintOnSheet, sheetW_, sheetH_, info.Orientation, bin, duplex + 1, copies);
        sheetW_ = printer_.PaperWidth;
        sheetH_ = printer_.PaperHeight;
        sent_ = Sent{o_.PrintOnSheet, 0, 0, bin, info.Orientation, duplex + 1};
    }
    if (!printer_.Printing) printer_.BeginDoc();
    printer_.BeginPage();
    double kx = 1, ky = 1;
    if (scale && info.PaperWidth > 0 && info.PaperHeight > 0) {
        kx = sheetW_ / info.PaperWidth;
        ky = sheetH_ / info.PaperHeight;
        PrintScale = std::min(kx, ky);
        source_.SetPrintScale(PrintScale);
    }
    if (TlyrCanvas *canvas = printer_.Canvas())
        source_.DrawPage(index, *canvas, printer_.DpiX / 96.0 * kx, printer_.DpiY / 96.0 * ky,
                         -printer_.LeftMargin * printer_.DpiX / 25.4, -printer_.TopMargin * printer_.DpiY / 25.4);
    pageDone(index);
    return true;
}

bool TlyrPrintJob::splitPage(int index)
{
    TlyrPrintPageInfo info;
    int copies = 1, bin = lyrBinAuto, duplex = 0;
    if (const Step step = pageStart(index, info, copies, bin, duplex); step != Step::Print) return step == Step::Skip;
    int nx = 1, ny = 1;
    bool turned = false;
    SplitLayout(info.PaperWidth, info.PaperHeight, sheetW_, sheetH_, nx, ny, turned);
    const int orientation = turned ? poLandscape : poPortrait;
    if (!(started_ && sent_.Orientation == orientation)) {
        printer_.SetPrintParams(o_.PrintOnSheet, sheetW_, sheetH_, orientation, bin, duplex + 1, copies);
        sent_ = Sent{o_.PrintOnSheet, 0, 0, bin, orientation, duplex + 1};
    }
    if (!printer_.Printing) printer_.BeginDoc();
    const double dx = printer_.DpiX / 25.4, dy = printer_.DpiY / 25.4;
    const double sheetW = (turned ? sheetH_ : sheetW_) * dx, sheetH = (turned ? sheetW_ : sheetH_) * dy;
    const double lm = printer_.LeftMargin * dx, rm = printer_.RightMargin * dx;
    const double tm = printer_.TopMargin * dy, bm = printer_.BottomMargin * dy;
    double y = -tm, coveredH = 0, prevTop = 0;
    for (int r = 0; r < ny; ++r) {
        double x = -lm, coveredW = 0, prevLeft = 0;
        for (int c = 0; c < nx; ++c) {
            printer_.BeginPage();
            if (TlyrCanvas *canvas = printer_.Canvas())
                source_.DrawPage(index, *canvas, printer_.DpiX / 96.0, printer_.DpiY / 96.0, x, y);
            if (r < ny - 1 || c < nx - 1) printer_.EndPage();
            coveredW += sheetW - prevLeft - rm - kOverlapMM * dx;
            prevLeft = lm;
            x = -coveredW;
        }
        coveredH += sheetH - prevTop - bm - kOverlapMM * dy;
        prevTop = tm;
        y = -coveredH;
    }
    pageDone(index);
    return true;
}

void TlyrPrintJob::joinPages()
{
    std::vector<int> chosen;
    for (int i = 0; i < source_.Count(); ++i)
        if (passesFilter(i)) chosen.push_back(i);
    // The sheet is laid out for the first page that can be rebuilt; damaged
    // pages leave their place on a sheet empty.
    TlyrPrintPageInfo info;
    if (std::none_of(chosen.begin(), chosen.end(), [&](int i) { return pageInfo(i, info); })) return;
    int nx = 1, ny = 1;
    bool turned = false;
    JoinLayout(sheetW_, sheetH_, info.PaperWidth, info.PaperHeight, nx, ny, turned);
    const int duplex = o_.DuplexOverride != 0 ? o_.DuplexOverride : info.Duplex;
    // Without collation the printer makes the copies of each sheet.
    const int copies = o_.Collate ? 1 : o_.Copies;
    printer_.SetPrintParams(o_.PrintOnSheet, sheetW_, sheetH_, turned ? poLandscape : poPortrait, info.Bin, duplex + 1,
                            copies);
    sent_ = Sent{o_.PrintOnSheet, 0, 0, info.Bin, turned ? poLandscape : poPortrait, duplex + 1};
    if (!printer_.Printing) printer_.BeginDoc();
    started_ = true;
    const double cellW = info.PaperWidth * printer_.DpiX / 25.4, cellH = info.PaperHeight * printer_.DpiY / 25.4;
    const double lm = printer_.LeftMargin * printer_.DpiX / 25.4, tm = printer_.TopMargin * printer_.DpiY / 25.4;
    const size_t perSheet = static_cast<size_t>(nx) * static_cast<size_t>(ny);
    const size_t sheets = (chosen.size() + perSheet - 1) / perSheet;
    for (size_t k = 0; k < sheets; ++k) {
        if (abortIfTerminated()) return;
        // Reverse order turns the sheets over, not the pages on a sheet: the
        // stack comes out as in direct order, last sheet first.
        const size_t sheet = o_.Reverse ? sheets - 1 - k : k;
        const size_t first = sheet * perSheet, end = std::min(first + perSheet, chosen.size());
        printer_.BeginPage();
        for (size_t j = first; j < end; ++j) {
            const int index = chosen[j];
            const size_t cell = j - first;
            TlyrPrintPageInfo own;
            if (!pageInfo(index, own)) continue;
            source_.PagePrinting(index, o_.Collate ? CopyNo : 1);
            if (TlyrCanvas *canvas = printer_.Canvas())
                source_.DrawPage(index, *canvas, printer_.DpiX / 96.0, printer_.DpiY / 96.0,
                                 -lm + static_cast<double>(cell % static_cast<size_t>(nx)) * cellW,
                                 -tm + static_cast<double>(cell / static_cast<size_t>(nx)) * cellH);
        }
        pageDone(chosen[end - 1]);
    }
}

std::vector<int> lyrChosenPages(const TlyrPrintJobOptions &options, int count)
{
    const std::vector<bool> passing = pagesPassing(options, count);
    std::vector<int> out;
    for (int k = 0; k < count; ++k) {
        const int i = options.Reverse ? count - 1 - k : k;
        if (passing[static_cast<size_t>(i)]) out.push_back(i);
    }
    return out;
}
