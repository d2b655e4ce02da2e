// Writes the pinyin tables of the IMCode unit: the list of 405 toneless
// syllables and, for every GBK double-byte code (lead 0x81-0xFE, trail
// 0x40-0xFE), the number of the syllable of its first Mandarin reading.
//
// Readings come from the Unihan kMandarin field.  The syllables are numbered in
// alphabetical order, except that the interjection and u-umlaut syllables
// (and "diu") are kept at the end of the list, with "jv", "qv", "xv", "lv",
// "nv" last, so that the numbering stays that of the established list.  A
// character whose first reading has no place in the list takes its next
// reading that has one (kMandarin, then kHanyuPinyin, kXHC1983, kTGHZ2013).
// GB2312's level-1 block (B0A1-D7F9) is sorted by pinyin: there a character
// takes the reading of its place, which is not always Unihan's first (长 is
// placed under chang, listed first as zhang).
// Run by the regen_pinyin_table target; the output is committed.
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int Rows = 126;
constexpr int RowLength = 191;
constexpr int ListSize = 405;
constexpr unsigned Level1First = 0xB0A1, Level1Last = 0xD7F9;

const std::vector<std::string> Tail = {"ei", "diu", "lve", "nve", "n", "yo", "fo", "jv", "qv", "xv", "lv", "nv"};
// Rare readings of a handful of GBK characters that the list does not hold.
const std::set<std::string> Unlisted = {"chua", "den", "eng", "fiao", "hm", "kei", "lo", "m", "nun", "rua"};

struct Telling {
    unsigned code;
    const char *syllable;
    int number;
};
const Telling Tellings[] = {{0xB0A1, "a", 1},       {0xB9FA, "guo", 104},   {0xBBE1, "hui", 121},
                            {0xC0EE, "li", 164},    {0xCDF5, "wang", 324},  {0xD4B1, "yuan", 355},
                            {0xD5C5, "zhang", 370}, {0xD6D0, "zhong", 376}, {0xD7F9, "zuo", 393}};

std::vector<char32_t> utf8(const std::string &s)
{
    std::vector<char32_t> r;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        r.push_back(cp);
        i += n;
    }
    return r;
}

// Toneless ASCII form of a pinyin reading, u-umlaut written "v"; "" when the
// reading holds a letter this does not know.
std::string toneless(const std::string &reading)
{
    static const std::map<char32_t, char> base = {
            {0x0101, 'a'}, {0x00E1, 'a'}, {0x01CE, 'a'}, {0x00E0, 'a'}, {0x0113, 'e'}, {0x00E9, 'e'}, {0x011B, 'e'},
            {0x00E8, 'e'}, {0x00EA, 'e'}, {0x1EBF, 'e'}, {0x1EC1, 'e'}, {0x012B, 'i'}, {0x00ED, 'i'}, {0x01D0, 'i'},
            {0x00EC, 'i'}, {0x014D, 'o'}, {0x00F3, 'o'}, {0x01D2, 'o'}, {0x00F2, 'o'}, {0x016B, 'u'}, {0x00FA, 'u'},
            {0x01D4, 'u'}, {0x00F9, 'u'}, {0x01D6, 'v'}, {0x01D8, 'v'}, {0x01DA, 'v'}, {0x01DC, 'v'}, {0x00FC, 'v'},
            {0x0144, 'n'}, {0x0148, 'n'}, {0x01F9, 'n'}, {0x1E3F, 'm'}};
    std::string out;
    for (char32_t cp : utf8(reading)) {
        if (cp >= 'a' && cp <= 'z')
            out += char(cp);
        else if (cp >= 'A' && cp <= 'Z')
            out += char(cp - 'A' + 'a');
        else if (cp == 0x0308 && !out.empty() && out.back() == 'u')
            out.back() = 'v';
        else if (cp >= 0x0300 && cp <= 0x036F)
            continue;
        else if (auto it = base.find(cp); it != base.end())
            out += it->second;
        else
            return {};
    }
    return out;
}

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> r;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(sep, start);
        if (end == std::string::npos) end = s.size();
        if (end > start) r.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return r;
}

struct Readings {
    std::vector<std::string> mandarin;  // kMandarin in its order
    std::vector<std::string> others;    // kHanyuPinyin, kXHC1983, kTGHZ2013
};

