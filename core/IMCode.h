#pragma once
// Pinyin codes: the initials (or full syllables) of a Chinese text, used to
// search members, goods, suppliers and gifts ("会员" gives "HY").

#include <QByteArrayView>
#include <QString>

// Flags of the options argument.
enum PYCodeOption {
    PYFullSyllables = 1,  // whole syllables instead of initials
    PYMarkUnknown = 2,    // "?" for a double-byte character that yields nothing
    PYKeepAll = 4,        // keep every single-byte character, not only digits and letters
};

constexpr int PYSyllableCount = 405;
constexpr int PYIndexRows = 126;       // lead bytes 0x81-0xFE
constexpr int PYIndexRowLength = 191;  // trail bytes 0x40-0xFE

// Lowercase toneless syllables numbered from 1 ("ü" written "v"); entry 0 is "".
extern const char PYSyllables[PYSyllableCount + 1][7];
// Syllable number of the first reading of each GBK double-byte code, 0 for none;
// the entry of lead L and trail T is at (L - 0x81) * 191 + (T - 0x40).
extern const unsigned short PYIndex[PYIndexRows * PYIndexRowLength];

// Syllable number of a GBK double-byte code (0 outside the table or without reading).
int PYSyllableOf(unsigned char lead, unsigned char trail);

// Code of a GBK text.  A negative options value gives ""; the result holds at
// most maxLength characters.
void MakePYCodeGBK(QByteArrayView gbk, int options, int maxLength, QString &result);

// Code of a text, converted to GBK first; a character GBK lacks counts as a
// double-byte character without reading ("?" under PYMarkUnknown).
void MakePYCode(const QString &text, int options, int maxLength, QString &result);

// The form every window uses: initials, "?" for unknown characters, at most 255.
QString MakePYCode(const QString &text, int options = PYMarkUnknown, int maxLength = 255);
