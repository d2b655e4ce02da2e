// One band's output: preparing, stretching and placing it.

#include "reportengine/lyrengine.h"
#include "reportengine/lyrengineutil.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrdmpclass.h"
#include "report/lyrdialogpage.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "reportengine/lyrpreview.h"
#include "report/lyrview.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <set>

using namespace lyrengine;

void TlyrEngine::ShowBand(const QMetaObject *bandClass)
{
    if (CurPage) ShowBand(CurPage->FindBand(bandClass));
}

void TlyrEngine::ShowBand(TlyrComponent *component)
{
    // A band and its chain of children; a band that keeps its child opens a
    // keep block around both.
    auto *band = qobject_cast<TlyrBand *>(component);
    std::vector<TlyrBand *> keepers;
    // The children of a record of a multi-column data band go under it, in
    // its column, not under the first column.
    auto *data = qobject_cast<TlyrDataBand *>(band);
    const bool inColumn = data && data->Columns() >= 2 && !data->Vertical();
    const Saved<bool> rowChildren(rowChildren_);
    rowChildren_ = false;
    double offset = 0;
    for (int guard = 0; band && guard < 64; ++guard) {
        if (band->KeepChild()) {
            startKeep(band);
            keepers.push_back(band);
        }
        // A repeated header left out takes its child bands along.
        if (!showBandOnce(band)) break;
        if (inColumn && band == data && data->Visible()) {
            // The column it was placed in (the first after a break).
            offset = columnLeft_;
            CurX += offset;
            childLeft_ += offset;
            rowChildren_ = data->CurColumn() > 1;
        }
        if (!band->Visible() && !band->PrintChildIfInvisible()) break;
        TlyrBand *child = band->Child();
        if (child == band) break;
        band = child;
    }
    // A break under the record started CurX afresh in the new column.
    if (offset > 0 && childLeft_ > 0) {
        CurX -= offset;
        childLeft_ -= offset;
    }
    for (auto it = keepers.rbegin(); it != keepers.rend(); ++it) endKeep(*it);
}

// The objects of a band in top order, each with the objects directly above
// it that push it down when they grow (-1: the band itself). Built from the
// design positions, once per band and run.
// Only the band's own first objects when own is set: a crossed band also
// holds the cell copies of this output, which are freed with it.
const TlyrEngine::ShiftTree &TlyrEngine::shiftTree(TlyrBand *band, qsizetype own)
{
    auto it = shiftTrees_.find(band);
    if (it != shiftTrees_.end()) return *it;
    ShiftTree tree;
    const QList<TlyrComponent *> objects = own >= 0 ? band->Objects().mid(0, own) : band->Objects();
    for (TlyrComponent *c : objects)
        if (auto *v = qobject_cast<TlyrView *>(c))
            tree.push_back({v, v->Top(), v->Top() + v->Height(), v->Left(), v->Left() + v->Width(), {}});
    std::stable_sort(tree.begin(), tree.end(), [](const ShiftNode &a, const ShiftNode &b) { return a.Top < b.Top; });
    constexpr double tol = 0.0001;
    auto vertical = [](const ShiftNode &a, const ShiftNode &b) {
        return a.Top < b.Bottom - tol && b.Top < a.Bottom - tol;
    };
    auto horizontal = [](double l1, double r1, double l2, double r2) { return l1 < r2 - tol && l2 < r1 - tol; };
    for (size_t j = 0; j < tree.size(); ++j) {
        ShiftNode &b = tree[j];
        bool covered = false;
        for (size_t i = 0; i < j; ++i) {
            const ShiftNode &a = tree[i];
            if (vertical(a, b) || b.Top <= a.Top + tol || !horizontal(a.Left, a.Right, b.Left, b.Right)) continue;
            const double l = std::max(a.Left, b.Left), r = std::min(a.Right, b.Right);
            bool between = false;
            for (size_t k = i + 1; k < j && !between; ++k) {
                const ShiftNode &c = tree[k];
                between = !vertical(c, a) && !vertical(c, b) && horizontal(c.Left, c.Right, l, r);
            }
            if (between) continue;
            b.Parents.push_back(int(i));
            covered = true;
        }
        // Nothing above it: it hangs from the band.
        if (!covered) b.Parents.push_back(-1);
    }
    return *shiftTrees_.insert(band, std::move(tree));
}

