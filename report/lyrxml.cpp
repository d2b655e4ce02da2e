#include "report/lyrxml.h"
#include "platform/regularfile.h"

#include "report/lyrutils.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

constexpr qsizetype kReadBlock = 64 * 1024;
constexpr qsizetype kWriteBlock = 64 * 1024;
constexpr int kMaxInternedNames = 256;

const char *entityFor(char c)
{
    switch (c) {
    case '\n':
        return "&#10;";
    case '\r':
        return "&#13;";
    case '"':
        return "&#34;";
    case '&':
        return "&#38;";
    case '<':
        return "&#60;";
    case '>':
        return "&#62;";
    default:
        return nullptr;
    }
}

void appendUtf8(QByteArray &out, char32_t code)
{
    if (code < 0x80) {
        out.append(static_cast<char>(code));
    } else if (code < 0x800) {
        out.append(static_cast<char>(0xC0 | (code >> 6)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.append(static_cast<char>(0xE0 | (code >> 12)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (code >> 18)));
        out.append(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool equalsNoCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && (a.isEmpty() || qstrnicmp(a.data(), b.data(), a.size()) == 0);
}

// Appends a name written as UTF-8 without a temporary for plain ASCII names.
void appendName(QByteArray &out, const QString &name)
{
    for (QChar c : name) {
        if (c.unicode() >= 0x80) {
            out.append(name.toUtf8());
            return;
        }
    }
    for (QChar c : name) out.append(static_cast<char>(c.unicode()));
}

// Finds the ld="0" token (preceded by a blank or at the start), -1 when none.
qsizetype findUnloadToken(QByteArrayView attrs)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype q = attrs.indexOf(QByteArrayView("=\"0\""), from);
        if (q < 0) return -1;
        const qsizetype p = q - 2;
        if (p >= 0 && (attrs[p] == 'l' || attrs[p] == 'L') && (attrs[p + 1] == 'd' || attrs[p + 1] == 'D') &&
            (p == 0 || attrs[p - 1] == ' '))
            return p;
        from = q + 1;
    }
}

}  // namespace

QByteArray lyrBytesToXML(QByteArrayView raw)
{
    qsizetype i = 0;
    const qsizetype n = raw.size();
    while (i < n && !entityFor(raw[i])) ++i;
    if (i == n) return raw.toByteArray();
    QByteArray out;
    out.reserve(n + 16);
    out.append(raw.data(), i);
    for (; i < n; ++i) {
        const char c = raw[i];
        const char *e = entityFor(c);
        if (!e) {
            out.append(c);
        } else if (c == '&' && raw.sliced(i + 1).startsWith("quot;")) {
            out.append("&#34;");
            i += 5;
        } else {
            out.append(e);
        }
    }
    return out;
}

QByteArray lyrStrToXML(const QString &text)
{
    QByteArray out;
    lyrAppendStrToXML(out, text);
    return out;
}

void lyrAppendStrToXML(QByteArray &out, QStringView text)
{
    const qsizetype n = text.size();
    const char16_t *t = text.utf16();
    // Room for the plain ASCII case, growing geometrically (an exact reserve
    // would reallocate at every attribute).
    const qsizetype need = out.size() + n + 8;
    if (out.capacity() < need) out.reserve(std::max(need, 2 * out.capacity()));
    qsizetype i = 0;
    while (i < n) {
        // Runs of ASCII that need no escape are copied at once.
        qsizetype j = i;
        while (j < n && t[j] < 0x80 && !entityFor(static_cast<char>(t[j]))) ++j;
        if (j > i) {
            const qsizetype at = out.size();
            out.resize(at + (j - i));
            char *d = out.data() + at;
            for (qsizetype k = i; k < j; ++k) *d++ = static_cast<char>(t[k]);
            i = j;
            if (i == n) break;
        }
        const char16_t c = t[i];
        if (c < 0x80) {
            if (c == u'&' && text.sliced(i + 1).startsWith(u"quot;")) {
                out.append("&#34;");
                i += 6;
            } else {
                out.append(entityFor(static_cast<char>(c)));
                ++i;
            }
            continue;
        }
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(t[i + 1])) {
            code = QChar::surrogateToUcs4(c, t[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(c)) {
            code = '?';  // as QString::toUtf8 writes a lone surrogate
        }
        appendUtf8(out, code);
        ++i;
    }
}

QByteArray lyrXMLToBytes(QByteArrayView xml)
{
    qsizetype i = xml.indexOf('&');
    if (i < 0) return xml.toByteArray();
    const qsizetype n = xml.size();
    QByteArray out;
    out.reserve(n);
    out.append(xml.data(), i);
    while (i < n) {
        const char c = xml[i];
        if (c != '&') {
            out.append(c);
            ++i;
            continue;
        }
        if (i + 1 < n && xml[i + 1] == '#') {
            qsizetype j = i + 2;
            char32_t code = 0;
            int digits = 0;
            while (j < n && digits < 8 && xml[j] >= '0' && xml[j] <= '9') {
                code = code * 10 + static_cast<char32_t>(xml[j] - '0');
                ++digits;
                ++j;
            }
            const bool valid = digits >= 1 && digits <= 7 && j < n && xml[j] == ';' && code <= 0x10FFFF &&
                               !(code >= 0xD800 && code <= 0xDFFF);
            if (valid) {
                appendUtf8(out, code);
                i = j + 1;
                continue;
            }
        } else if (xml.sliced(i + 1).startsWith("quot;")) {
            out.append('"');
            i += 6;
            continue;
        }
        out.append('&');
        ++i;
    }
    return out;
}

QString lyrXMLToStr(QByteArrayView xml)
{
    // Most values have no reference in them: read straight, without a copy.
    if (!xml.contains('&')) return QString::fromUtf8(xml);
    return QString::fromUtf8(lyrXMLToBytes(xml));
}

QByteArray lyrValueToXML(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? "1" : "0";
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QByteArray::number(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QByteArray::number(value.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return lyrFloatToXML(value.toDouble()).toUtf8();
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return lyrDateTimeToText(value.toDateTime()).toUtf8();
    case QMetaType::QString:
        return lyrStrToXML(value.toString());
    case QMetaType::QByteArray:
        return lyrBytesToXML(value.toByteArray());
    default:
        return QByteArray();
    }
}

// ---------------------------------------------------------------- item

TlyrXMLItem::~TlyrXMLItem()
{
    Clear();
    detach();
}

void TlyrXMLItem::detach()
{
    if (!parent_) return;
    auto &siblings = parent_->items_;
    for (auto it = siblings.rbegin(); it != siblings.rend(); ++it) {
        if (*it == this) {
            siblings.erase(std::next(it).base());
            break;
        }
    }
    parent_ = nullptr;
}

void TlyrXMLItem::Clear()
{
    for (TlyrXMLItem *child : items_) {
        child->parent_ = nullptr;
        delete child;
    }
    std::vector<TlyrXMLItem *>().swap(items_);
    if (Unloadable) Loaded = false;
}

TlyrXMLItem *TlyrXMLItem::Add()
{
    auto *item = new TlyrXMLItem;
    item->parent_ = this;
    items_.push_back(item);
    return item;
}

void TlyrXMLItem::AddItem(TlyrXMLItem *item)
{
    if (!item) return;
    // An element cannot become a child of its own subtree.
    for (const TlyrXMLItem *p = this; p; p = p->parent_)
        if (p == item) return;
    item->detach();
    item->parent_ = this;
    items_.push_back(item);
}

void TlyrXMLItem::InsertItem(int index, TlyrXMLItem *item)
{
    AddItem(item);
    if (!item || item->parent_ != this) return;
    items_.pop_back();
    const size_t at = static_cast<size_t>(qBound(0, index, Count()));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), item);
}

int TlyrXMLItem::Find(const QString &name) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

TlyrXMLItem *TlyrXMLItem::FindItem(const QString &name)
{
    const int i = Find(name);
    if (i >= 0) return items_[static_cast<size_t>(i)];
    TlyrXMLItem *item = Add();
    item->Name = name;
    return item;
}

int TlyrXMLItem::IndexOf(const TlyrXMLItem *item) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == item) return static_cast<int>(i);
    return -1;
}

