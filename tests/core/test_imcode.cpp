#include "core/IMCode.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unicode/uchar.h>

#include <QByteArray>
#include <algorithm>
#include <set>
#include <string>

namespace {

// Independent conversion between GBK bytes and Unicode for the checks below.
QByteArray toGbk(const QString &s)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    QByteArray in = s.toUtf8();
    QByteArray out(in.size() * 2 + 4, '\0');
    char *ip = in.data();
    size_t il = in.size();
    char *op = out.data();
    size_t ol = out.size();
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    EXPECT_NE(r, size_t(-1)) << "not GBK: " << s.toStdString();
    out.resize(op - out.data());
    return out;
}

char32_t fromGbk(unsigned char lead, unsigned char trail)
{
    iconv_t cd = iconv_open("UTF-32LE", "GBK");
    char in[2] = {char(lead), char(trail)};
    char32_t cp = 0;
    char *ip = in;
    size_t il = 2;
    char *op = reinterpret_cast<char *>(&cp);
    size_t ol = sizeof cp;
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return r == size_t(-1) ? 0 : cp;
}

QByteArray pair(int lead, int trail)
{
    QByteArray b(2, '\0');
    b[0] = char(lead);
    b[1] = char(trail);
    return b;
}

QString gbkCode(const QByteArray &bytes, int options)
{
    QString r;
    MakePYCodeGBK(bytes, options, 255, r);
    return r;
}

TEST(IMCodeTables, TellingEntries)
{
    struct {
        const char *ch;
        unsigned code;
        int number;
        const char *syllable;
    } const tellings[] = {{"啊", 0xB0A1, 1, "a"},       {"国", 0xB9FA, 104, "guo"},   {"会", 0xBBE1, 121, "hui"},
                          {"李", 0xC0EE, 164, "li"},    {"王", 0xCDF5, 324, "wang"},  {"员", 0xD4B1, 355, "yuan"},
                          {"张", 0xD5C5, 370, "zhang"}, {"中", 0xD6D0, 376, "zhong"}, {"座", 0xD7F9, 393, "zuo"}};
    for (const auto &t : tellings) {
        const QByteArray g = toGbk(QString::fromUtf8(t.ch));
        ASSERT_EQ(g.size(), 2);
        EXPECT_EQ((unsigned(uchar(g[0])) << 8) | uchar(g[1]), t.code) << t.ch;
        EXPECT_EQ(PYSyllableOf(t.code >> 8, t.code & 0xFF), t.number) << t.ch;
        EXPECT_STREQ(PYSyllables[t.number], t.syllable);
        EXPECT_EQ(MakePYCode(QString::fromUtf8(t.ch), PYFullSyllables), QString::fromLatin1(t.syllable).toUpper());
    }
}

