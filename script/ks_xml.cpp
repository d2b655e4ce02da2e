#include "script/ks_xml.h"

#include <memory>

#include "platform/safefile.h"
#include "script/ks_budget.h"
#include "script/ks_limits.h"
#include "script/ksvalue.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QMutex>

#include <algorithm>
#include <new>

namespace {

KsError FormatError()
{
    return KsError(QStringLiteral("Invalid file format"));
}
}  // namespace

// ---- item -------------------------------------------------------------------------------

void (*ksXMLItemGone)(TksXMLItem *item) = nullptr;

// ---- text -------------------------------------------------------------------------------

const QString &TksXMLText::Empty()
{
    // Kept for the process: items freed late still read their texts.
    static const QString *const empty = new QString;
    return *empty;
}

void TksXMLText::Release()
{
    if (Owned()) delete Ptr();
    FText = 0;
}

TksXMLText &TksXMLText::operator=(const QString &s)
{
    if (s.isEmpty()) {
        Release();
    } else if (Owned()) {
        *const_cast<QString *>(Ptr()) = s;
    } else {
        auto *own = new QString(s);
        FText = reinterpret_cast<quintptr>(own) | 1;
    }
    return *this;
}

TksXMLText &TksXMLText::operator=(QString &&s)
{
    if (s.isEmpty()) {
        Release();
    } else if (Owned()) {
        *const_cast<QString *>(Ptr()) = std::move(s);
    } else {
        auto *own = new QString(std::move(s));
        FText = reinterpret_cast<quintptr>(own) | 1;
    }
    return *this;
}

void TksXMLText::Borrow(const QString *kept)
{
    Release();
    if (kept && !kept->isEmpty()) FText = reinterpret_cast<quintptr>(kept);
}

QString &TksXMLText::Edit()
{
    if (!Owned()) {
        // a kept text may be raw data of its arena: the copy is deep
        auto *own = FText ? new QString(Ptr()->constData(), Ptr()->size()) : new QString;
        FText = reinterpret_cast<quintptr>(own) | 1;
    }
    return *const_cast<QString *>(Ptr());
}

namespace {
// Data and Handle of the items that have them, by item and kind.
struct ksXMLAside {
    QMutex Lock;
    QHash<QPair<const TksXMLItem *, bool>, void *> Values;
};
ksXMLAside &Aside()
{
    static auto *aside = new ksXMLAside;  // items may outlive static destruction
    return *aside;
}
}  // namespace

void *TksXMLItem::Aside(const TksXMLItem *item, bool handle)
{
    ksXMLAside &a = ::Aside();
    const QMutexLocker lock(&a.Lock);
    return a.Values.value({item, handle});
}

void TksXMLItem::SetAside(bool handle, void *value)
{
    if (!value && !FItems.Marked(TksXMLItemList::kAside)) return;
    ksXMLAside &a = ::Aside();
    const QMutexLocker lock(&a.Lock);
    if (value)
        a.Values.insert({this, handle}, value);
    else
        a.Values.remove({this, handle});
    FItems.Mark(TksXMLItemList::kAside, a.Values.contains({this, false}) || a.Values.contains({this, true}));
}

TksXMLItem::~TksXMLItem()
{
    if (ksXMLItemGone && Handle()) ksXMLItemGone(this);
    SetData(nullptr);
    SetHandle(nullptr);
    Clear();
    Detach();
}

TksXMLItemList::Head *TksXMLItemList::Grow(size_t capacity)
{
    const size_t size = this->size();
    if (capacity > kMaxCapacity) {
        if (size >= kMaxCapacity) throw std::bad_alloc();
        capacity = kMaxCapacity;
    }
    auto *h = static_cast<Head *>(::operator new(sizeof(Head) * RoomFor(capacity)));
    auto *place = reinterpret_cast<TksXMLItem **>(h + 1);
    for (size_t i = 0; i < size; ++i) place[i] = (*this)[i];
    Release();
    *h = Head{quint32(size), quint32(capacity), 1};
    FBits |= reinterpret_cast<quintptr>(h);
    return h;
}

void TksXMLItemList::Release()
{
    if (Head *h = Array(); h && h->Owned) ::operator delete(h);
    FBits &= kMarks;
}

