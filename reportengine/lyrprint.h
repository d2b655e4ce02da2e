#pragma once
// Printing prepared pages: which pages go on which sheets in the four print
// modes (one page per sheet, a big page split over sheets, small pages
// joined on a sheet, a page scaled to a sheet), copies, collation, odd or
// even pages, reverse order and duplex blank sheets. The pages come from a
// TlyrPrintSource, so the page logic can be followed with any printer.

#include "report/lyrclass.h"
#include "reportengine/lyrprinter.h"

#include <QStringList>

#include <functional>
#include <vector>

struct TlyrPrintPageInfo {
    int PaperSize = 9;
    double PaperWidth = 210, PaperHeight = 297;
    int Orientation = poPortrait;
    int Bin = lyrBinAuto, BinOtherPages = lyrBinAuto;
    // 0 none, 1 vertical, 2 horizontal, 3 simplex.
    int Duplex = 0;
};

class TlyrPrintSource {
public:
    virtual ~TlyrPrintSource() = default;
    virtual int Count() = 0;
    // False when the page cannot be rebuilt.
    virtual bool PageInfo(int index, TlyrPrintPageInfo &info) = 0;
    virtual void DrawPage(int index, TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX,
                          double offsetY) = 0;
    virtual void PagePrinting(int index, int copyNo) {}
    // The scale of the text of the pages drawn next (scale mode).
    virtual void SetPrintScale(double scale) {}
    virtual void Progress(int pageNo) {}
    virtual void PagesDone() {}
    virtual bool Terminated() { return false; }
};

struct TlyrPrintJobOptions {
    int Copies = 1;
    bool Collate = true;
    QString PageNumbers;
    TlyrPrintOptions::PrintModeKind PrintMode = TlyrPrintOptions::pmDefault;
    int PrintOnSheet = 0;
    TlyrPrintOptions::TlyrPrintPages PrintPages = TlyrPrintOptions::ppAll;
    bool Reverse = false;
    // The dialog's duplex choice: 0 the pages' own, 1-3 vertical to simplex.
    int DuplexOverride = 0;
    QString Title;

    static TlyrPrintJobOptions From(const TlyrPrintOptions &o);
};

class TlyrPrintJob {
public:
    TlyrPrintJob(TlyrPrintSource &source, TlyrCustomPrinter &printer, const TlyrPrintJobOptions &options);
    // Sends the pages; the page-number text is checked first (ElyrConvertError).
    // The printer's document is always ended or aborted before an error
    // passes on.
    void Run();
    // The smaller of the two factors of the last scaled page.
    double PrintScale = 1;
    int CopyNo = 0;
    // The chosen pages that could not be rebuilt and were left out (indexes,
    // each once, in the order met).
    std::vector<int> Damaged;

    // Sheet counts of a length a over b: whole sheets, one more for a rest
    // of 11 mm or more, at least one.
    static int SheetCount(double a, double b);
    // Sheets of a page split with the sheet's orientation (true: turned).
    static void SplitLayout(double pageW, double pageH, double sheetW, double sheetH, int &nx, int &ny, bool &turned);
    // Pages placed on a sheet: as many whole pages as fit each way (at
    // least one), in the orientation that holds more.
    static void JoinLayout(double sheetW, double sheetH, double pageW, double pageH, int &nx, int &ny, bool &turned);

private:
    bool passesFilter(int index) const;
    bool abortIfTerminated();
    void sheetFromPrinter();
    void printCopy();
    bool printPage(int index);
    bool splitPage(int index);
    void joinPages();
    void pageDone(int index);
    // The page's settings; false (the page noted as damaged) when it cannot
    // be rebuilt.
    bool pageInfo(int index, TlyrPrintPageInfo &info);
    // The page filter, the page's settings and the page event.
    enum class Step { Skip, Stop, Print };
    Step pageStart(int index, TlyrPrintPageInfo &info, int &copies, int &bin, int &duplex);

    TlyrPrintSource &source_;
    TlyrCustomPrinter &printer_;
    TlyrPrintJobOptions o_;
    // Per page: let through by the page list and the odd or even choice.
    std::vector<bool> passing_;
    double sheetW_ = 0, sheetH_ = 0;
    bool started_ = false;
    int printed_ = 0;
    bool stopped_ = false;
    // Settings last sent.
    struct Sent {
        int Paper = -1, W = 0, H = 0, Bin = -1, Orientation = -1, Duplex = -1;
        bool operator==(const Sent &) const = default;
    } sent_;
};

// The pages the options choose, in printing order (one copy): the page
// list (a text whose ranges hold no page chooses none), odd or even pages,
// reverse order. Raises ElyrConvertError for a text that does not read.
std::vector<int> lyrChosenPages(const TlyrPrintJobOptions &options, int count);

// Installs the windows of the report library the report makes itself: the
// progress window and the password question (a program with widgets only).
void lyrInstallPrinting();
