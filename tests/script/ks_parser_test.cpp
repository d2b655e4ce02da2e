#include "ks_print.h"
#include "script/ks_iparser.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

TksParser Pascal(const QString &text)
{
    TksParser p;
    p.SetKeywords({QStringLiteral("begin"), QStringLiteral("end"), QStringLiteral("if")});
    p.SetText(text);
    return p;
}

TksParser Basic(const QString &text)
{
    TksParser p;
    p.SetCommentBlock1(QString());
    p.SetCommentBlock2(QString());
    p.CommentLine1 = QStringLiteral("'");
    p.CommentLine2 = QStringLiteral("rem");
    p.StringQuotes = QStringLiteral("\"");
    p.SkipEOL = false;
    p.HexSequence = QStringLiteral("&H");
    p.SetText(text);
    return p;
}

TEST(KsLexer, CommentsAreSkipped)
{
    TksParser p = Pascal(QStringLiteral("{ a } (* b *) // c\r\nx"));
    EXPECT_EQ(p.ReadWord(), QStringLiteral("x"));
    TksParser q = Pascal(QStringLiteral("{ never closed"));
    EXPECT_EQ(q.ReadWord(), QString());
    EXPECT_EQ(q.Position(), q.Size() + 1);
}

TEST(KsLexer, BasicCommentsLeaveTheLineEnd)
{
    TksParser p = Basic(QStringLiteral("x = 1 ' note\r\ny"));
    EXPECT_EQ(p.ReadWord(), QStringLiteral("x"));
    EXPECT_EQ(p.ReadPunct(), QString());  // blank first
    p.SkipSpaces();
    EXPECT_EQ(p.ReadPunct(), QStringLiteral("="));
    EXPECT_EQ(p.ReadNumber(), QStringLiteral("1"));
    EXPECT_TRUE(p.ReadEOL());  // the comment did not swallow the line end
    EXPECT_EQ(p.ReadWord(), QStringLiteral("y"));

    TksParser lf = Basic(QStringLiteral("a\nb"));
    EXPECT_EQ(lf.ReadWord(), QStringLiteral("a"));
    EXPECT_TRUE(lf.ReadEOL());  // LF alone ends a line too
    EXPECT_EQ(lf.ReadWord(), QStringLiteral("b"));
}

TEST(KsLexer, RemOnlyAsAWholeWord)
{
    TksParser p = Basic(QStringLiteral("remark = 1"));
    EXPECT_EQ(p.ReadWord(), QStringLiteral("remark"));
    TksParser q = Basic(QStringLiteral("rem a comment\r\nz"));
    EXPECT_EQ(q.ReadWord(), QString());
    EXPECT_TRUE(q.ReadEOL());
    EXPECT_EQ(q.ReadWord(), QStringLiteral("z"));
    TksParser r = Basic(QStringLiteral("REM x"));
    EXPECT_EQ(r.ReadWord(), QStringLiteral("REM"));  // comparison is case-sensitive
}

TEST(KsLexer, Numbers)
{
    struct Case {
        const char *Hex;
        const char *Text;
        const char *Expected;
    } cases[] = {{"$", "$1F", "$1F"}, {"0x", "0x1F", "$1F"}, {"$", "1.5e+3", "1.5e+3"},
                 {"$", "1.e5", "1"},  {"$", "1..5", "1"},    {"$", "12abc", "12"},
                 {"$", "2E", "2"},    {"$", "$", ""},        {"$", "x", ""}};
    for (const Case &c : cases) {
        TksParser p;
        p.HexSequence = QString::fromLatin1(c.Hex);
        p.SetText(QString::fromLatin1(c.Text));
        EXPECT_EQ(p.ReadNumber(), QString::fromLatin1(c.Expected)) << c.Text;
    }
    TksParser p;
    p.SetText(QStringLiteral("x"));
    p.ReadNumber();
    EXPECT_EQ(p.Position(), 1);  // failure restores the position
}

TEST(KsLexer, Strings)
{
    TksParser c;
    c.StringQuotes = QStringLiteral("\"");
    c.SetText(QStringLiteral("\"a\\\"b\\x41\\n\""));
    EXPECT_EQ(c.ReadString(), QStringLiteral("'a\"bA\n'"));
    c.SetText(QStringLiteral("\"open\r\n\""));
    EXPECT_EQ(c.ReadString(), QString());
    EXPECT_EQ(c.Position(), 1);
    TksParser p;
    p.SetText(QStringLiteral("'it''s'#33'x'#$41"));
    EXPECT_EQ(p.ReadString(), QStringLiteral("'it's!xA'"));
    p.SetText(QStringLiteral("'中文'"));
    EXPECT_EQ(p.ReadString(), QStringLiteral("'中文'"));
}

