// The engine's reduced XML tree (grammars and the compiler's intermediate
// code): elements and attributes only. Attributes stay as raw text in Text
// and are read and written by Prop. Files are UTF-8.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>
#include <deque>
#include <unordered_map>
#include <utility>
#include <vector>

class TksXMLArena;
class TksXMLItem;

// The children of an item, in one word: none, a lone child held in the
// word itself, or an array (of the heap, or of an arena when room for them
// was asked for there) that starts with its count and room. The intermediate
// code holds very many items, most with one child or none. The word's low
// bits (pointers are aligned to 8) also keep two marks of the owning item.
class TksXMLItemList {
public:
    TksXMLItemList() = default;
    ~TksXMLItemList() { Release(); }
    TksXMLItemList(const TksXMLItemList &) = delete;
    TksXMLItemList &operator=(const TksXMLItemList &) = delete;
    size_t size() const
    {
        if (FBits & kLone) return 1;
        const Head *h = Array();
        return h ? h->Size : 0;
    }
    TksXMLItem *operator[](size_t i) const
    {
        if (FBits & kLone) return reinterpret_cast<TksXMLItem *>(FBits & kPointer);
        return Slots()[i];
    }
    void push_back(TksXMLItem *item)
    {
        if (!(FBits & kPointer) && !(FBits & kLone) && item) {
            FBits |= reinterpret_cast<quintptr>(item) | kLone;
            return;
        }
        Head *h = Array();
        if (!h || h->Size == h->Room) h = Grow(h ? size_t(h->Room) * 2 : 4);
        Slots()[h->Size++] = item;
    }
    void reserve(size_t n)
    {
        const Head *h = Array();
        if (n > (h ? size_t(h->Room) : 1)) Grow(n);
    }
    // Room for `n` in `place` (RoomFor(n) pointers), an array that outlives
    // the list (when empty).
    static constexpr size_t RoomFor(size_t n) { return n + 1; }
    void Adopt(TksXMLItem **place, size_t n);
    // The array of the children (nullptr when none or a lone child).
    const void *ArrayPlace() const { return Array(); }
    void insert(size_t at, TksXMLItem *item);
    void remove(TksXMLItem *item);
    void pop_back();
    void Forget(size_t i)
    {
        if (FBits & kLone)
            FBits &= ~kPointer;
        else
            Slots()[i] = nullptr;
    }
    // Exchanges the children only: each list keeps its owner's marks.
    void swap(TksXMLItemList &other)
    {
        const quintptr mine = FBits & ~kMarks, theirs = other.FBits & ~kMarks;
        FBits = (FBits & kMarks) | theirs;
        other.FBits = (other.FBits & kMarks) | mine;
    }

private:
    friend class TksXMLItem;
    friend class TksXMLArena;
    struct Head {
        quint32 Size;
        quint32 Room : 31;
        quint32 Owned : 1;  // of the heap
    };
    static_assert(sizeof(Head) == sizeof(void *));
    static constexpr quintptr kLone = 1;
    // The owning item was made by an arena (which its block names).
    static constexpr quintptr kInArena = 2;
    // The owning item's Data or Handle is set (kept aside, see TksXMLItem).
    static constexpr quintptr kAside = 4;
    static constexpr quintptr kMarks = kInArena | kAside;
    static constexpr quintptr kPointer = ~quintptr(7);
    static constexpr size_t kMaxCapacity = (size_t(1) << 31) - 1;
    Head *Array() const { return FBits & kLone ? nullptr : reinterpret_cast<Head *>(FBits & kPointer); }
    TksXMLItem **Slots() const { return reinterpret_cast<TksXMLItem **>(Array() + 1); }
    bool Marked(quintptr mark) const { return FBits & mark; }
    void Mark(quintptr mark, bool on) { FBits = on ? FBits | mark : FBits & ~mark; }
    Head *Grow(size_t capacity);
    void Release();
    quintptr FBits = 0;
};

