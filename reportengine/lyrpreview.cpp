#include "reportengine/lyrpreview.h"

#include "platform/ui/application.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "report/lyrband.h"
#include "report/lyrcanvas.h"
#include "report/lyrpage.h"
#include "report/lyrres.h"
#include "reportengine/lyrDsgnIntf.h"
#include "reportengine/lyrexportfilter.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrpreviewdialogs.h"
#include "reportengine/lyrpreviewpages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <limits>
#include <cmath>

namespace {

constexpr double kMinZoom = 0.25;
constexpr double kMaxZoom = 5;
constexpr double kMinWheelZoom = 0.3;

QString res(int id)
{
    return lyrResources().GetByNumber(id);
}

QString res(const char *id)
{
    return lyrResources().Get(QString::fromLatin1(id));
}

// The name of a prepared report to open or save; empty when cancelled.
QString askReportFile(bool save, QWidget *parent)
{
    ui::Input in;
    in.kind = save ? ui::InputKind::SaveFile : ui::InputKind::OpenFile;
    in.filter = res("clLP3files") + QStringLiteral(" (*.lp3)");
    return ui::askInput(in, parent) ? in.value : QString();
}

// Orientation, paper and margins of a page.
void copyPaperSettings(const TlyrReportPage &from, TlyrReportPage &to)
{
    to.SetOrientation(from.Orientation());
    to.SetPaperWidth(from.PaperWidth());
    to.SetPaperHeight(from.PaperHeight());
    to.SetPaperSize(from.PaperSize());
    to.SetLeftMargin(from.LeftMargin());
    to.SetTopMargin(from.TopMargin());
    to.SetRightMargin(from.RightMargin());
    to.SetBottomMargin(from.BottomMargin());
}

int scrollBarExtent(const QWidget *w)
{
    return w->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w);
}

}  // namespace

// ---------------------------------------------------------------- page list

namespace {
// The lowest top a page of the list gets: a page (at most lyrMaxCoord high)
// below it still ends inside int.
constexpr int kMaxPageListY = std::numeric_limits<int>::max() - 2 * lyrMaxCoord;
}  // namespace

TlyrPageList::TlyrPageList(const TlyrPageList &other)
    : MaxWidth(other.MaxWidth), runs_(other.runs_), blocks_(other.blocks_), count_(other.count_)
{
}

TlyrPageList &TlyrPageList::operator=(const TlyrPageList &other)
{
    MaxWidth = other.MaxWidth;
    runs_ = other.runs_;
    blocks_ = other.blocks_;
    count_ = other.count_;
    return *this;
}

void TlyrPageList::Clear()
{
    runs_.clear();
    blocks_.clear();
    count_ = 0;
    MaxWidth = 0;
}

void TlyrPageList::AddPage(QSize size, double zoom, int count)
{
    if (count <= 0) return;
    const int width = lyrRoundi(size.width() * zoom), height = lyrRoundi(size.height() * zoom);
    if (!runs_.empty() && runs_.back().Width == width && runs_.back().Height == height)
        runs_.back().Count += count;
    else
        runs_.push_back({count_, count, width, height});
    count_ += count;
}

void TlyrPageList::CalcBounds(int clientWidth)
{
    blocks_.clear();
    MaxWidth = 0;
    qint64 y = 10;
    // The row being filled: its pages in blocks of one size, left from 0.
    std::vector<Block> row;
    qint64 x = 0;
    int rowHeight = 0;
    const auto closeRow = [&] {
        if (row.empty()) return;
        MaxWidth = static_cast<int>(std::max<qint64>(MaxWidth, x));
        const int offset = static_cast<int>(std::max<qint64>((clientWidth - x + 10) / 2, 0)) + 10;
        for (Block &b : row) {
            b.Left += offset;
            b.Top = y;
            blocks_.push_back(b);
        }
        row.clear();
        // Past the int range the rest of a (hostile) page list stays at the
        // last place that can be scrolled to.
        y = std::min<qint64>(y + rowHeight + 10, kMaxPageListY);
        x = 0;
        rowHeight = 0;
    };
    // Pages of width w that still fit in a row filled up to x.
    const auto fitting = [clientWidth](qint64 x, int w) -> qint64 {
        return x + w > clientWidth ? 0 : (clientWidth - x - w) / (qint64(w) + 10) + 1;
    };
    for (const Run &r : runs_) {
        int next = r.First, left = r.Count;
        const qint64 step = qint64(r.Width) + 10;
        while (left > 0) {
            if (!row.empty()) {
                const int n = static_cast<int>(std::min<qint64>(fitting(x, r.Width), left));
                if (n > 0) {
                    row.push_back({next, n, n, r.Width, r.Height, static_cast<int>(x), 0, 0});
                    x += n * step;
                    rowHeight = std::max(rowHeight, r.Height);
                    next += n;
                    left -= n;
                }
                if (left > 0) closeRow();
                continue;
            }
            // A row starts with a page whatever its width; the last row of
            // the run stays open for the pages of the next one.
            const int perRow = static_cast<int>(std::min<qint64>(1 + fitting(step, r.Width), left));
            const int rows = (left - 1) / perRow;
            if (rows > 0) {
                const qint64 rowWidth = perRow * step;
                MaxWidth = static_cast<int>(std::max<qint64>(MaxWidth, rowWidth));
                const int offset = static_cast<int>(std::max<qint64>((clientWidth - rowWidth + 10) / 2, 0)) + 10;
                blocks_.push_back({next, rows * perRow, perRow, r.Width, r.Height, offset, y, qint64(r.Height) + 10});
                y = std::min<qint64>(y + rows * (qint64(r.Height) + 10), kMaxPageListY);
                next += rows * perRow;
                left -= rows * perRow;
            }
            const int n = std::min(perRow, left);
            row.push_back({next, n, n, r.Width, r.Height, 0, 0, 0});
            x = n * step;
            rowHeight = r.Height;
            next += n;
            left -= n;
        }
    }
    closeRow();
}

TlyrPageItem TlyrPageList::Item(int index) const
{
    TlyrPageItem item;
    if (index < 0 || index >= count_) return item;
    const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                                        [](int i, const Block &b) { return i < b.First; });
    if (block != blocks_.begin() && index < std::prev(block)->First + std::prev(block)->Count) {
        const Block &b = *std::prev(block);
        const int at = index - b.First;
        item.Width = b.Width;
        item.Height = b.Height;
        item.Left = static_cast<int>(b.Left + qint64(at % b.PerRow) * (qint64(b.Width) + 10));
        item.Top = static_cast<int>(std::min<qint64>(b.Top + qint64(at / b.PerRow) * b.RowStep, kMaxPageListY));
        return item;
    }
    // Added since the last layout.
    const auto run =
            std::upper_bound(runs_.begin(), runs_.end(), index, [](int i, const Run &r) { return i < r.First; });
    item.Width = std::prev(run)->Width;
    item.Height = std::prev(run)->Height;
    return item;
}

int TlyrPageList::FindPage(int y, int x) const
{
    const int n = Count();
    if (n == 0) return -1;
    int lo = 0, hi = n - 1, found = -1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const TlyrPageItem p = Item(mid);
        const int tolerance = x == 0 ? lyrRoundi(p.Height / 5.0) : 0;
        if (p.Top <= qint64(y) + tolerance) {
            found = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    if (x != 0) {
        for (int i = std::max(found - 20, 0); i <= std::min(found + 20, n - 1); ++i) {
            const TlyrPageItem p = Item(i);
            if (x >= p.Left && x < p.Left + p.Width && y >= p.Top && y < p.Top + p.Height) return i;
        }
    }
    return found;
}

QRect TlyrPageList::GetPageBounds(int index, int clientWidth, double zoom) const
{
    if (index >= 0 && index < Count()) {
        const TlyrPageItem p = Item(index);
        return QRect(QPoint(p.Left, p.Top), QPoint(p.Left + p.Width, p.Top + p.Height));
    }
    const double w = 794 * zoom;
    const int left = clientWidth >= w ? lyrRoundi((clientWidth - w) / 2) : 10;
    const int top = lyrRoundi(10 * zoom);
    return QRect(QPoint(left, top), QPoint(left + lyrRoundi(w), top + lyrRoundi(1123 * zoom)));
}

int TlyrPageList::HorzRange() const
{
    return count_ == 0 ? 0 : MaxWidth + 10;
}

int TlyrPageList::VertRange() const
{
    if (count_ == 0) return 0;
    const TlyrPageItem last = Item(count_ - 1);
    return last.Top + last.Height + 10;
}

// ---------------------------------------------------------------- workspace

Qt::CursorShape lyrCursorShape(int cursor)
{
    static const QHash<int, Qt::CursorShape> shapes{
            {-1, Qt::BlankCursor},         {-3, Qt::CrossCursor},      {-4, Qt::IBeamCursor},
            {-6, Qt::SizeBDiagCursor},     {-7, Qt::SizeVerCursor},    {-8, Qt::SizeFDiagCursor},
            {-9, Qt::SizeHorCursor},       {-10, Qt::UpArrowCursor},   {-11, Qt::WaitCursor},
            {-12, Qt::DragMoveCursor},     {-13, Qt::ForbiddenCursor}, {-14, Qt::SplitHCursor},
            {-15, Qt::SplitVCursor},       {-16, Qt::DragCopyCursor},  {-17, Qt::WaitCursor},
            {-18, Qt::ForbiddenCursor},    {-19, Qt::BusyCursor},      {-20, Qt::WhatsThisCursor},
            {lyrCrHandPoint, Qt::PointingHandCursor}, {-22, Qt::SizeAllCursor}, {lyrCrHand, Qt::OpenHandCursor},
            {151, Qt::CrossCursor},        {152, Qt::IBeamCursor}};
    return shapes.value(cursor, Qt::ArrowCursor);
}

namespace {
// The shift state handed to click events: shift 1, alt 2, ctrl 4.
int lyrShiftState(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::AltModifier ? 2 : 0) | (m & Qt::ControlModifier ? 4 : 0);
}
}  // namespace

