#pragma once
// What the report asks of its engine, its prepared pages, their outline, the
// preview control and the windows that come with them. The implementations
// live in reportengine/ (a higher layer), which installs its factories in
// lyrEngineFactories() at start; a report made while none is installed has
// no engine and builds nothing.

#include "script/ksvalue.h"

#include <QObject>
#include <QSize>
#include <QWidget>

#include <functional>

class QIODevice;
class TlyrCanvas;
class TlyrComponent;
class TlyrCustomPreviewPages;
class TlyrExportFilter;
class TlyrPictureView;
class TlyrReport;
class TlyrReportPage;
class TlyrView;
class TlyrXMLItem;

enum TlyrProgressType { ptRunning, ptExporting, ptPrinting };

class TlyrCustomEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(int CurColumn MEMBER CurColumn)
    Q_PROPERTY(int CurVColumn MEMBER CurVColumn)
    Q_PROPERTY(double CurX MEMBER CurX)
    Q_PROPERTY(double CurY MEMBER CurY)
    Q_PROPERTY(bool DoublePass READ DoublePass)
    Q_PROPERTY(bool FinalPass MEMBER FinalPass)
    Q_PROPERTY(double PageHeight MEMBER PageHeight)
    Q_PROPERTY(double PageWidth MEMBER PageWidth)
    Q_PROPERTY(double StartDate MEMBER StartDate)
    Q_PROPERTY(double StartTime MEMBER StartTime)
    Q_PROPERTY(int TotalPages MEMBER TotalPages)
public:
    explicit TlyrCustomEngine(TlyrReport *report) : Report(report) {}

    int CurColumn = 0;
    int CurVColumn = 0;
    // Backing "Line" and "Line#".
    int CurLine = 0;
    int CurLineThrough = 0;
    double CurX = 0, CurY = 0;
    bool FinalPass = false;
    // Cleared by every script preparation.
    QList<QObject *> ObjectList;
    double PageHeight = 0, PageWidth = 0;
    TlyrCustomPreviewPages *PreviewPages = nullptr;
    TlyrReport *Report;
    bool Running = false;
    // Date-time serials.
    double StartDate = 0, StartTime = 0;
    int TotalPages = 0;

    bool DoublePass() const;

    virtual void EndPage() = 0;
    virtual void NewColumn() = 0;
    virtual void NewPage() = 0;
    virtual void ShowBand(TlyrComponent *band) = 0;
    virtual void ShowBand(const QMetaObject *bandClass) = 0;
    virtual double HeaderHeight() = 0;
    virtual double FooterHeight() = 0;
    virtual double FreeSpace() = 0;
    // Used by the macro functions SUM, AVG, MIN, MAX and COUNT.
    virtual KsValue GetAggregateValue(const QString &name, const QString &expression, TlyrComponent *band,
                                      int flags) = 0;
    // Builds the prepared pages; false when the build did not finish.
    virtual bool Run() = 0;
    // Whether what is output now may still move to another page: its page
    // numbers are then left as marks that the engine fills in where the
    // output lands (lyrPageNumberMark).
    virtual bool DefersPageNumbers() const { return false; }

    // Sets the report's Terminated (which stops a running script too).
    void StopReport();
};

// The mark a memo prints for "[Page#]" (or, logical, "[Page]") while the
// engine defers page numbers.
QString lyrPageNumberMark(bool logical);
// The mark of an expression reading the page number, by its number with
// the report (TlyrReport::DeferPageExpression).
QString lyrPageExpressionMark(int id);

class TlyrCustomOutline : public QObject {
    Q_OBJECT
public:
    explicit TlyrCustomOutline(TlyrCustomPreviewPages *pages) : PreviewPages(pages) {}
    TlyrCustomPreviewPages *PreviewPages;
    TlyrCustomEngine *Engine() const;
    virtual int Count() = 0;
    // Script-visible: a new item at Top under the current one (which it
    // becomes), and the moves back up.
    virtual void AddItem(const QString &text, double top) {}
    virtual void LevelDown(int index) {}
    virtual void LevelRoot() {}
    virtual void LevelUp() {}
    // The text, page and position of item index of the current level.
    virtual void GetItem(int index, QString &text, int &page, int &top) {}
    // Moves the items added after from to a new top.
    virtual void ShiftItems(TlyrXMLItem *from, int newTop) {}
    virtual TlyrXMLItem *GetCurPosition() { return nullptr; }
};

// The prepared-pages store. The operations the report uses are declared
// here; the store's other operations belong to its implementation.
class TlyrCustomPreviewPages : public QObject {
    Q_OBJECT
public:
    explicit TlyrCustomPreviewPages(TlyrReport *report) : Report(report) {}
    ~TlyrCustomPreviewPages() override { delete Outline; }
    int CurPage = 0;
    TlyrCustomEngine *Engine = nullptr;
    // Owned; made by the implementation's constructor.
    TlyrCustomOutline *Outline = nullptr;
    TlyrReport *Report;