bool TlyrAttributeScanner::Next()
{
    const qsizetype n = text_.size();
    const char *t = text_.data();
    while (pos_ < n) {
        while (pos_ < n && t[pos_] == ' ') ++pos_;
        nameStart_ = pos_;
        while (pos_ < n && t[pos_] != '=' && t[pos_] != ' ') ++pos_;
        if (pos_ >= n) return false;
        if (t[pos_] == ' ') continue;  // a bare word
        nameEnd_ = pos_++;
        quoted_ = pos_ < n && t[pos_] == '"';
        if (quoted_) {
            valueStart_ = pos_ + 1;
            const void *q = memchr(t + valueStart_, '"', static_cast<size_t>(n - valueStart_));
            valueEnd_ = q ? static_cast<const char *>(q) - t : n;
            pos_ = valueEnd_ + 1;
        } else {
            valueStart_ = pos_;
            while (pos_ < n && t[pos_] != ' ') ++pos_;
            valueEnd_ = pos_;
        }
        return true;
    }
    return false;
}

bool TlyrXMLItem::findProp(QByteArrayView name, TlyrAttributeScanner &scanner) const
{
    while (scanner.Next())
        if (equalsNoCase(scanner.Name(), name)) return true;
    return false;
}

QByteArray TlyrXMLItem::PropBytes(QByteArrayView name) const
{
    TlyrAttributeScanner scanner(Text);
    return findProp(name, scanner) ? lyrXMLToBytes(scanner.RawValue()) : QByteArray();
}

QString TlyrXMLItem::Prop(QByteArrayView name) const
{
    return QString::fromUtf8(PropBytes(name));
}