void TksXMLItemList::Adopt(TksXMLItem **place, size_t n)
{
    const Head *h = Array();
    if (size() != 0 || n <= (h ? size_t(h->Room) : 1) || n > kMaxCapacity) return;
    Release();
    auto *head = reinterpret_cast<Head *>(place);
    *head = Head{0, quint32(n), 0};
    FBits |= reinterpret_cast<quintptr>(head);
}

void TksXMLItemList::insert(size_t at, TksXMLItem *item)
{
    push_back(item);
    if (FBits & kLone) return;
    TksXMLItem **place = Slots();
    const size_t n = Array()->Size;
    std::rotate(place + at, place + n - 1, place + n);
}

void TksXMLItemList::remove(TksXMLItem *item)
{
    if (FBits & kLone) {
        if ((*this)[0] == item) FBits &= kMarks;
        return;
    }
    if (Head *h = Array()) h->Size = quint32(std::remove(Slots(), Slots() + h->Size, item) - Slots());
}

void TksXMLItemList::pop_back()
{
    if (FBits & kLone)
        FBits &= kMarks;
    else
        --Array()->Size;
}

void TksXMLItem::Detach()
{
    if (FItems.Marked(TksXMLItemList::kInArena)) return;
    if (FParent) FParent->FItems.remove(this);
    FParent = nullptr;
}

void TksXMLItem::Reserve(int n)
{
    if (n <= 0) return;
    if (TksXMLArena *arena = Arena()) {
        if (n == 1) return;  // a lone child needs no room
        TksXMLItem **place = arena->Pointers(TksXMLItemList::RoomFor(size_t(n)));
        FItems.Adopt(place, size_t(n));
        if (FItems.ArrayPlace() == place) arena->FPointers.Hold(place);
    }
    else
        FItems.reserve(size_t(n));
}

void TksXMLItem::Clear()
{
    // Children are let go first, so that none searches this list when freed.
    TksXMLItemList items;
    items.swap(FItems);
    const size_t n = items.size();
    if (n == 0) return;
    // Descendants are freed from a list of their own, each with its children
    // let go before: a tree a script builds may be far deeper than the stack.
    std::vector<TksXMLItem *> pending;
    auto letGo = [&pending](const TksXMLItemList &list, size_t count) {
        for (size_t k = count; k-- > 0;)
            if (TksXMLItem *i = list[k]) {
                i->SetParent(nullptr);
                pending.push_back(i);
            }
    };
    letGo(items, n);
    while (!pending.empty()) {
        TksXMLItem *i = pending.back();
        pending.pop_back();
        const size_t m = i->FItems.size();
        letGo(i->FItems, m);
        for (size_t k = 0; k < m; ++k) i->FItems.Forget(k);  // its room stays, for the arena to take back
        if (TksXMLArena *arena = i->Arena())
            arena->Free(i);
        else
            delete i;
    }
}

void TksXMLItem::FreeItem(int i)
{
    TksXMLItem *item = FItems[size_t(i)];
    if (!item) return;
    FItems.Forget(size_t(i));
    item->SetParent(nullptr);
    if (TksXMLArena *arena = item->Arena())
        arena->Free(item);
    else
        delete item;
}

namespace {
// Blocks stay under the heap's mmap threshold, so that one given back is
// reused by the next allocations instead of returned to the system.
constexpr size_t kArenaBlockBytes = size_t(1) << 15;
constexpr size_t kArenaBlockHead = 16;  // the arena, the count of live items
// the intermediate code holds some 20 items a line
static_assert(sizeof(TksXMLItem) == 4 * sizeof(void *));
static_assert(kArenaBlockHead % alignof(TksXMLItem) == 0 && kArenaBlockHead >= sizeof(void *) + sizeof(int));
constexpr int kArenaBlockItems = int((kArenaBlockBytes - kArenaBlockHead) / sizeof(TksXMLItem));
constexpr std::align_val_t kArenaAlign{kArenaBlockBytes};
}  // namespace

TksXMLArena::~TksXMLArena()
{
    for (char *b : FBlocks) ::operator delete(b, kArenaAlign);
}

char *TksXMLArena::BlockOf(const TksXMLItem *item)
{
    return reinterpret_cast<char *>(reinterpret_cast<quintptr>(item) & ~quintptr(kArenaBlockBytes - 1));
}