TlyrPreviewWorkspace::TlyrPreviewWorkspace(TlyrPreview *preview, bool thumbnail, QWidget *parent)
    : TlyrScrollWin(parent), IsThumbnail(thumbnail), Preview(preview)
{
    Zoom = thumbnail ? 0.1 : 1;
    SetLargeChange(300);
    SetSmallChange(8);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(lyrCursorShape(DefaultCursor));
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::NoFrame);
}

TlyrPreviewWorkspace::~TlyrPreviewWorkspace() = default;

TlyrCustomPreviewPages *TlyrPreviewWorkspace::PreviewPages() const
{
    // Through the control: the report drops the link when it goes away.
    return Preview->Pages();
}

int TlyrPreviewWorkspace::LayoutWidth() const
{
    return width() - scrollBarExtent(this) - 26;
}

void TlyrPreviewWorkspace::CalcBounds()
{
    PageList.CalcBounds(LayoutWidth());
}

void TlyrPreviewWorkspace::UpdateRanges()
{
    SetHorzPage(viewport()->width());
    SetVertPage(viewport()->height());
    SetHorzRange(PageList.HorzRange());
    SetVertRange(PageList.VertRange());
    SetHorzPosition(HorzPosition());
    SetVertPosition(VertPosition());
}

void TlyrPreviewWorkspace::ScrollToPage(int pageNo)
{
    const int index = pageNo - 1;
    if (index < 0 || index >= PageList.Count()) return;
    SetVertPosition(PageList.Items[index].Top - 10);
}

void TlyrPreviewWorkspace::SetPageNo(int pageNo, bool scroll)
{
    PageNo = pageNo;
    if (scroll) ScrollToPage(pageNo);
    viewport()->update();
}

void TlyrPreviewWorkspace::DropSearchCache()
{
    SearchCache.reset();
    SearchCacheIndex = -1;
}

bool TlyrPreviewWorkspace::FindText()
{
    TlyrPreview::SearchState &s = TlyrPreview::Search();
    s.Found = false;
    if (!PreviewPages() || s.Text.isEmpty()) return false;
    const QString needle = s.CaseSensitive ? s.Text : s.Text.toUpper();
    while (SearchPage < PreviewPages()->Count()) {
        if (SearchCacheIndex != SearchPage || !SearchCache) {
            // The texts exactly as our own text-out draws them, one record a call.
            SearchCache = std::make_unique<TlyrRecordingCanvas>(96);
            PreviewPages()->DrawPage(SearchPage, *SearchCache, 1, 1, 0, 0);
            SearchCacheIndex = SearchPage;
        }
        s.RecordNo = 0;
        for (const TlyrRecordedText &t : SearchCache->Texts) {
            const int record = s.RecordNo++;
            const QString hay = s.CaseSensitive ? t.Text : t.Text.toUpper();
            if (record <= s.LastFoundRecord || !hay.contains(needle)) continue;
            TlyrCanvas measure(nullptr, 96, 96, false);
            measure.SetFont(t.Font);
            int width = 0;
            for (int a : t.Advances) width += a;
            if (width == 0) width = measure.TextWidth(t.Text);
            s.Found = true;
            s.FoundRect = QRect(t.X, t.Y, width, measure.TextHeight());
            s.LastFoundRecord = record;
            break;
        }
        if (s.Found) break;
        s.LastFoundRecord = -1;
        ++SearchPage;
    }
    if (!s.Found || SearchPage >= PageList.Count()) {
        viewport()->update();
        return s.Found;
    }
    const TlyrPageItem p = PageList.Items[SearchPage];
    const QRect r(lyrRoundi(s.FoundRect.left() * Zoom), lyrRoundi(s.FoundRect.top() * Zoom),
                  lyrRoundi(s.FoundRect.width() * Zoom), lyrRoundi(s.FoundRect.height() * Zoom));
    const int top = p.Top + r.top(), bottom = p.Top + r.bottom();
    const int viewH = viewport()->height(), viewW = viewport()->width();
    if (!(top >= VertPosition() && bottom <= VertPosition() + viewH)) SetVertPosition(p.Top + r.bottom() - viewH + 20);
    const int left = p.Left + r.left(), right = p.Left + r.right();
    if (!(left >= HorzPosition() && right <= HorzPosition() + viewW)) SetHorzPosition(p.Left + r.right() - viewW + 20);
    viewport()->update();
    return true;
}

void TlyrPreviewWorkspace::drawPage(TlyrCanvas &canvas, QPainter &painter, int index, const QRect &r)
{
    painter.setPen(FrameColor);
    painter.setBrush(Qt::white);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    if (!Preview->DamagedPages.contains(index + 1)) {
        try {
            PreviewPages()->DrawPage(index, canvas, Zoom, Zoom, r.left(), r.top());
        } catch (const std::exception &) {
            // A page that cannot be drawn stays blank; the window goes on.
            painter.fillRect(r.adjusted(1, 1, -1, -1), Qt::white);
        }
    }
    // A page is built to be drawn: one that cannot be is found here.
    const auto *store = dynamic_cast<TlyrPreviewPages *>(PreviewPages());
    if (Preview->DamagedPages.contains(index + 1) || (store && store->UnbuiltPages.contains(index + 1))) {
        // Its place says what is missing.
        painter.save();
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(std::clamp(r.width() / 24, 6, 24));
        painter.setFont(f);
        painter.setPen(Qt::darkRed);
        painter.drawText(r.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("第 %1 页已损坏").arg(index + 1));
        painter.restore();
    }
    if (IsThumbnail) {
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(8);
        painter.setFont(f);
        const QString text = QStringLiteral(" %1 ").arg(index + 1);
        const QRect box = painter.fontMetrics().boundingRect(text).translated(r.left() + 1, r.top() + 1);
        const QRect at(r.left() + 1, r.top() + 1, box.width(), painter.fontMetrics().height());
        painter.fillRect(at, BackColor);
        painter.setPen(Qt::white);
        painter.drawText(at, Qt::AlignLeft | Qt::AlignTop, text);
    }
    const TlyrPreview::SearchState &s = TlyrPreview::Search();
    if (!IsThumbnail && s.Found && index == SearchPage) {
        const QRect f(r.left() + lyrRoundi(s.FoundRect.left() * Zoom) - 1,
                      r.top() + lyrRoundi(s.FoundRect.top() * Zoom), lyrRoundi(s.FoundRect.width() * Zoom) + 2,
                      lyrRoundi(s.FoundRect.height() * Zoom));
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Difference);
        painter.fillRect(f, Qt::white);
        painter.restore();
    }
}

void TlyrPreviewWorkspace::PaintTo(QPainter &painter, const QSize &size)
{
    PagesPainted = 0;
    const QRect view(QPoint(HorzPosition(), VertPosition()), size);
    if (Locked || PageList.Count() == 0 || !PreviewPages()) {
        painter.fillRect(QRect(QPoint(0, 0), size), BackColor);
        return;
    }
    const int at = std::max(PageList.FindPage(view.top()), 0);
    const int from = std::max(at - 40, 0), to = std::min(at + 40, PageList.Count() - 1);
    painter.translate(-view.left(), -view.top());
    QRegion background(view);
    std::vector<int> visible;
    for (int i = from; i <= to; ++i) {
        const TlyrPageItem p = PageList.Items[i];
        const QRect r(p.Left, p.Top, p.Width, p.Height);
        if (!r.intersects(view)) continue;
        background -= r;
        visible.push_back(i);
    }
    for (const QRect &r : background) painter.fillRect(r, BackColor);
    if (PageNo >= 1 && PageNo <= PageList.Count()) {
        const TlyrPageItem p = PageList.Items[PageNo - 1];
        painter.setPen(QPen(ActiveFrameColor, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(p.Left - 2, p.Top - 2, p.Width + 3, p.Height + 3));
    }
    TlyrCanvas canvas(&painter, 96, 96, false);
    for (int i : visible) {
        const TlyrPageItem p = PageList.Items[i];
        drawPage(canvas, painter, i, QRect(p.Left, p.Top, p.Width, p.Height));
        ++PagesPainted;
    }
    painter.translate(view.left(), view.top());
    if (!visible.empty()) Preview->FollowDamage();
    if (!visible.empty() && !IsThumbnail) Preview->ReadPagesOnLater();
}

void TlyrPreviewWorkspace::paintEvent(QPaintEvent *)
{
    if (!Preview->isVisible() || !PreviewPages()) {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), BackColor);
        return;
    }
    QPainter p(viewport());
    PaintTo(p, viewport()->size());
    lastHorz_ = HorzPosition();
    lastVert_ = VertPosition();
}