bool TlyrXMLItem::HasProp(QByteArrayView name) const
{
    TlyrAttributeScanner scanner(Text);
    return findProp(name, scanner);
}

void TlyrXMLItem::SetPropBytes(QByteArrayView name, QByteArrayView raw)
{
    const QByteArray value = lyrBytesToXML(raw);
    TlyrAttributeScanner scanner(Text);
    if (findProp(name, scanner)) {
        const qsizetype start = scanner.ValueStart();
        Text.replace(start, scanner.ValueEnd() - start, value);
        if (!scanner.Quoted()) {  // a value that came without quotes gets them now
            Text.insert(start + value.size(), '"');
            Text.insert(start, '"');
        }
        return;
    }
    if (!Text.isEmpty() && !Text.endsWith(' ')) Text.append(' ');
    Text.append(name.data(), name.size()).append("=\"").append(value).append('"');
}

void TlyrXMLItem::SetProp(QByteArrayView name, const QString &value)
{
    SetPropBytes(name, value.toUtf8());
}

void TlyrXMLItem::SwapContent(TlyrXMLItem &other)
{
    std::swap(StreamPosition, other.StreamPosition);
    std::swap(Loaded, other.Loaded);
    std::swap(Unloadable, other.Unloadable);
    std::swap(Name, other.Name);
    std::swap(Text, other.Text);
    std::swap(Value, other.Value);
    std::swap(Damaged, other.Damaged);
    std::swap(store_, other.store_);
    std::swap(items_, other.items_);
    for (TlyrXMLItem *child : items_) child->parent_ = this;
    for (TlyrXMLItem *child : other.items_) child->parent_ = &other;
}

void TlyrXMLItem::SetUnread()
{
    Clear();
    Unloadable = true;
    Loaded = false;
    store_ = Store::Unread;
    StreamPosition = -1;
}

void TlyrXMLItem::AppendProp(QAnyStringView name, QStringView value)
{
    if (!Text.isEmpty() && !Text.endsWith(' ')) Text.append(' ');
    name.visit([this](auto view) {
        using View = decltype(view);
        if constexpr (std::is_same_v<View, QStringView>)
            Text.append(view.toUtf8());
        else
            Text.append(reinterpret_cast<const char *>(view.data()), view.size());
    });
    Text.append("=\"", 2);
    lyrAppendStrToXML(Text, value);
    Text.append('"');
}

// ---------------------------------------------------------------- reader

TlyrInvalidXMLException::TlyrInvalidXMLException(const QString &file, qint64 line, const QString &detail)
    : ElyrError(QStringLiteral("Invalid file format: %1第 %2 行：%3")
                        .arg(file.isEmpty() ? QString() : file + QStringLiteral(", "))
                        .arg(line)
                        .arg(detail))
{}

void TlyrXMLReader::fail(const QString &detail)
{
    // A damaged child that is read past needs no line.
    if (recovering_ > 0) {
        failedAt_ = Position();
        failDetail_ = detail;
        throw TlyrInvalidXMLException();
    }
    // The line is counted only now: the reader does not track it while it runs.
    const qint64 at = Position();
    qint64 line = 1;
    if (!stream_.isSequential() && stream_.seek(startPos_)) {
        QByteArray block(kReadBlock, Qt::Uninitialized);
        for (qint64 pos = startPos_; pos < at;) {
            const qint64 got = stream_.read(block.data(), std::min<qint64>(block.size(), at - pos));
            if (got <= 0) break;
            line += std::count(block.constData(), block.constData() + got, '\n');
            pos += got;
        }
    } else {
        line += std::count(buf_.constData(), buf_.constData() + std::min(bufPos_, bufLen_), '\n');
    }
    auto *file = qobject_cast<QFile *>(&stream_);
    throw TlyrInvalidXMLException(file ? file->fileName() : QString(), line, detail);
}

TlyrXMLReader::TlyrXMLReader(QIODevice &stream)
    : stream_(stream), startPos_(stream.pos()), size_(stream.size()), bufStart_(startPos_)
{
    buf_.resize(kReadBlock);
    names_.reserve(kMaxInternedNames);
}

TlyrXMLReader::~TlyrXMLReader()
{
    if (!stream_.isSequential()) stream_.seek(startPos_);
}

void TlyrXMLReader::SetPosition(qint64 position)
{
    stream_.seek(position);
    bufStart_ = position;
    bufPos_ = bufLen_ = 0;
}

bool TlyrXMLReader::fill()
{
    bufStart_ += bufLen_;
    bufPos_ = 0;
    const qint64 got = stream_.read(buf_.data(), buf_.size());
    bufLen_ = got > 0 ? got : 0;
    BytesRead += bufLen_;
    return bufLen_ > 0;
}

int TlyrXMLReader::getByte()
{
    if (bufPos_ >= bufLen_ && !fill()) return -1;
    return static_cast<unsigned char>(buf_[bufPos_++]);
}