TksXMLArena *TksXMLItem::Arena() const
{
    return FItems.Marked(TksXMLItemList::kInArena) ? *reinterpret_cast<TksXMLArena *const *>(TksXMLArena::BlockOf(this))
                                                   : nullptr;
}

TksXMLItem *TksXMLArena::Make()
{
    TksXMLItem *item;
    if (FFree) {
        void *place = FFree;
        FFree = *static_cast<void **>(place);
        item = new (place) TksXMLItem;
        ++Live(BlockOf(item));
    } else {
        if (!FLast || FUsed == kArenaBlockItems) {
            ksChargeRun(kArenaBlockBytes);  // a compiler's intermediate code is its run's memory
            FLast = static_cast<char *>(::operator new(kArenaBlockBytes, kArenaAlign));
            *reinterpret_cast<TksXMLArena **>(FLast) = this;
            Live(FLast) = 0;
            FBlocks.insert(std::upper_bound(FBlocks.begin(), FBlocks.end(), FLast), FLast);
            FUsed = 0;
        }
        item = new (reinterpret_cast<TksXMLItem *>(FLast + kArenaBlockHead) + FUsed++) TksXMLItem;
        ++Live(FLast);
    }
    item->FItems.Mark(TksXMLItemList::kInArena, true);
    item->FPlaces = {-1, -1};
    return item;
}

void TksXMLArena::GiveBackBlocks()
{
    FGiveBack = true;
    FFree = nullptr;
    std::fill(std::begin(FRecent), std::end(FRecent), QStringView());
    FChars.Sweep();
    FPointers.Sweep();
}

TksXMLArena::Kept::~Kept()
{
    for (const Block &b : FBlocks) ::operator delete(b.Begin);
}

TksXMLArena::Kept::Block *TksXMLArena::Kept::Find(const void *p)
{
    const char *at = static_cast<const char *>(p);
    if (!at || FBlocks.empty()) return nullptr;
    // items are held and let go mostly in the order they were made
    if (FHint < FBlocks.size() && at >= FBlocks[FHint].Begin && at < FBlocks[FHint].Begin + FBlocks[FHint].Bytes)
        return &FBlocks[FHint];
    auto it = std::upper_bound(FBlocks.begin(), FBlocks.end(), at,
                               [](const char *a, const Block &b) { return a < b.Begin; });
    if (it == FBlocks.begin()) return nullptr;
    --it;
    if (at >= it->Begin + it->Bytes) return nullptr;
    FHint = size_t(it - FBlocks.begin());
    return &*it;
}

void *TksXMLArena::Kept::Take(size_t bytes, size_t blockBytes)
{
    if (bytes > FLeft) {
        const size_t size = std::max(blockBytes, bytes);
        ksChargeRun(qint64(size));
        FCurrent = static_cast<char *>(::operator new(size));  // filled as room is asked, not cleared first
        FBlocks.insert(std::upper_bound(FBlocks.begin(), FBlocks.end(), FCurrent,
                                        [](const char *a, const Block &b) { return a < b.Begin; }),
                       Block{FCurrent, size, 0});
        FLeft = size;
    }
    // blocks are filled from their end, so the current block's free room is its start
    FLeft -= bytes;
    return FCurrent + FLeft;
}

void TksXMLArena::Kept::Hold(const void *p)
{
    if (Block *b = Find(p)) ++b->Live;
}

void TksXMLArena::Kept::Release(const void *p, bool giveBack)
{
    Block *b = Find(p);
    if (!b) return;
    if (--b->Live > 0 || !giveBack || b->Begin == FCurrent) return;
    ::operator delete(b->Begin);
    FBlocks.erase(FBlocks.begin() + (b - FBlocks.data()));
    FHint = 0;
}

const QString *TksXMLArena::Keep(QStringView s)
{
    return s.isEmpty() ? nullptr : &FKeptTexts.emplace_back(KeepChars(s));
}