TEST(KsLexer, WordsIdentsAndKeywords)
{
    TksParser p = Pascal(QStringLiteral("  BEGIN x1 _y 9z"));
    EXPECT_EQ(p.ReadIdent(), QString());
    EXPECT_EQ(p.ReadWord(), QStringLiteral("BEGIN"));
    EXPECT_EQ(p.TokenStart(), 3);
    EXPECT_EQ(p.ReadIdent(), QStringLiteral("x1"));
    EXPECT_EQ(p.ReadIdent(), QStringLiteral("_y"));
    EXPECT_EQ(p.ReadWord(), QString());  // a digit does not start a word
    p.CaseSensitive = true;
    EXPECT_FALSE(p.IsKeyword(QStringLiteral("BEGIN")));
    EXPECT_TRUE(p.IsKeyword(QStringLiteral("begin")));
    // Chinese identifiers need the extended set.
    TksParser q;
    q.SetText(QStringLiteral("金额 = 1"));
    EXPECT_EQ(q.ReadWord(), QString());
    q.AddIdentChars(128, 255);
    EXPECT_EQ(q.ReadWord(), QStringLiteral("金额"));
}

TEST(KsLexer, PositionsAndBracketText)
{
    TksParser p;
    p.SetText(QStringLiteral("ab\r\ncd\n\tx"));
    EXPECT_EQ(p.PositionText(), QStringLiteral("1:1"));
    p.SetPosition(4);  // the LF ends line 1
    EXPECT_EQ(p.PositionText(), QStringLiteral("1:4"));
    p.SetPosition(5);
    EXPECT_EQ(p.PositionText(), QStringLiteral("2:1"));
    p.SetPosition(9);
    EXPECT_EQ(p.PositionText(), QStringLiteral("3:2"));
    EXPECT_EQ(p.PositionFromLineCol(2, 3), 9);
    EXPECT_EQ(p.PositionFromLineCol(1, 9), -1);

    TksParser b;
    b.SetText(QStringLiteral("a[<b>]'>'\">\"] rest"));
    EXPECT_EQ(b.ReadBracketText(), QStringLiteral("a[<b>]'>'\">\""));
    EXPECT_EQ(b.Position(), 13);
}

TEST(KsLexer, ViewsAndPositionsInAnyOrder)
{
    TksParser p = Pascal(QStringLiteral("  Begin x1\n{c} end\r\n\nif"));
    EXPECT_EQ(p.ReadIdentView(), QStringView());  // a keyword, in any case
    EXPECT_EQ(p.Position(), 1);
    p.SetPosition(9);
    EXPECT_EQ(p.ReadIdentView(), QStringLiteral("x1"));
    EXPECT_EQ(p.WordAt(3), QStringLiteral("Begin"));
    EXPECT_EQ(p.WordAt(2), QStringView());  // a blank
    EXPECT_EQ(p.PunctAt(12), QLatin1Char('{'));
    EXPECT_TRUE(p.IsKeyword(QStringView(u"END")));
    // positions asked for backwards, forwards and far apart read as a fresh
    // scanner reads each (a line feed belongs to the line it ends)
    const int positions[] = {1, 3, 10, 11, 12, 15, 18, 20, 21, 22, 23};
    QStringList fresh, forwards, backwards;
    for (int pos : positions) {
        TksParser q = Pascal(p.Text());
        fresh << q.PositionTextOf(pos);
        forwards << p.PositionTextOf(pos);
    }
    for (int i = int(std::size(positions)) - 1; i >= 0; --i) backwards.prepend(p.PositionTextOf(positions[i]));
    EXPECT_EQ(fresh.mid(3, 4), QStringList({"1:11", "2:1", "2:4", "2:7"}));
    EXPECT_EQ(fresh.mid(8), QStringList({"3:1", "4:1", "4:2"}));
    EXPECT_EQ(forwards, fresh);
    EXPECT_EQ(backwards, fresh);
    QString appended = QStringLiteral("at ");
    p.AppendPositionText(appended, 15);
    EXPECT_EQ(appended, QStringLiteral("at 2:4"));
    p.SetText(QStringLiteral("a"));  // a new text forgets the last line
    EXPECT_EQ(p.PositionTextOf(1), QStringLiteral("1:1"));
}

TEST(KsLexer, LineContinuationAndReset)
{
    TksParser p;
    p.SkipEOL = false;
    p.SkipChar = QStringLiteral("_");
    p.SetText(QStringLiteral("a _\r\n b"));
    EXPECT_EQ(p.ReadWord(), QStringLiteral("a"));
    EXPECT_EQ(p.ReadWord(), QStringLiteral("b"));
    p.Reset();
    EXPECT_TRUE(p.SkipEOL);
    EXPECT_EQ(p.CommentBlock1(), QStringLiteral("{,}"));
    EXPECT_TRUE(p.SkipChar.isEmpty());
}

}  // namespace