const TlyrXMLReader::NameEntry *TlyrXMLReader::internName(QByteArrayView name)
{
    for (const auto &entry : names_)
        if (entry.first == name) return &entry;
    if (names_.size() < kMaxInternedNames) {
        names_.emplace_back(name.toByteArray(), QString::fromUtf8(name));
        return &names_.back();
    }
    return nullptr;
}

// Reads the next tag (comments skipped). False at the end of the stream.
bool TlyrXMLReader::readTag(Tag &tag)
{
    for (;;) {
        for (;;) {
            if (bufPos_ >= bufLen_ && !fill()) return false;
            const char *b = buf_.constData();
            const void *hit = memchr(b + bufPos_, '<', static_cast<size_t>(bufLen_ - bufPos_));
            const qsizetype upto = hit ? static_cast<const char *>(hit) - b : bufLen_;
            if (strictNow())
                for (qsizetype i = bufPos_; i < upto; ++i)
                    if (b[i] != ' ' && b[i] != '\r' && b[i] != '\n' && b[i] != '\t') {
                        bufPos_ = i;
                        // Recovery starts here, never at a tag already read.
                        lastTagStart_ = Position();
                        fail(QStringLiteral("标记之外出现了字符"));
                    }
            bufPos_ = upto;
            if (hit) break;
        }
        tag.start = lastTagStart_ = Position();
        ++bufPos_;
        tag_.resize(0);
        bool closed = false;
        // The first three characters decide whether this is a comment.
        while (tag_.size() < 3) {
            const int c = getByte();
            if (c < 0) return endOfStream(tag.start, QStringLiteral("标记没有以 > 结束，文件已结束"));
            if (c == '<') fail(QStringLiteral("标记中出现 <，应先以 > 结束"));
            if (c == '>') {
                closed = true;
                break;
            }
            tag_.append(static_cast<char>(c));
        }
        if (!closed && tag_ == "!--") {
            int dashes = 0;
            for (;;) {
                const int c = getByte();
                if (c < 0) return endOfStream(tag.start, QStringLiteral("注释没有以 --> 结束，文件已结束"));
                if (c == '>' && dashes >= 2) break;
                dashes = c == '-' ? dashes + 1 : 0;
            }
            continue;
        }
        while (!closed) {
            if (bufPos_ >= bufLen_ && !fill())
                return endOfStream(tag.start, QStringLiteral("标记没有以 > 结束，文件已结束"));
            const char *b = buf_.constData() + bufPos_;
            const size_t avail = static_cast<size_t>(bufLen_ - bufPos_);
            const char *gt = static_cast<const char *>(memchr(b, '>', avail));
            const size_t upto = gt ? static_cast<size_t>(gt - b) : avail;
            if (const void *lt = memchr(b, '<', upto)) {
                bufPos_ += static_cast<const char *>(lt) - b;
                fail(QStringLiteral("标记中出现 <，应先以 > 结束"));
            }
            tag_.append(b, static_cast<qsizetype>(upto));
            bufPos_ += static_cast<qsizetype>(upto);
            if (gt) {
                ++bufPos_;
                closed = true;
            }
        }
        break;
    }

    QByteArrayView v(tag_);
    if (v.endsWith(' ')) v.chop(1);
    const qsizetype sp = v.indexOf(' ');
    tag.name = sp < 0 ? v : v.first(sp);
    tag.attrs = sp < 0 ? QByteArrayView() : v.sliced(sp + 1);
    tag.empty = false;
    if (tag.name.endsWith('/')) {
        tag.name.chop(1);
        tag.empty = true;
    } else if (tag.attrs.endsWith('/')) {
        tag.attrs.chop(1);
        tag.empty = true;
    }
    if (strictNow()) checkMarkup(tag.name, tag.attrs);
    tag.unload = findUnloadToken(tag.attrs) >= 0;
    return true;
}

namespace {

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// A name of ASCII letters, digits and . - : starting with a letter or _.
bool wellFormedName(QByteArrayView n)
{
    return !n.isEmpty() && isNameStart(n[0]) && std::all_of(n.begin() + 1, n.end(), isNameChar);
}

}  // namespace

void TlyrXMLReader::checkMarkup(QByteArrayView name, QByteArrayView attrs)
{
    if (!wellFormedName(name.startsWith('/') ? name.sliced(1) : name))
        fail(QStringLiteral("标记名称不合格式"));
    // name="value" pairs apart by blanks.
    qsizetype i = 0;
    const qsizetype n = attrs.size();
    while (i < n) {
        while (i < n && isBlank(attrs[i])) ++i;
        if (i == n) break;
        const qsizetype start = i;
        while (i < n && isNameChar(attrs[i])) ++i;
        if (i == start || !isNameStart(attrs[start])) fail(QStringLiteral("属性名称不合格式"));
        if (i + 1 >= n || attrs[i] != '=' || attrs[i + 1] != '"') fail(QStringLiteral("属性缺少 =\"...\""));
        const qsizetype close = attrs.indexOf('"', i + 2);
        if (close < 0) fail(QStringLiteral("属性值缺少结束的引号"));
        i = close + 1;
        if (i < n && !isBlank(attrs[i])) fail(QStringLiteral("属性之间缺少空格"));
    }
}

