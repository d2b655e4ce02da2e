#include "reportengine/lyrBarcod.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cstring>
#include <cmath>

namespace {

struct TypeInfo {
    const char *identifier;
    const char *name;
    bool numeric;
    bool usesRatio;
};

const TypeInfo kTypes[TlyrBarcode::TypeCount] = {
        {"bcCode_2_5_interleaved", "2_5_interleaved", true, true},
        {"bcCode_2_5_industrial", "2_5_industrial", true, true},
        {"bcCode_2_5_matrix", "2_5_matrix", true, true},
        {"bcCode39", "Code39", false, true},
        {"bcCode39Extended", "Code39 Extended", false, true},
        {"bcCode128A", "Code128A", false, false},
        {"bcCode128B", "Code128B", false, false},
        {"bcCode128C", "Code128C", false, false},
        {"bcCode93", "Code93", false, false},
        {"bcCode93Extended", "Code93 Extended", false, false},
        {"bcCodeMSI", "MSI", true, true},
        {"bcCodePostNet", "PostNet", true, false},
        {"bcCodeCodabar", "Codebar", false, true},
        {"bcCodeEAN8", "EAN8", true, false},
        {"bcCodeEAN13", "EAN13", true, false},
        {"bcCodeUPC_A", "UPC_A", true, false},
        {"bcCodeUPC_E0", "UPC_E0", true, false},
        {"bcCodeUPC_E1", "UPC_E1", true, false},
        {"bcCodeUPC_Supp2", "UPC Supp2", true, false},
        {"bcCodeUPC_Supp5", "UPC Supp5", true, false},
        {"bcCodeEAN128A", "EAN128A", false, false},
        {"bcCodeEAN128B", "EAN128B", false, false},
        {"bcCodeEAN128C", "EAN128C", true, false},
};

bool validType(int t)
{
    return t >= 0 && t < TlyrBarcode::TypeCount;
}

// ---- symbol tables (published tables of each symbology) ----

// 2 of 5: five flags per digit, '1' = wide.
const char *const k2of5[10] = {"00110", "10001", "01001", "11000", "00101",
                               "10100", "01100", "00011", "10010", "01010"};

// Code 39: characters in check-value order, then the start/stop "*";
// nine flags per character (bar, space, ...), '1' = wide.
const char kCode39Chars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
const char *const kCode39[44] = {
        "000110100", "100100001", "001100001", "101100000", "000110001", "100110000", "001110000", "000100101",
        "100100100", "001100100", "100001001", "001001001", "101001000", "000011001", "100011000", "001011000",
        "000001101", "100001100", "001001100", "000011100", "100000011", "001000011", "101000010", "000010011",
        "100010010", "001010010", "000000111", "100000110", "001000110", "000010110", "110000001", "011000001",
        "111000000", "010010001", "110010000", "011010000", "010000101", "110000100", "011000100", "010101000",
        "010100010", "010001010", "000101010", "010010100"};

// Code 93: characters in value order ("[", "]", "{", "}" are the shift
// characters ($) (%) (/) (+)); six widths bar, space, ... in modules.
const char kCode93Chars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%[]{}";
const char *const kCode93[47] = {"131112", "111213", "111312", "111411", "121113", "121212", "121311", "111114",
                                 "131211", "141111", "211113", "211212", "211311", "221112", "221211", "231111",
                                 "112113", "112212", "112311", "122112", "132111", "111123", "111222", "111321",
                                 "121122", "131121", "212112", "212211", "211122", "211221", "221121", "222111",
                                 "112122", "112221", "122121", "123111", "121131", "311112", "311211", "321111",
                                 "112131", "113121", "211131", "121221", "312111", "311121", "122211"};

// Code 128 values 0..105 (103..105 the starts) and the stop; widths in modules.
const char *const kCode128[107] = {
        "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213", "221312",
        "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132", "221231", "213212",
        "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211", "212123", "212321", "232121",
        "111323", "131123", "131321", "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331",
        "132131", "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131", "311123",
        "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111", "111224", "111422", "121124",
        "121421", "141122", "141221", "112214", "112412", "122114", "122411", "142112", "142211", "241211", "221114",
        "413111", "241112", "134111", "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112",
        "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
        "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};
constexpr int kC128Fnc1 = 102;
constexpr int kC128StartA = 103;
constexpr int kC128Stop = 106;

// Codabar: seven flags (bar, space, ...), '1' = wide.
const char kCodabarChars[] = "0123456789-$:/.+ABCD";
const char *const kCodabar[20] = {"0000011", "0000110", "0001001", "1100000", "0010010", "1000010", "0100001",
                                  "0100100", "0110000", "1001000", "0001100", "0011000", "1000101", "1010001",
                                  "1010100", "0010101", "0011010", "0101001", "0001011", "0001110"};

// POSTNET: five bars per digit, '1' = full height.
const char *const kPostnet[10] = {"11000", "00011", "00101", "00110", "01001",
                                  "01010", "01100", "10001", "10010", "10100"};

// EAN/UPC left-hand odd parity (L) codes, modules '1' = bar.  The right-hand
// (R) code is the complement, the even parity (G) code the R code reversed.
const char *const kEanL[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                               "0110001", "0101111", "0111011", "0110111", "0001011"};
// EAN-13 parity of digits 2..7 by the first digit ('A' = L, 'B' = G).
const char *const kEan13Parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                      "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
// UPC-E number system 0 parity by check digit ('E' = G code, 'o' = L code);
// the 5-digit supplement uses letters 2..6.
const char *const kUpcEParity[10] = {"EEEooo", "EEoEoo", "EEooEo", "EEoooE", "EoEEoo",
                                     "EooEEo", "EoooEE", "EoEoEo", "EoEooE", "EooEoE"};

QString eanR(int d)
{
    QString s = QString::fromLatin1(kEanL[d]);
    for (QChar &c : s) c = (c == u'0') ? u'1' : u'0';
    return s;
}

QString eanG(int d)
{
    QString r = eanR(d);
    std::reverse(r.begin(), r.end());
    return r;
}

int digitAt(const QString &s, int i)
{
    return s.at(i).unicode() - '0';
}

bool allDigits(const QString &s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Only a..z: Unicode case mapping would turn e.g. dotless i into "I".
QChar asciiUpper(QChar c)
{
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - 32) : c;
}

QString asciiUpper(const QString &s)
{
    QString out = s;
    for (QChar &c : out) c = asciiUpper(c);
    return out;
}

QString setLen(const QString &s, int n)
{
    return s.length() >= n ? s : QString(n - s.length(), u'0') + s;
}

// Module bits ('1' bar, '0' space) to element codes; runs are 1..4 modules.
QString modulesToElements(const QString &bits)
{
    QString out;
    int i = 0;
    while (i < bits.length()) {
        const QChar c = bits.at(i);
        int run = 1;
        while (i + run < bits.length() && bits.at(i + run) == c) ++run;
        out += QChar((c == u'1' ? '5' : '0') + std::min(run, 4) - 1);
        i += run;
    }
    return out;
}

// Width digits '1'..'4', alternately bar and space starting with a bar.
void appendWidths(QString &out, const char *widths)
{
    for (int i = 0; widths[i]; ++i) out += QChar((i % 2 == 0 ? '5' : '0') + widths[i] - '1');
}

// Narrow/wide flags, alternately bar and space starting with a bar.
void appendFlags(QString &out, const char *flags)
{
    for (int i = 0; flags[i]; ++i) out += QChar((i % 2 == 0 ? '5' : '0') + (flags[i] == '1' ? 1 : 0));
}

QString badData(const QString &name, const char *symbology, const QString &text)
{
    return QStringLiteral("%1:%2 bad Data <%3>").arg(name, QLatin1String(symbology), text);
}

QString lenError(TlyrBarcodeType t)
{
    return QStringLiteral("Invalid Text len (%1)").arg(QLatin1String(kTypes[t].name));
}

const char *const kFullAscii39[128] = {
        "%U", "$A", "$B", "$C", "$D", "$E", "$F", "$G", "$H", "$I", "$J", "$K", "$L", "$M", "$N", "$O",
        "$P", "$Q", "$R", "$S", "$T", "$U", "$V", "$W", "$X", "$Y", "$Z", "%A", "%B", "%C", "%D", "%E",
        " ",  "/A", "/B", "/C", "/D", "/E", "/F", "/G", "/H", "/I", "/J", "/K", "/L", "-",  ".",  "/O",
        "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "/Z", "%F", "%G", "%H", "%I", "%J",
        "%V", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
        "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "%K", "%L", "%M", "%N", "%O",
        "%W", "+A", "+B", "+C", "+D", "+E", "+F", "+G", "+H", "+I", "+J", "+K", "+L", "+M", "+N", "+O",
        "+P", "+Q", "+R", "+S", "+T", "+U", "+V", "+W", "+X", "+Y", "+Z", "%P", "%Q", "%R", "%S", "%T"};

}  // namespace

// ---- value helpers (also used by the tests) ----

namespace lyrBarcodeDetail {

int code128Value(int set, QChar c)
{
    const int u = c.unicode();
    if (set == 0) {
        if (u < 32) return u + 64;
        return u <= 95 ? u - 32 : -1;
    }
    return (u >= 32 && u <= 127) ? u - 32 : -1;
}

int code93Value(QChar c)
{
    if (c.unicode() == 0 || c.unicode() > 127) return -1;
    const char *p = std::strchr(kCode93Chars, char(c.unicode()));
    return p ? int(p - kCode93Chars) : -1;
}

QString fullAsciiExpand(const QString &text, bool code93, bool *ok)
{
    QString out;
    *ok = true;
    for (QChar c : text) {
        if (c.unicode() > 127) {
            *ok = false;
            return QString();
        }
        QString seq = QString::fromLatin1(kFullAscii39[c.unicode()]);
        if (code93 && seq.length() == 2) {
            static const QString shifts39 = QStringLiteral("$%/+");
            static const QString shifts93 = QStringLiteral("[]{}");
            seq[0] = shifts93.at(shifts39.indexOf(seq.at(0)));
        }
        out += seq;
    }
    return out;
}

QString upceToUpca(const QString &d, int numberSystem)
{
    const QString ns = QString::number(numberSystem);
    const QChar last = d.at(5);
    if (last <= u'2') return ns + d.left(2) + last + QStringLiteral("0000") + d.mid(2, 3);
    if (last == u'3') return ns + d.left(3) + QStringLiteral("00000") + d.mid(3, 2);
    if (last == u'4') return ns + d.left(4) + QStringLiteral("00000") + d.at(4);
    return ns + d.left(5) + QStringLiteral("0000") + last;
}

QString modulo10(const QString &digits)
{
    if (!allDigits(digits)) throw ElyrBarcodeError(QStringLiteral("Barcode must be numeric"));
    int sum = 0;
    for (int i = digits.length() - 1, w = 3; i >= 0; --i, w = 4 - w) sum += digitAt(digits, i) * w;
    return QString(QChar('0' + (10 - sum % 10) % 10));
}

int msiCheckDigit(const QString &digits)
{
    // Luhn: the rightmost digit and every second one leftwards are doubled.
    int sum = 0;
    bool dbl = true;
    for (int i = digits.length() - 1; i >= 0; --i, dbl = !dbl) {
        int v = digitAt(digits, i) * (dbl ? 2 : 1);
        sum += v / 10 + v % 10;
    }
    return (10 - sum % 10) % 10;
}

int supplement5Check(const QString &digits)
{
    int sum = 0;
    for (int i = digits.length() - 1, w = 3; i >= 0; --i, w = 12 - w) sum += digitAt(digits, i) * w;
    return sum % 10;
}

}  // namespace lyrBarcodeDetail

using namespace lyrBarcodeDetail;

// ---- type table ----

QString TlyrBarcode::TypeName(TlyrBarcodeType type)
{
    return validType(type) ? QString::fromLatin1(kTypes[type].name) : QString();
}

QString TlyrBarcode::TypeIdentifier(TlyrBarcodeType type)
{
    return validType(type) ? QString::fromLatin1(kTypes[type].identifier) : QString();
}

QStringList TlyrBarcode::TypeNames()
{
    QStringList l;
    for (const TypeInfo &t : kTypes) l << QString::fromLatin1(t.name);
    return l;
}

QStringList TlyrBarcode::TypeIdentifiers()
{
    QStringList l;
    for (const TypeInfo &t : kTypes) l << QString::fromLatin1(t.identifier);
    return l;
}

bool TlyrBarcode::IsNumericType(TlyrBarcodeType type)
{
    return validType(type) && kTypes[type].numeric;
}

bool TlyrBarcode::UsesRatio(TlyrBarcodeType type)
{
    return validType(type) && kTypes[type].usesRatio;
}

void TlyrBarcode::Assign(const TlyrBarcode &source)
{
    Height = source.Height;
    Text = source.Text;
    Modul = source.Modul;
    Ratio = source.Ratio;
    Typ = source.Typ;
    Checksum = source.Checksum;
    Angle = source.Angle;
    Color = source.Color;
    ColorBar = source.ColorBar;
    CheckSumMethod = source.CheckSumMethod;
}

// ---- widths ----

void TlyrBarcode::computeWidths()
{
    // A module of 0 would make a symbol without width; huge ones overflow.
    const int m = std::clamp(Modul, 1, 1000);
    if (UsesRatio(Typ)) {
        const double lo = (Typ == bcCode_2_5_matrix) ? 2.25 : 2.0;
        if (!std::isfinite(Ratio) || Ratio < lo)
            Ratio = lo;
        else if (Ratio > 3.0)
            Ratio = 3.0;
    }
    elementWidths(m, m_w);
}

int TlyrBarcode::elementSlot(QChar code) const
{
    const char c = char(code.unicode() < 128 ? code.unicode() : 0);
    if (c >= '0' && c <= '3') return c - '0';
    if (c >= '5' && c <= '8') return c - '5';
    if (c >= 'A' && c <= 'D') return c - 'A';
    throw ElyrBarcodeError(QStringLiteral("%1: internal Error").arg(Name));
}

int TlyrBarcode::ElementWidth(QChar code) const
{
    return m_w[elementSlot(code)];
}

int TlyrBarcode::sumWidths(const QString &data) const
{
    return sumWidths(data, m_w);
}

int TlyrBarcode::sumWidths(const QString &data, const int widths[4]) const
{
    int w = 0;
    for (QChar c : data) w += widths[elementSlot(c)];
    return w;
}

int TlyrBarcode::Width()
{
    return sumWidths(MakeData());
}

// ---- encoders ----

namespace {

struct Ctx {
    TlyrBarcode &bc;
    QString &display;