QString TksXMLArena::KeepChars(QStringView s)
{
    if (!FGiveBack)  // (the blocks of kept texts stay until then)
        for (const QStringView &r : FRecent)
            if (r.size() == s.size() && !r.isEmpty() && r == s)
                return QString::fromRawData(reinterpret_cast<const QChar *>(r.utf16()), r.size());
    auto *at = static_cast<char16_t *>(FChars.Take(size_t(s.size()) * sizeof(char16_t), size_t(1) << 17));
    std::copy(s.utf16(), s.utf16() + s.size(), at);
    FRecent[FNextRecent++ % kRecentTexts] = QStringView(at, s.size());
    return QString::fromRawData(reinterpret_cast<const QChar *>(at), s.size());
}

const QString *TksXMLArena::Share(QStringView s)
{
    constexpr qsizetype kLongest = 64;  // longer texts are mostly one of a kind
    if (s.isEmpty()) return nullptr;
    if (s.size() > kLongest) return Keep(s);
    auto it = FSharedTexts.find(s);
    if (it == FSharedTexts.end()) {
        auto *at = static_cast<char16_t *>(FShared.Take(size_t(s.size()) * sizeof(char16_t), size_t(1) << 14));
        std::copy(s.utf16(), s.utf16() + s.size(), at);
        const QStringView key(at, s.size());
        it = FSharedTexts.emplace(key, QString::fromRawData(reinterpret_cast<const QChar *>(at), s.size())).first;
    }
    return &it->second;
}

TksXMLItem **TksXMLArena::Pointers(size_t n)
{
    return static_cast<TksXMLItem **>(FPointers.Take(n * sizeof(TksXMLItem *), size_t(1) << 17));
}

void TksXMLArena::Kept::Sweep()
{
    auto gone = std::remove_if(FBlocks.begin(), FBlocks.end(), [this](const Block &b) {
        if (b.Live > 0 || b.Begin == FCurrent) return false;
        ::operator delete(b.Begin);
        return true;
    });
    FBlocks.erase(gone, FBlocks.end());
    FHint = 0;
}

void TksXMLArena::Hold(const TksXMLItem *item)
{
    if (!item->Text.isEmpty()) FChars.Hold(item->Text.constData());
}

void TksXMLArena::Free(TksXMLItem *item)
{
    // its kept text and children's room go once it (and its children) are gone
    const void *text = item->Text.isEmpty() ? nullptr : item->Text.constData();
    const void *children = item->FItems.ArrayPlace();
    item->~TksXMLItem();
    FChars.Release(text, FGiveBack);
    FPointers.Release(children, FGiveBack);
    char *b = BlockOf(item);
    --Live(b);
    if (!FGiveBack) {
        *reinterpret_cast<void **>(item) = FFree;
        FFree = item;
    } else if (Live(b) == 0 && b != FLast) {
        FBlocks.erase(std::upper_bound(FBlocks.begin(), FBlocks.end(), b) - 1);
        ::operator delete(b, kArenaAlign);
    }
}

TksXMLItem *TksXMLItem::Add()
{
    auto *item = new TksXMLItem;
    AddItem(item);
    return item;
}

void TksXMLItem::AddItem(TksXMLItem *item)
{
    item->Detach();
    FItems.push_back(item);
    item->SetParent(this);
}

void TksXMLItem::InsertItem(int index, TksXMLItem *item)
{
    AddItem(item);
    auto &v = FItems;
    index = std::clamp(index, 0, int(v.size()) - 1);
    v.pop_back();
    v.insert(size_t(index), item);
}

int TksXMLItem::Find(const QString &name) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i) && Items(i)->Name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

TksXMLItem *TksXMLItem::FindItem(const QString &name)
{
    int i = Find(name);
    if (i >= 0) return Items(i);
    TksXMLItem *item = Add();
    item->Name = name;
    return item;
}

TksXMLItem *TksXMLItem::Root()
{
    TksXMLItem *p = this;
    while (TksXMLItem *up = p->Parent()) p = up;
    return p;
}

namespace {
// Index in Text of the attribute's name (after its leading blank), or -1.
// The name counts where a blank or the start of Text precedes it and =" follows.
int FindAttr(const QString &text, const QString &name)
{
    const qsizetype n = name.size();
    for (qsizetype i = 0; (i = text.indexOf(name, i, Qt::CaseInsensitive)) >= 0; ++i)
        if ((i == 0 || text[i - 1] == QLatin1Char(' ')) && i + n + 1 < text.size() && text[i + n] == QLatin1Char('=') &&
            text[i + n + 1] == QLatin1Char('"'))
            return int(i);
    return -1;
}
}  // namespace

