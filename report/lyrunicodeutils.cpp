#include "report/lyrunicodeutils.h"

#include "report/lyrpropstream.h"
#include "report/lyrutils.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <iconv.h>

namespace {

// One iconv descriptor per call: conversions are rare and short, and this
// keeps the functions safe to call from any thread.
class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (valid()) iconv_close(cd_);
    }
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

QString lyrAnsiToWide(QByteArrayView ansi)
{
    Iconv cv("UTF-16LE", "GBK");
    if (!cv.valid()) return QString::fromLatin1(ansi.data(), ansi.size());
    QString out;
    out.reserve(ansi.size());
    char *in = const_cast<char *>(ansi.data());
    size_t inLeft = static_cast<size_t>(ansi.size());
    char16_t buf[512];
    while (inLeft > 0) {
        char *o = reinterpret_cast<char *>(buf);
        size_t outLeft = sizeof(buf);
        const size_t rc = iconv(cv.get(), &in, &inLeft, &o, &outLeft);
        out.append(reinterpret_cast<const QChar *>(buf), static_cast<qsizetype>((sizeof(buf) - outLeft) / 2));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte that does not start a GBK character, or a pair cut off.
            out.append(QChar(0xFFFD));
            ++in;
            --inLeft;
            iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

QByteArray lyrWideToAnsi(const QString &text)
{
    Iconv cv("GBK", "UTF-16LE");
    if (!cv.valid()) return text.toLatin1();
    QByteArray out;
    out.reserve(text.size() * 2);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.constData()));
    size_t inLeft = static_cast<size_t>(text.size()) * 2;
    char buf[1024];
    while (inLeft > 0) {
        char *o = buf;
        size_t outLeft = sizeof(buf);
        const size_t rc = iconv(cv.get(), &in, &inLeft, &o, &outLeft);
        out.append(buf, static_cast<qsizetype>(sizeof(buf) - outLeft));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // Skip one code unit, or a whole surrogate pair.
            const char16_t u =
                    static_cast<char16_t>(static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8));
            const size_t skip = (QChar::isHighSurrogate(u) && inLeft >= 4) ? 4 : 2;
            out.append('?');
            in += qMin(skip, inLeft);
            inLeft -= qMin(skip, inLeft);
            iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

QString TWideStrings::Get(int i) const
{
    return (i >= 0 && i < Count()) ? lines_[i] : QString();
}

void TWideStrings::Put(int i, const QString &s)
{
    if (i < 0 || i > Count()) throw EWideStringError(QStringLiteral("Wide String Out of Bounds"));
    if (i == Count())
        AddObject(s, 0);
    else
        lines_[i] = s;
}

TWideStrings::Object TWideStrings::GetObject(int i) const
{
    return (i >= 0 && i < Count()) ? objects_[i] : 0;
}

void TWideStrings::PutObject(int i, Object o)
{
    if (i >= 0 && i < Count()) objects_[i] = o;
}

int TWideStrings::AddObject(const QString &s, Object o)
{
    lines_.append(s);
    objects_.append(o);
    return Count() - 1;
}

void TWideStrings::AddStrings(const TWideStrings &list)
{
    if (&list == this) {
        const TWideStrings copy = list;
        AddStrings(copy);
        return;
    }
    lines_.append(list.lines_);
    objects_.append(list.objects_);
}

void TWideStrings::Delete(int i)
{
    if (i < 0 || i >= Count()) throw EWideStringError(QStringLiteral("Wide String Out of Bounds"));
    lines_.removeAt(i);
    objects_.removeAt(i);
}

int TWideStrings::IndexOf(const QString &s) const
{
    return static_cast<int>(lines_.indexOf(s));
}

void TWideStrings::Clear()
{
    lines_.clear();
    objects_.clear();
}

QString TWideStrings::Text() const
{
    qsizetype total = 0;
    for (const QString &l : lines_) total += l.size() + 2;
    QString out;
    out.reserve(total);
    for (const QString &l : lines_) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

void TWideStrings::SetText(const QString &text)
{
    Clear();
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && p[i] != u'\r' && p[i] != u'\n' && p[i] != QChar(0x2028)) ++i;
        Add(QString(p + start, i - start));
        if (i < n && p[i] == u'\r') ++i;
        if (i < n && p[i] == u'\n') ++i;
        if (i < n && p[i] == QChar(0x2028)) ++i;
    }
}

void TWideStrings::Assign(const TWideStrings &source)
{
    if (&source == this) return;
    lines_ = source.lines_;
    objects_ = source.objects_;
}

void TWideStrings::Assign(const QStringList &source)
{
    lines_ = source;
    objects_ = QList<Object>(source.size(), 0);
}

void TWideStrings::AssignTo(QStringList &dest) const
{
    dest = lines_;
}

