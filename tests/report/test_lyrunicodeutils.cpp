#include "report/lyrunicodeutils.h"
#include "report/lyrpropstream.h"
#include "report_test_objects.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList linesOf(const TWideStrings &w)
{
    QStringList out;
    w.AssignTo(out);
    return out;
}

// A list of that text, saved to the file.
TWideStrings savedAs(const QString &fileName, const QString &text)
{
    TWideStrings w;
    w.SetText(text);
    w.SaveToFile(fileName);
    return w;
}

TWideStrings fromText(const QString &text)
{
    TWideStrings w;
    w.SetText(text);
    return w;
}

}  // namespace

TEST(TWideStrings, IndexRulesOfPutGetAndObjects)
{
    TWideStrings w;
    w.Add(QStringLiteral("a"));
    w.Put(1, QStringLiteral("b"));  // Count appends
    EXPECT_EQ(w.Count(), 2);
    EXPECT_EQ(w.Get(1), QStringLiteral("b"));
    try {
        w.Put(3, QStringLiteral("x"));
        FAIL() << "no exception";
    } catch (const EWideStringError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Wide String Out of Bounds"));
    }
    EXPECT_THROW(w.Put(-1, QStringLiteral("x")), EWideStringError);
    EXPECT_EQ(w.Get(-1), QString());
    EXPECT_EQ(w.Get(2), QString());

    w.PutObject(0, 42);
    w.PutObject(5, 7);  // ignored
    EXPECT_EQ(w.GetObject(0), 42);
    EXPECT_EQ(w.GetObject(5), 0);
    EXPECT_EQ(w.AddObject(QStringLiteral("c"), 9), 2);

    TWideStrings other;
    other.AddStrings(w);
    other.AddStrings(other);
    EXPECT_EQ(other.Count(), 6);
    EXPECT_EQ(other.GetObject(5), 9);
    EXPECT_EQ(other.IndexOf(QStringLiteral("b")), 1);
    EXPECT_EQ(other.IndexOf(QStringLiteral("B")), -1);  // case-sensitive
    other.Delete(0);
    EXPECT_EQ(other.Get(0), QStringLiteral("b"));
    EXPECT_THROW(other.Delete(10), EWideStringError);
}

TEST(TWideStrings, SplittingText)
{
    EXPECT_EQ(linesOf(fromText(QStringLiteral("one\r\ntwo\r\n"))), QStringList({"one", "two"}));
    EXPECT_EQ(linesOf(fromText(QStringLiteral("\r\r"))), QStringList({"", ""}));
    EXPECT_EQ(linesOf(fromText(QString())), QStringList());
    EXPECT_EQ(linesOf(fromText(QStringLiteral("a\nb\rc"))), QStringList({"a", "b", "c"}));
    // LF before CR starts a new, empty line.
    EXPECT_EQ(linesOf(fromText(QStringLiteral("a\n\rb"))), QStringList({"a", "", "b"}));
    EXPECT_EQ(linesOf(fromText(QStringLiteral("a") + QChar(0x2028) + "b")), QStringList({"a", "b"}));
    EXPECT_EQ(linesOf(fromText(QStringLiteral("a\r\n") + QChar(0x2028) + "b")), QStringList({"a", "b"}));
    EXPECT_EQ(linesOf(fromText(QStringLiteral("no break"))), QStringList({"no break"}));

    const TWideStrings w = fromText(QStringLiteral("x\ny"));
    EXPECT_EQ(w.Text(), QStringLiteral("x\r\ny\r\n"));
    EXPECT_EQ(fromText(w.Text()), w);
}

TEST(TWideStrings, Utf16StreamKeepsEveryLine)
{
    TWideStrings w;
    w.Add(QStringLiteral("会员卡 No.1"));
    w.Add(QString());
    w.Add(QString::fromUtf8("emoji \xF0\x9F\x98\x80 end"));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    w.SaveToStream(buf);
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));

    buf.close();
    buf.open(QIODevice::ReadOnly);
    TWideStrings back;
    back.LoadFromStream(buf);
    EXPECT_EQ(linesOf(back), linesOf(w));
}

TEST(TWideStrings, AnsiIsGbk)
{
    // 会 is BB E1 and 员 is D4 B1 in GBK.
    EXPECT_EQ(lyrWideToAnsi(QStringLiteral("会员A")), QByteArray("\xBB\xE1\xD4\xB1"
                                                                 "A"));
    EXPECT_EQ(lyrAnsiToWide(QByteArray("\xBB\xE1\xD4\xB1"
                                       "A")),
              QStringLiteral("会员A"));
    // Bytes that are no GBK, and a lead byte cut off at the end.
    EXPECT_EQ(lyrAnsiToWide(QByteArray("a\xFF"
                                       "b\xBB")),
              QStringLiteral("a\uFFFDb\uFFFD"));
    // A character GBK cannot hold.
    EXPECT_EQ(lyrWideToAnsi(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));

    TWideStrings w;
    w.AssignAnsi({QByteArray("\xBB\xE1"), QByteArray("b")});
    EXPECT_EQ(linesOf(w), QStringList({"会", "b"}));
    EXPECT_EQ(w.ToAnsi(), QList<QByteArray>({QByteArray("\xBB\xE1"), QByteArray("b")}));
}

