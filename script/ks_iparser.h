// Character-level scanner of script text. The compiler asks it for one kind
// of token at a time at the current position and moves Position back itself
// when an alternative fails. Each language grammar sets the conventions.
#pragma once

#include <QString>
#include <QStringList>
#include <bitset>
#include <vector>

class TksParser {
public:
    TksParser();

    // Settings (Reset restores the defaults).
    bool CaseSensitive;
    QString CommentLine1;
    QString CommentLine2;
    QString HexSequence;
    QString SkipChar;
    bool SkipEOL;
    bool SkipBlanks;
    QString StringQuotes;
    bool TrackLines;
    void SetCommentBlock1(const QString &openClose);  // "open,close"
    void SetCommentBlock2(const QString &openClose);
    QString CommentBlock1() const;
    QString CommentBlock2() const;
    // Identifier characters: byte values. A character above 255 counts as an
    // identifier character when 128 is in the set (the extended set).
    void SetIdentChars(const QString &chars);
    void AddIdentChars(int from, int to);
    bool IsIdentChar(QChar c) const
    {
        const ushort u = c.unicode();
        return FIdentChars.test(u < 256 ? u : 128);
    }
    QStringList Keywords;  // kept sorted (case-insensitively); change it through SetKeywords/AddKeyword
    void SetKeywords(const QStringList &words);
    void AddKeyword(const QString &word);
    void Reset();

    // State.
    void SetText(const QString &text);
    // Lets go of the text: from then on only places are written
    // (WritePositionText, PositionFromLineCol), from the lines it had.
    void KeepLinesOnly() { FText = QString(); }
    const QString &Text() const { return FText; }
    int Size() const { return FSize; }
    int Position() const { return FPosition; }
    void SetPosition(int pos)
    {
        FPosition = pos;
        FTokenStart = pos;
    }
    int TokenStart() const { return FTokenStart; }

    void SkipSpaces();
    bool ReadEOL();
    QString ReadPunct();
    // The punctuation character at Position, or 0 (ReadPunct without the string).
    QChar PeekPunct() const { return PunctAt(FPosition); }
    // The punctuation character at `pos`, or 0.
    QChar PunctAt(int pos) const
    {
        const ushort c = At(pos).unicode();
        return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) || (c >= 123 && c <= 126) ? QChar(c)
                                                                                                             : QChar();
    }
    // The word ReadWordView would read at `pos` when no blank comes first.
    QStringView WordAt(int pos) const;
    QString ReadWord();
    // ReadWord as a view into the text (valid while the text is).
    QStringView ReadWordView();
    QString ReadIdent();
    // ReadIdent as a view into the text (valid while the text is).
    QStringView ReadIdentView();
    bool IsKeyword(const QString &word) const { return IsKeyword(QStringView(word)); }
    bool IsKeyword(QStringView word) const;
    QString ReadNumber();
    QString ReadString();
    QString ReadBracketText();
    QString PositionText() const;  // "line:col" of Position
    QString PositionTextOf(int pos) const;
    // Appends the "line:col" of `pos` to `to`.
    void AppendPositionText(QString &to, int pos) const;
    // Writes the "line:col" of `pos` to `out` (room for kPositionChars);
    // returns the number of characters written.
    static constexpr int kPositionChars = 24;
    int WritePositionText(char16_t *out, int pos) const;
    int PositionFromLineCol(int col, int line) const;

private:
    QChar At(int pos) const { return pos >= 1 && pos <= FSize ? FText[pos - 1] : QChar(0); }
    bool StartsWithAt(int pos, const QString &s) const;
    bool ReadIntegerPart();
    bool ReadHexDigits();
    bool ReadDecimalDigits();
    QString FBlock1Open, FBlock1Close, FBlock2Open, FBlock2Close;
    std::bitset<256> FIdentChars;
    QString FText;  // without the terminator: At() yields 0 past the end
    int FSize = 0;
    int FPosition = 1;
    int FTokenStart = 1;
    std::vector<int> FLineStarts;
    mutable size_t FLineHint = 0;  // the line of the last position asked for
    // "line:" of FLineHint, written once for the many positions on a line
    mutable char16_t FLinePrefix[14];
    mutable int FLinePrefixSize = 0;  // 0: not written yet
    // Lengths (bit 63: 63 and more) and first characters of the keywords,
    // lower-cased: most words are no keyword at a glance.
    quint64 FKeywordLengths = 0;
    std::bitset<128> FKeywordFirst;
    bool FKeywordFirstWide = false;  // a keyword starts with a character past ASCII
    void UpdateKeywordFilter();
};