void TlyrXMLReader::applyTag(TlyrXMLItem &item, const Tag &tag, bool keepText)
{
    item.StreamPosition = tag.start;
    if (keepText) return;
    const qsizetype p = tag.unload ? findUnloadToken(tag.attrs) : -1;
    if (p < 0) {
        item.Text = tag.attrs.toByteArray();
        return;
    }
    // Drop the token and the blank that separated it.
    qsizetype from = p, to = p + 6;
    if (from > 0)
        --from;
    else if (to < tag.attrs.size() && tag.attrs[to] == ' ')
        ++to;
    QByteArray text;
    text.reserve(tag.attrs.size());
    text.append(tag.attrs.first(from));
    text.append(tag.attrs.sliced(to));
    item.Text = text;
}

void TlyrXMLReader::ReadHeader()
{
    Tag tag;
    if (!readTag(tag) || !tag_.startsWith("?xml")) fail(QStringLiteral("文件应以 <?xml ...?> 开头"));
}

namespace {

// Counts how deep the reader is in recovering from damage, for the
// length of a scope.
struct Recovering {
    int &depth;
    explicit Recovering(int &d) : depth(d) { ++depth; }
    ~Recovering() { --depth; }
    Recovering(const Recovering &) = delete;
    Recovering &operator=(const Recovering &) = delete;
};

}  // namespace

void TlyrXMLReader::readBody(TlyrXMLItem *item, const QByteArray &name, int depth)
{
    if (depth > MaxDepth) fail(QStringLiteral("元素嵌套超过 %1 层").arg(MaxDepth));
    Tag tag;
    bool recoverKids = false;
    if (item && !stream_.isSequential())
        for (const QByteArray &n : std::as_const(RecoverChildrenOf)) recoverKids = recoverKids || equalsNoCase(name, n);
    const bool mayStop = item && StopAfter >= 0 && depth == StopInDepth && equalsNoCase(name, StopInName);
    for (;;) {
        if (mayStop && item->Count() >= StopAfter) {
            Stopped = true;
            return;
        }
        // The end of the stream ends the list too, and never matches.
        bool more = false;
        if (!recoverKids) {
            more = readTag(tag);
        } else {
            try {
                const Recovering inside(recovering_);
                more = readTag(tag);
                // An end tag that closes nothing here is a broken child too.
                if (more && (tag.name.isEmpty() || (tag.name[0] == '/' && !equalsNoCase(tag.name.sliced(1), name))))
                    fail(QStringLiteral("应为 </%1>").arg(QString::fromUtf8(name)));
            } catch (const TlyrInvalidXMLException &) {
                // A child's own start tag is broken: it is damaged up to where
                // the next child or the end of the list begins.
                const qint64 start = lastTagStart_;
                qint64 end = resync(start + 1, QByteArray(), name);
                // A resync that does not move on would read the same bytes forever.
                if (end >= 0 && end <= start) end = -1;
                if (end < 0) {
                    if (!AcceptCut) {
                        SetPosition(failedAt_);
                        fail(failDetail_);
                    }
                    if (CutAt < 0) CutAt = size_;
                    end = size_;
                }
                TlyrXMLItem *child = item->Add();
                damage(child, start, end);
                child->Name = QString::fromUtf8(child->Damaged.mid(1, 40).split(' ').value(0).split('>').value(0));
                continue;
            }
        }
        if (!more && (CutAt >= 0 || AcceptCut)) {
            if (CutAt < 0) CutAt = Position();
            CutInside.prepend(QString::fromUtf8(name));
            return;
        }
        if (!more || tag.name.isEmpty() || tag.name[0] == '/') {
            const QString expected = QStringLiteral("</%1>").arg(QString::fromUtf8(name));
            if (!more) fail(QStringLiteral("应为 %1，文件已结束").arg(expected));
            if (tag.name.isEmpty()) fail(QStringLiteral("应为 %1，标记没有名称").arg(expected));
            if (!equalsNoCase(tag.name.sliced(1), name))
                fail(QStringLiteral("应为 %1，却是 <%2>").arg(expected, QString::fromUtf8(tag.name)));
            return;
        }
        // The tag buffer is reused by the children; the name must outlive it.
        NameEntry spilled;
        const NameEntry *entry = internName(tag.name);
        if (!entry) {
            spilled = {tag.name.toByteArray(), QString::fromUtf8(tag.name)};
            entry = &spilled;
        }
        if (recovering_ > 0 && IsSiblingName && IsSiblingName(tag.name))
            fail(QStringLiteral("应为 </%1>，却是下一个 <%2>").arg(QString::fromUtf8(name), QString::fromUtf8(tag.name)));
        const bool skip = tag.unload && PartialLoading;
        TlyrXMLItem *child = item ? item->Add() : nullptr;
        if (child) {
            child->Name = entry->second;
            applyTag(*child, tag, false);
            if (skip) {
                child->Unloadable = true;
                child->Loaded = false;
                child->store_ = store_;
            }
        }
        if (tag.empty) continue;
        if (recoverKids && child)
            readRecovering(child, tag, entry->first, name, depth + 1);
        else
            readBody(skip ? nullptr : child, entry->first, depth + 1);
        if (Stopped) return;
    }
}

