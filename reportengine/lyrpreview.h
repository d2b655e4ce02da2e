#pragma once
// The preview: the control that lays the prepared pages out on a grey
// workspace (with the outline tree and a column of thumbnails), and the
// window around it with its toolbar, status bar and menus.

#include "platform/ui/form.h"
#include "report/lyrclass.h"
#include "report/lyrcontracts.h"
#include "reportengine/lyrpreviewctrls.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TlyrCanvas;
class TlyrExportFilter;
class TlyrPreview;
class TlyrPreviewForm;
class TlyrRecordingCanvas;

using TlyrZoomMode = TlyrPreviewOptions::TlyrZoomMode;

// Mouse cursors as views store them: the system's pointing hand and the
// library's own hand for dragging pages.
constexpr int lyrCrHandPoint = -21;
constexpr int lyrCrHand = 150;

// One laid-out page. Plain ints: a page zoomed to 500 % may well be wider
// than 16 bits.
struct TlyrPageItem {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

class TlyrPageList {
public:
    // Page index's place read as an element of a list (Items[i]).
    class ItemsView {
    public:
        explicit ItemsView(const TlyrPageList *list) : list_(list) {}
        TlyrPageItem operator[](size_t index) const { return list_->Item(static_cast<int>(index)); }
        size_t size() const { return static_cast<size_t>(list_->Count()); }
        bool empty() const { return list_->Count() == 0; }

    private:
        const TlyrPageList *list_;
    };
    TlyrPageList() = default;
    TlyrPageList(const TlyrPageList &other);
    TlyrPageList &operator=(const TlyrPageList &other);

    const ItemsView Items{this};
    // Width of the widest row after CalcBounds.
    int MaxWidth = 0;

    int Count() const { return count_; }
    void Clear();
    // count pages of that size at zoom 1, scaled by zoom.
    void AddPage(QSize size, double zoom, int count = 1);
    // Rows from left to right, each centred in clientWidth.
    void CalcBounds(int clientWidth);
    // Page index's place (its left and top 0 until CalcBounds).
    TlyrPageItem Item(int index) const;
    // The last page whose top is at or above y (with a fifth of a page's
    // height of tolerance when x is 0); with x, the page of the 41 around it
    // that contains the point. -1 above the first page.
    int FindPage(int y, int x = 0) const;
    // The page's rectangle, or a default A4 page for an index out of range.
    QRect GetPageBounds(int index, int clientWidth, double zoom) const;
    int HorzRange() const;
    int VertRange() const;
    // Entries kept for the pages: one for each run of pages of one size and
    // each laid-out block of rows alike, not one a page.
    int Entries() const { return static_cast<int>(runs_.size() + blocks_.size()); }

private:
    // Pages First.. of one size, as added.
    struct Run {
        int First = 0, Count = 0, Width = 0, Height = 0;
    };
    // Pages First.. of one size laid out in rows of PerRow from Top, a row
    // RowStep below the one before; Left is the first one's in its row.
    struct Block {
        int First = 0, Count = 0, PerRow = 1, Width = 0, Height = 0, Left = 0;
        qint64 Top = 0, RowStep = 0;
    };
    std::vector<Run> runs_;
    std::vector<Block> blocks_;
    int count_ = 0;
};

class TlyrPreviewWorkspace : public TlyrScrollWin {
    Q_OBJECT
public:
    TlyrPreviewWorkspace(TlyrPreview *preview, bool thumbnail, QWidget *parent);
    ~TlyrPreviewWorkspace() override;

    QColor ActiveFrameColor{32, 64, 128};
    QColor BackColor{128, 128, 128};
    QColor FrameColor{0, 0, 0};
    TlyrPageList PageList;
    double Zoom = 1;
    const bool IsThumbnail;
    int PageNo = 1;
    TlyrPreview *const Preview;
    bool Locked = false;
    TlyrCustomPreviewPages *PreviewPages() const;
    // Search: the page being searched and the texts drawn on one page.
    int SearchPage = 0;
    int SearchCacheIndex = -1;
    std::unique_ptr<TlyrRecordingCanvas> SearchCache;
    bool Dragging = false;
    QPoint LastPoint;
    // The page can be dragged.
    int DefaultCursor = lyrCrHand;
    // Pages drawn by the last paint (the ones in view).
    int PagesPainted = 0;