void TlyrPreviewWorkspace::resizeEvent(QResizeEvent *e)
{
    TlyrScrollWin::resizeEvent(e);
    SetHorzPage(viewport()->width());
    SetVertPage(viewport()->height());
    // The rows depend on the width the pages are laid out in.
    if (!IsThumbnail && PreviewPages() && !Preview->Running) Preview->Relayout();
}

void TlyrPreviewWorkspace::OnHScrollChange()
{
    viewport()->scroll(lastHorz_ - HorzPosition(), 0);
    lastHorz_ = HorzPosition();
}

void TlyrPreviewWorkspace::OnVScrollChange()
{
    viewport()->scroll(0, lastVert_ - VertPosition());
    lastVert_ = VertPosition();
    if (!IsThumbnail && !Preview->Running) {
        const int index = PageList.FindPage(VertPosition());
        if (index >= 0 && index + 1 != Preview->PageNo()) Preview->PageChosen(this, index + 1);
    }
}

void TlyrPreviewWorkspace::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && PageList.Count() > 0 && !Locked) {
        Dragging = true;
        LastPoint = e->pos();
    }
}

void TlyrPreviewWorkspace::mouseMoveEvent(QMouseEvent *e)
{
    if (Dragging) {
        SetHorzPosition(HorzPosition() + (LastPoint.x() - e->pos().x()));
        SetVertPosition(VertPosition() - (e->pos().y() - LastPoint.y()));
        LastPoint = e->pos();
        return;
    }
    if (IsThumbnail || !PreviewPages() || Locked || Preview->Running) return;
    ui::guarded([&] {
        const QPoint at = e->pos() + QPoint(HorzPosition(), VertPosition());
        const int index = PageList.FindPage(at.y(), at.x());
        int cursor = DefaultCursor;
        if (index >= 0 && index < PageList.Count()) {
            const TlyrPageItem p = PageList.Items[index];
            PreviewPages()->ObjectOver(index, at.x(), at.y(), 0, lyrShiftState(e->modifiers()), Zoom, p.Left, p.Top,
                                       false, &cursor);
        }
        viewport()->setCursor(lyrCursorShape(cursor));
    });
}

void TlyrPreviewWorkspace::mouseReleaseEvent(QMouseEvent *e)
{
    if (!IsThumbnail && Preview->OnClick) Preview->OnClick();
    Dragging = false;
    if (PageList.Count() == 0 || Locked) return;
    const QPoint at = e->pos() + QPoint(HorzPosition(), VertPosition());
    const int index = PageList.FindPage(at.y(), at.x());
    if (index < 0) return;
    Preview->PageChosen(this, index + 1);
    if (!IsThumbnail && e->button() != Qt::RightButton && PreviewPages() && !Preview->Running &&
        index < PageList.Count()) {
        const TlyrPageItem p = PageList.Items[index];
        ui::guarded([&] {
            PreviewPages()->ObjectOver(index, at.x(), at.y(), int(e->button()), lyrShiftState(e->modifiers()), Zoom,
                                       p.Left, p.Top, true);
        });
    }
}

void TlyrPreviewWorkspace::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (!IsThumbnail && Preview->Form && Preview->Form->FullScreen) Preview->Form->SwitchToFullScreen();
    TlyrScrollWin::mouseDoubleClickEvent(e);
}

void TlyrPreviewWorkspace::wheelEvent(QWheelEvent *e)
{
    const QPoint d = e->angleDelta();
    const bool horizontal = d.y() == 0 && d.x() != 0;
    Preview->MouseWheelScroll(horizontal ? d.x() : d.y(), horizontal, e->modifiers() & Qt::ControlModifier);
    e->accept();
}

void TlyrPreviewWorkspace::keyPressEvent(QKeyEvent *e)
{
    if (!Preview->KeyDown(e->key(), e->modifiers())) TlyrScrollWin::keyPressEvent(e);
}

// ---------------------------------------------------------------- preview control

TlyrPreview::SearchState &TlyrPreview::Search()
{
    static SearchState state;
    return state;
}

TlyrPreview::TlyrPreview(QWidget *parent) : TlyrCustomPreview(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    OutlinePopup = new QMenu(this);
    CollapseAllMI = OutlinePopup->addAction(res(601));
    ExpandAllMI = OutlinePopup->addAction(res(600));
    Splitter = new QSplitter(Qt::Horizontal, this);
    OutlineTree = new QTreeWidget(Splitter);
    OutlineTree->header()->hide();
    OutlineTree->setContextMenuPolicy(Qt::CustomContextMenu);
    OutlineTree->hide();
    Thumbnails = new TlyrPreviewWorkspace(this, true, Splitter);
    Thumbnails->hide();
    Workspace = new TlyrPreviewWorkspace(this, false, Splitter);
    Splitter->addWidget(OutlineTree);
    Splitter->addWidget(Thumbnails);
    Splitter->addWidget(Workspace);
    Splitter->setStretchFactor(2, 1);
    Splitter->setChildrenCollapsible(false);
    layout->addWidget(Splitter);
    MessagePanel = new QFrame(this);
    MessagePanel->setFrameShape(QFrame::Box);
    MessagePanel->setAutoFillBackground(true);
    auto *ml = new QVBoxLayout(MessagePanel);
    MessageLabel = new QLabel(MessagePanel);
    MessageLabel->setAlignment(Qt::AlignCenter);
    ml->addWidget(MessageLabel);
    CancelButton = new QPushButton(res("clCancel"), MessagePanel);
    CancelButton->hide();
    ml->addWidget(CancelButton, 0, Qt::AlignCenter);
    MessagePanel->hide();

    ui::on(CollapseAllMI, &QAction::triggered, this, [this] { OutlineTree->collapseAll(); });
    ui::on(ExpandAllMI, &QAction::triggered, this, [this] {
        OutlineTree->expandAll();
        if (OutlineTree->topLevelItemCount() > 0) OutlineTree->setCurrentItem(OutlineTree->topLevelItem(0));
    });
    ui::on(OutlineTree, &QTreeWidget::customContextMenuRequested, this,
           [this] { OutlinePopup->popup(QCursor::pos()); });
    connect(OutlineTree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        ui::guarded([&] {
            SetPosition(item->data(0, Qt::UserRole).toInt(), item->data(0, Qt::UserRole + 1).toInt());
            if (OnClick) OnClick();
        });
    });
    ui::on(CancelButton, &QPushButton::clicked, this, [this] { Cancel(); });
    ui::on(Splitter, &QSplitter::splitterMoved, this, [this] { Relayout(); });
}

TlyrPreview::~TlyrPreview()
{
    if (Report && Report->Preview() == this) Report->SetPreview(nullptr);
}

TlyrCustomPreviewPages *TlyrPreview::Pages() const
{
    return PreviewPages;
}

int TlyrPreview::PageCount() const
{
    return PreviewPages ? PreviewPages->Count() : 0;
}

bool TlyrPreview::FinalPass() const
{
    return !PreviewPages || !PreviewPages->Engine || PreviewPages->Engine->FinalPass;
}

bool TlyrPreview::buttonOn(int button) const
{
    return Report && (Report->PreviewOptions()->Buttons & button);
}

void TlyrPreview::Init()
{
    SearchState &s = Search();
    s.Found = false;
    s.LastFoundRecord = -1;
    Workspace->SearchPage = 0;
    Workspace->DropSearchCache();
    FindNextEnabled = false;
    if (Report) {
        outlineWidth_ = Report->PreviewOptions()->OutlineWidth;
        outlineVisible_ = Report->PreviewOptions()->OutlineVisible;
        thumbnailVisible_ = Report->PreviewOptions()->ThumbnailVisible && !outlineVisible_;
    }
    applyVisibility();
    UpdatePages();
    UpdateOutline();
    First();
}

void TlyrPreview::applyVisibility()
{
    OutlineTree->setVisible(outlineVisible_);
    Thumbnails->setVisible(thumbnailVisible_);
    if (outlineVisible_ || thumbnailVisible_) {
        QList<int> sizes = Splitter->sizes();
        if (sizes.size() == 3) {
            const int total = sizes[0] + sizes[1] + sizes[2];
            sizes[0] = outlineVisible_ ? outlineWidth_ : 0;
            sizes[1] = thumbnailVisible_ ? outlineWidth_ : 0;
            sizes[2] = std::max(total - outlineWidth_, 1);
            Splitter->setSizes(sizes);
        }
    }
    if (Form) {
        Form->OutlineB->setChecked(outlineVisible_);
        Form->ThumbB->setChecked(thumbnailVisible_);
    }
}

void TlyrPreview::SetOutlineVisible(bool v)
{
    outlineVisible_ = v;
    if (v) thumbnailVisible_ = false;
    applyVisibility();
    UpdatePages();
}

void TlyrPreview::SetThumbnailVisible(bool v)
{
    thumbnailVisible_ = v;
    if (v) outlineVisible_ = false;
    applyVisibility();
    UpdatePages();
    if (v) {
        Thumbnails->SetHorzPosition(Thumbnails->HorzPosition());
        Thumbnails->SetVertPosition(Thumbnails->VertPosition());
    }
}

