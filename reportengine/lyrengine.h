#pragma once
// The report engine: turns a report template and its datasets into prepared
// pages (data loops, groups, headers and footers, page breaks, aggregates
// and both passes of a two-pass report).

#include "report/lyrcontracts.h"
#include "reportengine/lyraggregate.h"

#include <QHash>
#include <QSet>

#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include <vector>

class TlyrBand;
class TlyrDataBand;
class TlyrDataSet;
class TlyrGroupHeader;
class TlyrReportPage;

class TlyrEngine : public TlyrCustomEngine {
    Q_OBJECT
public:
    explicit TlyrEngine(TlyrReport *report);
    ~TlyrEngine() override;

    // A data band of the band tree with what belongs to it.
    struct Node {
        TlyrDataBand *Band = nullptr;
        TlyrBand *Header = nullptr;
        TlyrBand *Footer = nullptr;
        // Outer group first.
        std::vector<TlyrGroupHeader *> Groups;
        std::vector<Node> Details;
    };

    // Subreports nest at most this deep (each level runs on the stack).
    static constexpr int MaxSubreportDepth = 500;

    TlyrAggregateList Aggregates;
    TlyrBand *CurBand = nullptr;
    TlyrReportPage *CurPage = nullptr;
    // Shows a dialog page instead of its own modal window (set by the host);
    // returns the modal result (2 cancels the report).
    std::function<int(class TlyrDialogPage *)> OnRunDialog;

    void EndPage() override;
    void NewColumn() override;
    void NewPage() override;
    void ShowBand(TlyrComponent *band) override;
    void ShowBand(const QMetaObject *bandClass) override;
    double HeaderHeight() override;
    double FooterHeight() override;
    double FreeSpace() override;
    KsValue GetAggregateValue(const QString &name, const QString &expression, TlyrComponent *band, int flags) override;
    bool Run() override;
    // While a keep block is open: the block may still move to the next page.
    bool DefersPageNumbers() const override;