void TWideStrings::AssignAnsi(const QList<QByteArray> &source)
{
    Clear();
    for (const QByteArray &s : source) Add(lyrAnsiToWide(s));
}

QList<QByteArray> TWideStrings::ToAnsi() const
{
    QList<QByteArray> out;
    out.reserve(lines_.size());
    for (const QString &l : lines_) out.append(lyrWideToAnsi(l));
    return out;
}

QList<QByteArray> TWideStrings::UTF8() const
{
    QList<QByteArray> out;
    out.reserve(lines_.size());
    for (const QString &l : lines_) out.append(l.toUtf8());
    return out;
}

void TWideStrings::SetUTF8(const QList<QByteArray> &lines)
{
    Clear();
    for (const QByteArray &s : lines) Add(QString::fromUtf8(s));
}

namespace {

// Well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF) that
// holds at least one character beyond ASCII.
bool isNonAsciiUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    bool nonAscii = false;
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more;
        char32_t code;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (more > n - 1 - i) return false;
        for (int k = 1; k <= more; ++k) {
            const unsigned char d = p[i + k];
            if ((d & 0xC0) != 0x80) return false;
            code = (code << 6) | (d & 0x3F);
        }
        if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (more == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        nonAscii = true;
        i += more + 1;
    }
    return nonAscii;
}

}  // namespace

void TWideStrings::LoadFromBytes(QByteArrayView bytes)
{
    const auto starts = [&](const char *sig, qsizetype len) {
        return bytes.size() >= len && memcmp(bytes.data(), sig, static_cast<size_t>(len)) == 0;
    };
    if (bytes.size() > 2 && starts("\xFF\xFE", 2)) {
        const qsizetype units = (bytes.size() - 2) / 2;
        QString text(units, Qt::Uninitialized);
        const auto *b = reinterpret_cast<const unsigned char *>(bytes.data()) + 2;
        for (qsizetype k = 0; k < units; ++k) text[k] = QChar(static_cast<char16_t>(b[2 * k] | (b[2 * k + 1] << 8)));
        SetText(text);
    } else if (starts("\xEF\xBB\xBF", 3)) {
        SetText(QString::fromUtf8(bytes.data() + 3, bytes.size() - 3));
    } else if (isNonAsciiUtf8(bytes)) {
        // Files of this system are usually UTF-8 without a signature; read
        // as GBK they would lose every Chinese character.
        SetText(QString::fromUtf8(bytes.data(), bytes.size()));
    } else {
        SetText(lyrAnsiToWide(bytes));
    }
}

void TWideStrings::LoadFromStream(QIODevice &stream)
{
    LoadFromBytes(stream.readAll());
}

QByteArray TWideStrings::SaveToBytes() const
{
    const QString text = Text();
    QByteArray out;
    out.reserve(2 + text.size() * 2);
    out.append('\xFF').append('\xFE');
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

void TWideStrings::SaveToStream(QIODevice &stream) const
{
    const QByteArray bytes = SaveToBytes();
    const qint64 written = stream.write(bytes);
    if (written != bytes.size())
        throw EWideStringError(written < 0 ? stream.errorString() : QStringLiteral("磁盘已满，文件未写完"));
}

void TWideStrings::LoadFromFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EWideStringError(QStringLiteral("无法打开文件 %1").arg(QFileInfo(fileName).fileName()));
    LoadFromStream(f);
}

void TWideStrings::SaveToFile(const QString &fileName) const
{
    try {
        lyrSaveFile(fileName, [this](QIODevice &file) { SaveToStream(file); });
    } catch (const ElyrError &e) {
        throw EWideStringError(e.Message());
    }
}

void TWideStrings::WriteUTF8Property(TlyrPropWriter &writer) const
{
    writer.WriteListBegin();
    for (const QString &l : lines_) writer.WriteLString(l.toUtf8());
    writer.WriteListEnd();
}

void TWideStrings::ReadUTF8Property(TlyrPropReader &reader)
{
    QStringList lines;
    reader.ReadListBegin();
    while (!reader.EndOfList()) lines.append(QString::fromUtf8(reader.ReadRawString()));
    reader.ReadListEnd();
    Assign(lines);
}

void TWideStrings::ReadStringsProperty(TlyrPropReader &reader)
{
    QStringList lines;
    reader.ReadListBegin();
    while (!reader.EndOfList()) {
        switch (reader.NextValue()) {
        case TlyrValueType::vaString:
        case TlyrValueType::vaLString:
            lines.append(lyrAnsiToWide(reader.ReadRawString()));
            break;
        default:
            lines.append(reader.ReadString());
            break;
        }
    }
    reader.ReadListEnd();
    Assign(lines);
}
