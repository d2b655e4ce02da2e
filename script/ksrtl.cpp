#include "script/ksrtl.h"

#include "script/ks_limits.h"

#include "platform/plaindecimal.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

const qint64 kJulianDayOfZero = 2415019;  // 1899-12-30
const double kMsPerDay = 86400000.0;

KsError ConvertError(const QString &msg)
{
    return KsError(QStringLiteral("EConvertError"), msg);
}

// Splits a serial into whole days (floor towards the 1899-12-30 rule) and
// milliseconds of the day.
void SplitSerial(double dt, qint64 &days, qint64 &ms)
{
    // Far past any calendar (or not a number): held in range so the split
    // stays defined; the date shown is then meaningless anyway.
    if (!std::isfinite(dt)) dt = 0;
    dt = std::clamp(dt, -1e15, 1e15);
    double whole = std::trunc(dt);
    double frac = std::fabs(dt - whole);
    ms = qint64(std::llround(frac * kMsPerDay));
    days = qint64(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += dt < 0 ? -1 : 1;
    }
}

}  // namespace

KsFormatSettings::KsFormatSettings()
{
    for (int m = 1; m <= 12; ++m) {
        static const char *const cn[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十", "十一", "十二"};
        ShortMonthNames << QString::fromUtf8(cn[m - 1]) + QStringLiteral("月");
    }
    LongMonthNames = ShortMonthNames;
    static const char *const days[] = {"日", "一", "二", "三", "四", "五", "六"};
    for (const char *d : days) {
        ShortDayNames << QStringLiteral("星期") + QString::fromUtf8(d);
        LongDayNames << QStringLiteral("星期") + QString::fromUtf8(d);
    }
}

KsFormatSettings &ksFormatSettings()
{
    static KsFormatSettings s;
    return s;
}

bool ksIsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int ksDaysInMonth(int year, int month)
{
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return len[month - 1] + (month == 2 && ksIsLeapYear(year) ? 1 : 0);
}

bool ksTryEncodeDate(int year, int month, int day, double &out)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > ksDaysInMonth(year, month)) return false;
    out = double(QDate(year, month, day).toJulianDay() - kJulianDayOfZero);
    return true;
}

double ksEncodeDate(int year, int month, int day)
{
    double d;
    if (!ksTryEncodeDate(year, month, day, d)) throw ConvertError(QStringLiteral("Invalid argument to date encode"));
    return d;
}

bool ksTryEncodeTime(int hour, int min, int sec, int msec, double &out)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999) return false;
    out = (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / kMsPerDay;
    return true;
}

double ksEncodeTime(int hour, int min, int sec, int msec)
{
    double d;
    if (!ksTryEncodeTime(hour, min, sec, msec, d))
        throw ConvertError(QStringLiteral("Invalid argument to time encode"));
    return d;
}

void ksDecodeDate(double dt, int &year, int &month, int &day)
{
    qint64 days, ms;
    SplitSerial(dt, days, ms);
    QDate d = QDate::fromJulianDay(days + kJulianDayOfZero);
    year = d.year();
    month = d.month();
    day = d.day();
}