// Grown objects push down what lies below them, as their shift modes say.
// An object below several grown ones moves by the largest push, not by
// their sum.
void TlyrEngine::stretchBand(TlyrBand *band, qsizetype own)
{
    const ShiftTree &tree = shiftTree(band, own);
    std::vector<double> grown(tree.size(), 0), passed(tree.size(), 0);
    for (size_t i = 0; i < tree.size(); ++i) {
        auto *s = qobject_cast<TlyrStretcheable *>(tree[i].View);
        if (!s || !s->Visible() || s->StretchMode() == smDontStretch) continue;
        // Text that needs less than the object's height keeps that height.
        const double newH = std::max(s->CalcHeight(), s->Height());
        grown[i] = std::max(0.0, newH - s->Height());
        s->SetHeight(newH);
    }
    for (size_t i = 0; i < tree.size(); ++i) {
        TlyrView *v = tree[i].View;
        double push = 0;
        for (int p : tree[i].Parents) {
            if (v->ShiftMode() != smWhenOverlapped) {
                push = std::max(push, p < 0 ? 0 : passed[size_t(p)]);
            } else if (p >= 0) {
                // Only as far as needed to clear the object above.
                TlyrView *above = tree[size_t(p)].View;
                push = std::max(push, above->Top() + above->Height() - v->Top());
            }
        }
        if (v->ShiftMode() != smDontShift && push > 0) v->SetTop(v->Top() + push);
        passed[i] = push + grown[i];
    }
    fitHeight(band);
    // Objects of the largest height reach down to the band's bottom (a
    // dot-matrix text's bottom line takes a line of its own below it).
    for (const ShiftNode &n : tree)
        if (auto *s = qobject_cast<TlyrStretcheable *>(n.View);
            s && s->Visible() && s->StretchMode() == smMaxHeight && s->Top() < band->Height())
            s->SetHeight(band->Height() - s->Top() - dmpBottomLine(s));
}

void TlyrEngine::fitHeight(TlyrBand *band)
{
    double bottom = band->Height(), lowest = -1;
    TlyrComponent *last = nullptr;
    for (TlyrComponent *c : band->Objects())
        if (c->Visible() && c->Top() + c->Height() > lowest) {
            lowest = c->Top() + c->Height();
            last = c;
        }
    if (last) bottom = std::max(bottom, lowest + dmpBottomLine(last));
    band->SetHeight(bottom);
}