TEST(IMCodeTables, SyllableList)
{
    EXPECT_STREQ(PYSyllables[0], "");
    std::set<std::string> seen;
    for (int i = 1; i <= PYSyllableCount; ++i) {
        const std::string s = PYSyllables[i];
        EXPECT_FALSE(s.empty()) << i;
        EXPECT_LE(s.size(), 6u) << s;
        EXPECT_EQ(s.find_first_not_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << s;
        EXPECT_TRUE(seen.insert(s).second) << "twice: " << s;
    }
    const char *const last[] = {"jv", "qv", "xv", "lv", "nv"};
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(PYSyllables[PYSyllableCount - 4 + i], last[i]);
}

// Every hanzi of GB2312 (rows B0-F7) has a reading, and every number in the
// index names an entry of the list.
TEST(IMCodeTables, IndexCoversGb2312)
{
    int missing = 0;
    for (int lead = 0xB0; lead <= 0xF7; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            if (lead == 0xD7 && trail > 0xF9) continue;  // unassigned end of level 1
            if (PYSyllableOf(lead, trail) == 0 && ++missing < 10)
                ADD_FAILURE() << std::hex << lead << trail << " has no reading";
        }
    EXPECT_EQ(missing, 0);
    int nonZero = 0;
    for (int i = 0; i < PYIndexRows * PYIndexRowLength; ++i) {
        EXPECT_LE(PYIndex[i], PYSyllableCount);
        nonZero += PYIndex[i] != 0;
    }
    EXPECT_GT(nonZero, 20000);
    EXPECT_EQ(PYSyllableOf(0x80, 0xA1), 0);
    EXPECT_EQ(PYSyllableOf(0xFF, 0xA1), 0);
    EXPECT_EQ(PYSyllableOf(0xB0, 0xFF), 0);
}

// GB2312's level-1 block (B0A1-D7F9) is sorted by pinyin, so a character's
// place tells its reading: the initial from the published codes where each
// letter begins, and the syllables never go back in the alphabet (u-umlaut
// sorted as u).  长 stands under chang, 曾 under zeng, 厦 under xia.
TEST(IMCodeTables, Level1ReadingsFollowThePinyinOrder)
{
    const std::pair<unsigned, char> starts[] = {
            {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
            {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
            {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
            {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'}};
    std::string previous;
    int characters = 0;
    for (unsigned code = 0xB0A1; code <= 0xD7F9; ++code) {
        const int lead = int(code >> 8), trail = int(code & 0xFF);
        if (trail < 0xA1 || trail > 0xFE) continue;
        ++characters;
        char initial = 0;
        for (const auto &[from, letter] : starts)
            if (code >= from) initial = letter;
        EXPECT_EQ(gbkCode(pair(lead, trail), PYMarkUnknown), QString(QLatin1Char(initial))) << std::hex << code;
        std::string key = gbkCode(pair(lead, trail), PYFullSyllables).toLower().toStdString();
        std::replace(key.begin(), key.end(), 'v', 'u');
        EXPECT_LE(previous, key) << std::hex << code;
        previous = key;
    }
    EXPECT_EQ(characters, 3755);
    EXPECT_EQ(MakePYCode(u"长沙"_qs), "CS");
    EXPECT_EQ(MakePYCode(u"曾小贤"_qs), "ZXX");
    EXPECT_EQ(MakePYCode(u"厦门"_qs, PYFullSyllables), "XIAMEN");
}

TEST(IMCode, SamplesOfTheWindows)
{
    EXPECT_EQ(MakePYCode(u"会员"_qs), "HY");
    EXPECT_EQ(MakePYCode(u"张三 abc"_qs), "ZSABC");
    EXPECT_EQ(MakePYCode(u"A1-b"_qs), "A1B");
    EXPECT_EQ(MakePYCode(u"Ａ１"_qs), "A1");
    EXPECT_EQ(MakePYCode(u"ａｂ"_qs), "AB");
    EXPECT_EQ(MakePYCode(u"！，（）"_qs), "");
    EXPECT_EQ(MakePYCode(u"中国"_qs, PYFullSyllables), "ZHONGGUO");
    EXPECT_EQ(MakePYCode(u"中国"_qs, PYFullSyllables | PYMarkUnknown), "ZHONGGUO");
    EXPECT_EQ(MakePYCode(u"王李座"_qs, 0), "WLZ");
    EXPECT_EQ(MakePYCode(u""_qs), "");
}

TEST(IMCode, CharactersWithoutReading)
{
    // "、" and "。" are GBK symbols without a reading.
    EXPECT_EQ(MakePYCode(u"会、员。"_qs), "H?Y?");
    EXPECT_EQ(MakePYCode(u"会、员。"_qs, 0), "HY");
    // Characters GBK lacks: Hangul, an emoji outside the BMP, a broken surrogate.
    EXPECT_EQ(MakePYCode(u"a한b"_qs), "A?B");
    EXPECT_EQ(MakePYCode(u"a😀b"_qs), "A?B");
    EXPECT_EQ(MakePYCode(u"a😀b"_qs, 0), "AB");
    EXPECT_EQ(MakePYCode(QString(u"x"_qs) + QChar(0xD800) + u"y"_qs), "X?Y");
    EXPECT_EQ(MakePYCode(QString(u"x"_qs) + QChar(0xDC00)), "X?");
    EXPECT_EQ(MakePYCode(QString(u"x"_qs) + QChar(0xD800)), "X?");
}

TEST(IMCode, Options)
{
    EXPECT_EQ(MakePYCode(u"a b-c 会"_qs, PYKeepAll), "A B-C H");
    EXPECT_EQ(MakePYCode(u"Ａ！"_qs, PYKeepAll), "A!");
    EXPECT_EQ(MakePYCode(u"会员"_qs, -1), "");
    EXPECT_EQ(MakePYCode(u"会员"_qs, -2, 255), "");
    EXPECT_EQ(MakePYCode(u"会员"_qs, 2, 0), "");
    EXPECT_EQ(MakePYCode(u"会员"_qs, 2, -5), "");
    EXPECT_EQ(MakePYCode(u"会员"_qs, 2, 1), "H");
    EXPECT_EQ(MakePYCode(u"会员"_qs, PYFullSyllables, 4), "HUIY");
}

TEST(IMCode, CutAt255)
{
    const QString text(300, QChar(0x4E2D));  // 中
    const QString code = MakePYCode(text);
    EXPECT_EQ(code, QString(255, u'Z'));
    const QString full = MakePYCode(u"中国"_qs.repeated(100), PYFullSyllables | PYMarkUnknown);
    EXPECT_EQ(full.size(), 255);
    EXPECT_TRUE(full.startsWith("ZHONGGUOZHONG"));
    EXPECT_TRUE(full.endsWith("ZHONGGUOZHONGGU"));  // 31 pairs, then cut inside a syllable
    // More than 255 characters of mixed text; the result is its first 255.
    QString mixed;
    for (int i = 0; i < 200; ++i) mixed += u"张a、"_qs;
    const QString cut = MakePYCode(mixed);
    EXPECT_EQ(cut.size(), 255);
    EXPECT_TRUE(cut.startsWith("ZA?ZA?"));
}

// Row 0xA2 holds numbered symbols; each gives the number it shows.
TEST(IMCode, Row2GivesTheNumberOfEachSymbol)
{
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        const char32_t cp = fromGbk(0xA2, trail);
        QString expected;
        if (cp) {
            const double v = u_getNumericValue(UChar32(cp));
            if (v != U_NO_NUMERIC_VALUE) expected = QString::number(int(v));
        }
        const QByteArray bytes = pair(0xA2, trail);
        EXPECT_EQ(gbkCode(bytes, PYMarkUnknown), expected) << std::hex << trail;
    }
    EXPECT_EQ(MakePYCode(u"①⒛⑽Ⅻⅸ㈢"_qs), "12010129"
                                         "3");
    // Trail bytes below 0xA1 in that row are not symbols.
    EXPECT_EQ(gbkCode(QByteArray("\xA2\x50", 2), PYMarkUnknown), "?");
    EXPECT_EQ(gbkCode(QByteArray("\xA2\x50", 2), 0), "");
}

TEST(IMCode, GreekLetters)
{
    EXPECT_EQ(MakePYCode(u"αβω"_qs), "ABO");
    EXPECT_EQ(MakePYCode(u"ΑΒΓΔΩ"_qs), "ABGDO");
    EXPECT_EQ(MakePYCode(u"λμπσ"_qs), "LMPS");
    // The rest of row 0xA6 (vertical punctuation forms) yields nothing.
    EXPECT_EQ(gbkCode(QByteArray("\xA6\xE0", 2), PYMarkUnknown), "?");
    EXPECT_EQ(gbkCode(QByteArray("\xA6\xE0", 2), 0), "");
}

TEST(IMCode, RawGbkBytesAreReadSafely)
{
    EXPECT_EQ(gbkCode(QByteArray("\xFF\xFF", 2), PYMarkUnknown), "?");
    EXPECT_EQ(gbkCode(QByteArray("\xFE\xFF", 2), PYMarkUnknown), "?");
    EXPECT_EQ(gbkCode(QByteArray("\xA2\xFF", 2), PYMarkUnknown), "");
    EXPECT_EQ(gbkCode(QByteArray("\xA3\xFF", 2), PYMarkUnknown), "?");
    EXPECT_EQ(gbkCode(QByteArray("\xA3\x41", 2), PYMarkUnknown), "?");
    // A lead byte at the end, or before a byte below 0x40, stands alone.
    EXPECT_EQ(gbkCode(QByteArray("a\xD6", 2), PYMarkUnknown), "A");
    EXPECT_EQ(gbkCode(QByteArray("a\xD6", 2), PYMarkUnknown | PYKeepAll), "A?");
    EXPECT_EQ(gbkCode(QByteArray("\xD6"
                                 "1",
                                 2),
                      PYMarkUnknown),
              "1");
    EXPECT_EQ(gbkCode(QByteArray("\xD6\xD0\xB9\xFA", 4), PYFullSyllables), "ZHONGGUO");
    EXPECT_EQ(gbkCode(QByteArray("a\0b", 3), PYMarkUnknown), "AB");
}

// The Unicode entry point agrees with the GBK one on every GB2312 hanzi.
TEST(IMCode, UnicodeAndGbkEntriesAgree)
{
    for (int lead = 0xB0; lead <= 0xF7; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            const char32_t cp = fromGbk(lead, trail);
            if (!cp) continue;
            const QString s = QString::fromUcs4(&cp, 1);
            const QByteArray bytes = pair(lead, trail);
            ASSERT_EQ(MakePYCode(s, PYFullSyllables | PYMarkUnknown), gbkCode(bytes, PYFullSyllables | PYMarkUnknown))
                    << std::hex << lead << trail;
        }
}

TEST(IMCode, ReusedResultIsReplaced)
{
    QString r = "OLD";
    MakePYCode(u"会员"_qs, 2, 255, r);
    EXPECT_EQ(r, "HY");
    MakePYCode(u"会员"_qs, -1, 255, r);
    EXPECT_EQ(r, "");
}

}  // namespace