    virtual int Count() = 0;
    // The rebuilt page (null when none) and its size.
    virtual TlyrReportPage *GetPage(int index) { return nullptr; }
    virtual QSize GetPageSize(int index) { return QSize(); }
    virtual void Clear() = 0;
    virtual void Initialize() {}
    // What the engine writes while it builds.
    virtual void AddObject(TlyrComponent *obj) {}
    virtual void AddPage(TlyrReportPage *page) {}
    virtual void AddSourcePage(TlyrReportPage *page) {}
    virtual void AddToSourcePage(TlyrComponent *obj) {}
    virtual void BeginPass() {}
    virtual void ClearFirstPassPages() {}
    virtual void CutObjects(int from) {}
    virtual void Finish() {}
    virtual void IncLogicalPageNumber() {}
    virtual void ResetLogicalPageNumber() {}
    virtual void PasteObjects(double x, double y) {}
    virtual void ShiftAnchors(int from, int newTop) {}
    // Keeps a picture view's picture for the pages; its index there (the
    // view's ImageIndex), -1 when the store keeps none.
    virtual int AddPicture(TlyrPictureView *view) { return -1; }
    virtual bool BandExists(TlyrComponent *band) { return false; }
    virtual int GetCurPosition() { return 0; }
    virtual int GetAnchorCurPosition() { return 0; }
    virtual double GetLastY() { return 0; }
    // System variable "Page".
    virtual int GetLogicalPageNo() = 0;
    // System variable "TotalPages".
    virtual int GetLogicalTotalPages() = 0;
    // What the preview does with the pages.
    virtual void AddEmptyPage(int index) {}
    virtual void DeletePage(int index) {}
    virtual void ModifyPage(int index, TlyrReportPage *page) {}
    virtual void DrawPage(int index, TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
    {}
    // The view under (x, y) of a page drawn at that scale and offset (and,
    // with click, clicked).
    // The cursor the view under the mouse asks for goes to cursor when given.
    virtual TlyrView *ObjectOver(int index, double x, double y, int button, int shift, double scale, double offsetX,
                                 double offsetY, bool click, int *cursor = nullptr)
    {
        return nullptr;
    }
    virtual void AddFrom(TlyrReport *report) {}
    virtual void LoadFromStream(QIODevice &stream, bool allowPartialLoading = false) {}
    virtual void SaveToStream(QIODevice &stream) {}
    virtual bool LoadFromFile(const QString &fileName, bool exceptionIfNotFound = false) { return false; }
    virtual void SaveToFile(const QString &fileName) {}
    virtual bool Export(TlyrExportFilter &filter) { return false; }
    // Script-visible anchors: a named position, and its page (1 when none).
    virtual void AddAnchor(const QString &text) {}
    virtual int GetAnchorPage(const QString &text) { return 1; }
    // Sends the pages to the current printer, with the print dialog when
    // the print options ask for it. True when the job ran (also when it was
    // stopped); false with no printer or a cancelled dialog.
    virtual bool Print() { return false; }
};

class TlyrCustomPreview : public QWidget {
    Q_OBJECT
public:
    explicit TlyrCustomPreview(QWidget *parent = nullptr) : QWidget(parent) {}
    TlyrReport *Report = nullptr;
    TlyrCustomPreviewPages *PreviewPages = nullptr;
    // Called whenever a report and pages are attached.
    virtual void Init() = 0;
    virtual void Lock() {}
    virtual void Unlock() {}
    virtual void RefreshReport() {}
    virtual void InternalOnProgressStart(TlyrReport *, TlyrProgressType, int) {}
    virtual void InternalOnProgress(TlyrReport *, TlyrProgressType, int) {}
    virtual void InternalOnProgressStop(TlyrReport *, TlyrProgressType, int) {}
};

// The preview window ShowPreparedReport makes.
class TlyrCustomPreviewForm : public QObject {
    Q_OBJECT
public:
    virtual TlyrCustomPreview *Preview() = 0;
    // Initialises the window from the report's options.
    virtual void InitFromReport(TlyrReport *report) = 0;
    // Runs modally; the caller frees the window afterwards.
    virtual void ShowModal() = 0;
    // Shows without waiting; the window frees itself when closed.
    virtual void Show() = 0;
    virtual void Close() = 0;
    virtual void SetStatusText(const QString &) {}
};

// The progress window of old-style builds, exports and printing.
class TlyrCustomProgress : public QObject {
    Q_OBJECT
public:
    virtual void Show() = 0;
    virtual void SetMessage(const QString &text) = 0;
    // The user pressed Cancel.
    virtual bool Terminated() const = 0;
};

struct TlyrEngineFactories {
    std::function<TlyrCustomEngine *(TlyrReport *)> Engine;
    std::function<TlyrCustomPreviewPages *(TlyrReport *)> PreviewPages;
    std::function<TlyrCustomPreviewForm *(TlyrReport *)> PreviewForm;
    std::function<TlyrCustomProgress *(TlyrReport *)> Progress;
    // Asks for a template password; false when cancelled.
    std::function<bool(TlyrReport *, QString &entered)> AskPassword;
};
TlyrEngineFactories &lyrEngineFactories();