bool readUnihan(const char *path, std::map<char32_t, Readings> &out)
{
    std::string cmd = std::string("bzip2 -dcf '") + path + "'";
    FILE *f = popen(cmd.c_str(), "r");
    if (!f) return false;
    std::map<char32_t, std::map<std::string, std::vector<std::string>>> extra;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, f)) {
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.rfind("U+", 0) != 0) continue;
        auto f3 = split(line, '\t');
        if (f3.size() != 3) continue;
        const char32_t cp = std::stoul(f3[0].substr(2), nullptr, 16);
        const std::string &key = f3[1];
        if (key == "kMandarin") {
            for (auto &r : split(f3[2], ' ')) out[cp].mandarin.push_back(toneless(r));
        } else if (key == "kHanyuPinyin" || key == "kXHC1983" || key == "kTGHZ2013") {
            for (auto &entry : split(f3[2], ' ')) {
                auto colon = entry.find(':');
                if (colon == std::string::npos) continue;
                for (auto &r : split(entry.substr(colon + 1), ',')) extra[cp][key].push_back(toneless(r));
            }
        }
    }
    if (pclose(f) != 0) return false;
    for (auto &[cp, byKey] : extra)
        for (const char *key : {"kHanyuPinyin", "kXHC1983", "kTGHZ2013"})
            for (auto &r : byKey[key]) out[cp].others.push_back(r);
    return true;
}

// Unicode code point of a GBK double-byte code, 0 when GBK leaves it unassigned.
char32_t fromGbk(iconv_t cd, unsigned char lead, unsigned char trail)
{
    char in[2] = {char(lead), char(trail)};
    char32_t cp = 0;
    char *ip = in;
    size_t il = 2;
    char *op = reinterpret_cast<char *>(&cp);
    size_t ol = sizeof cp;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1) || il != 0) return 0;
    return cp;
}


int at(unsigned code)
{
    return int((code >> 8) - 0x81) * RowLength + int((code & 0xFF) - 0x40);
}

// GB2312 sorts u-umlaut as u: lv among the lu, lve among the lue.
std::string orderKey(std::string s)
{
    std::replace(s.begin(), s.end(), 'v', 'u');
    return s;
}