TEST(TWideStrings, LoadDetectsTheForm)
{
    TWideStrings w;
    w.LoadFromBytes(QByteArray("\xBB\xE1\r\nx"));
    EXPECT_EQ(linesOf(w), QStringList({"会", "x"}));
    w.LoadFromBytes(QByteArray("\xEF\xBB\xBF\xE4\xBC\x9A\n"));
    EXPECT_EQ(linesOf(w), QStringList({"会"}));
    w.LoadFromBytes(QByteArray("A"));  // one byte: one ANSI line
    EXPECT_EQ(linesOf(w), QStringList({"A"}));
    w.LoadFromBytes(QByteArray("\xFF\xFE"));  // only the signature: read as ANSI
    EXPECT_EQ(w.Count(), 1);
    w.LoadFromBytes(QByteArray("\xFF\xFE"
                               "a\0b",
                               5));  // odd tail byte dropped
    EXPECT_EQ(linesOf(w), QStringList({"a"}));

    // Loading starts at the stream's position.
    QByteArray bytes("skipme\xBB\xE1");
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    buf.seek(6);
    w.LoadFromStream(buf);
    EXPECT_EQ(linesOf(w), QStringList({"会"}));
}

TEST(TWideStrings, FilesAndUtf8Form)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("lines.txt"));
    const TWideStrings w = savedAs(name, QStringLiteral("第一行\r\nsecond\r\n"));
    TWideStrings back;
    back.LoadFromFile(name);
    EXPECT_EQ(linesOf(back), linesOf(w));
    EXPECT_THROW(back.LoadFromFile(dir.filePath(QStringLiteral("missing.txt"))), EWideStringError);

    const QList<QByteArray> utf8 = w.UTF8();
    EXPECT_EQ(utf8.at(0), QByteArray("\xE7\xAC\xAC\xE4\xB8\x80\xE8\xA1\x8C"));
    TWideStrings fromUtf8;
    fromUtf8.SetUTF8(utf8);
    EXPECT_EQ(linesOf(fromUtf8), linesOf(w));

    TWideStrings copy;
    copy.Assign(QStringList({"p", "q"}));
    copy.Assign(copy);
    EXPECT_EQ(linesOf(copy), QStringList({"p", "q"}));
    EXPECT_EQ(copy.GetObject(1), 0);
}

TEST(TWideStrings, ComponentStreamForms)
{
    TWideStrings w;
    w.SetText(QStringLiteral("合计\r\n\r\nend"));
    TlyrPropWriter writer;
    w.WriteUTF8Property(writer);
    TWideStrings back;
    TlyrPropReader reader(writer.Data());
    back.ReadUTF8Property(reader);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(linesOf(back), QStringList({"合计", "", "end"}));

    // The older form: a list of an ANSI string (vaLString) and a wide
    // string (vaWString, two UTF-16 units).
    const QByteArray old("\x01"
                         "\x0C\x02\x00\x00\x00\xBB\xE1"
                         "\x12\x02\x00\x00\x00"
                         "a\x00"
                         "b\x00"
                         "\x00",
                         18);
    TlyrPropReader oldReader(old);
    back.ReadStringsProperty(oldReader);
    EXPECT_EQ(linesOf(back), QStringList({"会", "ab"}));

    TlyrPropReader damaged(writer.Data().left(5));
    EXPECT_THROW(back.ReadUTF8Property(damaged), ElyrPropStreamError);
}

// Files without a signature: UTF-8 when they are valid UTF-8 beyond ASCII,
// GBK otherwise.
TEST(TWideStrings, UnsignedFilesAsUtf8OrGbk)
{
    TWideStrings w;
    w.LoadFromBytes(QStringLiteral("合计 12.50\r\n第二行").toUtf8());
    EXPECT_EQ(linesOf(w), QStringList({"合计 12.50", "第二行"}));
    w.LoadFromBytes(lyrWideToAnsi(QStringLiteral("合计 12.50\r\n第二行")));
    EXPECT_EQ(linesOf(w), QStringList({"合计 12.50", "第二行"}));
    w.LoadFromBytes(QByteArray("plain\r\ntext"));
    EXPECT_EQ(linesOf(w), QStringList({"plain", "text"}));
    // Cut off, overlong and surrogate forms are no UTF-8: read as GBK.
    for (const QByteArray &bad : {QByteArray("ab\xE5\x90"), QByteArray("\xC0\xAF"), QByteArray("\xED\xA0\x80")}) {
        w.LoadFromBytes(bad);
        EXPECT_EQ(linesOf(w), QStringList({lyrAnsiToWide(bad)})) << bad.toHex().constData();
    }

    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("utf8.txt"));
    {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("店名：小店\n").toUtf8());
    }
    w.LoadFromFile(name);
    EXPECT_EQ(linesOf(w), QStringList({"店名：小店"}));
}

// On a full disk the old file stays and the save fails.
TEST(TWideStrings, SaveToFileKeepsTheOldFileWhenTheDiskIsFull)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("old.txt"));
    savedAs(name, QStringLiteral("第一行\r\n"));
    auto bytes = [&name] {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    TWideStrings big;
    big.SetText(QString(4000, QLatin1Char('x')));
    {
        FileSizeLimit full(1024);
        EXPECT_THROW(big.SaveToFile(name), EWideStringError);
    }
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.txt")});
}
