#pragma once
// The prepared pages of a report run. Pages are kept as XML elements whose
// objects are written as differences against shared clones of the template
// objects (the source pages); a page is rebuilt into objects only when it is
// drawn, printed or exported, and the last rebuilt pages are cached.

#include "report/lyrcontracts.h"
#include "report/lyrxml.h"
#include "reportengine/lyrexportfilter.h"
#include "reportengine/lyrpicturecache.h"

#include <map>
#include <QHash>
#include <QMap>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class TlyrCanvas;
class TlyrCustomMemoView;
class TlyrReportPage;
class TlyrOutline;
class TlyrView;

// Key (such as "m12") to the source object it stands for.
class TlyrDictionary {
public:
    struct Entry {
        QString SourceName;
        TlyrComponent *Object = nullptr;
    };
    void Clear()
    {
        names_.clear();
        hints_.clear();
    }
    int Count() const { return static_cast<int>(names_.size()); }
    QString AddObject(const QString &prefix, const QString &sourceName, TlyrComponent *obj);
    void Add(const QString &key, const QString &sourceName, TlyrComponent *obj);
    QString CreateUniqueName(const QString &prefix) const;
    TlyrComponent *GetObject(const QString &key) const;
    QString GetSourceName(const QString &key) const;
    // Keys in sorted order with their entries.
    const QMap<QString, Entry> &Names() const { return names_; }

private:
    QMap<QString, Entry> names_;
    // Per prefix: the start number of the last search and the number it
    // found free; keys are only ever added, so every number between them is
    // still taken and the next search with that start resumes there.
    struct Hint {
        int Start = 0;
        int Last = 0;
    };
    mutable QHash<QString, Hint> hints_;
};

class TlyrPreviewPages : public TlyrCustomPreviewPages {
    Q_OBJECT
public:
    explicit TlyrPreviewPages(TlyrReport *report);
    ~TlyrPreviewPages() override;

    // 0: AddPage moves onto an existing page (second pass); 1: always appends.
    int AddPageAction = 0;
    int CurPreviewPage = 0;
    int FirstPage = 0;
    int CopyNo = 0;
    double PrintScale = 1;

    TlyrXMLDocument XMLDoc;
    std::vector<std::unique_ptr<TlyrReportPage>> SourcePages;
    TlyrDictionary Dictionary;
    TlyrPictureCache PictureCache;
    int FirstPageIndex = -1;
    int FirstObjectIndex = 0;
    int LogicalPageN = 0;
    qint64 MemSize = 0;
    // Without UseFileCache pages go to the file cache only past this many
    // times MaxMemSize.
    static constexpr int kMemoryCeilingFactor = 4;
    // A build that would make more pages, outline items or anchors stops
    // with an error line: each of them stays in memory.
    static inline int MaxPages = 1000000;
    static inline int MaxOutlineItems = 1000000;
    static inline int MaxAnchors = 1000000;
    // A page of a loaded file holding more objects than this is not built
    // (an error line instead): every object built costs memory.
    static inline int MaxPageObjects = 100000;
    // Built pages leave the cache, least recently used first, while the
    // cache holds more objects than this (the page just built stays).
    static inline qint64 MaxCachedObjects = 200000;
    // Counts one more of what a build adds; past the limit the build is
    // stopped (once, with an error line naming what) and false returned.
    bool CountWithin(int &count, int limit, const QString &what);
    int OutlineItems = 0;
    // Lines about damaged pages or files (also given to the report's errors).
    QStringList Errors;
    // Pages (from 1) that were built with a damaged picture, in order.
    QList<int> DamagedPicturePages;
    // Pages (from 1) that were built with a damaged text (bytes that are not
    // UTF-8, NUL characters), in order; the text is shown as far as it reads.
    QList<int> DamagedTextPages;
    // For a file that was cut short: what is missing (empty for a whole one).
    QString Incomplete;

    TlyrOutline *GetOutline() const;
    TlyrXMLItem *PagesItem();