    TlyrCustomPreviewPages *Pages() const { return PreviewPages; }
    // The band tree of a page (built by the run).
    const std::vector<Node> &Masters(TlyrReportPage *page) const;

private:
    struct ShiftNode {
        class TlyrView *View;
        double Top, Bottom, Left, Right;
        std::vector<int> Parents;
    };
    using ShiftTree = std::vector<ShiftNode>;
    const ShiftTree &shiftTree(TlyrBand *band, qsizetype own = -1);
    QHash<TlyrBand *, ShiftTree> shiftTrees_;
    struct PageTree {
        std::vector<Node> Masters;
        // Vertical data bands, run across a crossed horizontal band.
        std::vector<Node> VMasters;
        QHash<TlyrGroupHeader *, TlyrBand *> GroupFooters;
    };
    void prepareBands(TlyrReportPage *page, bool vertical);
    void crossBands(TlyrReportPage *page);
    void runVerticalDataBands(std::vector<Node> &nodes);
    void showVerticalBand(TlyrBand *band);
    void startCross(TlyrBand *band);
    void outputCrossBand(TlyrBand *band);
    void footWidthPage();
    // Opens the next page in width (a new one with its page bands).
    void openWidthPage();
    // Puts the parts in width of a kept block that moved onto the pages in
    // width after the current one, moved down by dy, and returns.
    void placeWidthParts(std::vector<class TlyrXMLItem *> &parts, double dy, double fromShift);
    void footWidthPages();
    // Drops the pages in width that a header repeated on the ending page
    // made for its titles alone.
    void dropTitleWidthPages();
    void passWidthPages();
    void linkDetails(Node &node, std::vector<TlyrBand *> &list, size_t from);
    void runReportPages();
    void runPage(TlyrReportPage *page);
    // Starts an output page with its headers; the first page of a report
    // page gets the title too.
    void initPage(TlyrBand *title = nullptr);
    void sizeEndlessPage(TlyrReportPage *page);
    bool runDialogs();
    void runDataBands(std::vector<Node> &nodes);
    bool hasDetail(Node &node, bool printIfEmpty);
    bool lastRecord(TlyrDataBand *band, TlyrDataSet *ds, int line);
    TlyrBand *closingGroupFooter(Node &node);
    // Whether a record of one of the bands (or of their details, as each
    // asks) is to print.
    bool anyDetail(std::vector<Node> &nodes);
    void showPageObjects(TlyrReportPage *page);
    void addPageOutline();
    void showOverlay(bool onTop);
    void showColumnFooter();
    // The offset of the page or subreport being run.
    double baseX() const;
    // The left of a page column (1-based), in report units.
    double columnX(int column) const;
    // The item of a band just shown, at its top; false when none was added.
    bool addBandOutline(TlyrBand *band, double designHeight);
    void showGroupHeaders(Node &node, size_t from, bool reset);
    // The row of a multi-column data band being filled: its top, its
    // lowest bottom so far and where it begins in the store.
    struct Row {
        double Y = 0, MaxY = 0;
        int Start = 0;
    };
    bool checkGroups(Node &node, Row *row);
    // With hold, the closed groups' headers stay in the header list, closed,
    // until the caller drops those returned (a kept footer may still take
    // their last record to a new page).
    std::vector<TlyrBand *> showGroupFooters(Node &node, size_t from, bool hold = false);
    void dropHeaders(const std::vector<TlyrBand *> &headers);
    // False when a repeated header was left out.
    bool showBandOnce(TlyrBand *band);
    void stretchBand(TlyrBand *band, qsizetype own = -1);
    void fitHeight(TlyrBand *band);
    bool collectPrintOnParent(TlyrBand *band, const QList<class TlyrReportComponent *> &views);
    void copyToPrintOnParent(TlyrBand *from);
    class TlyrReportComponent *outputCopy(class TlyrReportComponent *v, TlyrBand *band, double left);
    void startRecord(Node &node, bool first, int &line, int through, Row *row);
    // With only at 0 or more the band prints just its first part, in that
    // height, and the rest is dropped.
    void splitBand(TlyrBand *band, const QList<class TlyrReportComponent *> &views, double only = -1);
    TlyrDataSet *dataSetOf(TlyrDataBand *band) const;
    void collectAggregates(TlyrReportPage *page);
    void startKeep(TlyrBand *band);
    void startKeep(TlyrBand *band, int position, double y);
    void applyDrillDown(Node &node);
    // Shown: the record took its place in the row (false: one hidden by its
    // script takes no step).
    void columnStep(TlyrDataBand *band, Row &row, bool shown = true);
    void showSubreports(TlyrBand *band, const QList<class TlyrReportComponent *> &views);
    std::vector<class TlyrSubreport *> subreportsOf(const QList<class TlyrReportComponent *> &views, bool onParent);
    void runSubreport(class TlyrSubreport *s);
    void endKeep(TlyrBand *band);
    // Ends the open keep block where it stands: what it holds counts for
    // the page it is on.
    void closeKeep();
    // Fills the page numbers left as marks on the page the output leaves
    // for page next.
    void fillPageNumbers(int next);
    // Pastes a kept block that ran over page columns on the new page.
    void pasteAcrossColumns(const std::vector<std::pair<int, int>> &breaks, double rowBottom);
    // The headers of the header list shown again at the top of a page or
    // column (at x), with their child bands and their own counters.
    void showRepeatedHeaders(double x);
    // The height of the headers (with their child bands) a new page repeats
    // above a keep block that moves there, but those the block brings.
    double repeatedAbove(int moving) const;
    // Adds a header to the header list, at the offset of what is run.
    void addHeader(TlyrBand *band);