void TlyrPreview::SetOutlineWidth(int v)
{
    outlineWidth_ = v;
    applyVisibility();
}

void TlyrPreview::RepaintPages()
{
    Workspace->viewport()->update();
    Thumbnails->viewport()->update();
}

void TlyrPreview::Lock()
{
    Locked = true;
    Workspace->Locked = true;
    Thumbnails->Locked = true;
}

void TlyrPreview::Unlock()
{
    HideMessage();
    CancelButton->hide();
    Locked = false;
    Workspace->Locked = false;
    Thumbnails->Locked = false;
    UpdatePages();
    Workspace->viewport()->update();
    Thumbnails->viewport()->update();
}

void TlyrPreview::clearLayout()
{
    Workspace->PageList.Clear();
    Thumbnails->PageList.Clear();
    Workspace->UpdateRanges();
    Thumbnails->UpdateRanges();
    Workspace->viewport()->update();
    Thumbnails->viewport()->update();
}

std::vector<TlyrPreview::SizeRun> TlyrPreview::pageSizes()
{
    TlyrCustomPreviewPages *pages = Pages();
    auto *store = dynamic_cast<TlyrPreviewPages *>(pages);
    const int count = PageCount();
    std::vector<SizeRun> sizes;
    unmeasured_.clear();
    QSize healthy;
    for (int i = 0; i < count;) {
        QSize size;
        int n = 1;
        if (store)
            n = std::clamp(store->GetPageSizeRun(i, size), 1, count - i);
        else
            size = pages->GetPageSize(i);
        if (size.isEmpty())
            for (int k = 0; k < n; ++k) unmeasured_ << i + k + 1;
        else if (healthy.isEmpty())
            healthy = size;
        sizes.push_back({n, size});
        i += n;
    }
    // A page that cannot be rebuilt keeps its place, in the size of the
    // healthy page before it (or the first one, or A4).
    if (healthy.isEmpty()) healthy = QSize(794, 1123);
    std::vector<SizeRun> runs;
    for (SizeRun &r : sizes) {
        if (r.Size.isEmpty())
            r.Size = healthy;
        else
            healthy = r.Size;
        if (!runs.empty() && runs.back().Size == r.Size)
            runs.back().Count += r.Count;
        else
            runs.push_back(r);
    }
    FollowDamage();
    return runs;
}

void TlyrPreview::FollowDamage()
{
    QList<int> damaged = unmeasured_, damagedPictures, damagedTexts;
    QString incomplete;
    if (auto *store = dynamic_cast<TlyrPreviewPages *>(Pages())) {
        damagedPictures = store->DamagedPicturePages;
        damagedTexts = store->DamagedTextPages;
        incomplete = store->Incomplete;
        for (int n : std::as_const(store->UnbuiltPages))
            if (!damaged.contains(n)) damaged << n;
        std::sort(damaged.begin(), damaged.end());
    }
    if (damaged != DamagedPages || damagedPictures != DamagedPicturePages || damagedTexts != DamagedTextPages ||
        incomplete != Incomplete) {
        DamagedPages = damaged;
        DamagedPicturePages = damagedPictures;
        DamagedTextPages = damagedTexts;
        Incomplete = incomplete;
        if (Form) Form->ShowDamagedPages();
    }
}

void TlyrPreview::UpdatePages()
{
    layOut(true);
}

void TlyrPreview::Relayout()
{
    layOut(false);
}

void TlyrPreview::layOut(bool measure)
{
    if (Locked || !Pages()) return;
    // The view follows the store also when its pages are gone (a file that
    // did not load, a cleared store).
    if (PageCount() == 0) {
        if (Workspace->PageList.Count() > 0 || Thumbnails->PageList.Count() > 0 || !DamagedPages.isEmpty() ||
            !DamagedPicturePages.isEmpty() || !DamagedTextPages.isEmpty() || !Incomplete.isEmpty()) {
            DamagedPages.clear();
            DamagedPicturePages.clear();
            DamagedTextPages.clear();
            Incomplete.clear();
            sizes_.clear();
            sizedPages_ = 0;
            unmeasured_.clear();
            clearLayout();
            if (Form) Form->ShowDamagedPages();
        }
        return;
    }
    FindNextEnabled = false;
    Workspace->DropSearchCache();
    // Only the pages' sizes, not their objects, are read: a resize of the
    // window lays them out again without that.
    if (measure || sizedPages_ != PageCount()) {
        sizes_ = pageSizes();
        sizedPages_ = PageCount();
    }
    const int current = std::clamp(pageNo_, 1, PageCount()) - 1;
    QSize size;
    for (int i = 0, at = current; i < static_cast<int>(sizes_.size()) && size.isEmpty(); at -= sizes_[i++].Count)
        if (at < sizes_[i].Count) size = sizes_[i].Size;
    if (zoomMode_ == TlyrPreviewOptions::zmWholePage) {
        zoom_ = (Workspace->height() - 26) / double(size.height());
    } else if (zoomMode_ == TlyrPreviewOptions::zmPageWidth) {
        zoom_ = (Workspace->width() - scrollBarExtent(Workspace) - 26) / double(size.width());
    }
    zoom_ = std::clamp(zoom_, kMinZoom / 10, kMaxZoom);
    Workspace->Zoom = zoom_;
    Thumbnails->Zoom = 0.1;
    Workspace->PageList.Clear();
    if (!Running) Thumbnails->PageList.Clear();
    for (const SizeRun &r : sizes_) {
        Workspace->PageList.AddPage(r.Size, zoom_, r.Count);
        if (!Running) Thumbnails->PageList.AddPage(r.Size, 0.1, r.Count);
    }
    Workspace->CalcBounds();
    if (!Running) Thumbnails->CalcBounds();
    Workspace->UpdateRanges();
    Thumbnails->UpdateRanges();
    if (zoomMode_ == TlyrPreviewOptions::zmWholePage) Workspace->ScrollToPage(current + 1);
    if (!Refreshing) {
        Workspace->viewport()->update();
        Thumbnails->viewport()->update();
    }
    if (Form) Form->ZoomCB->setEditText(QString::number(lyrRoundi(zoom_ * 100)) + QLatin1Char('%'));
}

void TlyrPreview::SetZoom(double z)
{
    zoom_ = std::clamp(z, kMinZoom, kMaxZoom);
    zoomMode_ = TlyrPreviewOptions::zmDefault;
    UpdatePages();
}

void TlyrPreview::SetZoomMode(TlyrZoomMode m)
{
    zoomMode_ = m;
    UpdatePages();
}

void TlyrPreview::FirePageChanged()
{
    if (OnPageChanged) OnPageChanged(this, pageNo_);
}

void TlyrPreview::SetPageNo(int n)
{
    const int count = PageCount();
    n = count == 0 ? 0 : std::clamp(n, 1, count);
    pageNo_ = n;
    Workspace->SetPageNo(n, true);
    Thumbnails->SetPageNo(n, true);
    FirePageChanged();
}

void TlyrPreview::PageChosen(TlyrPreviewWorkspace *from, int pageNo)
{
    pageNo = std::clamp(pageNo, 1, std::max(PageCount(), 1));
    pageNo_ = pageNo;
    Workspace->SetPageNo(pageNo, from != Workspace);
    Thumbnails->SetPageNo(pageNo, from != Thumbnails);
    FirePageChanged();
}

void TlyrPreview::First()
{
    SetPageNo(1);
}

void TlyrPreview::Next()
{
    SetPageNo(pageNo_ + 1);
}

void TlyrPreview::Prior()
{
    SetPageNo(pageNo_ - 1);
}

void TlyrPreview::Last()
{
    SetPageNo(PageCount());
}

void TlyrPreview::SetPosition(int page, int top)
{
    const int count = PageCount();
    if (count == 0) return;
    page = std::clamp(page, 1, count);
    int offset = 0;
    if (top != 0) {
        TlyrReportPage *p = Pages()->GetPage(page - 1);
        const double margin = p ? p->TopMargin() : 0;
        offset = lyrRoundi((margin * 3.7795 + top) * zoom_);
    }
    SetPageNo(page);
    if (page - 1 < Workspace->PageList.Count())
        Workspace->SetVertPosition(Workspace->PageList.Items[page - 1].Top - 10 + offset);
}

void TlyrPreview::MouseWheelScroll(int delta, bool horizontal, bool zoom)
{
    if (delta == 0) return;
    const int s = delta > 0 ? 1 : -1;
    if (zoom) {
        SetZoom(std::max(zoom_ + s / 10.0, kMinWheelZoom));
        return;
    }
    if (horizontal)
        Workspace->SetHorzPosition(Workspace->HorzPosition() - s * 20);
    else
        Workspace->SetVertPosition(Workspace->VertPosition() - s * 20);
}

