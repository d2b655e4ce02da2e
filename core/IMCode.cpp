#include "core/IMCode.h"

#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// ASCII form of the numbered symbols of GBK row 0xA2 (trail bytes 0xA1-0xFE):
// small and capital Roman numerals, "1." to "20.", "(1)" to "(20)", circled
// and parenthesised ideographic numbers.
constexpr const char *Row2[94] = {
        "1", "2",  "3", "4", "5", "6", "7",  "8",  "9",  "10", "",   "",   "",   "",   "",   "",   "1",  "2",  "3",
        "4", "5",  "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "1",  "2",
        "3", "4",  "5", "6", "7", "8", "9",  "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "1",
        "2", "3",  "4", "5", "6", "7", "8",  "9",  "10", "",   "",   "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",
        "9", "10", "",  "",  "1", "2", "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "",   ""};

// Latin letter of each Greek letter (the first letter of its name), alpha to
// omega, for both the capital (0xA6A1-0xA6B8) and the small (0xA6C1-0xA6D8) rows.
constexpr char Greek[25] = "abgdezetiklmnxoprstupcpo";

char upper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : char(c);
}

bool isDigitOrLetter(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

class CodeWriter {
public:
    CodeWriter(int options, int maxLength, QString &out) : options_(options), maxLength_(maxLength), out_(out)
    {
        out_.resize(0);  // keeps the caller's buffer
    }

    bool full() const { return out_.size() >= maxLength_; }

    void unknown()
    {
        if (options_ & PYMarkUnknown) put('?');
    }

    // Walks GBK bytes; a character never spans two calls as long as each call
    // holds whole characters.
    void feed(const unsigned char *p, qsizetype n)
    {
        qsizetype i = 0;
        while (i < n && !full()) {
            const unsigned char c1 = p[i];
            const unsigned char c2 = i + 1 < n ? p[i + 1] : 0;
            if (c1 > 0x80 && c2 >= 0x40) {
                doubleByte(c1, c2);
                i += 2;
            } else {
                singleByte(c1);
                ++i;
            }
        }
    }

private:
    void put(char c)
    {
        if (!full()) out_.append(QLatin1Char(c));
    }

    void put(const char *s)
    {
        while (*s) put(*s++);
    }

    void doubleByte(unsigned char c1, unsigned char c2)
    {
        switch (c1) {
        case 0xA2:
            if (c2 > 0xA0)
                put(c2 <= 0xFE ? Row2[c2 - 0xA1] : "");
            else
                unknown();
            return;
        case 0xA3:  // full-width ASCII
            if (c2 >= 0xA1 && c2 <= 0xFE) {
                const unsigned char c = c2 - 0x80;
                if ((options_ & PYKeepAll) || isDigitOrLetter(c)) put(upper(c));
            } else {
                unknown();
            }
            return;
        case 0xA6:
            if (c2 > 0xA0 && c2 < 0xB9)
                put(upper(Greek[c2 - 0xA1]));
            else if (c2 > 0xC0 && c2 < 0xD9)
                put(upper(Greek[c2 - 0xC1]));
            else
                unknown();
            return;
        default:
            break;
        }
        const int s = PYSyllableOf(c1, c2);
        if (s == 0) {
            unknown();
            return;
        }
        const char *syllable = PYSyllables[s];
        if (options_ & PYFullSyllables) {
            for (int k = 0; k < 6 && syllable[k]; ++k) put(upper(syllable[k]));
        } else {
            put(upper(syllable[0]));
        }
    }

    void singleByte(unsigned char c)
    {
        if (!(options_ & PYKeepAll)) {
            if (isDigitOrLetter(c)) put(upper(c));
        } else if (c < 0x80) {
            put(upper(c));
        } else {
            unknown();  // a lead byte without its trail byte
        }
    }

    int options_;
    qsizetype maxLength_;
    QString &out_;
};

void reserveFor(QString &result, qsizetype units, int options, int maxLength)
{
    const qsizetype perUnit = (options & PYFullSyllables) ? 6 : 2;
    const qsizetype want = std::min<qsizetype>(maxLength, units * perUnit);
    if (result.capacity() < want) result.reserve(want);
}

// One converter per thread, opened on first use, so that a call allocates
// nothing but its result.
class GbkEncoder {
public:
    GbkEncoder() : cd_(iconv_open("GBK", QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE")) {}
    ~GbkEncoder()
    {
        if (valid()) iconv_close(cd_);
    }
    GbkEncoder(const GbkEncoder &) = delete;
    GbkEncoder &operator=(const GbkEncoder &) = delete;
    bool valid() const { return cd_ != iconv_t(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

int PYSyllableOf(unsigned char lead, unsigned char trail)
{
    if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) return 0;
    return PYIndex[(lead - 0x81) * PYIndexRowLength + (trail - 0x40)];
}

void MakePYCodeGBK(QByteArrayView gbk, int options, int maxLength, QString &result)
{
    if (options < 0 || maxLength <= 0) {
        result.resize(0);
        return;
    }
    reserveFor(result, gbk.size(), options, maxLength);
    CodeWriter w(options, maxLength, result);
    w.feed(reinterpret_cast<const unsigned char *>(gbk.data()), gbk.size());
}

void MakePYCode(const QString &text, int options, int maxLength, QString &result)
{
    if (options < 0 || maxLength <= 0) {
        result.resize(0);
        return;
    }
    reserveFor(result, text.size(), options, maxLength);
    CodeWriter w(options, maxLength, result);

    thread_local GbkEncoder encoder;
    if (!encoder.valid()) {
        // Without a GBK converter only ASCII can be read.
        for (QChar ch : text) {
            if (w.full()) break;
            if (ch.unicode() < 0x80) {
                const unsigned char c = static_cast<unsigned char>(ch.unicode());
                w.feed(&c, 1);
            } else if (!ch.isLowSurrogate()) {
                w.unknown();
            }
        }
        return;
    }

    iconv_t cd = encoder.get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.constData()));
    size_t inLeft = size_t(text.size()) * 2;
    char buf[256];
    while (inLeft > 0 && !w.full()) {
        char *out = buf;
        size_t outLeft = sizeof buf;
        const size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
        const int err = errno;
        w.feed(reinterpret_cast<const unsigned char *>(buf), out - buf);
        if (r != size_t(-1) || err == E2BIG) continue;
        // A character GBK lacks, or a surrogate without its partner.
        w.unknown();
        size_t skip = 2;
        if (inLeft >= 4) {
            const QChar *at = reinterpret_cast<const QChar *>(in);
            if (at[0].isHighSurrogate() && at[1].isLowSurrogate()) skip = 4;
        }
        skip = std::min(skip, inLeft);
        in += skip;
        inLeft -= skip;
    }
}

QString MakePYCode(const QString &text, int options, int maxLength)
{
    QString result;
    MakePYCode(text, options, maxLength, result);
    return result;
}