    QString check10(const QString &digits) const
    {
        return bc.CheckSumMethod == csmModulo10 ? digits + modulo10(digits) : digits;
    }
};

QString code25Interleaved(const QString &digits)
{
    QString out = QStringLiteral("5050");
    for (int i = 0; i + 1 < digits.length(); i += 2) {
        const char *a = k2of5[digitAt(digits, i)];
        const char *b = k2of5[digitAt(digits, i + 1)];
        for (int k = 0; k < 5; ++k) {
            out += a[k] == '1' ? u'6' : u'5';
            out += b[k] == '1' ? u'1' : u'0';
        }
    }
    return out + QStringLiteral("605");
}

QString code25Industrial(const QString &digits)
{
    QString out = QStringLiteral("606050");
    for (QChar c : digits) {
        const char *p = k2of5[c.unicode() - '0'];
        for (int k = 0; k < 5; ++k) out += p[k] == '1' ? QStringLiteral("60") : QStringLiteral("50");
    }
    return out + QStringLiteral("605060");
}

QString code25Matrix(const QString &digits)
{
    QString out = QStringLiteral("705050");
    for (QChar c : digits) {
        appendFlags(out, k2of5[c.unicode() - '0']);
        out += u'0';
    }
    return out + QStringLiteral("70505");
}

QString code39(Ctx &ctx, const QString &text, const char *symbology)
{
    QString out;
    appendFlags(out, kCode39[43]);
    out += u'0';
    int sum = 0;
    for (QChar c : text) {
        const QChar u = asciiUpper(c);
        const char *p = (u.unicode() > 0 && u.unicode() < 128 && u != u'*')
                                ? std::strchr(kCode39Chars, char(u.unicode()))
                                : nullptr;
        if (!p) throw ElyrBarcodeError(badData(ctx.bc.Name, symbology, ctx.bc.Text));
        const int v = int(p - kCode39Chars);
        appendFlags(out, kCode39[v]);
        out += u'0';
        sum += v;
    }
    if (ctx.bc.Checksum) {
        appendFlags(out, kCode39[sum % 43]);
        out += u'0';
    }
    appendFlags(out, kCode39[43]);
    return out;
}

QString code93(Ctx &ctx, const QString &text, const char *symbology, bool shiftsAllowed)
{
    QList<int> values;
    for (QChar c : text) {
        const int v = code93Value(c);
        if (v < 0 || (v >= 43 && !shiftsAllowed)) throw ElyrBarcodeError(badData(ctx.bc.Name, symbology, ctx.bc.Text));
        values << v;
    }
    // Both check characters are reduced as they go, so no text is too long.
    int c = 0;
    for (int i = values.size() - 1, w = 1; i >= 0; --i, w = w % 20 + 1) c = (c + values[i] * w) % 47;
    int k = c;
    for (int i = values.size() - 1, w = 2; i >= 0; --i, w = w % 15 + 1) k = (k + values[i] * w) % 47;
    values << c << k;

    QString out;
    appendWidths(out, "111141");
    for (int v : values) appendWidths(out, kCode93[v]);
    appendWidths(out, "1111411");
    return out;
}

QString code128(Ctx &ctx, int set, bool ean)
{
    TlyrBarcode &bc = ctx.bc;
    QList<int> values;
    values << kC128StartA + set;
    // The check digit is not written back: Width and DrawBarcode each
    // encode once, and a second pass would append another digit.
    QString text = bc.Text;
    if (ean) {
        values << kC128Fnc1;
        if (bc.Checksum) text = ctx.check10(text);
    }
    if (set == 2) {
        if (!allDigits(text)) throw ElyrBarcodeError(QStringLiteral("Barcode must be numeric"));
        if (text.length() % 2) {
            text.prepend(u'0');
            if (!ean || !bc.Checksum) bc.Text = text;
        }
        for (int i = 0; i < text.length(); i += 2) values << digitAt(text, i) * 10 + digitAt(text, i + 1);
    } else {
        for (QChar c : text) {
            const int v = code128Value(set, c);
            if (v < 0) throw ElyrBarcodeError(badData(bc.Name, "Code128", text));
            values << v;
        }
    }
    // Reduced as it goes: a long text would overflow the plain sum.
    int sum = values[0] % 103;
    for (int i = 1; i < values.size(); ++i) sum = (sum + values[i] * (i % 103)) % 103;
    values << sum << kC128Stop;

    QString out;
    for (int v : values) appendWidths(out, kCode128[v]);
    ctx.display = text;
    return out;
}

QString msi(const QString &digits)
{
    QString out = QStringLiteral("60");
    const QString all = digits + QChar('0' + msiCheckDigit(digits));
    for (QChar c : all) {
        const int d = c.unicode() - '0';
        for (int bit = 3; bit >= 0; --bit) out += (d >> bit) & 1 ? QStringLiteral("60") : QStringLiteral("51");
    }
    return out + QStringLiteral("515");
}

QString postnet(Ctx &ctx)
{
    QString digits = ctx.bc.Text;
    if (ctx.bc.Checksum) {
        int sum = 0;
        for (int i = 0; i < digits.length(); ++i) sum += digitAt(digits, i);
        digits += QChar('0' + (10 - sum % 10) % 10);
    }
    QString out = QStringLiteral("51");
    for (QChar c : digits)
        for (const char *p = kPostnet[c.unicode() - '0']; *p; ++p)
            out += *p == '1' ? QStringLiteral("51") : QStringLiteral("A1");
    ctx.display = digits;
    return out + u'5';
}

QString codabar(Ctx &ctx)
{
    const QString text = asciiUpper(ctx.bc.Text);
    auto index = [](QChar c) {
        const char *p =
                (c.unicode() > 0 && c.unicode() < 128) ? std::strchr(kCodabarChars, char(c.unicode())) : nullptr;
        return p ? int(p - kCodabarChars) : -1;
    };
    auto isStartStop = [&](QChar c) { return index(c) >= 16; };
    // A text framed by its own start/stop letters keeps them; otherwise A..B.
    QString body = text;
    QChar start = u'A', stop = u'B';
    if (text.length() >= 2 && isStartStop(text.front()) && isStartStop(text.back())) {
        start = text.front();
        stop = text.back();
        body = text.mid(1, text.length() - 2);
    }
    QString out;
    appendFlags(out, kCodabar[index(start)]);
    out += u'0';
    for (QChar c : body) {
        const int v = index(c);
        if (v < 0 || v >= 16) throw ElyrBarcodeError(badData(ctx.bc.Name, "Codabar", ctx.bc.Text));
        appendFlags(out, kCodabar[v]);
        out += u'0';
    }
    appendFlags(out, kCodabar[index(stop)]);
    return out;
}

// EAN-8 / EAN-13 / UPC-A digits: n = full length with the check digit.
QString eanDigits(Ctx &ctx, int n)
{
    const QString &text = ctx.bc.Text;
    QString t;
    if (ctx.bc.Checksum) {
        t = text.length() == n ? text.left(n - 1) : setLen(text, n - 1);
        t = ctx.check10(t);
    } else {
        t = setLen(text, n);
    }
    if (t.length() != n) throw ElyrBarcodeError(lenError(ctx.bc.Typ));
    return t;
}

QString ean8(Ctx &ctx)
{
    const QString t = eanDigits(ctx, 8);
    QString bits = QStringLiteral("101");
    for (int i = 0; i < 4; ++i) bits += QLatin1String(kEanL[digitAt(t, i)]);
    bits += QStringLiteral("01010");
    for (int i = 4; i < 8; ++i) bits += eanR(digitAt(t, i));
    ctx.display = t;
    return modulesToElements(bits + QStringLiteral("101"));
}

QString ean13(Ctx &ctx, int n)
{
    QString t = eanDigits(ctx, n);
    ctx.bc.Text = t;
    ctx.display = t;
    if (n == 12) t.prepend(u'0');  // UPC-A is EAN-13 with a leading zero
    const char *parity = kEan13Parity[digitAt(t, 0)];
    QString bits = QStringLiteral("101");
    for (int i = 1; i < 7; ++i)
        bits += parity[i - 1] == 'A' ? QString::fromLatin1(kEanL[digitAt(t, i)]) : eanG(digitAt(t, i));
    bits += QStringLiteral("01010");
    for (int i = 7; i < 13; ++i) bits += eanR(digitAt(t, i));
    return modulesToElements(bits + QStringLiteral("101"));
}

QString upcE(Ctx &ctx, int numberSystem)
{
    const QString &text = ctx.bc.Text;
    QString data;
    if (text.length() <= 6)
        data = setLen(text, 6);
    else if (text.length() == 7)
        data = text.left(6);
    else if (text.length() == 8 && digitAt(text, 0) == numberSystem)
        data = text.mid(1, 6);
    else
        throw ElyrBarcodeError(lenError(ctx.bc.Typ));
    // The check digit is that of the UPC-A number the symbol stands for.
    const QString check = modulo10(upceToUpca(data, numberSystem));
    if (ctx.bc.Checksum) ctx.bc.Text = data + check;
    ctx.display = data + check;

    const char *parity = kUpcEParity[check.at(0).unicode() - '0'];
    const char even = numberSystem == 0 ? 'E' : 'o';
    QString bits = QStringLiteral("101");
    for (int i = 0; i < 6; ++i)
        bits += parity[i] == even ? eanG(digitAt(data, i)) : QString::fromLatin1(kEanL[digitAt(data, i)]);
    return modulesToElements(bits + QStringLiteral("010101"));
}

QString supplement(Ctx &ctx, int n)
{
    QString t = setLen(ctx.bc.Text, n);
    if (t.length() != n) throw ElyrBarcodeError(lenError(ctx.bc.Typ));
    ctx.bc.Text = t;
    ctx.display = t;
    QString parity;
    if (n == 5) {
        parity = QString::fromLatin1(kUpcEParity[supplement5Check(t)] + 1);
    } else {
        static const char *const p2[4] = {"oo", "oE", "Eo", "EE"};
        parity = QString::fromLatin1(p2[(digitAt(t, 0) * 10 + digitAt(t, 1)) % 4]);
    }
    QString bits = QStringLiteral("1011");
    for (int i = 0; i < n; ++i) {
        if (i) bits += QStringLiteral("01");
        bits += parity.at(i) == u'E' ? eanG(digitAt(t, i)) : QString::fromLatin1(kEanL[digitAt(t, i)]);
    }
    return modulesToElements(bits);
}

}  // namespace

QString TlyrBarcode::MakeData()
{
    computeWidths();
    if (IsNumericType(Typ)) {
        Text = Text.trimmed();
        if (!allDigits(Text)) throw ElyrBarcodeError(QStringLiteral("Barcode must be numeric"));
    }
    if (!validType(Typ)) throw ElyrBarcodeError(QStringLiteral("%1: wrong BarcodeType").arg(Name));

    m_display = Text;
    Ctx ctx{*this, m_display};
    switch (Typ) {
    case bcCode_2_5_interleaved: {
        // An odd digit count gets a leading zero instead of losing its last digit.
        const QString d = Text.length() % 2 ? QStringLiteral("0") + Text : Text;
        m_display = d;
        return code25Interleaved(d);
    }
    case bcCode_2_5_industrial:
        return code25Industrial(Text);
    case bcCode_2_5_matrix:
        return code25Matrix(Text);
    case bcCode39:
        m_display = asciiUpper(Text);
        return code39(ctx, Text, "Code39");
    case bcCode39Extended: {
        bool ok = false;
        const QString ext = fullAsciiExpand(Text, false, &ok);
        if (!ok) throw ElyrBarcodeError(badData(Name, "Code39", Text));
        return code39(ctx, ext, "Code39");
    }
    case bcCode128A:
    case bcCode128B:
    case bcCode128C:
        return code128(ctx, Typ - bcCode128A, false);
    case bcCodeEAN128A:
    case bcCodeEAN128B:
    case bcCodeEAN128C:
        return code128(ctx, Typ - bcCodeEAN128A, true);
    case bcCode93:
        return code93(ctx, Text, "Code93", false);
    case bcCode93Extended: {
        bool ok = false;
        const QString ext = fullAsciiExpand(Text, true, &ok);
        if (!ok) throw ElyrBarcodeError(badData(Name, "Code93", Text));
        return code93(ctx, ext, "Code93", true);
    }
    case bcCodeMSI:
        return msi(Text);
    case bcCodePostNet:
        return postnet(ctx);
    case bcCodeCodabar:
        return codabar(ctx);
    case bcCodeEAN8:
        return ean8(ctx);
    case bcCodeEAN13:
        return ean13(ctx, 13);
    case bcCodeUPC_A:
        return ean13(ctx, 12);
    case bcCodeUPC_E0:
        return upcE(ctx, 0);
    case bcCodeUPC_E1:
        return upcE(ctx, 1);
    case bcCodeUPC_Supp2:
        return supplement(ctx, 2);
    case bcCodeUPC_Supp5:
        return supplement(ctx, 5);
    }
    throw ElyrBarcodeError(QStringLiteral("%1: wrong BarcodeType").arg(Name));
}

// ---- drawing ----

int TlyrBarcode::normalizedAngle() const
{
    if (!std::isfinite(Angle)) return 0;
    double a = std::fmod(Angle, 360.0);
    if (a < 0) a += 360.0;
    return (int(std::lround(a / 90.0)) % 4) * 90;
}

namespace {

struct TextPiece {
    QString text;
    double left;  // band along the symbol, pixels
    double right;
};

bool eanFamily(TlyrBarcodeType t)
{
    return t == bcCodeEAN8 || t == bcCodeEAN13 || t == bcCodeUPC_A || t == bcCodeUPC_E0 || t == bcCodeUPC_E1;
}

// Pieces of the human-readable text; band limits in modules of m dots,
// except the digits set outside the symbol of w dots, which take a fixed 8
// pixels of px dots each.
QList<TextPiece> textPieces(TlyrBarcodeType t, const QString &s, int m, int w, double px)
{
    auto mod = [m](double a) { return a * m; };
    switch (t) {
    case bcCodeEAN8:
        return {{s.left(4), mod(3), mod(31)}, {s.mid(4), mod(36), mod(64)}};
    case bcCodeEAN13: {
        QList<TextPiece> p;
        if (s.at(0) != u'0') p.append({s.left(1), -8 * px, -px});
        p.append({s.mid(1, 6), mod(3), mod(45)});
        p.append({s.mid(7), mod(50), mod(92)});
        return p;
    }
    case bcCodeUPC_A:
        return {{s.left(1), -8 * px, -px},
                {s.mid(1, 5), mod(10), mod(45)},
                {s.mid(6, 5), mod(50), mod(85)},
                {s.mid(11), w + px, w + 8 * px}};
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
        return {{s.left(6), mod(3), mod(45)}, {s.mid(6), w + px, w + 8 * px}};
    default:
        return {{s, 0, double(w)}};
    }
}

}  // namespace

void TlyrBarcode::elementWidths(int narrow, int out[4]) const
{
    const double r = UsesRatio(Typ) ? Ratio : 2.0;
    out[0] = narrow;
    out[1] = int(std::lround(narrow * r));
    out[2] = out[1] * 3 / 2;
    out[3] = out[1] * 2;
}

int TlyrBarcode::wholeDotModule(const QString &data, double length) const
{
    // The widest narrow module (in whole dots) whose symbol fits the length;
    // a dot more is the rounding of the rectangle's edges. The quiet zones
    // beyond the rectangle stay clear.
    const int w = sumWidths(data);
    const double ideal = w > 0 ? length * m_w[0] / w : 1;
    for (int k = int(std::clamp(ideal, 0.0, 10000.0)) + 1; k > 1; --k) {
        int widths[4];
        elementWidths(k, widths);
        if (sumWidths(data, widths) <= length + 1) return k;
    }
    return 1;
}

void TlyrBarcode::DrawBarcode(QPainter &painter, const QRectF &rect, bool showText, double scaleX, double scaleY)
{
    const QString data = MakeData();
    if (sumWidths(data) <= 0 || rect.width() <= 0 || rect.height() <= 0) return;
    const int angle = normalizedAngle();
    const bool upright = angle == 0 || angle == 180;
    // Every element takes whole device dots, so no bar is widened or lost
    // by the device's rounding (printers of 203 dpi).
    int dots[4];
    const double length = upright ? rect.width() : rect.height();
    elementWidths(wholeDotModule(data, length), dots);
    const int dotsWide = sumWidths(data, dots);
    // Under one dot a module (a preview zoomed out) the symbol is shrunk into
    // its rectangle rather than run over the next object; nothing could read
    // it at that size anyway.
    const double fit = dotsWide > length + 1 ? length / dotsWide : 1.0;
    const double w = dotsWide * fit;
    const double h = upright ? rect.height() : rect.width();
    // The text and the room it takes follow the canvas's scale, as the
    // texts of the other objects do.
    const double along = std::max(1e-6, upright ? scaleX : scaleY);
    const double across = std::max(1e-6, upright ? scaleY : scaleX);
    const bool ean = eanFamily(Typ);
    const double barH = std::max(0.0, showText ? h - (ean ? 7 : 16) * across : h);

    // Unrotated symbol: bars along x from 0 to w, from y 0 down to barH, text
    // underneath; then turned counter-clockwise into rect from its corner.
    QTransform rot;
    switch (angle) {
    case 90:
        rot = QTransform(0, -1, 1, 0, 0, w);
        break;
    case 180:
        rot = QTransform(-1, 0, 0, -1, w, h);
        break;
    case 270:
        rot = QTransform(0, 1, -1, 0, h, 0);
        break;
    default:
        break;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect, Color);
    painter.setTransform(rot * QTransform::fromTranslate(rect.left(), rect.top()), true);
    painter.fillRect(QRectF(0, 0, w, h), Color);
    double x = 0;
    for (QChar c : data) {
        const double ew = dots[elementSlot(c)] * fit;
        const char k = char(c.unicode());
        if (k >= '5' && k <= '8')
            painter.fillRect(QRectF(x, 0, ew, barH), ColorBar);
        else if (k >= 'A' && k <= 'D')  // short bars stand on the base line
            painter.fillRect(QRectF(x, barH - barH * 2 / 5, ew, barH * 2 / 5), ColorBar);
        x += ew;
    }

    if (showText) {
        QFont font = painter.font();
        font.setPixelSize(std::max(1, int(std::lround(11 * across))));
        painter.setFont(font);
        painter.setPen(ColorBar);
        const QFontMetricsF fm(font);
        for (const TextPiece &p : textPieces(Typ, m_display, dots[0], dotsWide, along)) {
            const QRectF band(p.left * fit, h - 16 * across, (p.right - p.left) * fit, 16 * across);
            painter.fillRect(band, Color);
            const double tw = fm.horizontalAdvance(p.text);
            const QRectF textBox(band.left() + (band.width() - tw) / 2, h - 14 * across, tw, 14 * across);
            painter.drawText(textBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, p.text);
        }
    }
    painter.restore();
}
