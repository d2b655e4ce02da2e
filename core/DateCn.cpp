#include "core/DateCn.h"

#include "core/Unit1.h"
#include "platform/ui/checks.h"

#include <QDateEdit>
#include <cstdlib>

namespace {

constexpr char16_t MonthNames[12][3] = {u"正月", u"二月", u"三月", u"四月", u"五月", u"六月",
                                        u"七月", u"八月", u"九月", u"十月", u"冬月", u"腊月"};
constexpr char16_t LeapMonthNames[12][3] = {u"闰正", u"闰二", u"闰三", u"闰四", u"闰五", u"闰六",
                                            u"闰七", u"闰八", u"闰九", u"闰十", u"闰冬", u"闰腊"};
constexpr char16_t DayNames[30][3] = {u"初一", u"初二", u"初三", u"初四", u"初五", u"初六", u"初七", u"初八",
                                      u"初九", u"初十", u"十一", u"十二", u"十三", u"十四", u"十五", u"十六",
                                      u"十七", u"十八", u"十九", u"二十", u"廿一", u"廿二", u"廿三", u"廿四",
                                      u"廿五", u"廿六", u"廿七", u"廿八", u"廿九", u"三十"};

bool isLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Code of day n (0 = 1 January) of Gregorian year y, which must lie in the table.
int lunarCode(int y, int n)
{
    const unsigned char *row = LunarYearTable[y - LunarFirstYear];
    const int first = (row[0] & 0x80) ? 12 : 11;
    const int offset = row[0] & 0x7f;
    const unsigned lengths = (unsigned(row[1]) << 8) | row[2];
    const int leap = row[3];
    auto length = [lengths](int i) { return (lengths >> (15 - i)) & 1u ? 30 : 29; };

    int end = length(0) - offset;  // value of n on the last day of the first month
    if (n > end) {
        int month = first;
        int k = 1;
        for (;;) {
            // The month after the one numbered `leap` is its leap month.
            month = (leap != 0 && month == leap) ? -leap : std::abs(month) % 12 + 1;
            if (n <= end + length(k) || k == 15) break;
            end += length(k);
            ++k;
        }
        const int day = n - end;
        if (day > 30)  // a damaged row; never read past the sixteen months
            return 0;
        return month > 0 ? month * 100 + day : month * 100 - day;
    }
    const int day = offset + n;
    int month = first;
    // 1 January may lie in a leap month; the last day of the year before tells.
    if (y > LunarFirstYear && lunarCode(y - 1, isLeapYear(y - 1) ? 365 : 364) < 0) month = -first;
    return month > 0 ? month * 100 + day : month * 100 - day;
}

QStringView monthName(int code)
{
    const int month = std::abs(code) / 100;
    if (month < 1 || month > 12) return {};
    return code < 0 ? QStringView(LeapMonthNames[month - 1]) : QStringView(MonthNames[month - 1]);
}

QStringView dayName(int code)
{
    const int day = std::abs(code) % 100;
    if (day < 1 || day > 30) return {};
    return QStringView(DayNames[day - 1]);
}

int digitsAt(const QString &s, int pos, int count)
{
    int v = 0;
    for (int i = pos; i < pos + count; ++i) {
        const char16_t c = s.at(i).unicode();
        if (c < u'0' || c > u'9') return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

}  // namespace

int GetDayOfYear(const QDate &date)
{
    return date.isValid() ? date.dayOfYear() : 0;
}

bool InLunarTable(const QDate &date)
{
    return date.isValid() && date.year() >= LunarFirstYear && date.year() <= LunarLastYear;
}

bool requireLunarTableDate(QDateEdit *picker)
{
    if (InLunarTable(picker->date())) return true;
    return ui::fail(ui::badDateMessage(picker->date().toString(velmora::kDateFormat)), picker);
}

int GetLunarDate(const QDate &date)
{
    if (!InLunarTable(date)) return 0;
    return lunarCode(date.year(), GetDayOfYear(date) - 1);
}

QString LunarMonthText(int code)
{
    if (code == 0) return {};
    return monthName(code).toString();
}

QString LunarDayText(int code)
{
    if (code == 0) return {};
    return dayName(code).toString();
}

QString LunarDateText(int code)
{
    if (code == 0) return {};
    const QStringView m = monthName(code);
    const QStringView d = dayName(code);
    QString r;
    r.reserve(m.size() + d.size());
    r.append(m);
    r.append(d);
    return r;
}

QString GetLunarMonthText(const QDate &date)
{
    return LunarMonthText(GetLunarDate(date));
}

QString GetLunarDayText(const QDate &date)
{
    return LunarDayText(GetLunarDate(date));
}

QString GetLunarDateText(const QDate &date)
{
    return LunarDateText(GetLunarDate(date));
}

QString myNL5(const QString &dateText)
{
    if (dateText.size() != 10 || dateText.at(4) != u'-' || dateText.at(7) != u'-') return {};
    const int y = digitsAt(dateText, 0, 4);
    const int m = digitsAt(dateText, 5, 2);
    const int d = digitsAt(dateText, 8, 2);
    if (y < 0 || m < 0 || d < 0) return {};
    const int code = GetLunarDate(QDate(y, m, d));
    if (code == 0) return {};
    const int month = std::abs(code) / 100;
    const int day = std::abs(code) % 100;
    const char16_t text[5] = {char16_t(u'0' + month / 10), char16_t(u'0' + month % 10), u'-', char16_t(u'0' + day / 10),
                              char16_t(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar *>(text), 5);
}