    int Count() override;
    // The rebuilt page (owned by the page cache); null when there is none or
    // the page is damaged.
    TlyrReportPage *GetPage(int index) override;
    QSize GetPageSize(int index) override;
    // The size of page index and how many pages from it on share it (at
    // least 1 for a page of the store): the pages of a file not read yet
    // come in runs of one size, so a layout need not ask page by page.
    int GetPageSizeRun(int index, QSize &size);
    // Elements made for pages: the pages read, those built or written, and
    // the placeholders of pages not read yet once something needs them all.
    int PageElements() { return pagesNow()->Count(); }
    void Clear() override;
    void Initialize() override;
    void AddObject(TlyrComponent *obj) override;
    void AddPage(TlyrReportPage *page) override;
    void AddSourcePage(TlyrReportPage *page) override;
    void AddToSourcePage(TlyrComponent *obj) override;
    void BeginPass() override;
    void ClearFirstPassPages() override;
    void CutObjects(int from) override;
    void Finish() override;
    void IncLogicalPageNumber() override;
    void ResetLogicalPageNumber() override;
    void PasteObjects(double x, double y) override;
    // Pastes the objects cut last one by one, in their order (index from
    // 0): place moves each one's box on the page, or drops it by returning
    // false. It may add objects of its own first.
    void PasteObjects(const std::function<bool(int index, QRectF &box)> &place);
    // Fills the page-number marks of the current page's objects from index
    // from on with this page's numbers; the page being left is filled when
    // a page is added or the run finishes, once marks were printed.
    void FillPageNumbers(int from);
    bool MarksPending = false;
    // The marks of page page from index from on wait (a kept block's part
    // on a page in width may still move); releasing fills those of every
    // page but the current one, which is filled when left.
    void HoldMarks(int page, int from);
    void ReleaseMarks();
    // Takes the objects of page page from index from on, but its page
    // footer and overlay, out of the store; PutObjects adds them to the
    // current page, moved down by dy.
    TlyrXMLItem *TakeObjects(int page, int from);
    void PutObjects(TlyrXMLItem *taken, double dy);
    // Copies of the current page's objects from index from up to to, as
    // children of the item returned (the page keeps its own).
    std::shared_ptr<TlyrXMLItem> CopyObjects(int from, int to);
    // The box the copied objects cover together.
    QRectF CopiedBox(const TlyrXMLItem &copies);
    // Adds fresh copies of the copied objects to the current page, moved by
    // dx and dy.
    void AddCopies(const TlyrXMLItem &copies, double dx, double dy);
    // Drops the last page, made for output that went elsewhere, with its
    // logical page number.
    void DropLastPage();
    void ShiftAnchors(int from, int newTop) override;
    int AddPicture(TlyrPictureView *view) override;
    bool BandExists(TlyrComponent *band) override;
    int GetCurPosition() override;
    int GetAnchorCurPosition() override;
    double GetLastY() override;
    int GetLogicalPageNo() override;
    int GetLogicalTotalPages() override;
    void AddEmptyPage(int index) override;
    void DeletePage(int index) override;
    // Page index takes the page written in full (it then stays in memory).
    void ModifyPage(int index, TlyrReportPage *page) override;
    // Appends every prepared page of another report, each written in full.
    void AddFrom(TlyrReport *report) override;
    // An endless page grew: its source page gets the custom paper of that
    // size (width and height in report units).
    void UpdatePageDimensions(TlyrReportPage *page, double width, double height);
    // Offsets are the device pixels of the paper's top-left corner. A page on
    // the back of a sheet (odd index) with MirrorMargins swaps its left and
    // right margins; a printer gets only the printable views, a screen only
    // what lies on the paper.
    void DrawPage(int index, TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    // A text of a page about to be output learns the page count, the copy's
    // number and the print scale ("[TOTALPAGES#]", "[COPYNAME#]").
    void PrepareText(TlyrCustomMemoView &memo);
    // The view under (x, y) of a page drawn at that scale and offset. The
    // cursor becomes the view's own, the hand for a hyperlink or a
    // drill-down group. With click set a hyperlink is followed ("@n" a page
    // of the preview, "#name" an anchor, web and mail addresses by the
    // system), the report's click event runs (a page it modified is kept),
    // and a left click on a drill-down group opens or closes it; without
    // click the report's mouse-over event runs. Null when nothing is hit or
    // the page was rebuilt by the click.
    TlyrView *ObjectOver(int index, double x, double y, int button, int shift, double scale, double offsetX,
                         double offsetY, bool click, int *cursor = nullptr) override;
    void LoadFromStream(QIODevice &stream, bool allowPartialLoading = false) override;
    void LoadFromStream(std::unique_ptr<QIODevice> stream, bool allowPartialLoading);
    void SaveToStream(QIODevice &stream) override;
    // A whole file that carries its page index is read no further than its
    // first pages: the others are read as they are needed (or by
    // ReadOnPages), so a file of any length opens at once.
    bool LoadFromFile(const QString &fileName, bool exceptionIfNotFound = false) override;
    // Reads up to count more pages of a file read in parts (all when -1);
    // true while pages remain unread.
    bool ReadOnPages(int count);
    void ReadAllPages();
    bool PagesUnread();
    // Page elements read from the file (or made) so far.
    int PagesRead() const { return located_; }
    // Takes the pages, source pages and all that a load filled from loaded
    // (a store of no report), which gets this store's; the report gets the
    // settings and the error lines of the file.
    void TakeLoaded(TlyrPreviewPages &loaded);
    void SaveToFile(const QString &fileName) override;
    bool Export(TlyrExportFilter &filter) override;
    // Defined with the printing (lyrprintpages.cpp).
    bool Print() override;

    void AddAnchor(const QString &text) override;
    TlyrXMLItem *FindAnchor(const QString &text);
    int GetAnchorPage(const QString &text) override;
    void ClearPageCache();
    int PageCacheCount() const { return static_cast<int>(pageCache_.size()); }
    // Takes page index out of the cache once it is printed, dumped or
    // exported; a page element read back to build it leaves memory again.
    void ReleasePage(int index);
    // Pages (from 1) that could not be built when asked for, in order.
    QList<int> UnbuiltPages;
    // Opens a hyperlink; replaceable in tests.
    std::function<void(const QString &url)> OnOpenUrl;

private:
    TlyrComponent *cloneTree(TlyrComponent *obj, TlyrComponent *parent);
    void linkClone(TlyrComponent *tmpl, TlyrComponent *clone, bool bandRule);
    // The number of elements written.
    int writeObject(TlyrComponent *obj, TlyrXMLItem *parent);
    TlyrReportPage *buildPage(int index);
    void drawPage(int index, TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY);
    bool buildChildren(TlyrXMLItem *item, TlyrComponent *parent, class TlyrXMLSerializer &ser);
    TlyrXMLItem *curPageItem();
    // An object's box as stored: its own values, or its template's.
    QRectF storedBox(const TlyrXMLItem *it);
    TlyrXMLItem *rootChild(const char *name);
    void writeFullPage(TlyrReportPage *page, TlyrXMLItem *item);
    void fileCacheCheck();
    int pageCacheLimit() const;
    bool dropCachedPage();
    void followUrl(const QString &url);
    void exportPage(TlyrExportFilter &filter, int index);
    void exportPages(TlyrExportFilter &filter, const QStringList &chosen);
    void noteError(const QString &line);
    // After loading a cut file: refuses it when the pages cannot be built,
    // otherwise says what is missing.
    // wholeSources: how many source pages were read whole.
    void noteCut(int wholeSources);
    // Whether page item can be built from what was read of a cut file.
    bool buildable(const TlyrXMLItem *item, int wholeSources) const;
    // Adds the page being built to pages and notes line (with its number).
    void markDamaged(QList<int> &pages, const QString &line);
    // The page being built (from 0), for what its objects find damaged.
    int buildingIndex_ = -1;
    void loadAfterParse();
    void applyReportSettings();
    // Page elements read or placed: those past it stand for pages of the
    // file not read yet.
    int located_ = 0;
    // Elements for the pages the file's index names beyond those read;
    // false when the index is missing or not to be believed.
    bool placeUnreadPages(qint64 fileSize);
    // The pages the index names beyond the elements, in runs of pages of
    // one element name and text: an element each is made only when a page
    // of them is asked for by its element (PagesItem), not to count or
    // measure them.
    struct UnreadRun {
        qint64 Count = 0;
        QString Name;
        QByteArray Text;
        QSize Size;
    };
    std::vector<UnreadRun> unreadRuns_;
    qint64 unreadCount_ = 0;
    // The pages element without placing the unread pages.
    TlyrXMLItem *pagesNow();
    void placeUnreadRuns();
    // The element of page index; a page not read yet is read up to first.
    TlyrXMLItem *pageItem(int index);
    // The run and the index in it of unread page index (past the elements).
    UnreadRun *unreadRunOf(int index, qint64 *at = nullptr);
    QSize unreadSize(UnreadRun &run);
    // Reads up to count more pages into their places; false when all are
    // read. mayDrop: places the index promised in vain may go.
    bool readOn(int count, bool mayDrop);
    void dropUnreadPages();
    void readOnTo(TlyrXMLItem *item);

    // The page AddObject last added to, with its objects and bands then.
    const TlyrXMLItem *countedPage_ = nullptr;
    int countedObjects_ = 0, countedTop_ = 0;
    // Template object or clone -> key; clone -> its stored text.
    QHash<const TlyrComponent *, QString> keys_;
    QHash<const TlyrComponent *, QByteArray> storedText_;
    // A source's text attribute, kept apart: nearly every copy gives its
    // own text, and a split memo's copies would each read a long one again.
    QHash<const TlyrComponent *, QByteArray> storedBody_;
    // The stored text of a new object of each class.
    QHash<const QMetaObject *, QByteArray> newObjectText_;
    // Keeps a source object's text to build its copies from.
    void storeText(TlyrComponent *source);
    // Template page of each source page, during a run.
    std::vector<QPointer<TlyrComponent>> sourceOf_;
    struct CachedPage {
        int Index;
        std::unique_ptr<TlyrReportPage> Page;
        qint64 Objects = 0;
        // The element, when it was read back into memory to build the page.
        TlyrXMLItem *ReadBack = nullptr;
    };
    void release(const CachedPage &c);
    // The objects of the pages in the cache.
    qint64 cachedObjects() const;
    std::vector<CachedPage> pageCache_;
    // A page the cache keeps while a click on it is handled.
    int inUse_ = -1;
    TlyrXMLItem *pagesItem_ = nullptr;
    int pagesAt_ = 0;
    quint64 pagesGeneration_ = 0;
    // Logical page number and group page count (-1 while the group is
    // open) of each page: the "logicalpagenumbers" element holds them only
    // while the pages are saved, one small element per page would stay in
    // memory however far the pages went to the file cache.
    struct LogicalPage {
        int N = 0;
        int T = -1;
    };
    std::vector<LogicalPage> logicalPages_;
    // Held page-number marks: page index to the first index that waits.
    std::map<int, int> heldMarks_;
    void writeLogicalPages(TlyrXMLItem *numbers) const;
    void readLogicalPages(TlyrXMLItem *numbers);
    QString pageName_;
    int namedSource_ = -1;
    // Page sizes by element name and paper size: most pages share one.
    QHash<QString, QSize> sourceSizes_;
    struct LastSize {
        QString Name;
        QByteArray Text;
        QSize Size;
    } lastSize_;
    // The size of a page of a source page, from the source page and the
    // element's own paper size, without reading its objects; empty when
    // the element names no source page or holds a bad size.
    QSize sourcePageSize(TlyrXMLItem *item);
};

// A page element or source page written in full as a dot-matrix page.
bool lyrIsDMPPageName(const QString &name);
// An empty page of the same class (dot-matrix or report page).
std::unique_ptr<TlyrReportPage> lyrNewPageLike(const TlyrReportPage *page);

// The text of an error for the error box and the report's errors.
QString lyrExceptionText(const std::exception &e);

// True for the hyperlink addresses prepared pages may open.
bool lyrIsSafeHyperlink(const QString &url);

// The prepared pages object by object: "page N", then one line per object
// with class, name, left, top, width and height (report units, two
// decimals, page-absolute) and its text.
QString lyrDumpPreparedPages(TlyrPreviewPages &pages);
// The same handed to write one page at a time, so that its memory does not
// grow with the pages; stop (when given) is asked before each page, and
// true ends the dump there.
void lyrDumpPreparedPages(TlyrPreviewPages &pages, const std::function<void(const QString &)> &write,
                          const std::function<bool()> &stop = {});