bool TlyrPreview::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    TlyrPreviewWorkspace *w = Workspace;
    switch (key) {
    case Qt::Key_Up:
        w->SetVertPosition(w->VertPosition() - 8);
        return true;
    case Qt::Key_Down:
        w->SetVertPosition(w->VertPosition() + 8);
        return true;
    case Qt::Key_Left:
        w->SetHorzPosition(w->HorzPosition() - 8);
        return true;
    case Qt::Key_Right:
        w->SetHorzPosition(w->HorzPosition() + 8);
        return true;
    case Qt::Key_PageUp:
        if (ctrl)
            Prior();
        else
            w->SetVertPosition(w->VertPosition() - 300);
        return true;
    case Qt::Key_PageDown:
        if (ctrl)
            Next();
        else
            w->SetVertPosition(w->VertPosition() + 300);
        return true;
    case Qt::Key_Home:
        First();
        return true;
    case Qt::Key_End:
        Last();
        return true;
    case Qt::Key_F3:
        if (buttonOn(TlyrPreviewOptions::pbFind)) ui::guarded([this] { FindNext(); });
        return true;
    default:
        break;
    }
    if (!ctrl) return false;
    const struct {
        int Key, Button;
        void (TlyrPreview::*Command)();
    } commands[] = {
            {Qt::Key_P, TlyrPreviewOptions::pbPrint, &TlyrPreview::Print},
            {Qt::Key_S, TlyrPreviewOptions::pbSave, static_cast<void (TlyrPreview::*)()>(&TlyrPreview::SaveToFile)},
            {Qt::Key_F, TlyrPreviewOptions::pbFind, &TlyrPreview::Find},
            {Qt::Key_O, TlyrPreviewOptions::pbLoad, static_cast<void (TlyrPreview::*)()>(&TlyrPreview::LoadFromFile)}};
    for (const auto &c : commands) {
        if (c.Key != key) continue;
        if (buttonOn(c.Button)) ui::guarded([&] { (this->*c.Command)(); });
        return true;
    }
    return false;
}

void TlyrPreview::keyPressEvent(QKeyEvent *e)
{
    if (!KeyDown(e->key(), e->modifiers())) TlyrCustomPreview::keyPressEvent(e);
}

void TlyrPreview::resizeEvent(QResizeEvent *e)
{
    TlyrCustomPreview::resizeEvent(e);
    if (PreviewPages) Relayout();
    if (MessagePanel->isVisible()) MessagePanel->move((width() - 260) / 2, (height() - 75) / 3);
}

// ---- building

void TlyrPreview::InternalOnProgressStart(TlyrReport *, TlyrProgressType, int)
{
    if (Refreshing) return;
    // Whether the last pages stay is the report's choice (ClearLastReport):
    // only the view starts afresh.
    Workspace->PageList.Clear();
    Thumbnails->PageList.Clear();
    Workspace->DropSearchCache();
    Search().Found = false;
    pageNo_ = 1;
    UpdateOutline();
    if (Report) Report->ClickList.clear();
    Running = true;
    if (Form) Form->UpdateControls();
}

void TlyrPreview::layoutRunning()
{
    Workspace->CalcBounds();
    Workspace->UpdateRanges();
    Workspace->viewport()->update();
}

void TlyrPreview::InternalOnProgress(TlyrReport *, TlyrProgressType, int progress)
{
    if (Refreshing) {
        FirePageChanged();
        return;
    }
    const bool final = FinalPass();
    TlyrCustomPreviewPages *pages = Pages();
    if (final && progress < 50 && pages && progress < pages->Count()) {
        Workspace->Zoom = zoom_;
        while (Workspace->PageList.Count() <= progress)
            Workspace->PageList.AddPage(pages->GetPageSize(Workspace->PageList.Count()), zoom_);
        layoutRunning();
    }
    if (progress == 0) {
        pageNo_ = 1;
        Workspace->PageNo = 1;
        if (final) layoutRunning();
        if (Form) Form->SetBuilding(true);
        progressTime_.start();
        FirePageChanged();
    } else if (progress == 1) {
        const qint64 ms = progressTime_.isValid() ? progressTime_.elapsed() : 0;
        progressStep_ = ms < 5 ? 50 : (ms < 10 ? 20 : 5);
        pageNo_ = 1;
        if (final) layoutRunning();
        FirePageChanged();
    } else if (progress % progressStep_ == 0) {
        FirePageChanged();
        if (final) Workspace->UpdateRanges();
    }
}

void TlyrPreview::InternalOnProgressStop(TlyrReport *, TlyrProgressType, int)
{
    if (Refreshing) return;
    Running = false;
    FirePageChanged();
    UpdatePages();
    UpdateOutline();
    if (Form) Form->BuildEnded();
}

void TlyrPreview::RefreshReport()
{
    if (!Report) return;
    const int horz = Workspace->HorzPosition(), vert = Workspace->VertPosition();
    const int page = pageNo_;
    Lock();
    Refreshing = true;
    // The rebuild can be stopped like the first build.
    ShowMessage(QString());
    CancelButton->show();
    struct EndRefresh {
        TlyrPreview *p;
        ~EndRefresh()
        {
            p->CancelButton->hide();
            p->HideMessage();
            p->Refreshing = false;
        }
    } endRefresh{this};
    Report->PrepareReport(true);
    Locked = false;
    Workspace->Locked = false;
    Thumbnails->Locked = false;
    pageNo_ = page <= PageCount() ? page : 1;
    UpdatePages();
    UpdateOutline();
    Refreshing = false;
    Workspace->SetHorzPosition(horz);
    Workspace->SetVertPosition(vert);
    Workspace->viewport()->update();
    Thumbnails->viewport()->update();
    if (PageCount() < page) SetPageNo(1);
}

void TlyrPreview::Clear()
{
    if (Running) return;
    Lock();
    if (PreviewPages) PreviewPages->Clear();
    Unlock();
    Workspace->PageList.Clear();
    Thumbnails->PageList.Clear();
    UpdateOutline();
    SetPageNo(0);
    Workspace->SetHorzRange(0);
    Workspace->SetVertRange(0);
}

void TlyrPreview::Cancel()
{
    if (Building() && Report) Report->SetTerminated(true);
}

// ---- messages

void TlyrPreview::ShowMessage(const QString &text)
{
    MessagePanel->setGeometry((width() - 260) / 2, (height() - 75) / 3, 260, 75);
    MessageLabel->setText(text);
    MessagePanel->show();
    MessagePanel->raise();
    MessagePanel->repaint();
}

void TlyrPreview::HideMessage()
{
    MessagePanel->hide();
}

// ---- commands

void TlyrPreview::noteCurrentPage()
{
    // The "current page" range of this program's own store.
    if (auto *store = dynamic_cast<TlyrPreviewPages *>(PreviewPages)) store->CurPreviewPage = pageNo_;
}

void TlyrPreview::Print()
{
    if (Running || !PreviewPages) return;
    PreviewPages->CurPage = pageNo_ - 1;
    noteCurrentPage();
    PreviewPages->Print();
    Unlock();
}

void TlyrPreview::Export(TlyrExportFilter &filter)
{
    if (Running || !Pages()) return;
    noteCurrentPage();
    Pages()->Export(filter);
    Unlock();
}

void TlyrPreview::SaveToFile()
{
    if (Running || !Pages()) return;
    QString name = askReportFile(true, window());
    if (name.isEmpty()) return;
    Workspace->viewport()->update();
    const QFileInfo info(name);
    if (info.suffix().compare(QLatin1String("lp3"), Qt::CaseInsensitive) != 0)
        name = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".lp3");
    SaveToFile(name);
}

void TlyrPreview::SaveToFile(const QString &name)
{
    if (Running || !Pages()) return;
    Lock();
    ShowMessage(res("clSaving"));
    const auto unlock = qScopeGuard([this] { Unlock(); });
    Pages()->SaveToFile(name);
}

void TlyrPreview::LoadFromFile()
{
    if (Running || !Pages()) return;
    const QString name = askReportFile(false, window());
    if (name.isEmpty()) return;
    Workspace->viewport()->update();
    LoadFromFile(name);
}

void TlyrPreview::ReadPagesOnLater()
{
    if (readOnPending_) return;
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    if (!store || !store->PagesUnread()) return;
    readOnPending_ = true;
    // Once the pages in view are drawn, the rest of the file is read in
    // steps between the user's input; the pages then laid out as read.
    QTimer::singleShot(10, this, [this] {
        readOnPending_ = false;
        auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
        if (!store || Running || Locked || !store->PagesUnread()) return;
        if (store->ReadOnPages(1000))
            ReadPagesOnLater();
        else
            UpdatePages();
    });
}

void TlyrPreview::LoadFromFile(const QString &name)
{
    if (Running || !Pages()) return;
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    // Read once, into a store of its own: a file that does not open leaves
    // the report on screen as it was.
    std::unique_ptr<TlyrPreviewPages> loaded;
    if (store) {
        loaded = std::make_unique<TlyrPreviewPages>(nullptr);
        loaded->LoadFromFile(name, true);
    } else {
        TlyrReport scratch;
        TlyrPreviewPages trial(&scratch);
        trial.LoadFromFile(name, true);
    }
    Lock();
    ShowMessage(res("clLoading"));
    // Loaded or not, the view, the page information and the window's
    // buttons show what the store holds now (nothing after a failed load).
    auto followStore = [this] {
        UpdateOutline();
        Unlock();
        First();
        if (Form) Form->UpdateControls();
    };
    try {
        if (store)
            store->TakeLoaded(*loaded);
        else
            Pages()->LoadFromFile(name);
    } catch (...) {
        followStore();
        throw;
    }
    followStore();
}