void TlyrXMLReader::ReadChildren(TlyrXMLItem &item, const QByteArray &name, int depth)
{
    readBody(&item, name, depth);
}

bool TlyrXMLReader::endOfStream(qint64 position, const QString &detail)
{
    if (!AcceptCut) fail(detail);
    if (CutAt < 0) CutAt = position;
    SetPosition(size_);
    return false;
}

void TlyrXMLReader::readRecovering(TlyrXMLItem *child, const Tag &tag, const QByteArray &name,
                                   const QByteArray &parent, int depth)
{
    const qint64 start = tag.start;
    const bool skip = child->Unloadable && !child->Loaded;
    qint64 end = -1;
    try {
        const Recovering inside(recovering_);
        readBody(skip ? nullptr : child, name, depth);
        // Cut inside: what arrived of it is kept as it stood.
        if (CutAt < 0) return;
        end = size_;
    } catch (const TlyrInvalidXMLException &) {
        end = resync(lastTagStart_, name, parent);
        if (end < 0) {
            if (recovering_ > 0) throw;
            if (!AcceptCut) {
                // No end to read past: the error of the whole file, with its line.
                SetPosition(failedAt_);
                fail(failDetail_);
            }
            if (CutAt < 0) CutAt = size_;
            end = size_;
        }
    }
    damage(child, start, end);
}

void TlyrXMLReader::damage(TlyrXMLItem *child, qint64 start, qint64 end)
{
    child->Clear();
    child->Unloadable = false;
    child->Loaded = true;
    child->store_ = TlyrXMLItem::Store::None;
    QByteArray bytes(end - start, Qt::Uninitialized);
    SetPosition(start);
    if (stream_.read(bytes.data(), bytes.size()) != bytes.size()) fail(QStringLiteral("文件读取失败"));
    child->Damaged = bytes;
    SetPosition(end);
}

qint64 TlyrXMLReader::resync(qint64 from, const QByteArray &name, const QByteArray &parent)
{
    SetPosition(from);
    QByteArray tagName;
    int c = getByte();
    while (c >= 0) {
        if (c != '<') {
            c = getByte();
            continue;
        }
        const qint64 at = Position() - 1;
        c = getByte();
        const bool end = c == '/';
        if (end) c = getByte();
        tagName.resize(0);
        // A name longer than any of the three cannot match.
        while (c >= 0 && c != '>' && c != ' ' && c != '/' && c != '<' && tagName.size() < 256) {
            tagName.append(static_cast<char>(c));
            c = getByte();
        }
        if (end && c == '>' && equalsNoCase(tagName, name)) return Position();
        if ((end && c == '>' && equalsNoCase(tagName, parent)) || (!end && IsSiblingName && IsSiblingName(tagName))) {
            SetPosition(at);
            return at;
        }
    }
    return -1;
}

void TlyrXMLReader::ReadRootItem(TlyrXMLItem &item, bool keepText)
{
    Tag tag;
    if (!readTag(tag)) fail(QStringLiteral("应有根元素，文件已结束"));
    if (tag.name.isEmpty() || tag.name[0] == '/')
        fail(QStringLiteral("应有根元素，却是 <%1>").arg(QString::fromUtf8(tag.name)));
    const QByteArray name = tag.name.toByteArray();
    item.Clear();
    item.Name = QString::fromUtf8(name);
    applyTag(item, tag, keepText);
    if (!tag.empty) readBody(&item, name, 1);
    item.Loaded = true;
}

// ---------------------------------------------------------------- writer

TlyrXMLWriter::TlyrXMLWriter(QIODevice &stream, TlyrXMLDocument *doc) : stream_(stream), doc_(doc)
{
    out_.reserve(kWriteBlock + 4096);
}

TlyrXMLWriter::~TlyrXMLWriter()
{
    // A failure here is the caller's to see through its own Flush; a
    // destructor must not throw.
    try {
        Flush();
    } catch (const std::exception &) {
    }
}

void TlyrXMLWriter::Flush()
{
    if (out_.isEmpty()) return;
    const qint64 written = stream_.write(out_);
    const qsizetype wanted = out_.size();
    out_.resize(0);
    // A short write is a full disk too.
    if (written != wanted)
        throw ElyrError(written < 0 ? stream_.errorString() : QStringLiteral("磁盘已满，文件未写完"));
}

void TlyrXMLWriter::indent(int depth)
{
    if (AutoIndent) out_.append(2 * depth, ' ');
}

void TlyrXMLWriter::WriteHeader()
{
    out_.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    if (AutoIndent) out_.append("\r\n");
}

void TlyrXMLWriter::WriteRootItem(TlyrXMLItem &item)
{
    writeItem(item, 0);
    Flush();
}

