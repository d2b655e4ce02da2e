// Writes the lunar year table for 1901-2050: four bytes per Gregorian year,
// computed from the astronomy (astro.h) by the rules of the Chinese calendar
// in use since 1645, on the time of China's 120th meridian (UTC+8):
//   a month begins on the day of a new moon; the winter solstice lies in
//   month 11; between two months 11 holding thirteen months, the first month
//   holding no principal term (the sun at a multiple of 30°) is the leap month.
//   byte 0: bit 7 set when 1 January lies in lunar month 12 (clear: month 11),
//           bits 6-0 the lunar day of 1 January
//   bytes 1-2: lengths of the sixteen lunar months from the one holding
//           1 January, most significant bit first, set = 30 days
//   byte 3: the month followed by a leap month within the year, 0 = none
// New moons and principal terms within the margin of midnight are listed
// on stderr: their days are to be checked against the published calendar.
// Run by the regen_lunar_table target; the output is committed.
#include "astro.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

bool isLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days from 1970-01-01 to the given Gregorian date.
long dayNumber(int y, int m, int d)
{
    static const int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    long n = 0;
    for (int i = 1970; i < y; ++i) n += isLeapYear(i) ? 366 : 365;
    for (int i = y; i < 1970; ++i) n -= isLeapYear(i) ? 366 : 365;
    n += before[m - 1] + (m > 2 && isLeapYear(y) ? 1 : 0) + d - 1;
    return n;
}

// Julian day of 1970-01-01 00:00.
constexpr double Epoch = 2440587.5;
// The time the calendar was computed in, as days since the epoch: the mean
// time of Beijing (116°25' E) until 1928, that of the 120th meridian (UTC+8)
// from 1929 on.
double chinaTime(double jde)
{
    const double ut = jde - lunar::deltaT(lunar::yearOf(jde)) / 86400.0 - Epoch;
    static const double from1929 = double(dayNumber(1929, 1, 1));
    const double beijing = ut + (116.0 + 25.0 / 60.0) / 360.0;
    return beijing < from1929 ? beijing : ut + 8.0 / 24.0;
}

void civil(long day, int &y, int &m, int &d)
{
    y = 1970 + int(day / 366) - 1;
    while (dayNumber(y + 1, 1, 1) <= day) ++y;
    while (dayNumber(y, 1, 1) > day) --y;
    m = 12;
    while (dayNumber(y, m, 1) > day) --m;
    d = int(day - dayNumber(y, m, 1)) + 1;
}

void warnNearMidnight(const char *what, double t, double marginMinutes)
{
    const double minutes = (t - std::floor(t)) * 1440.0;
    if (minutes < marginMinutes || minutes > 1440.0 - marginMinutes) {
        int y, m, d;
        civil(long(std::floor(t)), y, m, d);
        std::fprintf(stderr, "near midnight: %s %04d-%02d-%02d %02d:%02d:%02d (UTC+8)\n", what, y, m, d,
                     int(minutes / 60), int(minutes) % 60, int(minutes * 60) % 60);
    }
}

struct LunarDay {
    int month;
    int day;
    bool leap;
};

class Chinese {
public:
    Chinese(int fromYear, int toYear)
    {
        // Principal terms and the winter solstices among them.
        std::vector<long> terms;
        std::vector<long> solstices;
        double maxDiff = 0;
        for (int y = fromYear - 1; y <= toYear + 2; ++y) {
            for (int i = 0; i < 12; ++i) {
                const int angle = (270 + 30 * i) % 360;  // from the winter solstice of y - 1
                const double near = (dayNumber(y, 1, 1) + Epoch) - 10.0 + 30.44 * i;
                const double tt = lunar::sunAtLongitude(angle, near);
                double diff = std::fabs(lunar::sunLongitudeShort(tt) - angle);
                if (diff > 180) diff = 360 - diff;
                maxDiff = std::max(maxDiff, diff);
                const double t = chinaTime(tt);
                warnNearMidnight(angle == 270 ? "winter solstice" : "principal term", t, 15);
                terms.push_back(long(std::floor(t)));
                if (angle == 270) solstices.push_back(long(std::floor(t)));
            }
        }
        if (maxDiff > 0.02) throw std::runtime_error("the sun's long series disagrees with the short formula");
        std::sort(terms.begin(), terms.end());
        // New moons over the range.
        const long k0 = long(std::floor((fromYear - 1 - 2000) * 12.3685)) - 2;
        const long k1 = long(std::ceil((toYear + 2 - 2000) * 12.3685)) + 2;
        std::vector<long> starts;
        for (long k = k0; k <= k1; ++k) {
            const double t = chinaTime(lunar::newMoonTT(k));
            warnNearMidnight("new moon", t, 15);
            starts.push_back(long(std::floor(t)));
        }
        auto holding = [&](long day) {
            return int(std::upper_bound(starts.begin(), starts.end(), day) - starts.begin()) - 1;
        };
        auto hasTerm = [&](int i) {
            const auto it = std::lower_bound(terms.begin(), terms.end(), starts[i]);
            return it != terms.end() && *it < starts[i + 1];
        };
        for (size_t s = 0; s + 1 < solstices.size(); ++s) {
            const int a = holding(solstices[s]), b = holding(solstices[s + 1]);
            if (a < 0) continue;
            const int count = b - a;
            if (count != 12 && count != 13) throw std::runtime_error("a year of neither 12 nor 13 months");
            bool leapDone = count == 12;
            int number = 11;
            for (int i = a; i < b; ++i) {
                bool leap = false;
                if (i > a && !leapDone && !hasTerm(i)) {
                    leap = true;
                    leapDone = true;
                } else if (i > a) {
                    number = number % 12 + 1;
                }
                months_.push_back({number, leap, starts[i], int(starts[i + 1] - starts[i])});
            }
        }
    }
    // Every month as "start number[+leap] length", for checking by hand.
    void list() const
    {
        for (const Month &m : months_) {
            int y, mo, d;
            civil(m.start, y, mo, d);
            std::printf("%04d-%02d-%02d %s%d %d\n", y, mo, d, m.leap ? "leap " : "", m.number, m.length);
        }
    }
    LunarDay at(long day) const
    {
        for (const Month &m : months_)
            if (day >= m.start && day < m.start + m.length) return {m.number, int(day - m.start) + 1, m.leap};
        throw std::runtime_error("day outside the computed months");
    }

private:
    struct Month {
        int number;
        bool leap;
        long start;
        int length;
    };
    std::vector<Month> months_;
};

