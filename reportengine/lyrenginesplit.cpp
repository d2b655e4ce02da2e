// Bands printed in parts over columns and pages.

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

// Places a band taller than the free space in parts, column after column:
// what fits goes into the part; a stretchable object that reaches past the
// boundary prints what fits (a text its lines, a line its length) and
// continues in the next part; other objects that reach past it move below
// it with everything under them. Bottom-aligned objects sit at the bottom
// of the last part and objects of the largest height reach the bottom of
// each part: neither makes a part of its own.
void TlyrEngine::splitBand(TlyrBand *band, const QList<TlyrReportComponent *> &views, double only)
{
    struct Piece {
        TlyrReportComponent *View;
        bool Visible;
        TlyrStretcheable *Stretch;
        TlyrCustomMemoView *Text;
        double Rest;
    };
    std::vector<Piece> all;
    std::vector<size_t> pending;
    std::set<size_t> bottoms, reaching;
    for (TlyrReportComponent *v : views) {
        auto *stretch = qobject_cast<TlyrStretcheable *>(v);
        all.push_back({v, v->Visible(), stretch, qobject_cast<TlyrCustomMemoView *>(v), v->Height()});
        if (!v->Visible() || qobject_cast<TlyrSubreport *>(v)) continue;
        if (stretch) stretch->InitPart();
        auto *view = qobject_cast<TlyrView *>(v);
        if (view && view->Align() == baBottom)
            bottoms.insert(all.size() - 1);
        else if (stretch && stretch->StretchMode() == smMaxHeight)
            reaching.insert(all.size() - 1);
        pending.push_back(all.size() - 1);
    }
    auto follows = [&](size_t i) { return bottoms.count(i) > 0 || reaching.count(i) > 0; };
    std::stable_sort(pending.begin(), pending.end(),
                     [&](size_t a, size_t b) { return all[a].View->Top() < all[b].View->Top(); });
    // Moves what lies below bottom, beside the object, down by d; each
    // object once a part.
    std::set<size_t> moved;
    auto moveBelow = [&](size_t from, double bottom, double d) {
        const TlyrReportComponent *o = all[from].View;
        for (size_t i : pending) {
            TlyrReportComponent *v = all[i].View;
            if (i == from || moved.count(i) || v->Top() < bottom - 0.0001) continue;
            if (v->Left() >= o->Left() + o->Width() - 0.0001 || o->Left() >= v->Left() + v->Width() - 0.0001) continue;
            v->SetTop(v->Top() + d);
            moved.insert(i);
        }
    };
    double space = only >= 0 ? only : FreeSpace();
    // When nothing fits a column this split began, nothing ever will; unless
    // a kept block came along and took room: then the space of a column
    // that took nothing decides.
    bool fresh = false;
    double emptySpace = -1;
    while (!Report->Terminated()) {
        moved.clear();
        std::vector<size_t> part;
        const bool atTop = atColumnTop();
        for (size_t k = 0; k < pending.size();) {
            const size_t i = pending[k];
            Piece &p = all[i];
            TlyrReportComponent *v = p.View;
            const double top = v->Top(), bottom = top + v->Height();
            if (follows(i)) {
                ++k;
                continue;
            }
            if (bottom <= space + 0.0001) {
                part.push_back(i);
                if (p.Stretch) p.Stretch->DrawPart();
                pending.erase(pending.begin() + std::ptrdiff_t(k));
                continue;
            }
            if (top < space) {
                if (!p.Stretch && top <= 0.0001 && (atTop || fresh)) {
                    // Taller than a whole column: it prints cut off here.
                    v->SetHeight(space - top);
                    part.push_back(i);
                    pending.erase(pending.begin() + std::ptrdiff_t(k));
                    continue;
                }
                if (!p.Stretch) {
                    moveBelow(i, bottom, space - top);
                    v->SetTop(space);
                } else {
                    v->SetHeight(space - top);
                    const double unused = p.Stretch->DrawPart();
                    if (p.Text && p.Text->PartEmpty()) {
                        // The last of the text ends in this part (its height
                        // was only a measure): what lies below follows it.
                        v->SetHeight(std::max(0.0, space - top - unused));
                        moveBelow(i, bottom, top + v->Height() - bottom);
                        if (v->Height() > 0) part.push_back(i);
                        pending.erase(pending.begin() + std::ptrdiff_t(k));
                        continue;
                    }
                    moveBelow(i, bottom, unused);
                    if (std::fabs(unused - v->Height()) >= 0.0001) {
                        part.push_back(i);
                        p.Rest -= v->Height() - unused;
                    } else {
                        // Not a line fits: all of it waits for the next part.
                        v->SetTop(space);
                        v->SetHeight(p.Rest);
                    }
                }
            }
            ++k;
        }
        bool stuck = false;
        if (part.empty() && !std::all_of(pending.begin(), pending.end(), follows)) {
            stuck = atTop || fresh || space <= emptySpace + 0.0001;
            emptySpace = std::max(emptySpace, space);
        }
        if (stuck) {
            // Nothing fits even a fresh page: the rest prints clipped here.
            for (size_t i : pending) {
                TlyrReportComponent *v = all[i].View;
                if (all[i].Text) all[i].Text->SetText(all[i].Text->PartRest());
                v->SetTop(std::max(0.0, std::min(v->Top(), space)));
                v->SetHeight(std::max(0.0, std::min(v->Height(), space - v->Top())));
                part.push_back(i);
            }
            pending.clear();
        }
        const bool last = std::all_of(pending.begin(), pending.end(), follows);
        double height = 0;
        for (size_t i : part) height = std::max(height, all[i].View->Top() + all[i].View->Height());
        if (last) {
            // The bottom of the last part, below what went along with the
            // text; bottom-aligned objects sit on it.
            for (size_t i : pending) {
                TlyrReportComponent *v = all[i].View;
                if (bottoms.count(i))
                    height = std::max(height, std::min(v->Top() + v->Height(), std::max(space, v->Height())));
                else
                    height = std::max(height, std::min(v->Top(), space));
            }
            for (size_t i : pending) {
                TlyrReportComponent *v = all[i].View;
                if (bottoms.count(i)) v->SetTop(std::max(0.0, height - v->Height()));
                part.push_back(i);
            }
            pending.clear();
        } else if (!part.empty()) {
            // A line beside the text goes down to this part's bottom.
            for (size_t i : pending)
                if (reaching.count(i) && all[i].View->Top() < height - 0.0001) part.push_back(i);
        }
        for (size_t i : part)
            if (reaching.count(i) || (last && all[i].Stretch && all[i].Stretch->StretchMode() == smMaxHeight))
                all[i].View->SetHeight(std::max(0.0, height - all[i].View->Top()));
        if (!part.empty()) {
            for (Piece &p : all) p.View->SetVisible(false);
            for (size_t i : part) all[i].View->SetVisible(all[i].Visible);
            band->SetHeight(height);
            band->SetLeft(CurX);
            band->SetTop(CurY);
            Pages()->AddObject(band);
            if (keeping_) keepTallest_ = std::max(keepTallest_, height);
        }
        // The column footer goes below the part.
        CurY += part.empty() ? 0 : height;
        if (last || only >= 0) break;
        const bool carries = keeping_;
        {
            // The next part needs about a line below the headers repeated
            // in the new column.
            const Saved<double> need(repeatNeed_);
            // The parts already placed fit where they are: the block
            // around them stays, unless a new page holds it with the rest.
            const Saved<bool> splitting(splitBreak_);
            splitBreak_ = true;
            const Saved<double> rest(splitRest_);
            splitRest_ = 0;
            // A text that goes on at the part's top needs its own first
            // line there, which may be less than the usual line.
            double textLine = -1;
            for (size_t i : pending) {
                const TlyrReportComponent *v = all[i].View;
                const bool goesOn = all[i].Stretch && all[i].Rest > 0 && !follows(i);
                const double top = goesOn ? std::max(v->Top() - space, 0.0) : v->Top() - space;
                splitRest_ = std::max(splitRest_, top + (goesOn ? all[i].Rest : v->Height()));
                if (goesOn && all[i].Text && top <= 0.0001) {
                    const double line = std::min(all[i].Rest, all[i].Text->LineRoom());
                    textLine = textLine < 0 ? line : std::max(textLine, line);
                }
            }
            // (A rest shorter than a line needs no more than itself.)
            repeatNeed_ = splitRest_ > 0 ? std::min(kFirstLine, splitRest_) : kFirstLine;
            if (textLine > 0) repeatNeed_ = std::min(repeatNeed_, textLine);
            splitRest_ = keptAlong(band, splitRest_);
            nextColumnFor(repeatNeed_);
        }
        fresh = !carries;
        for (size_t i : pending) {
            TlyrReportComponent *v = all[i].View;
            v->SetTop(v->Top() - space);
            if ((all[i].Stretch && all[i].Rest > 0) || reaching.count(i)) {
                v->SetTop(std::max(v->Top(), 0.0));
                v->SetHeight(all[i].Rest);
            }
        }
        space = FreeSpace();
    }
    for (Piece &p : all) p.View->SetVisible(p.Visible);
}