void TlyrPreview::PageSetupDlg()
{
    if (Running || !Pages() || PageCount() == 0) return;
    TlyrReportPage *current = Pages()->GetPage(pageNo_ - 1);
    if (!current) return;
    // A copy: the store's own page may be dropped from its cache meanwhile.
    TlyrReportPage page;
    page.Assign(current);
    TlyrPageSettingsForm dialog(window());
    dialog.SetPage(&page, Report);
    if (ui::showModal(&dialog) != QDialog::Accepted) return;
    if (dialog.ApplyToCurRB->isChecked()) {
        // Write the settings into the full page (objects and all).
        TlyrReportPage *full = Pages()->GetPage(pageNo_ - 1);
        if (!full) return;
        copyPaperSettings(page, *full);
        full->AlignChildren();
        Lock();
        Pages()->ModifyPage(pageNo_ - 1, full);
        Unlock();
        return;
    }
    if (!Report) return;
    for (int i = 0; i < Report->PagesCount(); ++i) {
        auto *p = qobject_cast<TlyrReportPage *>(Report->Pages(i));
        if (!p) continue;
        copyPaperSettings(page, *p);
    }
    Report->PrepareReport(true);
}

void TlyrPreview::FindText(const QString &text, bool caseSensitive, bool fromBeginning)
{
    SearchState &s = Search();
    s.Text = text;
    s.CaseSensitive = caseSensitive;
    Workspace->SearchPage = fromBeginning ? 0 : std::max(pageNo_ - 1, 0);
    s.LastFoundRecord = -1;
    Workspace->FindText();
    FindNextEnabled = true;
}

void TlyrPreview::Find()
{
    if (Running || !Pages()) return;
    TlyrSearchDialog dialog(window());
    if (ui::showModal(&dialog) == QDialog::Accepted)
        FindText(dialog.TextE->text(), dialog.CaseCB->isChecked(), dialog.TopCB->isChecked());
    FindNextEnabled = true;
}

void TlyrPreview::FindNext()
{
    if (Running || !FindNextEnabled) return;
    Workspace->FindText();
}

void TlyrPreview::AddPage()
{
    if (Running || !Pages()) return;
    Pages()->AddEmptyPage(pageNo_ - 1);
    UpdatePages();
    SetPageNo(pageNo_);
}

void TlyrPreview::DeletePage()
{
    if (Running || !Pages()) return;
    Pages()->DeletePage(pageNo_ - 1);
    if (PageCount() <= pageNo_) SetPageNo(pageNo_ - 1);
    UpdatePages();
    FirePageChanged();
}

void TlyrPreview::Edit()
{
    // No page designer is part of this program: a page is never changed here.
    if (Running || !Report) return;
    Report->DesignPreviewPage();
}

void TlyrPreview::EditTemplate()
{
    if (Running || !Report) return;
    Report->DesignReport();
}

// ---- outline

void TlyrPreview::addOutlineLevel(QTreeWidgetItem *parent)
{
    TlyrCustomOutline *outline = Pages() ? Pages()->Outline : nullptr;
    if (!outline) return;
    for (int i = 0; i < outline->Count(); ++i) {
        QString text;
        int page = 0, top = 0;
        outline->GetItem(i, text, page, top);
        auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(OutlineTree);
        node->setText(0, text);
        node->setData(0, Qt::UserRole, page + 1);
        node->setData(0, Qt::UserRole + 1, top);
        outline->LevelDown(i);
        addOutlineLevel(node);
        outline->LevelUp();
    }
}

void TlyrPreview::UpdateOutline()
{
    OutlineTree->setUpdatesEnabled(false);
    OutlineTree->clear();
    if (auto *pages = Pages()) {
        if (!pages->Outline) return;
        pages->Outline->LevelRoot();
        addOutlineLevel(nullptr);
        if (Report && Report->PreviewOptions()->OutlineExpand) OutlineTree->expandAll();
        if (OutlineTree->topLevelItemCount() > 0) OutlineTree->setCurrentItem(OutlineTree->topLevelItem(0));
    }
    OutlineTree->setUpdatesEnabled(true);
}

// ---------------------------------------------------------------- window