// An item's name or attribute text, held in one word: a string of its own,
// or one its arena keeps (the intermediate code holds many items and few
// distinct texts). Reads as a QString.
class TksXMLText {
public:
    TksXMLText() = default;
    ~TksXMLText() { Release(); }
    TksXMLText(const TksXMLText &) = delete;
    TksXMLText &operator=(const TksXMLText &other) { return *this = other.str(); }
    TksXMLText &operator=(const QString &s);
    TksXMLText &operator=(QString &&s);
    TksXMLText &operator=(QLatin1StringView s) { return *this = QString(s); }
    TksXMLText &operator=(const char16_t *s) { return *this = QString::fromUtf16(s); }
    // A text kept elsewhere for at least as long as this one (not copied).
    void Borrow(const QString *kept);
    TksXMLText &operator=(const QString *kept)
    {
        Borrow(kept);
        return *this;
    }
    const QString &str() const { return FText ? *Ptr() : Empty(); }
    operator const QString &() const { return str(); }  // NOLINT: reads as the text it holds
    // The text to change in place (made a string of its own first).
    QString &Edit();
    bool isEmpty() const { return str().isEmpty(); }
    bool isNull() const { return str().isNull(); }
    qsizetype size() const { return str().size(); }
    const QChar *constData() const { return str().constData(); }
    QChar operator[](qsizetype i) const { return str()[i]; }
    void clear() { Release(); }
    void chop(qsizetype n) { Edit().chop(n); }
    QString toLower() const { return str().toLower(); }
    QString toUpper() const { return str().toUpper(); }
    template <class T>
    int compare(const T &other, Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        return str().compare(other, cs);
    }
    template <class T>
    qsizetype indexOf(const T &other, qsizetype from = 0, Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        return str().indexOf(other, from, cs);
    }
    template <class T>
    friend bool operator==(const TksXMLText &a, const T &b)
    {
        return a.str() == b;
    }
    template <class T>
    friend bool operator!=(const TksXMLText &a, const T &b)
    {
        return a.str() != b;
    }
    friend bool operator==(const TksXMLText &a, const TksXMLText &b) { return a.str() == b.str(); }
    friend bool operator!=(const TksXMLText &a, const TksXMLText &b) { return a.str() != b.str(); }
    friend QString operator+(const TksXMLText &a, const QString &b) { return a.str() + b; }
    friend QString operator+(const QString &a, const TksXMLText &b) { return a + b.str(); }
    friend QString operator+(QChar a, const TksXMLText &b) { return a + b.str(); }
    friend QString operator+(const TksXMLText &a, QChar b) { return a.str() + b; }

private:
    static const QString &Empty();
    const QString *Ptr() const { return reinterpret_cast<const QString *>(FText & ~quintptr(1)); }
    bool Owned() const { return FText & 1; }
    void Release();
    quintptr FText = 0;  // low bit set: a string of its own
};

class TksXMLItem {
public:
    TksXMLItem() = default;
    ~TksXMLItem();
    TksXMLItem(const TksXMLItem &) = delete;
    TksXMLItem &operator=(const TksXMLItem &) = delete;

    void Clear();
    TksXMLItem *Add();
    void AddItem(TksXMLItem *item);
    void InsertItem(int index, TksXMLItem *item);
    int Find(const QString &name) const;
    TksXMLItem *FindItem(const QString &name);
    TksXMLItem *Root();
    QString Prop(const QString &name) const;
    // The attribute's text as written, escapes not undone (a view into Text).
    QStringView RawProp(const QString &name) const;
    void SetProp(const QString &name, const QString &value);
    void Assign(const TksXMLItem *source);
    // Where an item of an arena starts (and an expression ends) in the text
    // it was read from, held as numbers and read as the attributes pos and
    // pos1 ("line:col"); -1: none.
    void SetPlaces(int pos, int pos1)
    {
        if (!FItems.Marked(TksXMLItemList::kInArena)) return;  // places mean something only to an arena
        FPlaces.Pos = pos;
        FPlaces.Pos1 = pos1;
    }
    // The attributes as written: Text, then the places held as numbers.
    QString AttrText() const;

    int Count() const { return int(FItems.size()); }
    TksXMLItem *Items(int i) const { return FItems[size_t(i)]; }
    // nullptr for an item of an arena (see FParent).
    TksXMLItem *Parent() const { return FItems.Marked(TksXMLItemList::kInArena) ? nullptr : FParent; }
    // Room for `n` children, for a builder that knows how many come (an
    // arena's item takes it from its arena).
    void Reserve(int n);
    // Destroys child i for a reader that is done with it; its slot stays,
    // empty (Items(i) is nullptr from then on).
    void FreeItem(int i);