void ksDecodeTime(double dt, int &hour, int &min, int &sec, int &msec)
{
    qint64 days, ms;
    SplitSerial(dt, days, ms);
    hour = int(ms / 3600000);
    min = int(ms / 60000 % 60);
    sec = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

int ksDayOfWeek(double dt)
{
    qint64 days, ms;
    SplitSerial(dt, days, ms);
    return QDate::fromJulianDay(days + kJulianDayOfZero).dayOfWeek() % 7 + 1;
}

double ksNow()
{
    QDateTime now = QDateTime::currentDateTime();
    return double(now.date().toJulianDay() - kJulianDayOfZero) + now.time().msecsSinceStartOfDay() / kMsPerDay;
}

double ksDateOf(double dt)
{
    return std::trunc(dt);
}
double ksTimeOf(double dt)
{
    return std::fabs(dt - std::trunc(dt));
}

QString ksDateToStr(double dt)
{
    return ksFormatDateTime(ksFormatSettings().ShortDateFormat, dt);
}
QString ksTimeToStr(double dt)
{
    return ksFormatDateTime(ksFormatSettings().LongTimeFormat, dt);
}

QString ksDateTimeToStr(double dt)
{
    qint64 days, ms;
    SplitSerial(dt, days, ms);
    QString s = ksDateToStr(dt);
    if (ms != 0) s += QLatin1Char(' ') + ksTimeToStr(dt);
    return s;
}

QString ksDateValueToStr(double dt)
{
    qint64 days, ms;
    SplitSerial(dt, days, ms);
    if (days == 0 && ms != 0) return ksTimeToStr(dt);
    return ksDateTimeToStr(dt);
}

// ---- parsing ------------------------------------------------------------------------

namespace {

// Reads up to three numbers separated by one of `seps`; returns the count read
// and the position after the last number.
int ReadNumbers(const QString &s, int &pos, int *out, int max, const QString &seps, int *digits = nullptr)
{
    int n = 0;
    while (n < max) {
        int start = pos;
        qint64 v = 0;
        while (pos < s.size() && s[pos].isDigit() && s[pos].unicode() < 128 && pos - start < 9)
            v = v * 10 + (s[pos++].unicode() - '0');
        if (pos == start) break;
        if (digits) digits[n] = pos - start;
        out[n++] = int(v);
        if (n < max && pos < s.size() && seps.contains(s[pos]) && pos + 1 < s.size() && s[pos + 1].isDigit())
            ++pos;
        else
            break;
    }
    return n;
}

bool ParseDate(const QString &s, int &pos, double &out)
{
    int v[3], dg[3];
    int n = ReadNumbers(s, pos, v, 3, QStringLiteral("-/."), dg);
    int year, month, day;
    if (n == 3) {  // the system's order: year, month, day
        year = v[0];
        month = v[1];
        day = v[2];
        if (dg[0] <= 2) year += year < 50 ? 2000 : 1900;
    } else if (n == 2) {
        year = QDate::currentDate().year();
        month = v[0];
        day = v[1];
    } else {
        return false;
    }
    return ksTryEncodeDate(year, month, day, out);
}

bool ParseTime(const QString &s, int &pos, double &out)
{
    int v[3] = {0, 0, 0};
    int n = ReadNumbers(s, pos, v, 3, QStringLiteral(":"));
    if (n == 0) return false;
    int msec = 0;
    if (n == 3 && pos + 1 < s.size() && s[pos] == QLatin1Char('.') && s[pos + 1].isDigit()) {
        ++pos;
        int start = pos, ms = 0;
        while (pos < s.size() && s[pos].isDigit() && pos - start < 3) ms = ms * 10 + (s[pos++].unicode() - '0');
        for (int k = pos - start; k < 3; ++k) ms *= 10;
        msec = ms;
    }
    int hour = v[0];
    while (pos < s.size() && s[pos] == QLatin1Char(' ')) ++pos;
    QString rest = s.mid(pos).toUpper();
    const KsFormatSettings &fs = ksFormatSettings();
    auto eat = [&](const QString &word) {
        if (!word.isEmpty() && rest.startsWith(word.toUpper())) {
            pos += word.size();
            return true;
        }
        return false;
    };
    if (eat(QStringLiteral("AM")) || eat(fs.TimeAMString)) {
        if (hour > 12) return false;
        if (hour == 12) hour = 0;
    } else if (eat(QStringLiteral("PM")) || eat(fs.TimePMString)) {
        if (hour > 12) return false;
        if (hour < 12) hour += 12;
    } else if (n == 1) {
        return false;
    }
    return ksTryEncodeTime(hour, v[1], v[2], msec, out);
}

bool AtEnd(const QString &s, int pos)
{
    return s.mid(pos).trimmed().isEmpty();
}

}  // namespace

bool ksTryStrToDate(const QString &text, double &out)
{
    QString s = text.trimmed();
    int pos = 0;
    return ParseDate(s, pos, out) && AtEnd(s, pos);
}

bool ksTryStrToTime(const QString &text, double &out)
{
    QString s = text.trimmed();
    int pos = 0;
    return ParseTime(s, pos, out) && AtEnd(s, pos);
}

bool ksTryStrToDateTime(const QString &text, double &out)
{
    QString s = text.trimmed();
    int pos = 0;
    double d = 0, t = 0;
    if (!ParseDate(s, pos, d)) {
        pos = 0;
        if (!ParseTime(s, pos, t) || !AtEnd(s, pos)) return false;
        out = t;
        return true;
    }
    while (pos < s.size() && (s[pos] == QLatin1Char(' ') || s[pos] == QLatin1Char('T'))) ++pos;
    if (pos < s.size() && !ParseTime(s, pos, t)) return false;
    if (!AtEnd(s, pos)) return false;
    out = d < 0 ? d - t : d + t;
    return true;
}

double ksStrToDate(const QString &s)
{
    double d;
    if (!ksTryStrToDate(s, d)) throw ConvertError(QStringLiteral("'%1' is not a valid date").arg(s));
    return d;
}

double ksStrToTime(const QString &s)
{
    double d;
    if (!ksTryStrToTime(s, d)) throw ConvertError(QStringLiteral("'%1' is not a valid time").arg(s));
    return d;
}

double ksStrToDateTime(const QString &s)
{
    double d;
    if (!ksTryStrToDateTime(s, d)) throw ConvertError(QStringLiteral("'%1' is not a valid date and time").arg(s));
    return d;
}

// ---- FormatDateTime ------------------------------------------------------------------

namespace {

void AppendDateTime(QString &out, const QString &fmt, double dt, int depth)
{
    const KsFormatSettings &fs = ksFormatSettings();
    int y, mo, d, h, mi, s, ms;
    ksDecodeDate(dt, y, mo, d);
    ksDecodeTime(dt, h, mi, s, ms);
    bool lastWasHour = false;
    // Is an "am/pm" marker used anywhere? It selects the 12-hour clock.
    const QString lower = fmt.toLower();
    const bool twelve = lower.contains(QLatin1String("am/pm")) || lower.contains(QLatin1String("a/p")) ||
                        lower.contains(QLatin1String("ampm"));
    int i = 0;
    const int n = fmt.size();
    auto count = [&](QChar c) {
        int k = 0;
        while (i + k < n && fmt[i + k].toLower() == c) ++k;
        return k;
    };
    while (i < n) {
        QChar c = fmt[i];
        QChar lc = c.toLower();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            int j = fmt.indexOf(c, i + 1);
            if (j < 0) j = n;
            out += fmt.mid(i + 1, j - i - 1);
            i = j + 1;
            continue;
        }
        if (lc == QLatin1Char('a')) {
            if (lower.mid(i, 5) == QLatin1String("am/pm")) {
                out += h < 12 ? QStringLiteral("am") : QStringLiteral("pm");
                if (fmt[i].isUpper())
                    out = out.left(out.size() - 2) + (h < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
                i += 5;
            } else if (lower.mid(i, 3) == QLatin1String("a/p")) {
                out += fmt[i].isUpper() ? (h < 12 ? QStringLiteral("A") : QStringLiteral("P"))
                                        : (h < 12 ? QStringLiteral("a") : QStringLiteral("p"));
                i += 3;
            } else if (lower.mid(i, 4) == QLatin1String("ampm")) {
                out += h < 12 ? fs.TimeAMString : fs.TimePMString;
                i += 4;
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        int k;
        switch (lc.unicode()) {
        case 'c':
            k = count(lc);
            i += k;
            if (depth < 2) {
                AppendDateTime(out, fs.ShortDateFormat, dt, depth + 1);
                if (h || mi || s || ms) {
                    out += QLatin1Char(' ');
                    AppendDateTime(out, fs.LongTimeFormat, dt, depth + 1);
                }
            }
            break;
        case 'd':
            k = count(lc);
            i += k;
            if (k == 1)
                out += QString::number(d);
            else if (k == 2)
                out += QStringLiteral("%1").arg(d, 2, 10, QLatin1Char('0'));
            else if (k == 3)
                out += fs.ShortDayNames.value(ksDayOfWeek(dt) - 1);
            else if (k == 4)
                out += fs.LongDayNames.value(ksDayOfWeek(dt) - 1);
            else if (depth < 2)
                AppendDateTime(out, k == 5 ? fs.ShortDateFormat : fs.LongDateFormat, dt, depth + 1);
            break;
        case 'y':
            k = count(lc);
            i += k;
            if (k <= 2)
                out += QStringLiteral("%1").arg(y % 100, 2, 10, QLatin1Char('0'));
            else
                out += QStringLiteral("%1").arg(y, 4, 10, QLatin1Char('0'));
            break;
        case 'm':
            k = count(lc);
            i += k;
            if (lastWasHour && k <= 2) {
                out += k == 1 ? QString::number(mi) : QStringLiteral("%1").arg(mi, 2, 10, QLatin1Char('0'));
            } else if (k == 1)
                out += QString::number(mo);
            else if (k == 2)
                out += QStringLiteral("%1").arg(mo, 2, 10, QLatin1Char('0'));
            else if (k == 3)
                out += fs.ShortMonthNames.value(mo - 1);
            else
                out += fs.LongMonthNames.value(mo - 1);
            lastWasHour = false;
            continue;
        case 'h': {
            k = count(lc);
            i += k;
            int hh = h;
            if (twelve) {
                hh = h % 12;
                if (hh == 0) hh = 12;
            }
            out += k == 1 ? QString::number(hh) : QStringLiteral("%1").arg(hh, 2, 10, QLatin1Char('0'));
            lastWasHour = true;
            continue;
        }
        case 'n':
            k = count(lc);
            i += k;
            out += k == 1 ? QString::number(mi) : QStringLiteral("%1").arg(mi, 2, 10, QLatin1Char('0'));
            break;
        case 's':
            k = count(lc);
            i += k;
            out += k == 1 ? QString::number(s) : QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
            break;
        case 'z':
            k = count(lc);
            i += k;
            out += k < 3 ? QString::number(ms) : QStringLiteral("%1").arg(ms, 3, 10, QLatin1Char('0'));
            break;
        case 't':
            k = count(lc);
            i += k;
            if (depth < 2) AppendDateTime(out, k == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, depth + 1);
            break;
        case '/':
            out += fs.DateSeparator;
            ++i;
            continue;
        case ':':
            out += fs.TimeSeparator;
            ++i;
            continue;
        default:
            out += c;
            ++i;
            continue;  // a literal keeps the hour context (as in "hh:mm")
        }
        if (lc != QLatin1Char('h')) lastWasHour = false;
    }
}

}  // namespace

QString ksFormatDateTime(const QString &fmt, double dt)
{
    QString out;
    AppendDateTime(out, fmt.isEmpty() ? QStringLiteral("c") : fmt, dt, 0);
    return out;
}

QString ksFloatToStr(double d)
{
    return ksFloatToText(d);
}

// ---- FormatFloat ---------------------------------------------------------------------------

namespace {

QString GroupThousands(const QString &digits)
{
    QString out;
    const QChar sep = ksFormatSettings().ThousandSeparator;
    int n = digits.size();
    for (int i = 0; i < n; ++i) {
        out += digits[i];
        int left = n - 1 - i;
        if (left > 0 && left % 3 == 0) out += sep;
    }
    return out;
}

QStringList SplitSections(const QString &fmt)
{
    QStringList sections;
    QString cur;
    QChar quote;
    for (QChar c : fmt) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            cur += c;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            cur += c;
        } else if (c == QLatin1Char(';')) {
            sections << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    sections << cur;
    return sections;
}

QString ApplySection(const QString &sec, double value)
{
    const KsFormatSettings &fs = ksFormatSettings();
    // Analyse the placeholders.
    int intZeros = -1, intCount = 0, fracZeros = 0, fracHashes = 0, expPos = -1;
    bool thousands = false, seenPoint = false, expSign = false;
    int expDigits = 0;
    int firstPh = -1, lastIntPh = -1;
    QChar quote;
    for (int i = 0; i < sec.size(); ++i) {
        QChar c = sec[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            continue;
        }
        if (expPos >= 0) continue;
        if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            if (firstPh < 0) firstPh = i;
            if (!seenPoint) {
                ++intCount;
                lastIntPh = i;
                if (c == QLatin1Char('0') && intZeros < 0) intZeros = intCount - 1;
            } else if (c == QLatin1Char('0')) {
                fracZeros = fracZeros + fracHashes + 1;
                fracHashes = 0;
            } else {
                ++fracHashes;
            }
        } else if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
            if (firstPh < 0) firstPh = i;
        } else if (c == QLatin1Char(',')) {
            thousands = true;
        } else if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && i + 1 < sec.size() &&
                   (sec[i + 1] == QLatin1Char('+') || sec[i + 1] == QLatin1Char('-'))) {
            expPos = i;
            expSign = sec[i + 1] == QLatin1Char('+');
            int j = i + 2;
            while (j < sec.size() && sec[j] == QLatin1Char('0')) {
                ++expDigits;
                ++j;
            }
        }
    }
    if (firstPh < 0) {  // no placeholder: literal text only
        QString out;
        QChar q;
        for (QChar c : sec) {
            if (!q.isNull()) {
                if (c == q)
                    q = QChar();
                else
                    out += c;
            } else if (c == QLatin1Char('"') || c == QLatin1Char('\''))
                q = c;
            else
                out += c;
        }
        return out;
    }
    const int minInt = intZeros < 0 ? 0 : intCount - intZeros;
    const int maxFrac = fracZeros + fracHashes;
    // Digits.
    double a = std::fabs(value);
    int exponent = 0;
    if (expPos >= 0 && a != 0) {
        int intDigits = std::max(1, intCount);
        exponent = int(std::floor(std::log10(a))) - (intDigits - 1);
        a = a / std::pow(10.0, exponent);
        if (std::llround(a * std::pow(10.0, maxFrac)) >= std::pow(10.0, intDigits + maxFrac)) {
            ++exponent;
            a /= 10;
        }
    }
    QString fixed = velmora::fixedDecimal(a, maxFrac);
    QString intPart = fixed.section(QLatin1Char('.'), 0, 0);
    QString fracPart = maxFrac > 0 ? fixed.section(QLatin1Char('.'), 1, 1) : QString();
    while (fracPart.size() > fracZeros && fracPart.endsWith(QLatin1Char('0'))) fracPart.chop(1);
    if (intPart == QLatin1String("0")) intPart.clear();
    while (intPart.size() < minInt) intPart.prepend(QLatin1Char('0'));
    QString intText = thousands ? GroupThousands(intPart) : intPart;
    // Emit: literals before the first placeholder, the number, literals after.
    QString out;
    quote = QChar();
    bool numberDone = false;
    for (int i = 0; i < sec.size(); ++i) {
        QChar c = sec[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out += c;
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            continue;
        }
        if (i == expPos) {
            out += c;
            QString e = QString::number(std::abs(exponent));
            while (e.size() < expDigits) e.prepend(QLatin1Char('0'));
            if (exponent < 0)
                out += QLatin1Char('-');
            else if (expSign)
                out += QLatin1Char('+');
            out += e;
            i += 1 + expDigits;
            continue;
        }
        // A comma anywhere in the number's part only switches grouping on,
        // also before the first digit placeholder.
        if (c == QLatin1Char(',') && (expPos < 0 || i < expPos)) continue;
        bool ph = c == QLatin1Char('0') || c == QLatin1Char('#') || (c == QLatin1Char('.') && i >= firstPh);
        if (ph && i >= firstPh && (expPos < 0 || i < expPos)) {
            if (!numberDone) {
                out += intText;
                if (!fracPart.isEmpty()) out += fs.DecimalSeparator + fracPart;
                numberDone = true;
            }
            continue;
        }
        out += c;
    }
    Q_UNUSED(lastIntPh);
    return out;
}

}  // namespace

