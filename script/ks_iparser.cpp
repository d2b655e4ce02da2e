#include "script/ks_iparser.h"

#include <algorithm>

namespace {
bool LessNoCase(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}
bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}
bool IsHexDigit(QChar c)
{
    ushort u = c.unicode();
    return IsDigit(c) || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}
}  // namespace

TksParser::TksParser()
{
    Reset();
}

void TksParser::Reset()
{
    CaseSensitive = false;
    SetCommentBlock1(QStringLiteral("{,}"));
    SetCommentBlock2(QStringLiteral("(*,*)"));
    CommentLine1 = QStringLiteral("//");
    CommentLine2.clear();
    HexSequence = QStringLiteral("$");
    FIdentChars.reset();
    AddIdentChars('0', '9');
    AddIdentChars('A', 'Z');
    AddIdentChars('a', 'z');
    AddIdentChars('_', '_');
    Keywords.clear();
    UpdateKeywordFilter();
    SkipChar.clear();
    SkipEOL = true;
    SkipBlanks = true;
    StringQuotes = QStringLiteral("'");
    TrackLines = true;
}

void TksParser::SetCommentBlock1(const QString &openClose)
{
    FBlock1Open = openClose.section(QLatin1Char(','), 0, 0);
    FBlock1Close = openClose.section(QLatin1Char(','), 1, 1);
}

void TksParser::SetCommentBlock2(const QString &openClose)
{
    FBlock2Open = openClose.section(QLatin1Char(','), 0, 0);
    FBlock2Close = openClose.section(QLatin1Char(','), 1, 1);
}

QString TksParser::CommentBlock1() const
{
    return FBlock1Open + QLatin1Char(',') + FBlock1Close;
}
QString TksParser::CommentBlock2() const
{
    return FBlock2Open + QLatin1Char(',') + FBlock2Close;
}

void TksParser::SetIdentChars(const QString &chars)
{
    FIdentChars.reset();
    for (QChar c : chars)
        if (c.unicode() < 256) FIdentChars.set(c.unicode());
}

void TksParser::AddIdentChars(int from, int to)
{
    for (int i = std::max(0, from); i <= std::min(255, to); ++i) FIdentChars.set(size_t(i));
}


void TksParser::SetKeywords(const QStringList &words)
{
    Keywords = words;
    std::sort(Keywords.begin(), Keywords.end(), LessNoCase);
    UpdateKeywordFilter();
}

void TksParser::AddKeyword(const QString &word)
{
    auto it = std::lower_bound(Keywords.begin(), Keywords.end(), word, LessNoCase);
    Keywords.insert(it, word);
    UpdateKeywordFilter();
}

namespace {
int KeywordLengthBit(qsizetype n)
{
    return int(std::min<qsizetype>(n, 63));
}
ushort FoldAscii(QChar c)
{
    const ushort u = c.unicode();
    return u >= 'A' && u <= 'Z' ? ushort(u + ('a' - 'A')) : u;
}
}  // namespace

void TksParser::UpdateKeywordFilter()
{
    FKeywordLengths = 0;
    FKeywordFirst.reset();
    FKeywordFirstWide = false;
    for (const QString &k : Keywords) {
        FKeywordLengths |= quint64(1) << KeywordLengthBit(k.size());
        if (k.isEmpty()) continue;
        const ushort f = FoldAscii(k[0]);
        if (f < 128)
            FKeywordFirst.set(f);
        else
            FKeywordFirstWide = true;
    }
}

void TksParser::SetText(const QString &text)
{
    FText = text;
    FSize = int(text.size());
    FPosition = 1;
    FTokenStart = 1;
    FLineStarts.clear();
    FLineHint = 0;
    FLinePrefixSize = 0;
    FLineStarts.push_back(0);
    if (TrackLines)  // read only: the text stays shared with the caller's
        for (int i = 0; i < FSize; ++i)
            if (FText.at(i) == QLatin1Char('\n')) FLineStarts.push_back(i + 1);
}

bool TksParser::StartsWithAt(int pos, const QString &s) const
{
    if (s.isEmpty() || pos < 1 || pos - 1 + s.size() > FSize) return false;
    return QStringView(FText).mid(pos - 1, s.size()) == s;
}