int TksXMLItem::PlaceOf(const QString &name) const
{
    if (!FItems.Marked(TksXMLItemList::kInArena) || (FPlaces.Pos < 0 && FPlaces.Pos1 < 0)) return -1;
    const TksXMLArena *arena = Arena();
    if (!arena->PlaceText) return -1;
    if (name.size() == 3 && name.compare(QLatin1String("pos"), Qt::CaseInsensitive) == 0) return FPlaces.Pos;
    if (name.size() == 4 && name.compare(QLatin1String("pos1"), Qt::CaseInsensitive) == 0) return FPlaces.Pos1;
    return -1;
}

QString TksXMLItem::AttrText() const
{
    if (PlaceOf(QStringLiteral("pos")) < 0 && PlaceOf(QStringLiteral("pos1")) < 0) return Text;
    QString out = Text;
    char16_t buf[32];
    auto put = [&](const char *name, int place) {
        if (place < 0) return;
        if (!out.isEmpty()) out += QLatin1Char(' ');
        out += QLatin1String(name);
        out += QLatin1String("=\"");
        out.append(reinterpret_cast<const QChar *>(buf), Arena()->PlaceText(buf, place));
        out += QLatin1Char('"');
    };
    put("pos", FPlaces.Pos);
    put("pos1", FPlaces.Pos1);
    return out;
}

QStringView TksXMLItem::RawProp(const QString &name) const
{
    if (const int place = PlaceOf(name); place >= 0) {
        // two at a time may be held (a start and an end)
        thread_local char16_t buffers[2][32];
        thread_local unsigned next = 0;
        char16_t *buf = buffers[next++ & 1];
        return QStringView(buf, Arena()->PlaceText(buf, place));
    }
    // The attributes as this engine writes them (name="value", one blank
    // apart), read in one pass; anything else is searched for.
    const qsizetype size = Text.size(), n = name.size();
    const QChar *t = Text.constData();
    // attribute texts are short: a plain scan beats a search call
    auto find = [t, size](char16_t c, qsizetype from) {
        for (qsizetype i = from; i < size; ++i)
            if (t[i].unicode() == c) return i;
        return qsizetype(-1);
    };
    for (qsizetype at = 0; at + n + 1 < size;) {
        const qsizetype eq = find(u'=', at);
        if (eq < 0 || eq + 1 >= size || t[eq + 1] != QLatin1Char('"')) break;
        const qsizetype close = find(u'"', eq + 2);
        if (close < 0) break;
        if (eq - at == n) {
            const QStringView key(t + at, n);
            if (key == name || key.compare(name, Qt::CaseInsensitive) == 0)
                return QStringView(t + eq + 2, close - eq - 2);
        }
        if (close + 1 < size && t[close + 1] != QLatin1Char(' ')) break;
        at = close + 2;
    }
    int i = FindAttr(Text, name);
    if (i < 0) return QStringView();
    int start = i + name.size() + 2;
    int end = Text.indexOf(QLatin1Char('"'), start);
    if (end < 0) end = Text.size();
    return QStringView(Text.str()).sliced(start, end - start);
}

QString TksXMLItem::Prop(const QString &name) const
{
    const QStringView raw = RawProp(name);
    if (raw.size() > 1 && ksXMLHasEscape(raw)) return ksXMLUnescape(raw.toString());
    return raw.toString();
}

void TksXMLItem::SetProp(const QString &name, const QString &value)
{
    if (PlaceOf(name) >= 0) {  // the text holds it from now on
        if (name.size() == 3)
            FPlaces.Pos = -1;
        else
            FPlaces.Pos1 = -1;
    }
    int at = FindAttr(Text, name);
    if (at >= 0) {
        int start = at + name.size() + 2;
        int end = Text.indexOf(QLatin1Char('"'), start);
        end = end < 0 ? Text.size() : end + 1;
        Text.Edit().remove(at, end - at);
    } else {
        at = Text.size();
    }
    QString attr = name + QStringLiteral("=\"") + ksXMLEscape(value) + QLatin1Char('"');
    if (at > 0 && Text[at - 1] != QLatin1Char(' ')) attr.prepend(QLatin1Char(' '));
    Text.Edit().insert(at, attr);
}

