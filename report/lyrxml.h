#pragma once
// The small XML tree that carries report templates and prepared reports.
// It reads tags only, keeps each element's attributes as one raw 8-bit text
// (values UTF-8 and escaped), and can move subtrees out of memory into a
// temporary file and read them back on demand.

#include "report/lyrexception.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QIODevice>
#include <QAnyStringView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class TlyrXMLDocument;

class TlyrInvalidXMLException : public ElyrError {
public:
    TlyrInvalidXMLException() : ElyrError(QStringLiteral("Invalid file format")) {}
    // Where the reader stopped and what it was waiting for: "Invalid file
    // format: FILE, 第 N 行：DETAIL" (the file part only for a file).
    TlyrInvalidXMLException(const QString &file, qint64 line, const QString &detail);
};

// Escapes LF, CR, double quote, "&", "<" and ">" as "&#<code>;" ("&quot;" in
// the input becomes "&#34;"). Bytes above 127 pass unchanged, so a QString is
// written as UTF-8.
QByteArray lyrBytesToXML(QByteArrayView raw);
QByteArray lyrStrToXML(const QString &text);
// The same escape written straight from UTF-16 onto the end of out (one
// pass, no temporary).
void lyrAppendStrToXML(QByteArray &out, QStringView text);
// Undoes the escapes: "&#" + 1 to 7 digits + ";" is the character with that
// code (above 127 as UTF-8), "&quot;" a double quote; any other "&" stays.
QByteArray lyrXMLToBytes(QByteArrayView xml);
QString lyrXMLToStr(QByteArrayView xml);
// Attribute text of a value: Booleans "1"/"0", numbers as decimal text, dates
// as date-time text, strings escaped; other types give an empty text.
QByteArray lyrValueToXML(const QVariant &value);

// Walks the name="value" pairs of an attribute text in order (a value
// without quotes runs to the next blank; a bare word is skipped).
class TlyrAttributeScanner {
public:
    explicit TlyrAttributeScanner(QByteArrayView text) : text_(text) {}
    // Moves to the next pair; false at the end.
    bool Next();
    QByteArrayView Name() const { return text_.sliced(nameStart_, nameEnd_ - nameStart_); }
    // The value as written (escaped) and its place in the text.
    QByteArrayView RawValue() const { return text_.sliced(valueStart_, valueEnd_ - valueStart_); }
    qsizetype ValueStart() const { return valueStart_; }
    qsizetype ValueEnd() const { return valueEnd_; }
    bool Quoted() const { return quoted_; }
    QString Value() const { return lyrXMLToStr(RawValue()); }

private:
    QByteArrayView text_;
    qsizetype pos_ = 0;
    qsizetype nameStart_ = 0, nameEnd_ = 0, valueStart_ = 0, valueEnd_ = 0;
    bool quoted_ = false;
};

class TlyrXMLItem {
public:
    TlyrXMLItem() = default;
    // Frees the children and leaves the parent's list.
    ~TlyrXMLItem();
    TlyrXMLItem(const TlyrXMLItem &) = delete;
    TlyrXMLItem &operator=(const TlyrXMLItem &) = delete;

    // Stream position of the start tag when the element was read or unloaded.
    qint64 StreamPosition = 0;
    // The children are in memory.
    bool Loaded = true;
    // The subtree may be moved out of memory.
    bool Unloadable = false;
    QString Name;
    // Raw attribute text: name="escaped value" pairs separated by blanks.
    QByteArray Text;
    // Character data written between the tags (the reader never fills it).
    QByteArray Value;
    // An element that was not well-formed, read past as its bytes stood
    // (start tag to end tag): it has no children and is written back as is.
    QByteArray Damaged;