    // A pointer for the item's user (the compiler's routine, a script's
    // number). Few items have one: it is kept aside, and so is Handle.
    void *Data() const { return FItems.Marked(TksXMLItemList::kAside) ? Aside(this, false) : nullptr; }
    void SetData(void *data) { SetAside(false, data); }
    // The script handle of this item, told when the item goes (see
    // ksXMLItemGone); nullptr for items no script has seen.
    void *Handle() const { return FItems.Marked(TksXMLItemList::kAside) ? Aside(this, true) : nullptr; }
    void SetHandle(void *handle) { SetAside(true, handle); }
    TksXMLText Name;
    TksXMLText Text;

private:
    friend class TksXMLArena;
    static void *Aside(const TksXMLItem *item, bool handle);
    void SetAside(bool handle, void *value);
    void Detach();
    // The place `name` (pos or pos1) held as a number, or -1.
    int PlaceOf(const QString &name) const;
    // Where its memory comes from (nullptr: the heap).
    TksXMLArena *Arena() const;
    void SetParent(TksXMLItem *parent)
    {
        if (!FItems.Marked(TksXMLItemList::kInArena)) FParent = parent;
    }
    TksXMLItemList FItems;
    // An item of an arena keeps its places instead of a link to its parent:
    // the intermediate code holds very many items, is read from the top
    // and freed through the parents (Clear, FreeItem), never from below.
    struct Places {
        qint32 Pos;
        qint32 Pos1;
    };
    union {
        TksXMLItem *FParent = nullptr;
        Places FPlaces;
    };
};

// Items of one tree that is built at once and freed as a whole (the
// compiler's intermediate code): they are made in large blocks, and freeing
// them gives no block back one by one. Items made here may only be freed
// through Free or their parent's Clear (or destructor) while the arena lives.
class TksXMLArena {
public:
    TksXMLArena() = default;
    ~TksXMLArena();
    TksXMLArena(const TksXMLArena &) = delete;
    TksXMLArena &operator=(const TksXMLArena &) = delete;
    TksXMLItem *Make();
    // Destroys an item made here; its place is used again (until
    // GiveBackBlocks).
    void Free(TksXMLItem *item);
    // From now on a block whose items are all freed goes back to the heap
    // at once, so that a reader freeing the tree as it goes leaves room for
    // what it builds. Freed places are no longer used again.
    void GiveBackBlocks();
    // Blocks of items held (tests).
    size_t BlockCount() const { return FBlocks.size(); }
    // A copy of `s` kept by the arena, for the Name or Text of items made
    // here to borrow (Assign copies such texts for good). Call Hold for the
    // item once its Text is set.
    const QString *Keep(QStringView s);
    // The same for a short text many items hold (a name, an operator): one
    // copy of each, kept as long as the arena.
    const QString *Share(QStringView s);
    // Writes a place of the items' text as "line:col" to `out` (room for
    // 32 characters); returns the count written.
    std::function<int(char16_t *out, int place)> PlaceText;
    // Room for `n` pointers to children, kept by the arena.
    TksXMLItem **Pointers(size_t n);
    // The item's Text (and children's room) is one of those kept here: its
    // block of them goes back with the last item holding it (after
    // GiveBackBlocks).
    void Hold(const TksXMLItem *item);
    // Blocks of texts and of children's room held (tests).
    size_t KeptBlockCount() const { return FChars.Count() + FPointers.Count(); }

private:
    friend class TksXMLItem;
    // A block starts with its arena and the count of its items not freed;
    // blocks are aligned to their size, so an item finds its block.
    static int &Live(char *block) { return *reinterpret_cast<int *>(block + sizeof(TksXMLArena *)); }
    static char *BlockOf(const TksXMLItem *item);
    std::vector<char *> FBlocks;    // in address order
    char *FLast = nullptr;          // the block items are made in
    int FUsed = 0;                  // items made in the last block
    void *FFree = nullptr;          // places of freed items, each holding the next
    bool FGiveBack = false;
    // Blocks handing out room from their end, each freed when the items
    // holding room in it are gone (and it is not the one filled now).
    class Kept {
    public:
        Kept() = default;
        ~Kept();
        Kept(const Kept &) = delete;
        Kept &operator=(const Kept &) = delete;
        void *Take(size_t bytes, size_t blockBytes);
        // The count of holders of the block `p` lies in (none: nothing).
        void Hold(const void *p);
        void Release(const void *p, bool giveBack);
        // Frees the blocks no item holds (but the current one).
        void Sweep();
        size_t Count() const { return FBlocks.size(); }

