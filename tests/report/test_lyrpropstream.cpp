#include "report/lyrpropstream.h"
#include "report/lyrvariables.h"

#include <gtest/gtest.h>

namespace {

// Every value kind once, in a list.
QByteArray sampleStream()
{
    TlyrPropWriter w;
    w.WriteListBegin();
    for (qint64 v : {qint64(0), qint64(-128), qint64(127), qint64(-129), qint64(40000), qint64(-3000000000LL)})
        w.WriteInteger(v);
    w.WriteBoolean(true);
    w.WriteBoolean(false);
    w.WriteDouble(1234.5);
    w.WriteString(QStringLiteral("会员 \"x\""));
    w.WriteLString("8-bit");
    w.WriteIdent("poPortrait");
    w.WriteBinary(QByteArray("\0\1\2", 3));
    w.WriteVariant(QVariant());
    w.WriteListEnd();
    return w.Data();
}

}  // namespace

TEST(lyrPropStream, ValuesRoundTrip)
{
    const QByteArray data = sampleStream();
    TlyrPropReader r(data);
    r.ReadListBegin();
    EXPECT_EQ(r.ReadInteger(), 0);
    EXPECT_EQ(r.NextValue(), TlyrValueType::vaInt8);
    EXPECT_EQ(r.ReadInteger(), -128);
    EXPECT_EQ(r.ReadInteger(), 127);
    EXPECT_EQ(r.NextValue(), TlyrValueType::vaInt16);
    EXPECT_EQ(r.ReadInteger(), -129);
    EXPECT_EQ(r.NextValue(), TlyrValueType::vaInt32);
    EXPECT_EQ(r.ReadInteger(), 40000);
    EXPECT_EQ(r.NextValue(), TlyrValueType::vaInt64);
    EXPECT_EQ(r.ReadInteger(), -3000000000LL);
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_DOUBLE_EQ(r.ReadDouble(), 1234.5);
    EXPECT_EQ(r.ReadString(), QStringLiteral("会员 \"x\""));
    EXPECT_EQ(r.ReadString(), QStringLiteral("8-bit"));
    EXPECT_EQ(r.ReadIdent(), QByteArray("poPortrait"));
    EXPECT_EQ(r.ReadVariant().toByteArray(), QByteArray("\0\1\2", 3));
    EXPECT_FALSE(r.ReadVariant().isValid());
    EXPECT_TRUE(r.EndOfList());
    r.ReadListEnd();
    EXPECT_TRUE(r.AtEnd());

    TlyrPropReader skipper(data);
    skipper.SkipValue();
    EXPECT_TRUE(skipper.AtEnd());
}

TEST(lyrPropStream, DamagedDataRaises)
{
    const QByteArray data = sampleStream();
    // Every truncation is caught while skipping the whole list.
    for (qsizetype len = 0; len < data.size(); ++len) {
        TlyrPropReader r(data.left(len));
        EXPECT_THROW(r.SkipValue(), ElyrPropStreamError) << len;
    }
    // A length that runs past the end.
    TlyrPropReader longString(QByteArray("\x14\xFF\xFF\xFF\x7F"
                                         "abc",
                                         8));
    EXPECT_THROW(longString.ReadString(), ElyrPropStreamError);
    // Unknown type bytes, and a value of the wrong kind.
    TlyrPropReader unknown(QByteArray("\x63", 1));
    EXPECT_THROW(unknown.SkipValue(), ElyrPropStreamError);
    TlyrPropReader wrongKind(QByteArray("\x09", 1));
    EXPECT_THROW(wrongKind.ReadInteger(), ElyrPropStreamError);
    // Endless nesting.
    TlyrPropReader deep(QByteArray(10000, '\x01'));
    EXPECT_THROW(deep.SkipValue(), ElyrPropStreamError);
    TlyrPropReader empty(QByteArray{});
    EXPECT_THROW(empty.NextValue(), ElyrPropStreamError);
}

TEST(lyrPropStream, VariablesStreamInBothForms)
{
    TlyrVariables vars;
    vars.SetVariable(QStringLiteral("单号"), QStringLiteral("[lyrDB_XF.\"theNum\"]"));
    vars.SetVariable(QStringLiteral("Empty"), QVariant());
    TlyrVariablesAdapter adapter(vars);

    for (bool serializerWriting : {true, false}) {
        TlyrPropWriter w;
        lyrWriteCollection(adapter, w, serializerWriting);
        EXPECT_EQ(w.Data().at(0),
                  static_cast<char>(serializerWriting ? TlyrValueType::vaList : TlyrValueType::vaCollection));
        TlyrVariables back;
        back.SetVariable(QStringLiteral("stale"), 1);
        TlyrVariablesAdapter backAdapter(back);
        TlyrPropReader r(w.Data());
        lyrReadCollection(backAdapter, r);
        EXPECT_TRUE(r.AtEnd());
        ASSERT_EQ(back.Count(), 2);
        EXPECT_EQ(back.Items(0)->Name, QStringLiteral("单号"));
        EXPECT_EQ(back.Items(0)->Value.toString(), QStringLiteral("[lyrDB_XF.\"theNum\"]"));
        EXPECT_EQ(back.IndexOf(QStringLiteral("stale")), -1);
    }
}

TEST(lyrPropStream, ListFormCarriesSerializerText)
{
    TlyrVariables vars;
    vars.SetVariable(QStringLiteral("a"), QStringLiteral("1 < 2"));
    TlyrVariablesAdapter adapter(vars);
    TlyrPropWriter w;
    lyrWriteCollection(adapter, w, true);
    TlyrPropReader r(w.Data());
    r.ReadListBegin();
    r.ReadListBegin();
    EXPECT_EQ(r.ReadString(), QStringLiteral("Name=\"a\" Value=\"1 &#60; 2\""));
}

TEST(lyrPropStream, PlainCollectionStringsAreHighCharDecoded)
{
    // Written by hand as an older stream: "é" stored as char 1 + (0xE9 - 128).
    TlyrPropWriter w;
    w.WriteCollectionBegin();
    w.WriteListBegin();
    w.WritePropName("Name");
    w.WriteString(QString(QChar(1)) + QChar(0xE9 - 128) + QStringLiteral("t"));
    w.WriteListEnd();
    w.WriteListEnd();
    TlyrVariables vars;
    TlyrVariablesAdapter adapter(vars);
    TlyrPropReader r(w.Data());
    lyrReadCollection(adapter, r);
    ASSERT_EQ(vars.Count(), 1);
    EXPECT_EQ(vars.Items(0)->Name, QStringLiteral("ét"));

    // Damage leaves the collection empty.
    const QByteArray cut = w.Data().left(w.Data().size() - 1);
    TlyrPropReader bad(cut);
    EXPECT_THROW(lyrReadCollection(adapter, bad), ElyrPropStreamError);
    EXPECT_EQ(vars.Count(), 0);
}