    TlyrXMLItem *Parent() const { return parent_; }
    // Frees the children; an unloadable element then counts as not loaded.
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    TlyrXMLItem *Items(int i) const { return items_.at(static_cast<size_t>(i)); }
    TlyrXMLItem *operator[](int i) const { return Items(i); }
    // A new child appended.
    TlyrXMLItem *Add();
    // Appends item, taking it from its former parent.
    void AddItem(TlyrXMLItem *item);
    void InsertItem(int index, TlyrXMLItem *item);
    // Index of the first child named name (case-insensitive), -1 when none.
    int Find(const QString &name) const;
    // That child, created when absent.
    TlyrXMLItem *FindItem(const QString &name);
    int IndexOf(const TlyrXMLItem *item) const;

    // Attribute values (unescaped, UTF-8). Empty when absent.
    QString Prop(QByteArrayView name) const;
    QByteArray PropBytes(QByteArrayView name) const;
    bool HasProp(QByteArrayView name) const;
    // Replaces the value in place, or appends name="value".
    void SetProp(QByteArrayView name, const QString &value);
    void SetPropBytes(QByteArrayView name, QByteArrayView raw);
    // Appends name="value" without looking for an attribute of that name
    // (for builders that write each attribute once).
    void AppendProp(QAnyStringView name, QStringView value);
    // Takes other's name, attributes, children and place in the stream;
    // other gets this element's (the parents stay).
    void SwapContent(TlyrXMLItem &other);
    // Stands for an element of the document's stream not read yet: loading
    // it reads the stream on as far as it (TlyrXMLDocument::ReadOn).
    void SetUnread();
    bool Unread() const { return store_ == Store::Unread; }

private:
    friend class TlyrXMLReader;
    friend class TlyrXMLDocument;
    // Where the bytes of a not-loaded element live.
    enum class Store : quint8 { None, Source, TempFile, Unread };

    void detach();
    bool findProp(QByteArrayView name, TlyrAttributeScanner &scanner) const;

    TlyrXMLItem *parent_ = nullptr;
    std::vector<TlyrXMLItem *> items_;
    Store store_ = Store::None;
};

// Buffered tag reader over a seekable stream. The stream's position at
// creation is restored when the reader is destroyed.
class TlyrXMLReader {
public:
    explicit TlyrXMLReader(QIODevice &stream);
    ~TlyrXMLReader();
    TlyrXMLReader(const TlyrXMLReader &) = delete;
    TlyrXMLReader &operator=(const TlyrXMLReader &) = delete;

    // Deepest nesting accepted; deeper input is rejected as invalid.
    static constexpr int MaxDepth = 512;

    // Elements flagged ld="0" are left unread (not loaded).
    bool PartialLoading = false;
    // Children of elements of these names (any case) that are not
    // well-formed are kept as Damaged and reading goes on after their end
    // tag (the rest of a file stays readable when one page is broken).
    QByteArrayList RecoverChildrenOf;
    // Inside such a child, a start tag of a name this accepts begins the
    // child's next sibling: the child lost its end tag, and is damaged up to
    // there.
    std::function<bool(QByteArrayView)> IsSiblingName;
    // The end of the stream inside the tree closes every open element there
    // (a copy that was interrupted): CutAt is then where the whole part ends
    // (-1 for a whole stream) and CutInside names the elements that were
    // still open, outermost first. A recovered child that was cut becomes
    // Damaged up to the end.
    bool AcceptCut = false;
    qint64 CutAt = -1;
    QStringList CutInside;
    // Inside a recovered child (or everywhere when reading one back), markup
    // that is not well formed fails: text outside the tags, a name that is
    // not one, an attribute without ="...".
    bool StrictMarkup = false;

    // Every byte any reader has taken from its stream (for tests and
    // benchmarks that count the work of a load).
    static inline std::atomic<qint64> BytesRead{0};
    // Reading stops inside the element of this name (any case) at this
    // depth (the root's children are at 2) once it has this many children
    // (Stopped is then set); the rest is read with ReadChildren.
    QByteArray StopInName;
    int StopInDepth = 2;
    int StopAfter = -1;
    bool Stopped = false;