    private:
        struct Block {
            char *Begin;
            size_t Bytes;
            int Live;
        };
        Block *Find(const void *p);
        std::vector<Block> FBlocks;  // in address order
        size_t FHint = 0;
        char *FCurrent = nullptr;  // the block filled now
        size_t FLeft = 0;          // room at its start
    };
    Kept FChars;
    Kept FPointers;
    Kept FShared;  // never given back before the arena goes
    struct ViewHash {
        size_t operator()(QStringView v) const { return qHash(v); }
    };
    // The shared texts, each viewed by its key (node-based: a kept text never moves).
    std::unordered_map<QStringView, QString, ViewHash> FSharedTexts;
    // Texts of Keep, each as a string for items to borrow (its characters
    // go back with their block).
    std::deque<QString> FKeptTexts;
    QString KeepChars(QStringView s);
    // The texts kept last: an element often has the same attributes as one
    // made just before it (a statement and its first part start together).
    static constexpr int kRecentTexts = 8;
    QStringView FRecent[kRecentTexts];
    unsigned FNextRecent = 0;
};

// Called for an item with a Handle when it is destroyed.
extern void (*ksXMLItemGone)(TksXMLItem *item);

// Escaping of attribute values: LF, CR, '"', '<', '>' and '&' become &#n;.
inline bool ksXMLEscapes(QChar c)
{
    switch (c.unicode()) {
    case 10:
    case 13:
    case '"':
    case '<':
    case '>':
    case '&':
        return true;
    default:
        return false;
    }
}
// Whether an attribute text holds an escape to undo (a short text: a plain scan).
inline bool ksXMLHasEscape(QStringView s)
{
    for (QChar c : s)
        if (c == QLatin1Char('&')) return true;
    return false;
}
QString ksXMLEscape(const QString &s);
// The same, appended to `out`.
void ksXMLEscapeTo(QString &out, QStringView s);
// Unescaping: &#n; (decimal) and &quot;.
QString ksXMLUnescape(const QString &s);

class TksXMLDocument {
public:
    TksXMLDocument();
    TksXMLItem *Root() { return &FRoot; }
    bool AutoIndent = false;
    // Raise KsError("Invalid file format") on a structural error; the tree is
    // then partly filled.
    void LoadFromStream(QIODevice &stream);
    void SaveToStream(QIODevice &stream);
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName);
    // Convenience for the compiler and tests.
    void LoadFromString(const QString &text);
    QString SaveToString();

private:
    TksXMLItem FRoot;
};

class TksXMLReader {
public:
    explicit TksXMLReader(QIODevice &stream);
    // Reads the tags of a text in memory, as a stream of its UTF-8 would.
    explicit TksXMLReader(QStringView text);
    ~TksXMLReader();  // leaves the stream at the reader's logical position
    // Reads one tag; false at the end of the stream. Raises on a bad tag.
    bool ReadTag(QString &name, QString &text);
    void ReadHeader();
    void ReadRootItem(TksXMLItem *item);

private:
    bool ReadChar(char &c);
    bool ReadTagFromText(QString &name, QString &text);
    void ReadItem(TksXMLItem *item, QString &lastName);
    QIODevice *FStream = nullptr;
    qint64 FSize = 0;
    qint64 FPosition = 0;
    QStringView FText;  // text mode
    qsizetype FTextPos = 0;
    QByteArray FTag;  // the tag being read (its buffer is reused)
    // Element names seen so far: the items of a document share one copy of
    // each name instead of allocating it per item.
    QHash<QByteArray, QString> FNames;
    std::vector<QString> FTextNames;
    char FBuffer[4096];
    int FFill = 0;
    int FCursor = 0;
};

class TksXMLWriter {
public:
    TksXMLWriter(QIODevice &stream, bool autoIndent);
    ~TksXMLWriter();
    void WriteHeader();
    void WriteRootItem(const TksXMLItem *item);
    void Flush();

private:
    void WriteItem(const TksXMLItem *item, int level);
    void WriteLine(const QString &s, int level);
    QIODevice &FStream;
    bool FAutoIndent;
    QString FBuffer;
};