QString ksFormatFloat(const QString &fmt, double value)
{
    if (fmt.isEmpty()) return ksFloatToText(value);
    if (std::isnan(value) || std::isinf(value)) return ksFloatToText(value);
    QStringList sections = SplitSections(fmt);
    QString sec = sections[0];
    bool negSection = false;
    if (value < 0 && sections.size() >= 2 && !sections[1].isEmpty()) {
        sec = sections[1];
        negSection = true;
    }
    if (value == 0 && sections.size() >= 3 && !sections[2].isEmpty()) return ApplySection(sections[2], 0);
    QString text = ApplySection(sec, value);
    // A negative value that rounds to zero is shown without a sign.
    bool hasNonZeroDigit = false;
    for (QChar c : text)
        if (c.isDigit() && c != QLatin1Char('0')) hasNonZeroDigit = true;
    if (value < 0 && !negSection && hasNonZeroDigit) text.prepend(QLatin1Char('-'));
    return text;
}

// ---- Format --------------------------------------------------------------------------------

namespace {

KsError FormatError(const QString &fmt)
{
    return ConvertError(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(fmt));
}

QString FixedWithThousands(double v, int prec)
{
    QString s = velmora::fixedDecimal(std::fabs(v), prec);
    QString ip = s.section(QLatin1Char('.'), 0, 0);
    QString fp = prec > 0 ? s.section(QLatin1Char('.'), 1, 1) : QString();
    QString out = GroupThousands(ip);
    if (prec > 0) out += ksFormatSettings().DecimalSeparator + fp;
    bool nonzero = false;
    for (QChar c : s)
        if (c.isDigit() && c != QLatin1Char('0')) nonzero = true;
    if (v < 0 && nonzero) out.prepend(QLatin1Char('-'));
    return out;
}

QString Scientific(double v, int prec)
{
    // d.dddE+ddd with `prec` significant digits.
    if (prec < 1) prec = 1;
    if (prec > 18) prec = 18;
    QString s = QString::number(v, 'E', prec - 1);
    int e = s.indexOf(QLatin1Char('E'));
    QString mant = s.left(e);
    int exp = s.mid(e + 1).toInt();
    QString es = QString::number(std::abs(exp));
    while (es.size() < 3) es.prepend(QLatin1Char('0'));
    mant.replace(QLatin1Char('.'), ksFormatSettings().DecimalSeparator);
    return mant + QLatin1Char('E') + (exp < 0 ? QLatin1Char('-') : QLatin1Char('+')) + es;
}

QString General(double v, int prec)
{
    if (prec < 1 || prec > 18) prec = 15;
    QString s = QString::number(v, 'g', prec);
    int e = s.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        QString mant = s.left(e);
        int exp = s.mid(e + 1).toInt();
        QString es = QString::number(std::abs(exp));
        while (es.size() < 2) es.prepend(QLatin1Char('0'));
        s = mant + QLatin1Char('E') + (exp < 0 ? QLatin1Char('-') : QLatin1Char('+')) + es;
    }
    s.replace(QLatin1Char('.'), ksFormatSettings().DecimalSeparator);
    return s;
}

}  // namespace