void TlyrXMLWriter::writeItem(TlyrXMLItem &item, int depth)
{
    if (!item.Damaged.isEmpty()) {
        indent(depth);
        out_.append(item.Damaged);
        if (AutoIndent) out_.append("\r\n");
        if (out_.size() > kWriteBlock) Flush();
        return;
    }
    if (item.Unloadable && !item.Loaded && doc_) {
        doc_->LoadItem(&item);
        writeItem(item, depth);
        item.Clear();
        return;
    }
    indent(depth);
    out_.append('<');
    appendName(out_, item.Name);
    if (!item.Text.isEmpty()) {
        if (item.Text[0] != ' ') out_.append(' ');
        out_.append(item.Text);
    }
    if (item.Unloadable) out_.append(" ld=\"0\"");
    if (item.Count() == 0) {
        if (item.Value.isEmpty()) {
            out_.append("/>");
        } else {
            out_.append('>').append(lyrBytesToXML(item.Value)).append("</");
            appendName(out_, item.Name);
            out_.append('>');
        }
    } else {
        out_.append('>');
        if (AutoIndent) out_.append("\r\n");
        for (int i = 0; i < item.Count(); ++i) writeItem(*item.Items(i), depth + 1);
        indent(depth);
        out_.append("</");
        appendName(out_, item.Name);
        out_.append('>');
    }
    if (AutoIndent) out_.append("\r\n");
    if (out_.size() > kWriteBlock) Flush();
}

// ---------------------------------------------------------------- document

TlyrXMLDocument::TlyrXMLDocument() : root_(std::make_unique<TlyrXMLItem>()) {}

TlyrXMLDocument::~TlyrXMLDocument()
{
    root_.reset();
    DeleteTempFile();
}

void TlyrXMLDocument::Clear()
{
    CutAt = -1;
    CutInside.clear();
    root_->Clear();
    root_->Loaded = true;
    ++generation_;
    resumeAt_ = -1;
    resumeName_.clear();
    DeleteTempFile();
    source_ = nullptr;
    ownedSource_.reset();
}

QIODevice *TlyrXMLDocument::storeOf(const TlyrXMLItem &item) const
{
    switch (item.store_) {
    case TlyrXMLItem::Store::Source:
        return source_;
    case TlyrXMLItem::Store::TempFile:
        return temp_.get();
    case TlyrXMLItem::Store::None:
    case TlyrXMLItem::Store::Unread:
        break;
    }
    return nullptr;
}

void TlyrXMLDocument::configure(TlyrXMLReader &reader, bool partial) const
{
    reader.PartialLoading = partial;
    reader.RecoverChildrenOf = RecoverChildrenOf;
    reader.IsSiblingName = IsSiblingName;
    reader.AcceptCut = AcceptCut;
    reader.StrictMarkup = StrictMarkup;
    reader.store_ = TlyrXMLItem::Store::Source;
}

void TlyrXMLDocument::readRoot(QIODevice &stream, bool partial)
{
    Clear();
    try {
        TlyrXMLReader reader(stream);
        configure(reader, partial);
        reader.ReadHeader();
        reader.ReadRootItem(*root_);
        CutAt = reader.CutAt;
        CutInside = reader.CutInside;
    } catch (...) {
        root_->Clear();
        ++generation_;
        root_->Name.clear();
        root_->Text.clear();
        throw;
    }
}

void TlyrXMLDocument::LoadFromStream(QIODevice &stream)
{
    readRoot(stream, false);
}

void TlyrXMLDocument::LoadFromStream(QIODevice &stream, bool allowPartialLoading)
{
    readRoot(stream, allowPartialLoading);
    if (allowPartialLoading) source_ = &stream;
}

void TlyrXMLDocument::LoadFromStream(std::unique_ptr<QIODevice> stream, bool allowPartialLoading)
{
    readRoot(*stream, allowPartialLoading);
    if (allowPartialLoading) {
        ownedSource_ = std::move(stream);
        source_ = ownedSource_.get();
    }
}

bool TlyrXMLDocument::LoadPart(std::unique_ptr<QIODevice> stream, const QByteArray &name, int first)
{
    Clear();
    try {
        TlyrXMLReader reader(*stream);
        configure(reader, true);
        reader.StopInName = name;
        reader.StopAfter = first;
        reader.ReadHeader();
        reader.ReadRootItem(*root_);
        CutAt = reader.CutAt;
        CutInside = reader.CutInside;
        if (reader.Stopped) {
            resumeAt_ = reader.Position();
            resumeName_ = name;
        }
    } catch (...) {
        Clear();
        root_->Name.clear();
        throw;
    }
    ownedSource_ = std::move(stream);
    source_ = ownedSource_.get();
    return resumeAt_ >= 0;
}