    qint64 Position() const { return bufStart_ + bufPos_; }
    qint64 Size() const { return size_; }
    void SetPosition(qint64 position);

    // The first tag must begin with "?xml".
    void ReadHeader();
    // Reads one element with its children into item (name and attributes
    // included unless keepText, which keeps the item's current attributes).
    void ReadRootItem(TlyrXMLItem &item, bool keepText = false);
    // From the current position, the children of an element named name at
    // depth up to its end tag (or up to StopAfter of them) into item.
    void ReadChildren(TlyrXMLItem &item, const QByteArray &name, int depth);

private:
    struct Tag {
        qint64 start = 0;
        QByteArrayView name;
        QByteArrayView attrs;
        bool empty = false;   // closed by "/>"
        bool unload = false;  // carried ld="0"
    };
    bool fill();
    int getByte();
    bool readTag(Tag &tag);
    // Throws the format error for the current position.
    [[noreturn]] void fail(const QString &detail);
    void applyTag(TlyrXMLItem &item, const Tag &tag, bool keepText);
    void readBody(TlyrXMLItem *item, const QByteArray &name, int depth);
    // Reads a child of a recovering element; a damaged one becomes Damaged.
    void readRecovering(TlyrXMLItem *child, const Tag &tag, const QByteArray &name, const QByteArray &parent,
                        int depth);
    // From position from, to where a damaged child ends: past its
    // "</name>", or before the parent's end tag or a sibling's start tag,
    // whichever comes first; -1 at the end of the stream.
    qint64 resync(qint64 from, const QByteArray &name, const QByteArray &parent);
    // child becomes the bytes from start to end, kept as they stand.
    void damage(TlyrXMLItem *child, qint64 start, qint64 end);
    // The stream ended at position inside the tree: false when cuts are
    // accepted, otherwise the format error with detail.
    bool endOfStream(qint64 position, const QString &detail);
    using NameEntry = std::pair<QByteArray, QString>;
    // Shares the strings of repeated element names; nullptr when full.
    const NameEntry *internName(QByteArrayView name);

    QIODevice &stream_;
    qint64 startPos_;
    qint64 size_;
    QByteArray buf_;
    qint64 bufStart_ = 0;
    qsizetype bufPos_ = 0;
    qsizetype bufLen_ = 0;
    QByteArray tag_;
    qint64 lastTagStart_ = 0;
    // Inside a child that may be recovered: failing is cheap (no line count).
    int recovering_ = 0;
    bool strictAll_ = false;
    bool strictNow() const { return StrictMarkup && (recovering_ > 0 || strictAll_); }
    void checkMarkup(QByteArrayView name, QByteArrayView attrs);
    qint64 failedAt_ = 0;
    QString failDetail_;
    std::vector<NameEntry> names_;
    TlyrXMLItem::Store store_ = TlyrXMLItem::Store::Source;
    friend class TlyrXMLDocument;
};

class TlyrXMLWriter {
public:
    // doc, when given, reads not-loaded elements back while they are written.
    explicit TlyrXMLWriter(QIODevice &stream, TlyrXMLDocument *doc = nullptr);
    ~TlyrXMLWriter();
    TlyrXMLWriter(const TlyrXMLWriter &) = delete;
    TlyrXMLWriter &operator=(const TlyrXMLWriter &) = delete;

    bool AutoIndent = false;

    void WriteHeader();
    void WriteRootItem(TlyrXMLItem &item);
    void Flush();

private:
    void writeItem(TlyrXMLItem &item, int depth);
    void indent(int depth);

    QIODevice &stream_;
    TlyrXMLDocument *doc_;
    QByteArray out_;
};

class TlyrXMLDocument {
public:
    TlyrXMLDocument();
    ~TlyrXMLDocument();
    TlyrXMLDocument(const TlyrXMLDocument &) = delete;
    TlyrXMLDocument &operator=(const TlyrXMLDocument &) = delete;