void TksXMLItem::Assign(const TksXMLItem *source)
{
    Clear();
    if (!source) return;
    // an arena's texts live only as long as the arena
    const bool kept = source->Arena() != nullptr;
    Name = kept ? QString(source->Name.constData(), source->Name.size()) : source->Name.str();
    if (source->PlaceOf(QStringLiteral("pos")) >= 0 || source->PlaceOf(QStringLiteral("pos1")) >= 0)
        Text = source->AttrText();  // the places as text: they mean something only to the arena
    else
        Text = kept ? QString(source->Text.constData(), source->Text.size()) : source->Text.str();
    SetData(source->Data());
    for (int i = 0; i < source->Count(); ++i) Add()->Assign(source->Items(i));
}

QString ksXMLEscape(const QString &s)
{
    if (s.size() <= 1 && !(s.size() == 1 && QStringLiteral("\n\r\"<>&").contains(s[0]))) return s;
    QString out;
    out.reserve(s.size() + 8);
    ksXMLEscapeTo(out, s);
    return out;
}

void ksXMLEscapeTo(QString &out, QStringView s)
{
    for (QChar c : s) {
        if (ksXMLEscapes(c))
            out += QStringLiteral("&#") + QString::number(c.unicode()) + QLatin1Char(';');
        else
            out += c;
    }
}

