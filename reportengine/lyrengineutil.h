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

// Gives a variable back the value it had, when the scope ends (also when an
// exception passes).
template <class T>
class Saved {
public:
    explicit Saved(T &ref) : ref_(ref), saved_(ref) {}
    ~Saved() { ref_ = saved_; }
    Saved(const Saved &) = delete;
    Saved &operator=(const Saved &) = delete;

private:
    T &ref_;
    T saved_;
};

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

inline void compact(std::vector<TlyrBand *> &list)
{
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
}

}  // namespace lyrengine