bool TlyrEngine::showBandOnce(TlyrBand *band)
{
    if (band->Vertical()) {
        if (crossBand_) showVerticalBand(band);
        return true;
    }
    const bool pageBand = inPageBand_ || is<TlyrNullBand>(band) || is<TlyrPageHeader>(band) || is<TlyrPageFooter>(band) ||
                          is<TlyrOverlay>(band) || is<TlyrColumnHeader>(band) || is<TlyrColumnFooter>(band);
    // A repeated header that may split flows like other content: it must
    // fit its column too.
    const bool repeated = showingHeaders_ && band != flowingHeader_;
    // Shown again, it runs none of its subreports: their records belong to
    // the place it was first shown.
    const bool again = showingHeaders_;
    const bool flows = !pageBand && !repeated && !popTarget_;
    const int breaks = breaks_;
    // The page breaks after the band's own events, before its objects are
    // prepared where it can; a band prepared before its break prints its
    // page number where it lands. The first record or group of a run never
    // breaks, nor does a band at the top of a page that holds nothing else.
    auto breakPage = [&](double need) {
        // A group that restarts the numbering closes the count of the
        // pages before it, before its own first page is added.
        if (auto *gh = qobject_cast<TlyrGroupHeader *>(band); gh && gh->ResetPageNumbers)
            Pages()->ResetLogicalPageNumber();
        // The band prints itself on the new page, not as a repeat.
        const Saved<TlyrBand *> savedBreak(breakBand_);
        breakBand_ = band;
        // Below the headers the new page repeats, it needs its height.
        const Saved<double> savedNeed(repeatNeed_);
        repeatNeed_ = need;
        const Saved<bool> savedStart(startNewPageBreak_);
        startNewPageBreak_ = true;
        NewPage();
    };
    const bool cross = crossed_.contains(band) && !crossBand_;
    // A band that grows needs more than its design height below the headers
    // the new page repeats: it is measured first, then breaks the page.
    bool measureFirst = false, startsPage = false;
    if (flows && !showingHeaders_ && band->StartNewPage()) {
        const bool atTop = CurY <= columnStartY_ + 0.0001 && !titleOnPage_;
        const bool firstLine = (is<TlyrDataBand>(band) || is<TlyrGroupHeader>(band)) && bandLine_.value(band, 1) == 1;
        if (!atTop && !firstLine) {
            startsPage = true;
            // (Rows printed on it by its subreports make it grow too.)
            const bool grows = band->Stretched() || std::any_of(band->Objects().begin(), band->Objects().end(), [](TlyrComponent *c) {
                                   auto *s = qobject_cast<TlyrSubreport *>(c);
                                   return s && s->Visible() && s->PrintOnParent();
                               });
            measureFirst = grows && !cross &&
                           std::any_of(headerList_.begin(), headerList_.end(),
                                       [&](TlyrBand *h) { return h && h != band && repeatsOnNewPage(h); });
        }
    }
    TlyrBand *savedBand = CurBand;
    CurBand = band;
    // Repeated headers are no new output of their band; group headers carry
    // the number of their group instead.
    if (!showingHeaders_ && !qobject_cast<TlyrGroupHeader *>(band)) ++band->EngineCounter;
    Report->CurObject = band->Name();
    band->BeforePrint();
    QList<TlyrReportComponent *> views;
    for (TlyrComponent *c : band->Objects())
        if (auto *v = qobject_cast<TlyrReportComponent *>(c)) views << v;
    struct Finish {
        TlyrEngine *e;
        TlyrBand *band;
        QList<TlyrReportComponent *> prepared;
        TlyrBand *saved;
        // Objects beyond this count are output copies the band only carried.
        qsizetype own = -1;
        ~Finish()
        {
            // Runs whether or not output failed, so templates are restored;
            // only objects that were prepared have something to restore.
            if (own >= 0)
                while (band->Objects().size() > own) delete band->Objects().last();
            for (TlyrReportComponent *v : prepared) v->AfterPrint();
            band->AfterPrint();
            e->CurBand = saved;
        }
    } finish{this, band, {}, savedBand};
    Report->DoBeforePrint(band);
    // Only a band that prints starts a page: its own events decide that for
    // this record (left as the last record's script set it, the visibility
    // would break pages for hidden bands, and differently in each pass).
    if (startsPage && band->Visible() && !measureFirst) breakPage(band->Height());
    // A band that moves, or its parts, land on later pages than it is
    // prepared on: it prints the page numbers of where it lands.
    struct Splittable {
        bool &flag, saved;
        ~Splittable() { flag = saved; }
    } splittable{splittable_, splittable_};
    if (flows) splittable_ = true;
    // A crossed band first collects its cells from the vertical bands; its
    // width breaks are kept apart from those of a crossed header that a
    // break before it reprints.
    std::vector<qsizetype> crossBreaks;
    if (cross && band->Visible()) {
        finish.own = band->Objects().size();
        startCross(band);
        crossBreaks = widthBreaks_;
    }
    if (!band->Visible()) {
        // Totals flagged to count invisible records still see this one.
        if (auto *d = qobject_cast<TlyrDataBand *>(band)) Aggregates.AddValue(d);
        // A footer hidden by its script still closes its totals: the next
        // one shown counts only its own records.
        Aggregates.Reset(band);
        return true;
    }
    // Its height without what its subreports printed into it: shown again,
    // it takes that.
    double ownHeight = band->Height();
    auto prepareViews = [&] {
        for (TlyrReportComponent *v : views) {
            Report->CurObject = v->Name();
            v->BeforePrint();
            finish.prepared << v;
            Report->DoBeforePrint(v);
            if (!v->Visible()) continue;
            v->GetData();
            Report->DoNotifyEvent(v, v->OnAfterData());
        }
        // A crossed row grows with its own objects, not with its cells.
        if (band->Stretched()) stretchBand(band, cross ? finish.own : -1);
        ownHeight = band->Height();
        // The copies of what print-on-parent subreports printed belong to
        // this output only: they are freed when the band is finished, or
        // when it is prepared again on the page it moves to.
        // A header shown again prints its own objects; what its subreports
        // printed belongs to the place it was first shown.
        if (!popTarget_ && !cross && !again) {
            finish.own = band->Objects().size();
            // The band holds the rows they printed, stretched or not: what
            // follows it starts below them.
            if (!collectPrintOnParent(band, views))
                finish.own = -1;
            else
                fitHeight(band);
        }
    };
    // Moved, the band keeps what it prepared (its events ran once); only a
    // value left empty as a repeat is taken again, to show on the new page.
    auto showRepeats = [&] {
        bool again = false;
        for (TlyrReportComponent *v : views) {
            auto *m = qobject_cast<TlyrCustomMemoView *>(v);
            if (!m || !m->SuppressedRepeat()) continue;
            m->ResetSuppress();
            m->AfterPrint();
            Report->CurObject = m->Name();
            m->BeforePrint();
            Report->DoBeforePrint(m);
            if (!m->Visible()) continue;
            m->GetData();
            Report->DoNotifyEvent(m, m->OnAfterData());
            again = true;
        }
        if (again && band->Stretched()) stretchBand(band);
    };
    prepareViews();
    Report->DoNotifyEvent(band, band->OnAfterCalcHeight());
    // How far down the band must fit for it to start where it is: the first
    // line of its highest object.
    auto firstLine = [&] {
        double line = band->Height();
        for (TlyrReportComponent *v : views)
            if (v->Visible() && !qobject_cast<TlyrSubreport *>(v))
                line = std::min(line, v->Top() + std::min(v->Height(), kFirstLine));
        return line;
    };
    if (measureFirst) {
        // One that may split needs its first line there, a record of a
        // multi-column band (never cut) all of it.
        auto *d = qobject_cast<TlyrDataBand *>(band);
        const bool splits = band->AllowSplit() && !(d && d->Columns() >= 2);
        breakPage(splits ? firstLine() : band->Height());
        showRepeats();
    }
    // A header repeated in a new column leaves room for the band that moved
    // there: one that may split prints only its first part, cut where that
    // room begins; another is left out. The band never runs off the page
    // for a header it repeats.
    double cut = -1;
    if (showingHeaders_ && !pageBand && repeatNeed_ > 0 && band->Height() + repeatNeed_ > FreeSpace() + 0.0001 &&
        repeatNeed_ <= FreeSpace() + 0.0001) {
        cut = FreeSpace() - repeatNeed_;
        if (!band->AllowSplit() || cross || firstLine() > cut + 0.0001) return false;
    }
    // A band taller than the column's room moved here: a header that would
    // run on into the next column would take that column from it too.
    if (showingHeaders_ && !pageBand && repeatNeed_ > FreeSpace() + 0.0001 && band->AllowSplit() && !cross &&
        band->Height() > FreeSpace() + 0.0001)
        return false;
    // Nor does a header repeated where it does not fit at all: it is left
    // out (one that may split flows, and splits).
    if (cut < 0 && repeated && !pageBand && !cross && band->Height() > FreeSpace() + 0.0001) return false;
    bool split = cut >= 0;
    // A band splits when it may; and a stretched one, or one holding what
    // print-on-parent subreports printed, that grew taller than an empty
    // column splits too: whole, it would run off the page and lose the rest.
    auto mayCut = [&](bool rowRecord) {
        return !cross && !rowRecord && (band->Stretched() || finish.own >= 0) && !CurPage->EndlessHeight;
    };
    // The room of an empty column, the headers it repeats cut or left out to
    // make room for a band that moves there: one that may not split goes
    // there whole when it fits. A title above this one leaves more on the
    // next page.
    auto emptyRoom = [&] { return PageHeight - FooterHeight() - columnStartY_ + titleRun_; };
    auto mustSplit = [&](bool rowRecord) {
        if (cross || rowRecord) return false;
        if (band->AllowSplit()) return true;
        if (!mayCut(rowRecord)) return false;
        return band->Height() > std::max(atColumnTop() ? FreeSpace() : columnRoom() + titleRun_, emptyRoom()) + 0.0001;
    };
    if (flows && !split) {
        // A record beside the first of its row goes with the row, which
        // moves as a whole when it does not fit.
        auto *rowBand = qobject_cast<TlyrDataBand *>(band);
        // (A child band a break left alone at a column's top is in no row.)
        bool inRow = (rowBand && rowBand->Columns() >= 2 && rowBand->CurColumn() > 1) ||
                     (rowChildren_ && !rowBand && rowBreaks_ == breaks_);
        // A child band that would make its row taller than the room the row
        // finds when it moves on cannot go along whole: it goes on in the
        // next column as the children of a row's first record do.
        if (inRow && !rowBand && band->Height() > FreeSpace() + 0.0001 && rowOutgrows(band)) {
            inRow = false;
            // What the row holds already below the column's foot moves on
            // first, and the band goes on under its record there.
            if (std::max(CurY, rowBottom_) > PageHeight - FooterHeight() + 0.0001) moveRow();
        }
        // A record of a multi-column band moves whole with its row: it is
        // never cut.
        const bool rowRecord = rowBand && rowBand->Columns() >= 2;
        // A crossed row needs the room it takes lower on its pages in width.
        const double widthShift = cross ? widthShift_.value(Pages()->CurPage) : 0;
        if (band->Height() + widthShift > FreeSpace() + 0.0001 && !inRow) {
            // A band that may split but of which not even the first object
            // fits here starts in the next column, prepared there, like a
            // band that may not split.
            const bool startsHere = firstLine() <= FreeSpace() + 0.0001;
            // What the band needs of the next column below its headers.
            const bool splits = mustSplit(rowRecord);
            // An open keep block that a break moves whole takes a band that
            // may split along, uncut, when the new column holds both.
            const double along = splits ? keptAlong(band, band->Height()) : 0;
            bool takesAlong = splits && !atColumnTop() &&
                              keepMovesWith(along, titleRun_ > 0.0001 && along > columnRoom() + 0.0001);
            auto needs = [&] {
                if (takesAlong) return along;
                return splits ? firstLine() : band->Height() + (cross ? widthShift_.value(Pages()->CurPage) : 0);
            };
            if (splits && !takesAlong && (startsHere || atColumnTop())) {
                split = true;
            } else {
                // Again only while a further break would give more room: a
                // kept block that moved along filled the new column, or the
                // report title stands above it. A band taller than an empty
                // column prints in the first column after the one it did not
                // fit, not after columns that hold only headers.
                const int most = std::max(CurPage->Columns(), 1) + 1;
                // Below headers repeated at a column's top, a band that an
                // empty column holds moves on: there they make room for it.
                auto underRepeats = [&] {
                    return !splits && CurY > columnStartY_ + 0.0001 && needs() <= emptyRoom() + 0.0001;
                };
                for (int tries = 0; tries < most && (!atColumnTop() || underRepeats()) && needs() > FreeSpace() + 0.0001;
                     ++tries) {
                    const Saved<TlyrBand *> breakBand(breakBand_);
                    const Saved<double> need(repeatNeed_);
                    breakBand_ = band;
                    // A band that may split needs room for its first line.
                    repeatNeed_ = needs();
                    nextColumnFor(needs());
                    takesAlong = false;
                    if (!cross) showRepeats();
                }
                // Moved on, a band that may split still may; so does one that
                // grows, where no column made room for it whole.
                if (mustSplit(rowRecord) || mayCut(rowRecord)) split = band->Height() > FreeSpace() + 0.0001;
            }
        }
        // A record that starts a new page or column starts its first column
        // too, unless it follows a kept block that moved along.
        auto *data = qobject_cast<TlyrDataBand *>(band);
        if (breaks_ != breaks && data && data->Columns() >= 2 && CurY <= columnStartY_ + 0.0001)
            data->SetCurColumn(1);
        // One that follows its open row, which the block took along, goes
        // beside it there.
        // (Its child bands, shown after it, leave that as the record set it.)
        if (data && data->Columns() >= 2) {
            besideMovedRow_ = breaks_ != breaks && data->CurColumn() > 1 && movedRow_.Top >= 0;
            if (besideMovedRow_) CurY = movedRow_.Top;
        }
    }
    if (is<TlyrReportTitle>(band)) titleOnPage_ = true;
    // Placed, a run's closing footer ends its header's repeats: the pages
    // and columns its subreports run on to print no header above them.
    auto closeRun = [&] {
        if (band == closingFooter_ && closingHeader_) closeHeader(closingHeader_, Pages()->GetCurPosition() - 1);
    };
    // A record counts for the page and column it is placed on, not for
    // those its subreports run on to.
    auto countRecord = [&] {
        auto *d = qobject_cast<TlyrDataBand *>(band);
        if (!d) return;
        const Saved<int> at(Aggregates.RecordInKeep);
        if (keeping_) Aggregates.RecordInKeep = Pages()->GetCurPosition() - 1 - keepPos_;
        Aggregates.AddValue(d);
    };
    if (band == headerPlaced_.Band && headerPlaced_.Pos < 0)
        headerPlaced_ = {band, Pages()->GetCurPosition(), breaks_, CurX};
    if (split) {
        // What print-on-parent subreports printed into the band is split
        // with its own objects.
        QList<TlyrReportComponent *> pieces;
        for (TlyrComponent *c : band->Objects())
            if (auto *v = qobject_cast<TlyrReportComponent *>(c)) pieces << v;
        // Shown again whole, it takes the height it was prepared with.
        if (!showingHeaders_ && repeatsOnNewPage(band)) shownHeight_[band] = ownHeight;
        splitBand(band, pieces, cut);
        // Subreports are never cut: they run beside the band's last part.
        closeRun();
        countRecord();
        if (!again) showSubreports(band, views);
    } else {
        // A multi-column data band sits at its column's place.
        auto *data = qobject_cast<TlyrDataBand *>(band);
        const bool columns = data && data->Columns() >= 2;
        columnLeft_ = columns ? band->Left() : 0;
        band->SetLeft(CurX + columnLeft_);
        band->SetTop(CurY);
        if (columns) {
            rowTop_ = CurY;
            rowBreaks_ = breaks_;
            rowStart_ = Pages()->GetCurPosition();
        }
        if (popTarget_) {
            copyToPrintOnParent(band);
        } else if (cross) {
            widthBreaks_ = crossBreaks;
            outputCrossBand(band);
        } else if (!(is<TlyrNullBand>(band) && band->Height() <= 0 && band->Objects().isEmpty())) {
            // An empty null band is not stored.
            Pages()->AddObject(band);
            if (keeping_) keepTallest_ = std::max(keepTallest_, band->Height());
        }
        if (!is<TlyrOverlay>(band)) CurY += band->Height();
        if (!showingHeaders_ && flows) noteHeadsTop(band);
        if (!showingHeaders_ && repeatsOnNewPage(band)) shownHeight_[band] = ownHeight;
        closeRun();
        countRecord();
        if (!popTarget_ && !again) showSubreports(band, views);
    }
    Report->DoAfterPrint(band);
    for (TlyrReportComponent *v : views) Report->DoAfterPrint(v);
    Aggregates.Reset(band);
    return true;
}