QString ksXMLUnescape(const QString &s)
{
    if (s.size() <= 1 || !s.contains(QLatin1Char('&'))) return s;
    QString out;
    out.reserve(s.size());
    int i = 0;
    const int n = s.size();
    while (i < n) {
        QChar c = s[i];
        if (c == QLatin1Char('&')) {
            if (s.mid(i, 6) == QLatin1String("&quot;")) {
                out += QLatin1Char('"');
                i += 6;
                continue;
            }
            if (i + 2 < n && s[i + 1] == QLatin1Char('#')) {
                int j = i + 2;
                uint code = 0;
                while (j < n && s[j].isDigit() && s[j].unicode() < 128 && j - i < 10)
                    code = code * 10 + (s[j++].unicode() - '0');
                if (j > i + 2 && j < n && s[j] == QLatin1Char(';') && code > 0 && code <= 0x10FFFF &&
                    !(code >= 0xD800 && code <= 0xDFFF)) {
                    out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
                    i = j + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

// ---- reader --------------------------------------------------------------------------------

TksXMLReader::TksXMLReader(QIODevice &stream) : FStream(&stream), FSize(stream.size()), FPosition(stream.pos()) {}

TksXMLReader::TksXMLReader(QStringView text) : FText(text) {}

TksXMLReader::~TksXMLReader()
{
    if (FStream && !FStream->isSequential()) FStream->seek(FPosition);
}

bool TksXMLReader::ReadChar(char &c)
{
    if (FCursor >= FFill) {
        if (!FStream->isSequential() && FStream->pos() >= FSize) return false;
        qint64 got = FStream->read(FBuffer, sizeof(FBuffer));
        if (got <= 0) return false;
        FFill = int(got);
        FCursor = 0;
    }
    c = FBuffer[FCursor++];
    ++FPosition;
    return true;
}

// The same rules as the byte reader below, on the characters of FText.
bool TksXMLReader::ReadTagFromText(QString &name, QString &text)
{
    const qsizetype size = FText.size();
    qsizetype start, end;
    for (;;) {
        const qsizetype open = FText.indexOf(QLatin1Char('<'), FTextPos);
        if (open < 0) {
            FTextPos = size;
            return false;  // no further tag
        }
        start = open + 1;
        bool comment = false;
        for (end = start;; ++end) {
            if (end >= size) throw FormatError();
            const QChar c = FText[end];
            if (c == QLatin1Char('>')) break;
            if (c == QLatin1Char('<')) throw FormatError();
            if (end - start == 2 && FText.sliced(start, 3) == QLatin1String("!--")) {
                int dashes = 0;
                qsizetype k = end + 1;
                for (;; ++k) {
                    if (k >= size) throw FormatError();
                    const QChar d = FText[k];
                    if (d == QLatin1Char('-'))
                        ++dashes;
                    else if (d == QLatin1Char('>') && dashes >= 2)
                        break;
                    else
                        dashes = 0;
                }
                FTextPos = k + 1;
                comment = true;
                break;
            }
        }
        if (!comment) break;
    }
    FTextPos = end + 1;
    QStringView tag = FText.sliced(start, end - start);
    if (tag.endsWith(QLatin1Char(' '))) tag.chop(1);
    const qsizetype blank = tag.indexOf(QLatin1Char(' '));
    const QStringView nameView = blank < 0 ? tag : tag.first(blank);
    auto known = std::find_if(FTextNames.begin(), FTextNames.end(), [&](const QString &n) { return n == nameView; });
    if (known != FTextNames.end()) {
        name = *known;
    } else {
        name = nameView.toString();
        if (FTextNames.size() < 64) FTextNames.push_back(name);  // a document of endless names gets no cache
    }
    if (blank < 0)
        text.clear();
    else
        text = tag.sliced(blank + 1).toString();
    return true;
}

bool TksXMLReader::ReadTag(QString &name, QString &text)
{
    if (!FStream) return ReadTagFromText(name, text);
    QByteArray &tag = FTag;
    char c;
    bool comment;
    do {
        do {
            if (!ReadChar(c)) return false;  // no further tag
        } while (c != '<');
        tag.resize(0);
        comment = false;
        for (;;) {
            if (!ReadChar(c)) throw FormatError();
            if (c == '>') break;
            if (c == '<') throw FormatError();
            tag.append(c);
            if (tag.size() == 3 && tag == "!--") {
                int dashes = 0;
                for (;;) {
                    if (!ReadChar(c)) throw FormatError();
                    if (c == '-')
                        ++dashes;
                    else if (c == '>' && dashes >= 2)
                        break;
                    else
                        dashes = 0;
                }
                comment = true;
                break;
            }
        }
    } while (comment);
    // A blank is one byte in UTF-8 and never part of another character.
    qsizetype size = tag.size();
    if (size > 0 && tag[size - 1] == ' ') --size;
    qsizetype blank = QByteArrayView(tag.constData(), size).indexOf(' ');
    const qsizetype nameSize = blank < 0 ? size : blank;
    const QByteArray key = QByteArray::fromRawData(tag.constData(), nameSize);
    auto known = FNames.constFind(key);
    if (known != FNames.constEnd())
        name = known.value();
    else if (FNames.size() < 256)  // a document of endless names gets no cache
        name = FNames.insert(QByteArray(tag.constData(), nameSize), QString::fromUtf8(tag.constData(), nameSize))
                       .value();
    else
        name = QString::fromUtf8(tag.constData(), nameSize);
    if (blank < 0)
        text.clear();
    else
        text = QString::fromUtf8(tag.constData() + blank + 1, size - blank - 1);
    return true;
}

void TksXMLReader::ReadHeader()
{
    QString name, text;
    if (!ReadTag(name, text) || !name.startsWith(QLatin1String("?xml"))) throw FormatError();
}

void TksXMLReader::ReadRootItem(TksXMLItem *item)
{
    QString last;
    ReadItem(item, last);
}

void TksXMLReader::ReadItem(TksXMLItem *item, QString &lastName)
{
    // Iterative over the depth so that deep documents cannot exhaust the stack.
    struct Level {
        TksXMLItem *Item;
    };
    std::vector<Level> stack;
    auto readInto = [&](TksXMLItem *it) -> int {  // 0 closing, 1 empty element, 2 open element
        QString name, text;
        if (!ReadTag(name, text)) name.clear();
        it->Name = name;
        it->Text = text;
        lastName = name;
        if (name.isEmpty() || name.startsWith(QLatin1Char('/'))) return 0;
        if (name.endsWith(QLatin1Char('/'))) {
            it->Name.chop(1);
            return 1;
        }
        if (text.endsWith(QLatin1Char('/'))) {
            it->Text.chop(1);
            if (it->Text.str().endsWith(QLatin1Char(' '))) it->Text.chop(1);
            return 1;
        }
        return 2;
    };
    int kind = readInto(item);
    if (kind != 2) return;
    stack.push_back({item});
    while (!stack.empty()) {
        TksXMLItem *parent = stack.back().Item;
        // Owned here until added: a damaged tag throws out of readInto.
        auto child = std::make_unique<TksXMLItem>();
        int k = readInto(child.get());
        if (k == 0) {
            if (!lastName.isEmpty() && lastName.compare(QLatin1Char('/') + parent->Name, Qt::CaseInsensitive) != 0)
                throw FormatError();
            stack.pop_back();
            if (lastName.isEmpty()) {
                // end of stream closes every open element
                stack.clear();
            }
            continue;
        }
        TksXMLItem *added = child.release();
        parent->AddItem(added);
        if (k == 2) {
            if (int(stack.size()) >= ksMaxXMLDepth) throw FormatError();
            stack.push_back({added});
        }
    }
}

// ---- writer -------------------------------------------------------------------------------

TksXMLWriter::TksXMLWriter(QIODevice &stream, bool autoIndent) : FStream(stream), FAutoIndent(autoIndent) {}

TksXMLWriter::~TksXMLWriter()
{
    Flush();
}

void TksXMLWriter::Flush()
{
    if (!FBuffer.isEmpty()) {
        FStream.write(FBuffer.toUtf8());
        FBuffer.clear();
    }
}

void TksXMLWriter::WriteLine(const QString &s, int level)
{
    if (FAutoIndent) FBuffer += QString(level * 2, QLatin1Char(' '));
    FBuffer += s;
    if (FAutoIndent) FBuffer += QStringLiteral("\r\n");
    if (FBuffer.size() > 4096) Flush();
}

void TksXMLWriter::WriteHeader()
{
    WriteLine(QStringLiteral("<?xml version=\"1.0\"?>"), 0);
}

void TksXMLWriter::WriteRootItem(const TksXMLItem *item)
{
    WriteItem(item, 0);
}

void TksXMLWriter::WriteItem(const TksXMLItem *item, int level)
{
    // Explicit stack: (item, next child index).
    std::vector<std::pair<const TksXMLItem *, int>> stack;
    auto open = [&](const TksXMLItem *it, int lvl) {
        QString s = QLatin1Char('<') + it->Name;
        const QString attrs = it->AttrText();
        if (!attrs.isEmpty() && !attrs.startsWith(QLatin1Char(' '))) s += QLatin1Char(' ');
        s += attrs;
        s += it->Count() > 0 ? QStringLiteral(">") : QStringLiteral("/>");
        WriteLine(s, lvl);
    };
    open(item, level);
    if (item->Count() == 0) return;
    stack.push_back({item, 0});
    while (!stack.empty()) {
        auto &top = stack.back();
        int lvl = level + int(stack.size()) - 1;
        if (top.second >= top.first->Count()) {
            WriteLine(QStringLiteral("</") + top.first->Name + QLatin1Char('>'), lvl);
            stack.pop_back();
            continue;
        }
        const TksXMLItem *child = top.first->Items(top.second++);
        open(child, lvl + 1);
        if (child->Count() > 0) stack.push_back({child, 0});
    }
}

// ---- document -----------------------------------------------------------------------------

TksXMLDocument::TksXMLDocument() = default;

void TksXMLDocument::LoadFromStream(QIODevice &stream)
{
    FRoot.Clear();
    TksXMLReader reader(stream);
    reader.ReadHeader();
    reader.ReadRootItem(&FRoot);
}

void TksXMLDocument::SaveToStream(QIODevice &stream)
{
    TksXMLWriter writer(stream, AutoIndent);
    writer.WriteHeader();
    writer.WriteRootItem(&FRoot);
    writer.Flush();
}

void TksXMLDocument::LoadFromFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw KsError(QStringLiteral("EFOpenError"), QStringLiteral("Cannot open file \"%1\"").arg(fileName));
    LoadFromStream(f);
}

void TksXMLDocument::SaveToFile(const QString &fileName)
{
    QString error;
    if (!vplatform::saveFileSafely(
                fileName,
                [this](QIODevice &out) {
                    SaveToStream(out);
                    return true;
                },
                &error))
        throw KsError(QStringLiteral("EFCreateError"), error);
}

void TksXMLDocument::LoadFromString(const QString &text)
{
    FRoot.Clear();
    TksXMLReader reader{QStringView(text)};
    reader.ReadHeader();
    reader.ReadRootItem(&FRoot);
}

QString TksXMLDocument::SaveToString()
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    SaveToStream(buf);
    buf.close();
    return QString::fromUtf8(bytes);
}