void TksParser::SkipSpaces()
{
    // Whether the character at Position is a token's (no blank, nothing
    // that may start a comment): then there is nothing to skip.
    auto atToken = [this]() {
        if (FPosition > FSize) return false;
        const QChar c = At(FPosition);
        auto opens = [c](const QString &s) { return !s.isEmpty() && s[0] == c; };
        return c.unicode() > 32 && !opens(SkipChar) && !opens(CommentLine1) && !opens(CommentLine2) &&
               !opens(FBlock1Open) && !opens(FBlock2Open);
    };
    for (;;) {
        if (atToken()) break;
        while (FPosition <= FSize) {
            ushort c = At(FPosition).unicode();
            if (c > 32) break;
            // With SkipEOL off a line end (CR, or an LF alone) ends a statement.
            if (!SkipEOL && (c == 13 || c == 10)) break;
            ++FPosition;
        }
        if (atToken()) break;
        if (!SkipChar.isEmpty() && FPosition <= FSize && At(FPosition) == SkipChar[0]) {
            ++FPosition;
            while (FPosition <= FSize && At(FPosition).unicode() <= 32 && At(FPosition) != QLatin1Char('\r') &&
                   At(FPosition) != QLatin1Char('\n'))
                ++FPosition;
            while (FPosition <= FSize && (At(FPosition) == QLatin1Char('\r') || At(FPosition) == QLatin1Char('\n')))
                ++FPosition;
            continue;
        }
        if (FPosition < FSize) {
            const QString *line = nullptr;
            for (const QString *cand : {&CommentLine1, &CommentLine2}) {
                if (!StartsWithAt(FPosition, *cand)) continue;
                // A word-like comment start ("rem") counts only as a whole word.
                if (IsIdentChar(cand->back()) && IsIdentChar(At(FPosition + int(cand->size())))) continue;
                line = cand;
                break;
            }
            if (line) {
                // The comment ends before the line end, so the line end still counts.
                while (FPosition <= FSize && At(FPosition) != QLatin1Char('\n') && At(FPosition) != QLatin1Char('\r'))
                    ++FPosition;
                continue;
            }
            const QString *close = nullptr;
            if (StartsWithAt(FPosition, FBlock1Open))
                close = &FBlock1Close;
            else if (StartsWithAt(FPosition, FBlock2Open))
                close = &FBlock2Close;
            if (close) {
                FPosition += std::max<int>(1, int(close == &FBlock1Close ? FBlock1Open.size() : FBlock2Open.size()));
                while (FPosition <= FSize && !StartsWithAt(FPosition, *close)) ++FPosition;
                FPosition += int(close->size());
                if (FPosition > FSize + 1) FPosition = FSize + 1;
                continue;
            }
        }
        break;
    }
    FTokenStart = FPosition;
}

bool TksParser::ReadEOL()
{
    SkipSpaces();
    QChar c = At(FPosition);
    if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) return false;
    while (At(FPosition) == QLatin1Char('\r') || At(FPosition) == QLatin1Char('\n')) ++FPosition;
    return true;
}

QString TksParser::ReadPunct()
{
    const QChar c = PeekPunct();
    if (c.isNull()) return QString();
    ++FPosition;
    return QString(c);
}

QStringView TksParser::ReadWordView()
{
    if (SkipBlanks) SkipSpaces();
    QChar c = At(FPosition);
    if (FPosition > FSize || !IsIdentChar(c) || IsDigit(c)) return QStringView();
    int start = FPosition;
    while (FPosition <= FSize && IsIdentChar(At(FPosition))) ++FPosition;
    FTokenStart = start;
    return QStringView(FText).sliced(start - 1, FPosition - start);
}

QStringView TksParser::WordAt(int pos) const
{
    const QChar c = At(pos);
    if (pos < 1 || pos > FSize || !IsIdentChar(c) || IsDigit(c)) return QStringView();
    int end = pos;
    while (end <= FSize && IsIdentChar(At(end))) ++end;
    return QStringView(FText).sliced(pos - 1, end - pos);
}

QString TksParser::ReadWord()
{
    return ReadWordView().toString();
}

QString TksParser::ReadIdent()
{
    return ReadIdentView().toString();
}

QStringView TksParser::ReadIdentView()
{
    int save = FPosition;
    QStringView w = ReadWordView();
    if (!w.isEmpty() && IsKeyword(w)) {
        FPosition = save;
        return QStringView();
    }
    return w;
}