TlyrPreviewForm::TlyrPreviewForm(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(res(100));
    resize(803, 584);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar = new QWidget(this);
    auto *tl = new QHBoxLayout(ToolBar);
    tl->setContentsMargins(2, 2, 2, 2);
    tl->setSpacing(0);
    auto add = [tl](QWidget *w) {
        tl->addWidget(w);
        return w;
    };
    Preview = new TlyrPreview(this);
    Preview->Form = this;

    add(PrintB = toolButton(2, 101, 102, [this] { PrintBClick(); }));
    add(OpenB = toolButton(0, 103, 104, [this] { OpenBClick(); }));
    add(SaveB = toolButton(1, 105, 106, [this] { SaveBClick(); }));
    ExportPopup = new QMenu(this);
    add(ExportB = toolButton(3, 107, 108, {}));
    ExportB->setMenu(ExportPopup);
    ExportB->setPopupMode(QToolButton::InstantPopup);
    add(PdfB = toolButton(24, 151, 151, {}));
    add(EmailB = toolButton(23, 152, 152, {}));
    ui::on(PdfB, &QToolButton::clicked, this, [this] {
        if (PDFExport) Preview->Export(*PDFExport);
    });
    ui::on(EmailB, &QToolButton::clicked, this, [this] {
        if (EmailExport) Preview->Export(*EmailExport);
    });
    PdfB->setText(QString());
    EmailB->setText(QString());
    PdfB->hide();
    EmailB->hide();
    add(FindB = toolButton(4, 109, 110, [this] { FindBClick(); }));
    add(Sep1 = separator());
    add(ZoomPlusB = toolButton(15, 124, 125, [this] { ZoomPlusBClick(); }));
    // Wider than the classic 49 pixels: "100%" must fit in the fonts used here.
    add(Sep3 = new TlyrTBPanel(ToolBar, 68, 23));
    ZoomCB = new TlyrComboBox(Sep3);
    ZoomCB->setGeometry(3, 1, 62, 21);
    ZoomCB->SetListWidth(100);
    ZoomCB->setToolTip(res(119));
    for (const char *z : {"25%", "50%", "75%", "100%", "150%", "200%"}) ZoomCB->addItem(QString::fromLatin1(z));
    ZoomCB->addItem(res("zmPageWidth"));
    ZoomCB->addItem(res("zmWholePage"));
    ZoomCB->setInsertPolicy(QComboBox::NoInsert);
    ZoomCB->setEditText(QStringLiteral("100%"));
    add(ZoomMinusB = toolButton(16, 126, 127, [this] { ZoomMinusBClick(); }));
    add(FullScreenBtn = toolButton(22, 150, 150, [this] { SwitchToFullScreen(); }));
    FullScreenBtn->setText(QString());
    add(Sep2 = separator());
    add(OutlineB = toolButton(12, 128, 129, [this] { OutlineBClick(); }));
    add(ThumbB = toolButton(5, 130, 131, [this] { ThumbBClick(); }));
    OutlineB->setCheckable(true);
    ThumbB->setCheckable(true);
    add(PageSettingsB = toolButton(7, 120, 121, [this] { PageSettingsBClick(); }));
    add(DesignerB = toolButton(21, 132, 133, [this] { DesignerBClick(); }));
    DesignerB->setContextMenuPolicy(Qt::CustomContextMenu);
    HiddenMenu = new QMenu(this);
    Showtemplate1 = HiddenMenu->addAction(QStringLiteral("Show template"));
    ui::on(Showtemplate1, &QAction::triggered, this, [this] { Preview->EditTemplate(); });
    ui::on(DesignerB, &QToolButton::customContextMenuRequested, this,
           [this] { HiddenMenu->popup(DesignerB->mapToGlobal(QPoint(0, DesignerB->height()))); });
    add(Sep5 = separator());
    add(FirstB = toolButton(8, 134, 135, [this] { FirstBClick(); }));
    add(PriorB = toolButton(9, 136, 137, [this] { PriorBClick(); }));
    add(Sep4 = new TlyrTBPanel(ToolBar, 47, 23));
    PageE = new QLineEdit(Sep4);
    PageE->setGeometry(5, 2, 37, 19);
    PageE->setFrame(false);
    PageE->setText(QStringLiteral("1"));
    PageE->setToolTip(res(142));
    PageE->setValidator(new QIntValidator(0, 999999999, PageE));
    add(NextB = toolButton(10, 138, 139, [this] { NextBClick(); }));
    add(LastB = toolButton(11, 140, 141, [this] { LastBClick(); }));
    add(lyTBPanel1 = new TlyrTBPanel(ToolBar, 35, 23));
    CancelB = new QToolButton(ToolBar);
    CancelB->setAutoRaise(true);
    CancelB->setFixedSize(68, 23);
    CancelB->setText(res("clClose"));
    CancelB->setFocusPolicy(Qt::NoFocus);
    ui::on(CancelB, &QToolButton::clicked, this, [this] { CancelBClick(); });
    add(CancelB);
    tl->addStretch(1);
    layout->addWidget(ToolBar);
    layout->addWidget(Preview, 1);

    StatusBar = new QStatusBar(this);
    StatusPage = new QLabel(StatusBar);
    StatusPage->setFixedWidth(200);
    StatusMessage = new QLabel(StatusBar);
    StatusBar->addWidget(StatusPage);
    StatusBar->addWidget(StatusMessage, 1);
    StatusBar->setSizeGripEnabled(false);
    if (logicalDpiY() > 96) StatusBar->setFixedHeight(24);
    layout->addWidget(StatusBar);

    RightMenu = new QMenu(this);
    CollapseMI = RightMenu->addAction(res(601));
    ExpandMI = RightMenu->addAction(res(600));
    N1 = RightMenu->addSeparator();
    ui::on(CollapseMI, &QAction::triggered, this, [this] { CollapseMIClick(); });
    ui::on(ExpandMI, &QAction::triggered, this, [this] { ExpandMIClick(); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    ui::on(this, &QWidget::customContextMenuRequested, this, [this] { RightMenu->popup(QCursor::pos()); });

    ui::on(ZoomCB, &QComboBox::activated, this, [this] { ZoomCBClick(); });
    if (ZoomCB->lineEdit()) ui::on(ZoomCB->lineEdit(), &QLineEdit::returnPressed, this, [this] { ZoomCBClick(); });
    ui::on(PageE, &QLineEdit::returnPressed, this, [this] { PageEEnter(); });

    Preview->OnPageChanged = [this](TlyrPreview *sender, int pageNo) { UpdatePageInfo(sender, pageNo); };
    setInitialFocus(Preview);
    if (QGuiApplication::isRightToLeft()) setLayoutDirection(Qt::RightToLeft);
}

TlyrPreviewForm::~TlyrPreviewForm()
{
    // The report must not keep talking to a control that is going away.
    if (Report && Report->Preview() == Preview) Report->SetPreview(nullptr);
}

QToolButton *TlyrPreviewForm::toolButton(int image, int caption, int hint, std::function<void()> handler)
{
    auto *b = new QToolButton(ToolBar);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setText(res(caption));
    b->setToolTip(res(hint));
    b->setMinimumHeight(23);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    try {
        TlyrImageList &images = lyrResources().PreviewButtonImages();
        if (image >= 0 && image < images.Count()) b->setIcon(QIcon(QPixmap::fromImage(images.Image(image))));
    } catch (const std::exception &) {
        // Without its glyph the button shows its caption.
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    if (handler) ui::on(b, &QToolButton::clicked, this, std::move(handler));
    return b;
}

QWidget *TlyrPreviewForm::separator()
{
    auto *s = new QFrame(ToolBar);
    s->setFrameShape(QFrame::VLine);
    s->setFrameShadow(QFrame::Sunken);
    s->setFixedWidth(8);
    return s;
}

void TlyrPreviewForm::Init(TlyrReport *report)
{
    Report = report;
    TlyrPreviewOptions *o = report->PreviewOptions();
    if (o->Maximized) setWindowState(windowState() | Qt::WindowMaximized);
    Preview->SetZoom(o->Zoom);
    Preview->SetZoomMode(o->ZoomMode);
    DesignerB->setEnabled(o->AllowEdit);
    const int b = o->Buttons;
    using PO = TlyrPreviewOptions;
    PrintB->setVisible(b & PO::pbPrint);
    OpenB->setVisible(b & PO::pbLoad);
    SaveB->setVisible(b & PO::pbSave);
    ExportB->setVisible(b & PO::pbExport);
    FindB->setVisible(b & PO::pbFind);
    PdfB->hide();
    EmailB->hide();
    const bool zoom = b & PO::pbZoom;
    ZoomPlusB->setVisible(zoom);
    ZoomMinusB->setVisible(zoom);
    Sep3->setVisible(zoom);
    FullScreenBtn->setVisible(zoom && !(b & PO::pbNoFullScreen));
    Sep1->setVisible(zoom);
    OutlineB->setVisible(b & PO::pbOutline);
    ThumbB->setVisible(b & PO::pbOutline);
    PageSettingsB->setVisible(b & PO::pbPageSetup);
    DesignerB->setVisible(b & PO::pbEdit);
    Sep2->setVisible((b & PO::pbPageSetup) || (b & PO::pbEdit));
    const bool nav = b & PO::pbNavigator;
    for (QWidget *w : {static_cast<QWidget *>(FirstB), static_cast<QWidget *>(PriorB), static_cast<QWidget *>(NextB),
                       static_cast<QWidget *>(LastB), static_cast<QWidget *>(Sep4)})
        w->setVisible(nav);
    Sep5->setVisible(nav);
    CancelB->setVisible(!(b & PO::pbNoClose));
    const Qt::ToolButtonStyle style = o->ShowCaptions ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly;
    for (QToolButton *t : ToolBar->findChildren<QToolButton *>())
        if (t != CancelB && !t->icon().isNull()) t->setToolButtonStyle(style);

    // The export menu from the registered filters; with none the button stays hidden.
    ExportPopup->clear();
    PDFExport = EmailExport = nullptr;
    int usable = 0;
    TlyrExportFilterCollection &filters = lyrExportFilters();
    for (int i = 0; i < filters.Count(); ++i) {
        TlyrExportFilter *filter = filters.Items(i).Filter;
        if (!filter) continue;
        const QString cls = QString::fromLatin1(filter->metaObject()->className());
        if (cls.contains(QLatin1String("DotMatrix"))) continue;
        ++usable;
        QAction *item = ExportPopup->addAction(filter->GetDescription() + QStringLiteral("..."));
        QPointer<TlyrExportFilter> guard(filter);
        ui::on(item, &QAction::triggered, this, [this, guard] {
            if (guard) Preview->Export(*guard);
            setEnabled(true);
        });
        if (cls == QLatin1String("TlyrPDFExport")) {
            PDFExport = filter;
            PdfB->setVisible(b & PO::pbExportQuick);
        }
        if (cls == QLatin1String("TlyrMailExport") && !(b & PO::pbNoEmail)) {
            EmailExport = filter;
            EmailB->setVisible(b & PO::pbExportQuick);
        }
    }
    if (usable == 0) ExportB->hide();
    if (!report->ReportOptions()->Name.isEmpty()) setWindowTitle(report->ReportOptions()->Name);
    buildRightMenu();
    UpdateControls();
    UpdatePageInfo(Preview, Preview->PageNo());
}

void TlyrPreviewForm::buildRightMenu()
{
    // Everything after the fixed items is made here, and made again on each Init.
    const QList<QAction *> actions = RightMenu->actions();
    for (qsizetype i = actions.indexOf(N1) + 1; i < actions.size(); ++i) delete actions[i];
    rightItems_.clear();
    int separators = 0;
    const QList<QWidget *> order = {PrintB,    OpenB, SaveB,      ExportB,       PdfB, EmailB,   FindB,  Sep1,
                                    ZoomPlusB, Sep3,  ZoomMinusB, FullScreenBtn, Sep2, OutlineB, ThumbB, PageSettingsB,
                                    DesignerB, Sep5,  FirstB,     PriorB,        Sep4, NextB,    LastB};
    for (QWidget *w : order) {
        if (w == Sep1 || w == Sep2 || w == Sep5) {
            if (w->isHidden()) continue;
            if (++separators == 2) break;
            RightMenu->addSeparator();
            continue;
        }
        auto *b = qobject_cast<QToolButton *>(w);
        if (!b || b->isHidden() || b->isCheckable() || b->toolTip().isEmpty()) continue;
        QAction *item = RightMenu->addAction(b->icon(), b->toolTip());
        if (b->menu()) {
            auto *sub = new QMenu(RightMenu);
            for (QAction *a : b->menu()->actions()) sub->addAction(a);
            item->setMenu(sub);
        } else {
            connect(item, &QAction::triggered, b, &QToolButton::click);
        }
        rightItems_.insert(b, item);
    }
}

void TlyrPreviewForm::ShowDamagedPages()
{
    const auto numbers = [](const QList<int> &pages) {
        QStringList out;
        for (int n : pages) out << QString::number(n);
        return out.join(QStringLiteral(", "));
    };
    QStringList parts;
    if (!Preview->Incomplete.isEmpty()) parts << Preview->Incomplete;
    if (!Preview->DamagedPages.isEmpty())
        parts << QStringLiteral("已损坏未显示的页：") + numbers(Preview->DamagedPages);
    if (!Preview->DamagedPicturePages.isEmpty())
        parts << QStringLiteral("图片已损坏的页：") + numbers(Preview->DamagedPicturePages);
    if (!Preview->DamagedTextPages.isEmpty())
        parts << QStringLiteral("文字已损坏的页：") + numbers(Preview->DamagedTextPages);
    StatusMessage->setText(parts.join(QStringLiteral("；")));
}

void TlyrPreviewForm::SetMessage(const QString &text)
{
    // Without a message of its own the panel names the damaged pages.
    if (text.isEmpty())
        ShowDamagedPages();
    else
        StatusMessage->setText(text);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TlyrPreviewForm::UpdatePageInfo(TlyrPreview *sender, int pageNo)
{
    if (!sender->FinalPass() && sender->Running)
        StatusPage->setText(res("clFirstPass") + QLatin1Char(' ') + QString::number(sender->PageCount()));
    else
        StatusPage->setText(lyrResources().Format(QStringLiteral("clPageOf"),
                                                  {QString::number(pageNo), QString::number(sender->PageCount())}));
    PageE->setText(QString::number(pageNo));
}

void TlyrPreviewForm::UpdateControls()
{
    const bool ready = !Preview->Running && Preview->PageCount() > 0;
    auto enable = [this](QToolButton *b, bool on) {
        b->setEnabled(on);
        if (!b->isCheckable()) b->setDown(false);
        if (QAction *item = rightItems_.value(b)) item->setEnabled(on);
    };
    for (QToolButton *b : {PrintB, OpenB, SaveB, ExportB, PdfB, EmailB, FindB, PageSettingsB}) enable(b, ready);
    // Opening a file needs no pages, only a finished build.
    enable(OpenB, !Preview->Running);
    enable(DesignerB, !Preview->Running && Report && Report->PreviewOptions()->AllowEdit);
    bool drillDown = false;
    if (Report && !Preview->Running)
        for (TlyrComponent *c : Report->AllObjects())
            if (auto *g = qobject_cast<TlyrGroupHeader *>(c); g && g->DrillDown) drillDown = true;
    CollapseMI->setVisible(drillDown);
    ExpandMI->setVisible(drillDown);
}

void TlyrPreviewForm::SetBuilding(bool building)
{
    CancelB->setText(res(building ? "clCancel" : "clClose"));
}

void TlyrPreviewForm::SwitchToFullScreen()
{
    if (!FullScreen) {
        savedState_ = windowState();
        ToolBar->hide();
        StatusBar->hide();
        FullScreen = true;
        setWindowState(Qt::WindowFullScreen);
    } else {
        FullScreen = false;
        setWindowState(savedState_);
        ToolBar->show();
        StatusBar->show();
    }
}

void TlyrPreviewForm::showZoom()
{
    ZoomCB->setEditText(QString::number(lyrRoundi(Preview->Zoom() * 100)) + QLatin1Char('%'));
}

void TlyrPreviewForm::PrintBClick()
{
    Preview->Print();
    setEnabled(true);
}

void TlyrPreviewForm::OpenBClick()
{
    Preview->LoadFromFile();
    setWindowTitle(Report && !Report->ReportOptions()->Name.isEmpty() ? Report->ReportOptions()->Name : res(100));
    UpdateControls();
}

void TlyrPreviewForm::SaveBClick()
{
    Preview->SaveToFile();
}

void TlyrPreviewForm::FindBClick()
{
    Preview->Find();
}

void TlyrPreviewForm::ZoomPlusBClick()
{
    Preview->SetZoom(Preview->Zoom() + 0.25);
    showZoom();
}

void TlyrPreviewForm::ZoomMinusBClick()
{
    Preview->SetZoom(std::max(Preview->Zoom() - 0.25, kMinZoom));
    showZoom();
}

void TlyrPreviewForm::ZoomCBClick()
{
    Preview->setFocus();
    const int index = ZoomCB->findText(ZoomCB->currentText());
    if (index == 6) {
        Preview->SetZoomMode(TlyrPreviewOptions::zmPageWidth);
    } else if (index == 7) {
        Preview->SetZoomMode(TlyrPreviewOptions::zmWholePage);
    } else {
        QString text = ZoomCB->currentText();
        text.replace(QLatin1Char('%'), QLatin1Char(' '));
        text.remove(QLatin1Char(' '));
        // A text that is no number (or none at all) leaves the zoom as it is.
        bool ok = false;
        const double v = QLocale::c().toDouble(text.replace(QLatin1Char(','), QLatin1Char('.')), &ok);
        if (ok && v > 0) Preview->SetZoom(v / 100);
    }
    showZoom();
    // The combo writes the chosen item's text after this handler: write ours again.
    QMetaObject::invokeMethod(
            this, [this] { showZoom(); }, Qt::QueuedConnection);
}

void TlyrPreviewForm::PageEEnter()
{
    bool ok = false;
    const int n = PageE->text().toInt(&ok);
    // An empty box goes back to the current page.
    if (ok) Preview->SetPageNo(n);
    PageE->setText(QString::number(Preview->PageNo()));
    Preview->setFocus();
}

void TlyrPreviewForm::FirstBClick()
{
    Preview->First();
}

void TlyrPreviewForm::PriorBClick()
{
    Preview->Prior();
}

void TlyrPreviewForm::NextBClick()
{
    Preview->Next();
}

void TlyrPreviewForm::LastBClick()
{
    Preview->Last();
}

void TlyrPreviewForm::OutlineBClick()
{
    Preview->SetOutlineVisible(OutlineB->isChecked());
}

void TlyrPreviewForm::ThumbBClick()
{
    Preview->SetThumbnailVisible(ThumbB->isChecked());
}

void TlyrPreviewForm::PageSettingsBClick()
{
    Preview->PageSetupDlg();
}

void TlyrPreviewForm::DesignerBClick()
{
    Preview->Edit();
}

void TlyrPreviewForm::CancelBClick()
{
    reject();
}

void TlyrPreviewForm::reject()
{
    // During a build the button and Esc stop it; afterwards they close.
    if (Preview->Building())
        Preview->Cancel();
    else
        ui::Form::reject();
}

void TlyrPreviewForm::setDrillDown(bool expand)
{
    if (!Report) return;
    Preview->Lock();
    for (TlyrComponent *c : Report->AllObjects())
        if (auto *g = qobject_cast<TlyrGroupHeader *>(c); g && g->DrillDown) g->ExpandDrillDown = expand;
    Report->ClickList.clear();
    Preview->RefreshReport();
}

void TlyrPreviewForm::CollapseMIClick()
{
    setDrillDown(false);
}

void TlyrPreviewForm::ExpandMIClick()
{
    setDrillDown(true);
}

void TlyrPreviewForm::keyPressEvent(QKeyEvent *e)
{
    const bool plain = !(e->modifiers() & ~Qt::KeypadModifier);
    if (plain && e->key() == Qt::Key_Escape) {
        e->accept();
        ui::guarded([this] { CancelBClick(); });
        return;
    }
    if (plain && e->key() == Qt::Key_F11) {
        ui::guarded([this] { SwitchToFullScreen(); });
        return;
    }
    if (plain && e->key() == Qt::Key_F1) {
        lyrResources().Help(QStringLiteral("TlyrPreviewForm"));
        return;
    }
    // Keys typed into the zoom and page boxes stay there.
    QWidget *focus = focusWidget();
    const bool inBox = focus && (focus == PageE || ZoomCB->isAncestorOf(focus) || focus == ZoomCB);
    if (!inBox && Preview->KeyDown(e->key(), e->modifiers())) return;
    ui::Form::keyPressEvent(e);
}

void TlyrPreviewForm::closeEvent(QCloseEvent *e)
{
    if (Preview->Building()) {
        // Closing stops the build; the window goes once the build has ended.
        closeAfterBuild_ = true;
        Preview->Cancel();
        e->ignore();
        return;
    }
    ui::Form::closeEvent(e);
}

void TlyrPreviewForm::done(int result)
{
    // Closed before the build began: there is nothing left to build for.
    if (Report && Report->Timer()->isActive() && !Preview->Running) Report->Timer()->stop();
    // Every way of closing ends here (the close event goes through reject).
    ui::Form::done(result);
    if (Report && Report->OnClosePreview) Report->OnClosePreview();
}

void TlyrPreviewForm::wheelEvent(QWheelEvent *e)
{
    const int delta = e->angleDelta().y();
    Preview->MouseWheelScroll(delta, false, e->modifiers() & Qt::ControlModifier);
    e->accept();
}

void TlyrPreviewForm::BuildEnded()
{
    SetBuilding(false);
    SetMessage(QString());
    UpdateControls();
    if (closeAfterBuild_) {
        closeAfterBuild_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------- link to the report

TlyrPreviewFormLink::TlyrPreviewFormLink(TlyrPreviewForm *form) : form_(form)
{
    connect(form, &QObject::destroyed, this, [this] {
        // A window shown without waiting takes its link with it.
        if (!modal_) deleteLater();
    });
}

TlyrPreviewFormLink::~TlyrPreviewFormLink()
{
    delete form_.data();
}

TlyrCustomPreview *TlyrPreviewFormLink::Preview()
{
    return form_ ? form_->Preview : nullptr;
}

void TlyrPreviewFormLink::InitFromReport(TlyrReport *report)
{
    if (form_) form_->Init(report);
}

void TlyrPreviewFormLink::ShowModal()
{
    if (!form_) return;
    modal_ = true;
    ui::showModal(form_);
}

void TlyrPreviewFormLink::Show()
{
    if (!form_) return;
    form_->setAttribute(Qt::WA_DeleteOnClose);
    form_->show();
}

void TlyrPreviewFormLink::Close()
{
    if (form_) form_->close();
}

void TlyrPreviewFormLink::SetStatusText(const QString &text)
{
    if (form_) form_->SetMessage(text);
}

void lyrInstallPreview()
{
    lyrEngineFactories().PreviewForm = [](TlyrReport *) -> TlyrCustomPreviewForm * {
        return new TlyrPreviewFormLink(new TlyrPreviewForm);
    };
}
