#include "platform/excel/excelcell.h"

#include "platform/db/db.h"
#include "platform/plaindecimal.h"

#include <QDate>
#include <QTime>

#include <cmath>

namespace excel {

QString numberText(double value)
{
    // The same text the database layer gives; no text for inf/nan.
    return std::isfinite(value) ? vdb::numberText(value) : QString();
}

bool isPlainNumber(QStringView text, double *value)
{
    const int n = int(text.size());
    int i = 0;
    if (i < n && text[i] == u'-') ++i;
    const int intStart = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') ++i;
    const int intDigits = i - intStart;
    if (intDigits == 0) return false;
    if (intDigits > 1 && text[intStart] == u'0') return false;
    int fracDigits = 0;
    if (i < n && text[i] == u'.') {
        ++i;
        const int fracStart = i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') ++i;
        fracDigits = i - fracStart;
        if (fracDigits == 0) return false;
    }
    if (i != n) return false;
    // Count significant digits: leading zeros of "0.00x" do not count.
    int significant = 0;
    bool started = false;
    for (int k = intStart; k < n; ++k) {
        const QChar c = text[k];
        if (c == u'.') continue;
        if (!started && c == u'0') continue;
        started = true;
        ++significant;
    }
    if (significant > 15) return false;
    // "-0" would come back as "0".
    if (text[0] == u'-' && !started) return false;
    // Only a point with hundreds of zeros after it is too small to read.
    if (value && !velmora::readPlainDecimal(text, *value)) *value = text.toDouble();
    return true;
}

DateKind dateKindOfBuiltinFormat(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) || id == 57 || id == 58)
        return DateKind::Date;
    if (id == 22) return DateKind::DateTime;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47) || id == 55 || id == 56)
        return DateKind::Time;
    return DateKind::None;
}

DateKind dateKindOfFormat(const QString &code)
{
    bool year = false, month = false, day = false, hour = false, second = false;
    const int n = int(code.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = code[i];
        if (c == u'"') {  // literal text
            ++i;
            while (i < n && code[i] != u'"') ++i;
            continue;
        }
        if (c == u'\\' || c == u'_' || c == u'*') {  // escaped, padding, fill
            ++i;
            continue;
        }
        if (c == u'[') {  // colour, condition or elapsed time [h] [mm] [ss]
            const int close = int(code.indexOf(u']', i));
            if (close < 0) break;
            const QString inner = code.mid(i + 1, close - i - 1).toLower();
            if (!inner.isEmpty() && (inner.count(u'h') == inner.size() || inner.count(u'm') == inner.size() ||
                                     inner.count(u's') == inner.size()))
                hour = true;
            i = close;
            continue;
        }
        const QChar l = c.toLower();
        if (l == u'g' && code.mid(i, 7).compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
            i += 6;
            continue;
        }
        if (l == u'a' && (code.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0)) {
            hour = true;
            i += 4;
            continue;
        }
        if (l == u'e' && i + 1 < n && (code[i + 1] == u'+' || code[i + 1] == u'-')) {
            ++i;  // scientific notation
            continue;
        }
        if (l == u'y' || l == u'e')
            year = true;
        else if (l == u'm')
            month = true;
        else if (l == u'd')
            day = true;
        else if (l == u'h')
            hour = true;
        else if (l == u's')
            second = true;
    }
    const bool time = hour || second;
    // "m" beside h or s is minutes; alone it is the month.
    const bool date = year || day || (month && !time);
    if (date && time) return DateKind::DateTime;
    if (date) return DateKind::Date;
    if (time) return DateKind::Time;
    return DateKind::None;
}

QString serialDateText(double serial, DateKind kind, bool date1904)
{
    // 2958466 is 10000-01-01: nothing past it is a date, and a larger serial
    // would not fit the day count.
    if (kind == DateKind::None || !std::isfinite(serial) || serial < 0 || serial >= 2958466) return QString();
    // Round to the second first so that 0.99999999 becomes the next day.
    const double totalSeconds = std::floor(serial * 86400.0 + 0.5);
    qint64 days = qint64(std::floor(totalSeconds / 86400.0));
    const int secs = int(totalSeconds - double(days) * 86400.0);
    QDate date;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(days);
    } else if (days == 60) {
        // Excel counts a 29 February 1900 that never was.
        date = QDate(1900, 2, 28);
    } else if (days > 60) {
        date = QDate(1899, 12, 30).addDays(days);
    } else {
        date = QDate(1899, 12, 31).addDays(days);
    }
    if (!date.isValid() || date.year() > 9999) return QString();
    const QTime time = QTime(0, 0).addSecs(secs);
    switch (kind) {
    case DateKind::Date:
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    case DateKind::DateTime:
        return date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
    case DateKind::Time:
        return time.toString(QStringLiteral("HH:mm:ss"));
    case DateKind::None:
        break;
    }
    return QString();
}

QString columnLetters(int column)
{
    QString out;
    int c = column + 1;
    while (c > 0) {
        const int rem = (c - 1) % 26;
        out.prepend(QChar(u'A' + rem));
        c = (c - 1) / 26;
    }
    return out;
}

bool parseCellRef(QStringView ref, int *column, int *row)
{
    int i = 0;
    const int n = int(ref.size());
    qint64 col = 0;
    while (i < n && ref[i].isLetter() && ref[i].unicode() < 128) {
        col = col * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
        if (col > 1'000'000) return false;
        ++i;
    }
    if (i == 0) return false;
    if (i < n && ref[i] == u'$') ++i;
    qint64 r = 0;
    const int digitsStart = i;
    while (i < n && ref[i] >= u'0' && ref[i] <= u'9') {
        r = r * 10 + (ref[i].unicode() - u'0');
        if (r > 100'000'000) return false;
        ++i;
    }
    if (i != n || i == digitsStart || r == 0) return false;
    *column = int(col - 1);
    *row = int(r);
    return true;
}

}  // namespace excel