    // The width rows are laid out in: the workspace less a scroll bar and 26.
    int LayoutWidth() const;
    void CalcBounds();
    void UpdateRanges();
    // Scrolls so that the page's top (less 10) is at the top of the view.
    void ScrollToPage(int pageNo);
    void SetPageNo(int pageNo, bool scroll);
    void DropSearchCache();
    // Searches from SearchPage on; true on a hit (the view then shows it).
    bool FindText();
    // Paints the part of the workspace at (HorzPosition, VertPosition) of the
    // given size; what the viewport shows.
    void PaintTo(QPainter &painter, const QSize &size);

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void OnHScrollChange() override;
    void OnVScrollChange() override;

private:
    void drawPage(TlyrCanvas &canvas, QPainter &painter, int index, const QRect &r);
    int lastHorz_ = 0, lastVert_ = 0;
};

class TlyrPreview : public TlyrCustomPreview {
    Q_OBJECT
public:
    explicit TlyrPreview(QWidget *parent = nullptr);
    ~TlyrPreview() override;

    QMenu *OutlinePopup;
    QAction *CollapseAllMI;
    QAction *ExpandAllMI;
    QTreeWidget *OutlineTree;
    TlyrPreviewWorkspace *Thumbnails;
    QSplitter *Splitter;
    TlyrPreviewWorkspace *Workspace;
    QFrame *MessagePanel;
    QLabel *MessageLabel;
    QPushButton *CancelButton;

    bool Locked = false;
    bool Refreshing = false;
    bool Running = false;
    // A build is under way, the first one or a rebuild (RefreshReport).
    bool Building() const { return Running || Refreshing; }
    bool FindNextEnabled = false;
    // Numbers of the pages that could not be measured or rebuilt (they are
    // laid out with the size of a healthy page and marked), as far as the
    // pages have been laid out and drawn.
    QList<int> DamagedPages;
    // Pages shown with a damaged picture (a marked empty frame in its place).
    QList<int> DamagedPicturePages;
    // Pages shown with a damaged text, and what a cut file is missing.
    QList<int> DamagedTextPages;
    QString Incomplete;
    // The window the control sits in, if any.
    TlyrPreviewForm *Form = nullptr;
    std::function<void(TlyrPreview *, int)> OnPageChanged;
    std::function<void()> OnClick;

    TlyrCustomPreviewPages *Pages() const;
    double Zoom() const { return zoom_; }
    TlyrZoomMode ZoomMode() const { return zoomMode_; }
    int PageNo() const { return pageNo_; }
    int PageCount() const;
    bool OutlineVisible() const { return outlineVisible_; }
    bool ThumbnailVisible() const { return thumbnailVisible_; }
    int OutlineWidth() const { return outlineWidth_; }
    void SetOutlineVisible(bool v);
    void SetThumbnailVisible(bool v);
    void SetOutlineWidth(int v);
    bool FinalPass() const;

    void Init() override;
    void Lock() override;
    void Unlock() override;
    void RefreshReport() override;
    void InternalOnProgressStart(TlyrReport *, TlyrProgressType, int) override;
    void InternalOnProgress(TlyrReport *, TlyrProgressType, int progress) override;
    void InternalOnProgressStop(TlyrReport *, TlyrProgressType, int) override;

    void SetPageNo(int n);
    void First();
    void Next();
    void Prior();
    void Last();
    void SetPosition(int page, int top);
    void SetZoom(double z);
    void SetZoomMode(TlyrZoomMode m);
    void UpdatePages();
    // Lays the pages out again in the workspaces' widths, with the sizes
    // last measured while the page count is the same.
    void Relayout();
    // Takes over the damage the store has found since (pages drawn since
    // the last layout) and names it in the window.
    void FollowDamage();
    void UpdateOutline();
    // Both workspaces draw their pages again.
    void RepaintPages();

    void Print();
    void Export(TlyrExportFilter &filter);
    void SaveToFile();
    void SaveToFile(const QString &name);
    void LoadFromFile();
    void LoadFromFile(const QString &name);
    // The pages of a file not read yet are read in steps after the pages in
    // view are drawn.
    void ReadPagesOnLater();
    void PageSetupDlg();
    void Find();
    void FindNext();
    void AddPage();
    void DeletePage();
    void Edit();
    void EditTemplate();
    void Clear();
    // Stops the build under way (also a rebuild).
    void Cancel();

    void ShowMessage(const QString &text);
    void HideMessage();
    void MouseWheelScroll(int delta, bool horizontal, bool zoom);
    // The keys of the control; true when the key was one of them.
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // Called by a workspace when its own scrolling or a click chose a page.
    void PageChosen(TlyrPreviewWorkspace *from, int pageNo);
    void FirePageChanged();