struct Month {
    int number;
    bool leap;
    long start;
    int length;
};

bool yearRow(const Chinese &cn, int y, unsigned char row[4])
{
    const long jan1 = dayNumber(y, 1, 1);
    const long dec31 = dayNumber(y, 12, 31);
    const LunarDay first = cn.at(jan1);
    if (first.month != 11 && first.month != 12) {
        std::fprintf(stderr, "%d: 1 January lies in lunar month %d\n", y, first.month);
        return false;
    }
    std::vector<Month> months;
    long s = jan1 - (first.day - 1);
    for (int i = 0; i < 16; ++i) {
        const LunarDay d = cn.at(s);
        if (d.day != 1) {
            std::fprintf(stderr, "%d: month %d does not start on day 1\n", y, i);
            return false;
        }
        const int len = cn.at(s + 29).day == 30 ? 30 : 29;
        months.push_back({d.month, d.leap, s, len});
        s += len;
    }
    if (s <= dec31) {
        std::fprintf(stderr, "%d: sixteen months do not reach 31 December\n", y);
        return false;
    }
    // Months that begin after the table's last year are never read; they are
    // left clear, as the published rows have them.
    const long tableEnd = dayNumber(2050, 12, 31);
    unsigned bits = 0;
    for (int i = 0; i < 16; ++i)
        if (months[i].length == 30 && months[i].start <= tableEnd) bits |= 1u << (15 - i);
    int leap = 0;
    for (int i = 1; i < 16; ++i) {
        if (!months[i].leap) continue;
        // The reader marks the month after the first one of that number as
        // leap, so the leap month must directly follow that first one.
        int firstOfNumber = -1;
        for (int j = 0; j < 16; ++j)
            if (months[j].number == months[i].number) {
                firstOfNumber = j;
                break;
            }
        if (firstOfNumber == i - 1)
            leap = months[i].number;
        else if (months[i].start <= dec31) {
            std::fprintf(stderr, "%d: leap month %d cannot be told in this layout\n", y, months[i].number);
            return false;
        }
        break;
    }
    row[0] = static_cast<unsigned char>((first.month == 12 ? 0x80 : 0) | first.day);
    row[1] = static_cast<unsigned char>(bits >> 8);
    row[2] = static_cast<unsigned char>(bits & 0xff);
    row[3] = static_cast<unsigned char>(leap);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp | --list\n", argv[0]);
        return 2;
    }
    const Chinese cn(1901, 2050);
    if (std::string(argv[1]) == "--list") {
        cn.list();
        return 0;
    }
    std::string out =
            "// Generated by tools/lunar_table from the astronomy of new moons and solar terms; do not edit.\n"
            "#include \"core/DateCn.h\"\n\n"
            "const unsigned char LunarYearTable[LunarTableYears][4] = {\n";
    for (int y = 1901; y <= 2050; ++y) {
        unsigned char row[4];
        if (!yearRow(cn, y, row)) return 1;
        char line[64];
        std::snprintf(line, sizeof line, "    {0x%02x, 0x%02x, 0x%02x, 0x%02x}, // %d\n", row[0], row[1], row[2],
                      row[3], y);
        out += line;
    }
    out += "};\n";
    FILE *f = std::fopen(argv[1], "w");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