// Picks for each level-1 character one of its candidate syllables (the first
// is its first reading) so that the block reads in pinyin order, keeping the
// first reading wherever the order allows: the fewest departures win.
// Returns false when no ordered choice exists.
bool orderLevel1(const std::vector<std::string> &list, const std::vector<std::vector<int>> &candidates,
                 std::vector<int> &chosen)
{
    std::vector<std::string> keys;
    for (const std::string &s : list) keys.push_back(orderKey(s));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const int ranks = int(keys.size());
    auto rankOf = [&](int syllable) {
        return int(std::lower_bound(keys.begin(), keys.end(), orderKey(list[syllable - 1])) - keys.begin());
    };
    constexpr int None = 1 << 30;
    struct Step {
        int syllable = 0, previousRank = -1;
    };
    std::vector<std::vector<Step>> steps(candidates.size(), std::vector<Step>(ranks));
    std::vector<int> cost(ranks, 0);
    for (size_t i = 0; i < candidates.size(); ++i) {
        // The cheapest way to reach each rank or a lower one before character i.
        std::vector<std::pair<int, int>> best(ranks);
        std::pair<int, int> running{None, -1};
        for (int r = 0; r < ranks; ++r) {
            if (cost[r] < running.first) running = {cost[r], r};
            best[r] = running;
        }
        std::vector<int> next(ranks, None);
        for (int s : candidates[i]) {
            const int r = rankOf(s);
            const int c = best[r].first + (s == candidates[i].front() ? 0 : 1);
            if (best[r].first < None && c < next[r]) {
                next[r] = c;
                steps[i][r] = {s, i ? best[r].second : -1};
            }
        }
        cost = next;
    }
    int r = int(std::min_element(cost.begin(), cost.end()) - cost.begin());
    if (cost[r] >= None) return false;
    chosen.assign(candidates.size(), 0);
    for (size_t i = candidates.size(); i-- > 0;) {
        chosen[i] = steps[i][r].syllable;
        r = steps[i][r].previousRank;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s Unihan_Readings.txt[.bz2] OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    std::map<char32_t, Readings> readings;
    if (!readUnihan(argv[1], readings) || readings.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    iconv_t cd = iconv_open("UTF-32LE", "GBK");
    if (cd == iconv_t(-1)) {
        std::perror("iconv_open GBK");
        return 1;
    }
    std::vector<char32_t> chars(Rows * RowLength, 0);
    std::set<std::string> seen;
    for (int l = 0; l < Rows; ++l)
        for (int t = 0; t < RowLength; ++t) {
            const char32_t cp = fromGbk(cd, 0x81 + l, 0x40 + t);
            chars[l * RowLength + t] = cp;
            auto it = readings.find(cp);
            if (cp && it != readings.end() && !it->second.mandarin.empty()) {
                if (it->second.mandarin[0].empty()) {
                    std::fprintf(stderr, "U+%04X: unreadable first reading\n", unsigned(cp));
                    return 1;
                }
                seen.insert(it->second.mandarin[0]);
            }
        }
    iconv_close(cd);

    std::vector<std::string> list;
    for (auto &s : seen)
        if (!Unlisted.count(s) && std::find(Tail.begin(), Tail.end(), s) == Tail.end()) list.push_back(s);
    list.insert(list.end(), Tail.begin(), Tail.end());
    if (int(list.size()) != ListSize) {
        std::fprintf(stderr, "%zu syllables instead of %d\n", list.size(), ListSize);
        return 1;
    }
    std::map<std::string, int> number;
    for (size_t i = 0; i < list.size(); ++i) number[list[i]] = int(i) + 1;

    std::vector<unsigned> index(Rows * RowLength, 0);
    int nonZero = 0;
    int fallbacks = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        auto it = readings.find(chars[i]);
        if (!chars[i] || it == readings.end() || it->second.mandarin.empty()) continue;
        std::vector<std::string> candidates = it->second.mandarin;
        candidates.insert(candidates.end(), it->second.others.begin(), it->second.others.end());
        for (size_t k = 0; k < candidates.size(); ++k) {
            auto n = number.find(candidates[k]);
            if (n != number.end()) {
                index[i] = n->second;
                ++nonZero;
                fallbacks += k > 0;
                break;
            }
        }
    }

    std::vector<unsigned> level1;
    std::vector<std::vector<int>> candidates;
    for (unsigned code = Level1First; code <= Level1Last; ++code) {
        if ((code & 0xFF) < 0xA1 || (code & 0xFF) > 0xFE) continue;
        auto it = readings.find(chars[at(code)]);
        std::vector<int> c;
        if (it != readings.end()) {
            std::vector<std::string> all = it->second.mandarin;
            all.insert(all.end(), it->second.others.begin(), it->second.others.end());
            for (const std::string &r : all)
                if (auto n = number.find(r); n != number.end() && std::find(c.begin(), c.end(), n->second) == c.end())
                    c.push_back(n->second);
        }
        if (c.empty()) {
            std::fprintf(stderr, "%04X: level-1 character without a listed reading\n", code);
            return 1;
        }
        level1.push_back(code);
        candidates.push_back(c);
    }
    std::vector<int> ordered;
    if (!orderLevel1(list, candidates, ordered)) {
        std::fprintf(stderr, "no reading keeps the level-1 block in pinyin order\n");
        return 1;
    }
    int moved = 0;
    for (size_t k = 0; k < level1.size(); ++k) {
        unsigned &entry = index[at(level1[k])];
        moved += entry != unsigned(ordered[k]);
        entry = unsigned(ordered[k]);
    }

    for (const Telling &t : Tellings) {
        if (int(index[at(t.code)]) != t.number || list[t.number - 1] != t.syllable) {
            std::fprintf(stderr, "%04X: syllable %u, expected %d %s\n", t.code, index[at(t.code)], t.number,
                         t.syllable);
            return 1;
        }
    }

    std::string out = "// Generated by tools/pinyin_table from the Unihan readings mapped through "
                      "GBK; do not edit.\n"
                      "#include \"core/IMCode.h\"\n\n"
                      "const char PYSyllables[PYSyllableCount + 1][7] = {\n    \"\",";
    for (size_t i = 0; i < list.size(); ++i) {
        out += (i % 10 == 0) ? "\n    " : " ";
        out += "\"" + list[i] + "\",";
    }
    out += "\n};\n\nconst unsigned short PYIndex[PYIndexRows * PYIndexRowLength] = {\n";
    for (int l = 0; l < Rows; ++l) {
        char head[32];
        std::snprintf(head, sizeof head, "    // lead byte %02X", 0x81 + l);
        out += head;
        for (int t = 0; t < RowLength; ++t) {
            out += (t % 16 == 0) ? "\n    " : " ";
            out += std::to_string(index[l * RowLength + t]) + ",";
        }
        out += "\n";
    }
    out += "};\n";
    FILE *f = std::fopen(argv[2], "w");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%d of %d index entries non-zero (%d from a later reading, %d level-1 by their place)\n", nonZero,
                Rows * RowLength, fallbacks, moved);
    return 0;
}