bool TlyrXMLDocument::ReadOn(TlyrXMLItem &into, int count)
{
    if (resumeAt_ < 0 || !source_) return false;
    const int before = into.Count();
    TlyrXMLReader reader(*source_);
    configure(reader, true);
    reader.SetPosition(resumeAt_);
    reader.StopInName = resumeName_;
    reader.StopAfter = count < 0 ? -1 : before + count;
    // A failure past the first part leaves the rest unread.
    resumeAt_ = -1;
    reader.ReadChildren(into, resumeName_, 2);
    if (reader.Stopped) {
        resumeAt_ = reader.Position();
        return true;
    }
    if (reader.CutAt >= 0) {
        CutAt = reader.CutAt;
        CutInside = QStringList{root_->Name} + reader.CutInside;
        return into.Count() > before;
    }
    // The rest of the root: what an empty element of its name held gives way.
    TlyrXMLItem rest;
    reader.ReadChildren(rest, root_->Name.toUtf8(), 1);
    if (reader.CutAt >= 0) {
        CutAt = reader.CutAt;
        CutInside = reader.CutInside;
    }
    while (rest.Count() > 0) {
        TlyrXMLItem *child = rest.Items(0);
        const int same = root_->Find(child->Name);
        if (same >= 0 && root_->Items(same)->Count() == 0 && root_->Items(same)->Text.isEmpty())
            delete root_->Items(same);
        root_->AddItem(child);
    }
    return into.Count() > before;
}

void TlyrXMLDocument::Swap(TlyrXMLDocument &other)
{
    std::swap(CutAt, other.CutAt);
    std::swap(CutInside, other.CutInside);
    std::swap(root_, other.root_);
    ++generation_;
    ++other.generation_;
    std::swap(resumeAt_, other.resumeAt_);
    std::swap(resumeName_, other.resumeName_);
    std::swap(source_, other.source_);
    std::swap(ownedSource_, other.ownedSource_);
    std::swap(temp_, other.temp_);
    std::swap(tempName_, other.tempName_);
}

void TlyrXMLDocument::SaveToStream(QIODevice &stream)
{
    TlyrXMLWriter writer(stream, this);
    writer.AutoIndent = AutoIndent;
    writer.WriteHeader();
    writer.WriteRootItem(*root_);
    writer.Flush();
}

void TlyrXMLDocument::LoadFromFile(const QString &fileName, bool allowPartialLoading)
{
    auto file = std::make_unique<QFile>();
    if (QString why; !vplatform::openRegularFile(*file, fileName, QIODevice::ReadOnly, &why))
        throw ElyrError(QStringLiteral("无法打开文件 %1: %2").arg(fileName, why));
    if (allowPartialLoading)
        LoadFromStream(std::move(file), true);
    else
        LoadFromStream(*file);
}

void TlyrXMLDocument::SaveToFile(const QString &fileName)
{
    lyrSaveFile(fileName, [this](QIODevice &file) { SaveToStream(file); });
}

void TlyrXMLDocument::LoadItem(TlyrXMLItem *item)
{
    if (!item || !item->Unloadable || item->Loaded) return;
    if (item->Unread() && OnUnread) OnUnread(item);
    if (item->Loaded) return;
    QIODevice *stream = storeOf(*item);
    item->Clear();
    if (!stream) {
        // Cleared without ever being written out: nothing to read back.
        item->Loaded = true;
        return;
    }
    TlyrXMLReader reader(*stream);
    reader.PartialLoading = true;
    reader.StrictMarkup = StrictMarkup;
    reader.strictAll_ = true;
    reader.store_ = item->store_;
    reader.SetPosition(item->StreamPosition);
    reader.ReadRootItem(*item, true);
}

void TlyrXMLDocument::UnloadItem(TlyrXMLItem *item)
{
    if (!item || !item->Unloadable || !item->Loaded || !item->Damaged.isEmpty()) return;
    CreateTempFile();
    // Written into memory first: the writer may read other unloaded elements
    // back from the same temporary file.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        TlyrXMLWriter writer(buffer, this);
        writer.WriteRootItem(*item);
    }
    const qint64 pos = temp_->size();
    if (!temp_->seek(pos) || temp_->write(bytes) != bytes.size())
        throw ElyrError(QStringLiteral("无法写入临时文件 %1: %2").arg(tempName_, temp_->errorString()));
    item->StreamPosition = pos;
    item->store_ = TlyrXMLItem::Store::TempFile;
    item->Clear();
}

bool TlyrXMLDocument::ReleaseItem(TlyrXMLItem *item)
{
    if (!item || !item->Unloadable || !item->Loaded || !item->Damaged.isEmpty() || !storeOf(*item)) return false;
    item->Clear();
    return true;
}

void TlyrXMLDocument::CreateTempFile()
{
    if (temp_) return;
    std::unique_ptr<QFile> file = lyrCreateTempFile(TempDir);
    const QString name = file->fileName();
    QFile::remove(name);
    temp_ = std::move(file);
    tempName_ = name;
}

void TlyrXMLDocument::DeleteTempFile()
{
    if (!temp_) return;
    temp_.reset();
    QFile::remove(tempName_);
    tempName_.clear();
}