    // The search state all previews share.
    struct SearchState {
        QString Text;
        bool CaseSensitive = false;
        bool Found = false;
        QRect FoundRect;
        int RecordNo = 0;
        int LastFoundRecord = -1;
    };
    static SearchState &Search();
    // The text to search for, set without the dialog.
    void FindText(const QString &text, bool caseSensitive, bool fromBeginning);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void addOutlineLevel(QTreeWidgetItem *parent);
    // Pages of one size in a row: most reports have few such runs.
    struct SizeRun {
        int Count = 0;
        QSize Size;
    };
    // Every page's size, a damaged page given a healthy page's; notes the
    // damaged pages.
    std::vector<SizeRun> pageSizes();
    void layOut(bool measure);
    std::vector<SizeRun> sizes_;
    int sizedPages_ = 0;
    bool readOnPending_ = false;
    // Pages whose size could not be read at the last measuring.
    QList<int> unmeasured_;
    void clearLayout();
    void noteCurrentPage();
    void layoutRunning();
    bool buttonOn(int button) const;
    void applyVisibility();
    double zoom_ = 1;
    TlyrZoomMode zoomMode_ = TlyrPreviewOptions::zmDefault;
    int pageNo_ = 1;
    bool outlineVisible_ = false, thumbnailVisible_ = false;
    int outlineWidth_ = 120;
    int progressStep_ = 50;
    QElapsedTimer progressTime_;
};

class TlyrPreviewForm : public ui::Form {
    Q_OBJECT
public:
    explicit TlyrPreviewForm(QWidget *parent = nullptr);
    ~TlyrPreviewForm() override;

    QWidget *ToolBar;
    QToolButton *PrintB, *OpenB, *SaveB, *ExportB, *PdfB, *EmailB, *FindB;
    QWidget *Sep1;
    QToolButton *ZoomPlusB;
    TlyrTBPanel *Sep3;
    TlyrComboBox *ZoomCB;
    QToolButton *ZoomMinusB, *FullScreenBtn;
    QWidget *Sep2;
    QToolButton *OutlineB, *ThumbB, *PageSettingsB, *DesignerB;
    QWidget *Sep5;
    QToolButton *FirstB, *PriorB;
    TlyrTBPanel *Sep4;
    QLineEdit *PageE;
    QToolButton *NextB, *LastB;
    TlyrTBPanel *lyTBPanel1;
    QToolButton *CancelB;
    QStatusBar *StatusBar;
    QLabel *StatusPage;
    QLabel *StatusMessage;
    QMenu *ExportPopup;
    QMenu *HiddenMenu;
    QAction *Showtemplate1;
    QMenu *RightMenu;
    QAction *CollapseMI, *ExpandMI, *N1;
    TlyrPreview *Preview;

    QPointer<TlyrReport> Report;
    bool FullScreen = false;
    TlyrExportFilter *PDFExport = nullptr;
    TlyrExportFilter *EmailExport = nullptr;

    void Init(TlyrReport *report);
    // The second status panel: the text, or without one the damaged pages.
    void SetMessage(const QString &text);
    void ShowDamagedPages();
    void UpdatePageInfo(TlyrPreview *sender, int pageNo);
    void UpdateControls();
    void SwitchToFullScreen();
    // Close button caption: "Cancel" while building, "Close" after.
    void SetBuilding(bool building);
    // The build has ended (finished or stopped).
    void BuildEnded();

    // Handlers, as the buttons, keys and menus call them.
    void PrintBClick();
    void OpenBClick();
    void SaveBClick();
    void FindBClick();
    void ZoomPlusBClick();
    void ZoomMinusBClick();
    void ZoomCBClick();
    void PageEEnter();
    void FirstBClick();
    void PriorBClick();
    void NextBClick();
    void LastBClick();
    void OutlineBClick();
    void ThumbBClick();
    void PageSettingsBClick();
    void DesignerBClick();
    void CancelBClick();
    void CollapseMIClick();
    void ExpandMIClick();
    void reject() override;
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;

private:
    QToolButton *toolButton(int image, int caption, int hint, std::function<void()> handler);
    QWidget *separator();
    void buildRightMenu();
    void setDrillDown(bool expand);
    void showZoom();
    QHash<QToolButton *, QAction *> rightItems_;
    bool closeAfterBuild_ = false;
    Qt::WindowStates savedState_;
};

// What the report's ShowReport makes: the window behind the report's
// preview-form contract.
class TlyrPreviewFormLink : public TlyrCustomPreviewForm {
    Q_OBJECT
public:
    explicit TlyrPreviewFormLink(TlyrPreviewForm *form);
    ~TlyrPreviewFormLink() override;
    TlyrPreviewForm *Form() const { return form_.data(); }
    TlyrCustomPreview *Preview() override;
    void InitFromReport(TlyrReport *report) override;
    void ShowModal() override;
    void Show() override;
    void Close() override;
    void SetStatusText(const QString &text) override;

private:
    QPointer<TlyrPreviewForm> form_;
    bool modal_ = false;
};

// The shape of a stored cursor number (the system's numbers and the
// library's hand, zoom and format cursors); 0 gives the arrow.
Qt::CursorShape lyrCursorShape(int cursor);

// Sets the preview window factory of the report library.
void lyrInstallPreview();