bool TksParser::IsKeyword(QStringView word) const
{
    if (!(FKeywordLengths & (quint64(1) << KeywordLengthBit(word.size())))) return false;
    if (!word.isEmpty()) {
        // a non-ASCII letter may fold to an ASCII one (the Kelvin sign to k)
        const ushort f = FoldAscii(word[0]);
        if (f < 128 && !FKeywordFirst.test(f) && !FKeywordFirstWide) return false;
    }
    if (CaseSensitive) return Keywords.contains(word);
    return std::binary_search(Keywords.begin(), Keywords.end(), word, [](QStringView a, QStringView b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
}

bool TksParser::ReadHexDigits()
{
    int start = FPosition;
    while (IsHexDigit(At(FPosition)) && FPosition <= FSize) ++FPosition;
    return FPosition > start;
}

bool TksParser::ReadDecimalDigits()
{
    int start = FPosition;
    while (IsDigit(At(FPosition)) && FPosition <= FSize) ++FPosition;
    return FPosition > start;
}

bool TksParser::ReadIntegerPart()
{
    if (!HexSequence.isEmpty() && StartsWithAt(FPosition, HexSequence)) {
        int save = FPosition;
        FPosition += int(HexSequence.size());
        if (ReadHexDigits()) return true;
        FPosition = save;
        return false;
    }
    return ReadDecimalDigits();
}

QString TksParser::ReadNumber()
{
    if (SkipBlanks) SkipSpaces();
    int start = FPosition;
    bool hex = !HexSequence.isEmpty() && StartsWithAt(FPosition, HexSequence);
    if (!ReadIntegerPart()) {
        FPosition = start;
        return QString();
    }
    if (!hex) {
        if (At(FPosition) == QLatin1Char('.') && IsDigit(At(FPosition + 1))) {
            ++FPosition;
            ReadDecimalDigits();
        }
        QChar e = At(FPosition);
        if (e == QLatin1Char('e') || e == QLatin1Char('E')) {
            int save = FPosition;
            ++FPosition;
            if (At(FPosition) == QLatin1Char('+') || At(FPosition) == QLatin1Char('-')) ++FPosition;
            if (!ReadDecimalDigits()) FPosition = save;
        }
    }
    FTokenStart = start;
    QString result = FText.mid(start - 1, FPosition - start);
    if (HexSequence != QLatin1String("$") && !HexSequence.isEmpty()) result.replace(HexSequence, QStringLiteral("$"));
    return result;
}

QString TksParser::ReadString()
{
    if (SkipBlanks) SkipSpaces();
    const bool cStyle = StringQuotes == QLatin1String("\"");
    const QChar quote = StringQuotes.isEmpty() ? QLatin1Char('\'') : StringQuotes[0];
    int start = FPosition;
    QString collected;
    bool any = false;
    for (;;) {
        if (At(FPosition) == quote && FPosition <= FSize) {
            int pieceStart = FPosition;
            QString piece;
            ++FPosition;
            bool closed = false;
            while (FPosition <= FSize) {
                QChar c = At(FPosition);
                if (c.unicode() < 32 && c != QLatin1Char('\t')) break;
                if (c == quote) {
                    if (!cStyle && At(FPosition + 1) == quote) {
                        piece += quote;
                        FPosition += 2;
                        continue;
                    }
                    ++FPosition;
                    closed = true;
                    break;
                }
                if (cStyle && c == QLatin1Char('\\')) {
                    QChar n = At(FPosition + 1);
                    if (n.unicode() < 32 && n != QLatin1Char('\t')) break;
                    FPosition += 2;
                    if (n == QLatin1Char('n') || n == QLatin1Char('N'))
                        piece += QLatin1Char('\n');
                    else if (n == QLatin1Char('r') || n == QLatin1Char('R'))
                        piece += QLatin1Char('\r');
                    else if (n == QLatin1Char('x')) {  // an upper-case X stands for itself
                        uint code = 0;
                        bool digits = false;
                        while (IsHexDigit(At(FPosition)) && FPosition <= FSize) {
                            code = code * 16 + uint(QString(At(FPosition)).toUInt(nullptr, 16));
                            code &= 0xFFFFFF;
                            digits = true;
                            ++FPosition;
                        }
                        if (digits) piece += QChar(ushort(code & 0xFF));
                    } else
                        piece += n;
                    continue;
                }
                piece += c;
                ++FPosition;
            }
            if (!closed) {
                FPosition = pieceStart;
                break;
            }
            collected += piece;
            any = true;
            continue;
        }
        if (At(FPosition) == QLatin1Char('#') && FPosition <= FSize) {
            int save = FPosition;
            ++FPosition;
            int numStart = FPosition;
            bool hex = !HexSequence.isEmpty() && StartsWithAt(FPosition, HexSequence);
            if (!ReadIntegerPart()) {
                FPosition = save;
                break;
            }
            QString digits = FText.mid(numStart - 1, FPosition - numStart);
            bool ok = false;
            uint code = hex ? digits.mid(HexSequence.size()).toUInt(&ok, 16) : digits.toUInt(&ok, 10);
            if (!ok || code > 0xFFFF) {
                FPosition = save;
                break;
            }
            collected += QChar(ushort(code));
            any = true;
            continue;
        }
        break;
    }
    FTokenStart = start;
    if (!any) return QString();
    return QLatin1Char('\'') + collected + QLatin1Char('\'');
}

QString TksParser::ReadBracketText()
{
    int start = FPosition;
    int depth = 1;
    bool dq = false, sq = false;
    while (FPosition <= FSize) {
        QChar c = At(FPosition);
        if (c == QLatin1Char('"') && !sq)
            dq = !dq;
        else if (c == QLatin1Char('\'') && !dq)
            sq = !sq;
        else if (!dq && !sq) {
            if (c == QLatin1Char('<') || c == QLatin1Char('['))
                ++depth;
            else if (c == QLatin1Char('>') || c == QLatin1Char(']')) {
                if (--depth == 0) break;
            }
        }
        ++FPosition;
    }
    return FText.mid(start - 1, FPosition - start);
}

QString TksParser::PositionTextOf(int pos) const
{
    QString s;
    AppendPositionText(s, pos);
    return s;
}

void TksParser::AppendPositionText(QString &to, int pos) const
{
    char16_t buf[kPositionChars];
    const int n = WritePositionText(buf, pos);
    to.append(reinterpret_cast<const QChar *>(buf), n);
}

namespace {
// Decimal digits of v (a minus first when negative); returns their count.
int PutNumber(char16_t *out, int v)
{
    // columns are mostly short
    if (v >= 0 && v < 10) {
        out[0] = char16_t(u'0' + v);
        return 1;
    }
    if (v >= 10 && v < 100) {
        out[0] = char16_t(u'0' + v / 10);
        out[1] = char16_t(u'0' + v % 10);
        return 2;
    }
    char16_t digits[12];
    int k = 0;
    unsigned u = v < 0 ? 0u - unsigned(v) : unsigned(v);
    do digits[k++] = char16_t(u'0' + u % 10);
    while ((u /= 10) != 0);
    int n = 0;
    if (v < 0) out[n++] = u'-';
    while (k > 0) out[n++] = digits[--k];
    return n;
}
}  // namespace

int TksParser::WritePositionText(char16_t *out, int pos) const
{
    // Number of line feeds before pos (a line feed belongs to the line it
    // ends). Positions are mostly asked for in order: the line of the last
    // one, or the next, is tried before a search.
    auto onLine = [this, pos](size_t l) {
        return l < FLineStarts.size() && (l == 0 || FLineStarts[l] <= pos - 1) &&
               (l + 1 == FLineStarts.size() || FLineStarts[l + 1] > pos - 1);
    };
    size_t line = FLineHint;
    if (!onLine(line)) {
        if (onLine(line + 1)) {
            ++line;
        } else {
            auto it = std::upper_bound(FLineStarts.begin() + 1, FLineStarts.end(), pos - 1);
            line = size_t(it - (FLineStarts.begin() + 1));
        }
    }
    if (line != FLineHint || FLinePrefixSize == 0) {
        FLineHint = line;
        FLinePrefixSize = PutNumber(FLinePrefix, int(line) + 1);
        FLinePrefix[FLinePrefixSize++] = u':';
    }
    std::copy(FLinePrefix, FLinePrefix + FLinePrefixSize, out);
    return FLinePrefixSize + PutNumber(out + FLinePrefixSize, pos - FLineStarts[line]);
}

QString TksParser::PositionText() const
{
    return PositionTextOf(FPosition);
}

int TksParser::PositionFromLineCol(int col, int line) const
{
    if (line < 1 || line > int(FLineStarts.size())) return -1;
    return FLineStarts[size_t(line - 1)] + col;
}