    bool AutoIndent = false;
    // Folder of the temporary file (the system's when empty).
    QString TempDir;
    // Given to the reader (TlyrXMLReader::RecoverChildrenOf, IsSiblingName,
    // AcceptCut) for whole loads.
    QByteArrayList RecoverChildrenOf;
    std::function<bool(QByteArrayView)> IsSiblingName;
    bool AcceptCut = false;
    // Given to the reader for the recovered children and the items read back.
    bool StrictMarkup = false;
    // What the reader found of a cut stream at the last load (-1, empty: whole).
    qint64 CutAt = -1;
    QStringList CutInside;

    TlyrXMLItem *Root() const { return root_.get(); }
    // Changes whenever the root's children may have been freed (a clear, a
    // load, a swap): a pointer to one of them kept from an earlier
    // generation is no longer good.
    quint64 Generation() const { return generation_; }
    // Clears the root and drops the temporary file and the kept stream.
    void Clear();

    // Full load; the stream is not kept.
    void LoadFromStream(QIODevice &stream);
    // With allowPartialLoading elements flagged ld="0" stay unread and the
    // document keeps (and owns) the stream to read them later.
    void LoadFromStream(std::unique_ptr<QIODevice> stream, bool allowPartialLoading);
    // The same with a stream the caller keeps open for the document's life
    // (or until its next Clear or load).
    void LoadFromStream(QIODevice &stream, bool allowPartialLoading);
    void SaveToStream(QIODevice &stream);
    void LoadFromFile(const QString &fileName, bool allowPartialLoading = false);
    void SaveToFile(const QString &fileName);

    // Reads a not-loaded unloadable element back into memory.
    void LoadItem(TlyrXMLItem *item);

    // Reading a stream in parts: the root is read as far as the first
    // `first` children of its child `name`; true when it stopped there (the
    // stream is kept, and ReadOn reads on), false when the whole stream was
    // read.
    bool LoadPart(std::unique_ptr<QIODevice> stream, const QByteArray &name, int first);
    bool PartRead() const { return resumeAt_ >= 0; }
    // Reads up to `count` more children of the element read in parts (all
    // when -1) into into's children; past its end tag, the rest of the root
    // is read and appended to the root (an empty child of the same name
    // gives way). False when no more children came.
    bool ReadOn(TlyrXMLItem &into, int count);
    // Asked to place an unread element (TlyrXMLItem::SetUnread) before it
    // is loaded: reads on until it is no longer unread.
    std::function<void(TlyrXMLItem *)> OnUnread;
    // Exchanges everything read or kept with other's (OnUnread and the
    // reading settings stay).
    void Swap(TlyrXMLDocument &other);
    // Writes a loaded unloadable element to the temporary file and frees its
    // children.
    void UnloadItem(TlyrXMLItem *item);
    // Frees the children of an unloadable element read back unchanged from
    // where it was kept (the file or the temporary file), so that it is read
    // again when needed; false when it has no such place.
    bool ReleaseItem(TlyrXMLItem *item);

    void CreateTempFile();
    void DeleteTempFile();
    // The name the temporary file was made under; it is removed from its
    // folder at once (the open file lives on), so the system drops it
    // whenever the program ends, killed or not.
    QString TempFileName() const { return tempName_; }
    qint64 TempFileSize() const { return temp_ ? temp_->size() : 0; }

private:
    QIODevice *storeOf(const TlyrXMLItem &item) const;

    void readRoot(QIODevice &stream, bool partial);
    void configure(TlyrXMLReader &reader, bool partial) const;

    std::unique_ptr<TlyrXMLItem> root_;
    // Where reading in parts goes on (-1 when all is read), in which element.
    qint64 resumeAt_ = -1;
    quint64 generation_ = 0;
    QByteArray resumeName_;
    QIODevice *source_ = nullptr;
    std::unique_ptr<QIODevice> ownedSource_;
    std::unique_ptr<QIODevice> temp_;
    QString tempName_;
};