    QHash<TlyrReportPage *, PageTree> trees_;
    // Data bands that run over their own rows (RowCount without dataset).
    QSet<TlyrDataBand *> rowBands_;
    std::vector<TlyrBand *> headerList_;
    // The offset of the page or subreport that added each header.
    QHash<TlyrBand *, double> headerLeft_;
    QHash<TlyrGroupHeader *, KsValue> lastValues_;
    QHash<TlyrGroupHeader *, int> groupRecords_;
    QHash<TlyrGroupHeader *, int> groupThrough_;
    // Groups since the enclosing group changed; headers that added an
    // outline item.
    QHash<TlyrGroupHeader *, int> groupLine_;
    QSet<TlyrGroupHeader *> outlined_;
    // Line counter of a data band's record being shown.
    QHash<TlyrBand *, int> bandLine_;
    bool firstPage_ = false;
    // The store index of the report page's first output page, which a
    // side-by-side subreport may reach again after it was ended once.
    int firstPageIndex_ = -1;
    bool finishing_ = false;
    bool inPageBand_ = false;
    bool showingHeaders_ = false;
    // While a repeated header that may split is shown: how many headers of
    // the list a column break inside it repeats, and the header.
    size_t repeatLimit_ = SIZE_MAX;
    TlyrBand *flowingHeader_ = nullptr;
    // The report title was printed on the page: the page is not empty.
    bool titleOnPage_ = false;
    double columnStartY_ = 0;
    // Where the headers repeated at the top of the current column end: a
    // fresh column would have no more room than this.
    double headersEndY_ = 0;
    // Where in the store the current column's content begins, below them.
    int contentPos_ = 0;
    // How much of the current page's top the report title (with its
    // subreports) took; its later columns start below that too.
    double titleRun_ = 0;
    bool atColumnTop() const;
    // Where the data and group headers that began a page column end, shown
    // there for the records below them (not repeated): on that page and
    // column, 0 elsewhere.
    struct HeadsTop {
        int Page = -1, Column = 0;
        double Y = 0;
    } headsTop_;
    double headsTop(int page, int column) const;
    void noteHeadsTop(TlyrBand *band);
    // An open keep block moves to the next column at this break.
    bool keepMovesToColumn();
    bool keepMovesWithRow(const Row &row);
    // An open keep block moves to the next page at this break, with along
    // below it there.
    bool keepMovesToPage(double along);
    // A break here moves the open keep block whole, with along below it.
    bool keepMovesWith(double along, bool toPage);
    // The room of a new page below its page and column headers.
    double pageRoom();
    // A band of this height with what the open keep block keeps with it
    // after it (the rest of its chain of children).
    double keptAlong(TlyrBand *band, double height) const;
    // The room below the headers of a new column of this page.
    double columnRoom();
    // A child band of a record beside others in its row, shown whole with
    // the rest of its chain, makes the row taller than the room it finds
    // in the next column or on the next page.
    bool rowOutgrows(TlyrBand *band);
    // Moves the open row of that record, as far as it is shown, to the top
    // of the next column or page, the record's children going on under it
    // there; false when it stays (a keep block begun before it holds it).
    bool moveRow();
    // Where the open row of a multi-column data band begins in the store,
    // while a record beside its first is shown (-1: none).
    int rowFrom_ = -1;
    // The room a later column of this page leaves below its column header
    // and the headers it repeats (but the band that breaks the column).
    double laterColumnRoom();
    // Goes on in the next column, or on the next page where no column left
    // under the title gives need room.
    void nextColumnFor(double need);
    // Where a column begins: above the column header, which each column
    // repeats.
    double columnTopY_ = 0;
    // Counts page and column breaks: a band output learns whether it broke.
    int breaks_ = 0;
    // Where the last record of a multi-column band was placed.
    double rowTop_ = 0;
    int rowStart_ = 0;
    // The break count when that record was placed.
    int rowBreaks_ = 0;
    // The lowest bottom of a multi-column row that is still open, while the
    // next record goes beside it at the row's top (-1: none).
    double rowBottom_ = -1;
    // An open row that a kept block took along to a new page: where it
    // landed, so the next record goes beside it (Top < 0: none).
    struct MovedRow {
        double Top = -1, Bottom = 0;
        int Start = 0;
    } movedRow_;
    // Whether the record last shown went beside such a row.
    bool besideMovedRow_ = false;
    // The place in its row of the multi-column record last shown.
    double columnLeft_ = 0;
    // What CurX holds of that place while the record's children are shown;
    // a break starts CurX afresh and drops it.
    double childLeft_ = 0;
    // The band that a page or column break is made for: it is not repeated
    // as a header there, it prints itself.
    TlyrBand *breakBand_ = nullptr;
    // The room that band needs at the top of the new column: a header
    // repeated there that would leave less is left out.
    double repeatNeed_ = 0;
    // The break is the one a band's StartNewPage asks for.
    bool startNewPageBreak_ = false;
    // The bottom of the band whose subreports are running, while they are
    // in its column (-1: none).
    double subHostBottom_ = -1;
    // Pages of the subreports being run.
    QSet<TlyrReportPage *> runningSubs_;
    // The open keep block: its band, where it began in the store, on the
    // page, in the outline and among the anchors.
    // Left of the subreport being run (-1 outside one).
    double subBaseX_ = -1;
    bool keeping_ = false;
    // A record is shown that may still move with the last one (kept with
    // the footer) or with its row (of a list in columns).
    bool movableRecord_ = false;
    // Records the data band steps back over to its last printed one (those
    // between were left out for want of details).
    int recordsBack_ = 1;
    // Where the last page footer printed (page -1: the last page ended
    // without one); the page a report page went on below the previous one's
    // output, where that output ended and whether its footer is there.
    int footerPage_ = -1, continuedPage_ = -1;
    double footerTop_ = 0, continuedY_ = 0;
    // The last page in width that got a page footer, and that footer's top.
    std::pair<int, double> widthFooter_{-1, 0};
    bool continuedFooter_ = false;
    // A band that may split is shown (its parts may land on later pages).
    bool splittable_ = false;
    // The child bands of a record beside others in its row are shown: like
    // the record they move with the row, never on their own.
    bool rowChildren_ = false;
    bool noKeep_ = false;
    bool keepingFooter_ = false;
    // The footer that closes a data band's run, and that band's header:
    // once the footer is placed the header is closed and repeats no more,
    // but above a kept block that moves to a new page.
    TlyrBand *closingFooter_ = nullptr, *closingHeader_ = nullptr;
    QSet<TlyrBand *> closedHeaders_;
    // The band that receives the output of print-on-parent subreports.
    TlyrBand *popTarget_ = nullptr;
    // Cross output: horizontal bands whose objects moved into vertical
    // bands, where each moved object came from, the band being crossed, the
    // vertical headers to repeat after a width break and the object counts
    // of the crossed band at which its output continues on the next page.
    QSet<TlyrBand *> crossed_;
    QHash<TlyrComponent *, TlyrBand *> sourceBand_;
    TlyrBand *crossBand_ = nullptr;
    std::vector<TlyrBand *> vHeaderList_;
    std::vector<qsizetype> widthBreaks_;
    // The room for cells in each part of the crossed band (less than the
    // page width when the band stands right of the margin, in a subreport).
    double crossRoom_ = 0;
    // The first vertical column of each vertical group and of the columns a
    // vertical footer closes: a crossed total row's cell under that footer
    // totals those columns.
    QHash<TlyrBand *, int> vGroupFrom_;
    int vFooterFrom_ = 0;
    int vColumnFrom_ = 0;
    bool crossPage_ = false;
    bool crossOutput_ = false;
    bool widthPagesFollow_ = false;
    // The output page whose rows ran on to the pages in width that follow.
    int widthFollowFrom_ = -1;
    // How much lower the rows of an output page stand on its pages in
    // width, whose page bands take more room.
    QHash<int, double> widthShift_;
    // The last page in width of the output page being filled.
    int widthLast_ = -1;
    // Every page in width of this pass.
    QSet<int> widthPages_;
    // The pages in width (from First on) that a header repeated on output
    // page Home made, and the store position on Home of the first crossed
    // row that went there too (none: INT_MAX).
    struct TitleWidth {
        int Home = -1, First = -1, RowsAt = INT_MAX;
    } titleWidth_;
    TlyrBand *keepBand_ = nullptr;
    // Each keep block has its number; a header added while one was open
    // is not repeated above that block when it moves to a new page.
    int keepSerial_ = 0;
    int movingKeep_ = 0;
    // The open block moved to a later column's top at a column break.
    bool keepMovedColumn_ = false;
    // A full row of a list in columns ends the open block: it moves whole,
    // its rows with it.
    bool rowsClosed_ = false;
    // A band being split breaks the column; what is left of it below.
    bool splitBreak_ = false;
    double splitRest_ = 0;
    // The page and store position at which the last subreport began.
    std::pair<int, int> subRanAt_{-1, 0};
    // The column it came from, and where in the store the column it moved
    // to begins (above that column's headers).
    int keepFromColumn_ = 1, keepColumnFrom_ = 0;
    // Where in the store the last page column begun by a column break
    // starts (above its headers), and on which page and column.
    struct { int Page = -1, Column = 0, Pos = 0; } columnBegun_;
    QHash<TlyrBand *, int> headerKeep_;
    // The page and store position after each header's last showing; while
    // a moved block is pasted over columns, the block position being
    // placed (-1: none) and the page the block was cut from.
    QHash<TlyrBand *, std::pair<int, int>> headerAdded_;
    // The page and store position where each closed header's run ended: a
    // part of a moved block pasted before that still heads records of it.
    QHash<TlyrBand *, std::pair<int, int>> headerClosed_;
    void closeHeader(TlyrBand *header, int lastPos);
    bool closedAbovePaste(TlyrBand *header) const;
    // Whether a closed header is left out of a new page or column: it heads
    // only a moving block that holds records of its run.
    bool closedLeftOut(TlyrBand *header) const;
    int pasteAt_ = -1;
    // Group headers shown inside a keep block, as printed: where each stands
    // in its block (store positions from the block's start) and where its
    // run ended. A part of the block laid out again over columns repeats the
    // header of the run it belongs to, though a later run of that group is
    // open by then.
    struct HeaderRun {
        TlyrBand *Band = nullptr;
        int Block = 0, From = 0, To = 0, Closed = INT_MAX;
        double X = 0;
        std::shared_ptr<class TlyrXMLItem> Copy;
    };
    std::vector<HeaderRun> headerRuns_;
    // The store position the block being pasted began at.
    int pasteFrom_ = 0;
    // A header whose own subreports run beside it (not yet listed as
    // shown): where it stands in the store, its left and how many headers
    // were listed before it. It heads the rows they print on a new page.
    struct SideHost {
        TlyrBand *Band = nullptr;
        int Page = -1, Pos = 0;
        double Left = 0;
        size_t Listed = 0;
    } sideHost_;
    void showSideHost();
    // The height a header that may split was prepared with when it was last
    // shown, whole or split: shown again whole, it takes no more.
    QHash<TlyrBand *, double> shownHeight_;
    void noteHeaderRun(TlyrBand *header, int from, double x);
    // Where a group header's own output began (store position, breaks so
    // far, left): a break before it may have moved the block it opens.
    struct HeaderPlaced {
        TlyrBand *Band = nullptr;
        int Pos = -1, Breaks = 0;
        double X = 0;
    } headerPlaced_;
    // The run of header the part being pasted belongs to, if one of the
    // block's.
    const HeaderRun *headerRunAtPaste(TlyrBand *header) const;
    void showHeaderRun(const HeaderRun &run);
    // The last keep block that moved whole to a new page: from where (page
    // and store position) to where, and by how much; counted, so that
    // side-by-side subreports learn that their host band moved.
    struct MovedBlock {
        int FromPage = -1, FromPos = 0, ToPage = -1, ToColumn = 1;
        double Dx = 0, Dy = 0;
        // A block pasted over columns moves each part its own way: where
        // each object (by its old store position) went.
        struct Placed {
            int Pos, Page, Column;
            double Dx, Dy;
        };
        std::vector<Placed> Parts;
    } movedBlock_;
    int blockMoves_ = 0;
    // What the engine knows of the output page it fills; a subreport beside
    // another goes back to the page the band is on, and takes this along.
    struct PageState {
        double ColumnTopY, ColumnStartY, HeadersEndY, TitleRun;
        int ContentPos;
        bool TitleOnPage, FirstPage;
    };
    PageState pageState() const;
    void setPageState(const PageState &state);
    // Where each output page's content begins below its headers, for a
    // side-by-side subreport that reaches the page again.
    QHash<int, double> bodyTop_;
    // The same for the later page columns, by output page and column: where
    // the column's headers begin and end.
    std::map<std::pair<int, int>, std::pair<double, double>> columnBody_;
    // The output pages and columns whose column footer was printed.
    std::set<std::tuple<TlyrBand *, int, int>> footedColumns_;
    int keepPage_ = -1;
    // The page column the open block began in, and the store positions of
    // what the column breaks inside it printed (footer, headers).
    int keepColumn_ = 1;
    // Where the open block began across the page.
    double keepX_ = 0;
    std::vector<std::pair<int, int>> keepBreaks_;
    // The open block's crossed rows in width: by part, the output page and
    // store position where the block's first one began there, and whether
    // the page was made for the block.
    struct WidthPart {
        int Page, Pos;
        bool Made;
    };
    std::map<size_t, WidthPart> keepWidth_;
    // The crossed row of a record that a kept footer may still take along:
    // the output page and store position it began at, and its parts in
    // width, which the footer's block takes over when it begins there.
    struct FooterRow {
        int Page = -1, Pos = 0;
        std::map<size_t, WidthPart> Parts;
    } footerRow_;
    // How far down the open block ran in that column before its first break.
    double keepFirstPart_ = 0;
    // The tallest band the open block stored: a part of a band split over
    // columns moves only whole.
    double keepTallest_ = 0;
    int keepPos_ = 0;
    double keepY_ = 0;
    // Where the records stop that the open block's row holds before it:
    // they stay when the block moves (-1: none).
    double keepRowBottom_ = -1;
    class TlyrXMLItem *keepOutline_ = nullptr;
    int keepAnchor_ = -1;
};

// Installs the engine and the prepared-pages store for every report.
void lyrInstallEngine();