QString ksFormat(const QString &fmt, const std::vector<KsValue> &args)
{
    QString out;
    size_t argIndex = 0;
    int i = 0;
    const int n = fmt.size();
    auto nextArg = [&]() -> const KsValue & {
        if (argIndex >= args.size()) throw FormatError(fmt);
        return args[argIndex++];
    };
    while (i < n) {
        QChar c = fmt[i];
        if (c != QLatin1Char('%')) {
            out += c;
            ++i;
            continue;
        }
        const int start = i++;
        if (i < n && fmt[i] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
            continue;
        }
        auto readNum = [&](int &value) -> bool {
            if (i < n && fmt[i] == QLatin1Char('*')) {
                value = nextArg().ToInt();
                ++i;
                return true;
            }
            int st = i;
            value = 0;
            while (i < n && fmt[i].isDigit() && fmt[i].unicode() < 128) {
                value = value * 10 + (fmt[i].unicode() - '0');
                if (value > ksMaxFormatWidth) throw FormatError(fmt);
                ++i;
            }
            return i > st;
        };
        int num = 0;
        bool left = false;
        int width = -1, prec = -1;
        // An argument index is digits followed by ":".
        int j = i;
        while (j < n && fmt[j].isDigit() && fmt[j].unicode() < 128 && j - i < 6) ++j;
        if (j > i && j < n && fmt[j] == QLatin1Char(':')) {
            argIndex = size_t(fmt.mid(i, j - i).toInt());
            i = j + 1;
        }
        if (i < n && fmt[i] == QLatin1Char('-')) {
            left = true;
            ++i;
        }
        if (readNum(num)) width = num;
        if (i < n && fmt[i] == QLatin1Char('.')) {
            ++i;
            if (!readNum(num)) num = 0;
            prec = num;
        }
        if (i >= n) throw FormatError(fmt);
        QChar type = fmt[i++].toLower();
        const KsValue &a = nextArg();
        QString text;
        switch (type.unicode()) {
        case 'd':
        case 'u': {
            qint64 v;
            if (a.IsIntegral())
                v = a.ToInt64();
            else if ((a.Kind() == KsKind::Double) && a.RawDouble() == std::trunc(a.RawDouble()) &&
                     std::fabs(a.RawDouble()) < 9e18)
                v = qint64(a.RawDouble());
            else
                throw FormatError(fmt);
            if (type == QLatin1Char('u') && v < 0) v = qint64(quint32(v));
            QString digits = QString::number(v < 0 ? -(quint64)v : (quint64)v);
            while (prec > 0 && digits.size() < prec) digits.prepend(QLatin1Char('0'));
            text = (v < 0 ? QStringLiteral("-") : QString()) + digits;
            break;
        }
        case 'x': {
            if (!a.IsIntegral()) throw FormatError(fmt);
            qint64 v = a.ToInt64();
            QString digits = a.Kind() == KsKind::Integer ? QString::number(quint32(v), 16).toUpper()
                                                         : QString::number(quint64(v), 16).toUpper();
            while (prec > 0 && digits.size() < prec) digits.prepend(QLatin1Char('0'));
            text = digits;
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm': {
            if (!(a.IsNumeric() || a.Kind() == KsKind::Date)) throw FormatError(fmt);
            double v = a.ToDouble();
            if (std::isnan(v) || std::isinf(v)) {
                text = ksFloatToText(v);
            } else if (type == QLatin1Char('e')) {
                text = Scientific(v, prec < 0 ? 15 : prec);
            } else if (type == QLatin1Char('f')) {
                QString s = velmora::fixedDecimal(v, prec < 0 ? 2 : std::min(prec, 18));
                s.replace(QLatin1Char('.'), ksFormatSettings().DecimalSeparator);
                text = s;
            } else if (type == QLatin1Char('g')) {
                text = General(v, prec);
            } else if (type == QLatin1Char('n')) {
                text = FixedWithThousands(v, prec < 0 ? 2 : std::min(prec, 18));
            } else {
                QString num = FixedWithThousands(std::fabs(v),
                                                 prec < 0 ? ksFormatSettings().CurrencyDecimals : std::min(prec, 18));
                text = (v < 0 ? QStringLiteral("-") : QString()) + ksFormatSettings().CurrencyString + num;
            }
            break;
        }
        case 's': {
            if (a.IsArray() || a.IsObject()) throw FormatError(fmt);
            text = a.ToText();
            if (prec >= 0 && text.size() > prec) text.truncate(prec);
            break;
        }
        case 'p': {
            if (!a.IsObject() && !a.IsIntegral()) throw FormatError(fmt);
            quint64 v = a.IsObject() ? (quint64(a.RawHandle().Slot) << 32 | a.RawHandle().Gen) : quint64(a.ToInt64());
            text = QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0')).toUpper();
            break;
        }
        default:
            throw FormatError(fmt.mid(start, i - start));
        }
        if (width > text.size()) {
            QString pad(width - text.size(), QLatin1Char(' '));
            text = left ? text + pad : pad + text;
        }
        out += text;
    }
    return out;
}

QString ksFormatValues(const QString &fmt, const KsValue &args)
{
    std::vector<KsValue> list;
    auto add = [&](const KsValue &v) { list.push_back(v.IsArray() || v.IsObject() ? KsValue(0) : v); };
    if (args.IsArray()) {
        for (qint64 i = 0; i < args.ElementCount(); ++i) add(args.Element(i));
    } else if (!args.IsEmpty()) {
        add(args);
    }
    return ksFormat(fmt, list);
}
