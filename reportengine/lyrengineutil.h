#pragma once
// Small helpers the engine's steps share.

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdmpclass.h"
#include "report/lyrmemo.h"
#include "report/lyrres.h"

#include <algorithm>
#include <vector>

namespace lyrengine {

// How much of an object must fit for a split band to start where it is:
// about a line of text.
constexpr double kFirstLine = 20;

inline QString res(const char *id)
{
    return lyrResources().Get(QString::fromLatin1(id));
}

template <class T>
bool is(const TlyrBand *b)
{
    return b && qobject_cast<const T *>(b) != nullptr;
}

// The line a dot-matrix text's bottom frame line is printed on.
inline double dmpBottomLine(const TlyrComponent *c)
{
    auto *m = qobject_cast<const TlyrDMPMemoView *>(c);
    return m && (m->Frame()->Typ() & ftBottom) ? lyrCharY : 0;
}

inline void resetSuppress(const TlyrBand *b)
{
    for (TlyrComponent *c : b->Objects())
        if (auto *m = qobject_cast<TlyrCustomMemoView *>(c)) m->ResetSuppress();
}

inline bool repeatsOnNewPage(const TlyrBand *b)
{
    if (auto *h = qobject_cast<const TlyrHeader *>(b)) return h->ReprintOnNewPage;
    if (auto *g = qobject_cast<const TlyrGroupHeader *>(b)) return g->ReprintOnNewPage;
    return false;
}

// The height a header takes when it is repeated: with the child bands
// printed after it.
inline double repeatedHeight(const TlyrBand *b)
{
    double h = 0;
    int chain = 0;
    for (const TlyrBand *c = b; c && chain++ < 64; c = c->Child()) {
        if (c->Visible()) h += c->Height();
        if (!c->Visible() && !c->PrintChildIfInvisible()) break;
    }
    return h;
}

inline void compact(std::vector<TlyrBand *> &list)
{
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
}

}  // namespace lyrengine
