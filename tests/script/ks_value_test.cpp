#include "script/ks_props.h"
#include "ks_print.h"
#include "script/ksrtl.h"
#include "script/ksvalue.h"

#include <gtest/gtest.h>

#include <QObject>

namespace {

KsValue S(const char *s)
{
    return KsValue(QString::fromUtf8(s));
}

struct OpCase {
    const char *Name;
    KsOp Op;
    KsValue A, B;
    KsKind Kind;
    const char *Text;  // expected ToString of the result
};

TEST(KsValueOperators, Table)
{
    const double d20260105 = ksEncodeDate(2026, 1, 5);
    const double t1030 = ksEncodeTime(10, 30, 0, 0);
    const OpCase cases[] = {
            {"int+int", KsOp::Add, KsValue(2), KsValue(3), KsKind::Integer, "5"},
            {"int overflow to Int64", KsOp::Add, KsValue(2147483647), KsValue(1), KsKind::Int64, "2147483648"},
            {"int mul overflow", KsOp::Mul, KsValue(65536), KsValue(65536), KsKind::Int64, "4294967296"},
            {"int - overflow", KsOp::Sub, KsValue(-2147483647 - 1), KsValue(1), KsKind::Int64, "-2147483649"},
            {"Int64 overflow to Double", KsOp::Add, KsValue(qint64(9223372036854775807LL)), KsValue(1), KsKind::Double,
             "9.22337203685478E18"},
            {"Int64+int stays Int64", KsOp::Add, KsValue(qint64(5)), KsValue(1), KsKind::Int64, "6"},
            {"int-Int64 stays Int64", KsOp::Sub, KsValue(5), KsValue(qint64(7)), KsKind::Int64, "-2"},
            {"Int64 back in range stays Int64", KsOp::Sub, KsValue(qint64(4294967296LL)), KsValue(qint64(4294967290LL)),
             KsKind::Int64, "6"},
            {"Int64 - overflow to Double", KsOp::Sub, KsValue(qint64(INT64_MIN)), KsValue(1), KsKind::Double,
             "-9.22337203685478E18"},
            {"int+double", KsOp::Add, KsValue(1), KsValue(0.5), KsKind::Double, "1.5"},
            {"string+string concatenates", KsOp::Add, S("ab"), S("cd"), KsKind::String, "abcd"},
            {"string+number adds", KsOp::Add, S("12"), KsValue(3), KsKind::Integer, "15"},
            {"string with blanks converts", KsOp::Mul, S(" 2.5 "), KsValue(2), KsKind::Double, "5"},
            {"hex text converts", KsOp::Add, S("$10"), KsValue(1), KsKind::Integer, "17"},
            {"Empty+int", KsOp::Add, KsValue(), KsValue(4), KsKind::Integer, "4"},
            {"Empty+string", KsOp::Add, KsValue(), S("x"), KsKind::String, "x"},
            {"Empty+Empty", KsOp::Add, KsValue(), KsValue(), KsKind::Integer, "0"},
            {"Null propagates +", KsOp::Add, KsValue::Null(), KsValue(1), KsKind::Null, ""},
            {"Null propagates *", KsOp::Mul, KsValue(2), KsValue::Null(), KsKind::Null, ""},
            {"Null propagates and", KsOp::And, KsValue::Null(), KsValue(true), KsKind::Null, ""},
            {"Bool as -1", KsOp::Add, KsValue(true), KsValue(1), KsKind::Integer, "0"},
            {"real division", KsOp::DivFloat, KsValue(7), KsValue(2), KsKind::Double, "3.5"},
            {"div", KsOp::DivInt, KsValue(7), KsValue(2), KsKind::Integer, "3"},
            {"div negative truncates", KsOp::DivInt, KsValue(-7), KsValue(2), KsKind::Integer, "-3"},
            {"mod", KsOp::Mod, KsValue(-7), KsValue(2), KsKind::Integer, "-1"},
            {"div of doubles rounds operands", KsOp::DivInt, KsValue(7.6), KsValue(2), KsKind::Integer, "4"},
            {"bool and", KsOp::And, KsValue(true), KsValue(false), KsKind::Boolean, "False"},
            {"bool xor", KsOp::Xor, KsValue(true), KsValue(false), KsKind::Boolean, "True"},
            {"bitwise and", KsOp::And, KsValue(6), KsValue(3), KsKind::Integer, "2"},
            {"bitwise or", KsOp::Or, KsValue(6), KsValue(3), KsKind::Integer, "7"},
            {"shl", KsOp::Shl, KsValue(1), KsValue(4), KsKind::Integer, "16"},
            {"shr", KsOp::Shr, KsValue(256), KsValue(4), KsKind::Integer, "16"},
            {"strcat any right type", KsOp::StrCat, S("n="), KsValue(true), KsKind::String, "n=True"},
            {"strcat number left", KsOp::StrCat, KsValue(1), KsValue(2), KsKind::String, "12"},
            {"strcat Null is empty", KsOp::StrCat, S("a"), KsValue::Null(), KsKind::String, "a"},
            {"Date+number is Date", KsOp::Add, KsValue::FromDate(d20260105), KsValue(1), KsKind::Date, "2026-01-06"},
            {"number+Date is Date", KsOp::Add, KsValue(2), KsValue::FromDate(d20260105), KsKind::Date, "2026-01-07"},
            {"Date-number is Date", KsOp::Sub, KsValue::FromDate(d20260105), KsValue(5), KsKind::Date, "2025-12-31"},
            {"Date-Date is number", KsOp::Sub, KsValue::FromDate(d20260105), KsValue::FromDate(d20260105 - 3),
             KsKind::Double, "3"},
            {"Date+Time is date-time", KsOp::Add, KsValue::FromDate(d20260105), KsValue::FromDate(t1030), KsKind::Date,
             "2026-01-05 10:30:00"},
    };
    for (const OpCase &c : cases) {
        KsValue r = ksBinary(c.Op, c.A, c.B);
        EXPECT_EQ(r.Kind(), c.Kind) << c.Name;
        EXPECT_EQ(r.ToText(), QString::fromUtf8(c.Text)) << c.Name;
        // x op= y (the in-place form statements use) follows the same rules
        KsValue x = c.A;
        ksBinaryInPlace(c.Op, x, c.B);
        EXPECT_EQ(x.Kind(), c.Kind) << c.Name << " in place";
        EXPECT_EQ(x.ToText(), QString::fromUtf8(c.Text)) << c.Name << " in place";
    }
}

TEST(KsValueOperators, FailuresRaiseCatchableErrors)
{
    EXPECT_THROW(ksAdd(S("abc"), KsValue(1)), KsError);
    EXPECT_THROW(ksMul(S("1,5"), KsValue(2)), KsError);
    try {
        ksBinary(KsOp::DivFloat, KsValue(1), KsValue(0));
        FAIL();
    } catch (const KsError &e) {
        EXPECT_EQ(e.ClassName, QStringLiteral("EZeroDivide"));
    }
    EXPECT_THROW(ksBinary(KsOp::DivInt, KsValue(1), KsValue(0)), KsError);
    EXPECT_THROW(ksBinary(KsOp::Mod, KsValue(1), KsValue()), KsError);
    EXPECT_THROW(ksAdd(KsValue::MakeList({KsValue(1)}), KsValue(1)), KsError);
    // a failing x op= y leaves x as it was
    KsValue x = S("abc");
    EXPECT_THROW(ksBinaryInPlace(KsOp::Add, x, KsValue(1)), KsError);
    EXPECT_EQ(x.ToText(), QStringLiteral("abc"));
    // INT64_MIN div -1 must not trap
    EXPECT_EQ(ksBinary(KsOp::DivInt, KsValue(qint64(INT64_MIN)), KsValue(-1)).Kind(), KsKind::Double);
    EXPECT_EQ(ksNegate(KsValue(-2147483647 - 1)).ToString(), QStringLiteral("2147483648"));
}

// The engine's errors are the program's own errors, with the message as text.
TEST(KsErrors, AreTheProgramsErrorsWithTheirMessage)
{
    try {
        throw KsError(QStringLiteral("EConvertError"), QStringLiteral("'Ä' is not a valid number"));
    } catch (const velmora::Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'Ä' is not a valid number"));
        EXPECT_EQ(QString::fromUtf8(e.what()), e.message());
        const auto *ks = dynamic_cast<const KsError *>(&e);
        ASSERT_NE(ks, nullptr);
        EXPECT_EQ(ks->ClassName, QStringLiteral("EConvertError"));
        EXPECT_EQ(ks->Message, e.message());
    }
    EXPECT_EQ(KsError(QStringLiteral("plain")).ClassName, QStringLiteral("Exception"));
}

TEST(KsValueCompare, Rules)
{
    EXPECT_TRUE(ksEquals(KsValue(1), KsValue(1.0)));
    EXPECT_TRUE(ksEquals(S("10"), KsValue(10)));
    EXPECT_FALSE(ksEquals(S("abc"), KsValue(10)));  // differs, no error
    EXPECT_THROW(ksCompare(S("abc"), KsValue(10)), KsError);
    EXPECT_EQ(ksCompare(S("abc"), S("abd")), -1);
    EXPECT_EQ(ksCompare(S("B"), S("a")), -1);  // character codes
    EXPECT_TRUE(ksEquals(KsValue::Null(), KsValue::Null()));
    EXPECT_FALSE(ksEquals(KsValue::Null(), KsValue(0)));
    EXPECT_FALSE(ksEquals(KsValue::Null(), KsValue()));
    EXPECT_EQ(ksCompare(KsValue::Null(), KsValue(-100)), -1);
    EXPECT_TRUE(ksEquals(KsValue(), KsValue(0)));
    EXPECT_TRUE(ksEquals(KsValue(), S("")));
    EXPECT_TRUE(ksEquals(KsValue(), KsValue(false)));
    EXPECT_EQ(ksCompare(KsValue(qint64(5000000000LL)), KsValue(7)), 1);
    EXPECT_EQ(ksCompare(KsValue::FromDate(2.5), KsValue(2)), 1);
    const KsValue day = KsValue::FromDate(ksEncodeDate(2026, 1, 5));
    EXPECT_TRUE(ksEquals(day, S("2026-01-05")));
    EXPECT_EQ(ksCompare(day, S("2026-01-05 10:00")), -1);
    EXPECT_DOUBLE_EQ(ksSub(day, S("2026-01-01")).ToDouble(), 4);
    EXPECT_THROW(ksCompare(day, S("soon")), KsError);
    EXPECT_TRUE(ksEquals(KsValue::MakeList({KsValue(1), S("a")}), KsValue::MakeList({KsValue(1), S("a")})));
}

TEST(KsValueConvert, Text)
{
    EXPECT_EQ(KsValue(0.1 + 0.2).ToString(), QStringLiteral("0.3"));
    EXPECT_EQ(KsValue(1e20).ToString(), QStringLiteral("1E20"));
    EXPECT_EQ(KsValue(1.5e-7).ToString(), QStringLiteral("1.5E-7"));
    EXPECT_EQ(KsValue(-2.0).ToString(), QStringLiteral("-2"));
    EXPECT_EQ(KsValue(true).ToString(), QStringLiteral("True"));
    EXPECT_EQ(KsValue::FromDate(ksEncodeTime(8, 5, 9, 0)).ToString(), QStringLiteral("08:05:09"));
    EXPECT_EQ(KsValue::FromDate(ksEncodeDate(1999, 12, 31)).ToString(), QStringLiteral("1999-12-31"));
    EXPECT_THROW(KsValue::Null().ToString(), KsError);
    EXPECT_EQ(KsValue::Null().ToText(), QString());
}

TEST(KsValueConvert, Numbers)
{
    EXPECT_EQ(KsValue(2.5).ToInt(), 2);  // half to even
    EXPECT_EQ(KsValue(3.5).ToInt(), 4);
    EXPECT_EQ(S("42").ToInt(), 42);
    EXPECT_THROW(S("4x").ToInt(), KsError);
    EXPECT_THROW(KsValue(qint64(1) << 40).ToInt(), KsError);
    EXPECT_EQ(KsValue(qint64(1) << 40).ToInt64(), qint64(1) << 40);
    EXPECT_THROW(KsValue(1e300).ToInt64(), KsError);
    EXPECT_FALSE(KsValue().ToBool());
    EXPECT_TRUE(S("true").ToBool());
    EXPECT_FALSE(S("0").ToBool());
    EXPECT_THROW(S("yes").ToBool(), KsError);
    EXPECT_THROW(KsValue::Null().ToBool(), KsError);
    EXPECT_EQ(ksNot(KsValue(true)).ToBool(), false);
    EXPECT_EQ(ksNot(KsValue(0)).ToInt(), -1);
    EXPECT_TRUE(ksNot(KsValue::Null()).IsNull());
}

TEST(KsValueArray, ValueSemanticsAndBounds)
{
    KsValue a = KsValue::MakeArray({KsBounds{1, 3}, KsBounds{0, 2}});
    qint64 idx[2] = {3, 1};
    a.AtMut(idx, 2) = KsValue(9);
    KsValue b = a;  // copy
    b.AtMut(idx, 2) = KsValue(10);
    EXPECT_EQ(a.At(idx, 2).ToInt(), 9);
    EXPECT_EQ(b.At(idx, 2).ToInt(), 10);
    EXPECT_EQ(a.Bounds(0).Low, 1);
    EXPECT_EQ(a.ElementCount(), 6);
    qint64 bad[2] = {0, 0};
    EXPECT_THROW(a.At(bad, 2), KsError);
    EXPECT_THROW(a.At(bad, 1), KsError);
    EXPECT_THROW(KsValue::MakeArray({KsBounds{0, qint64(1) << 40}}), KsError);
    KsValue l = KsValue::MakeList({KsValue(1), KsValue(2)});
    l.Redim(4);
    EXPECT_EQ(l.ElementCount(), 5);
    EXPECT_EQ(l.Element(1).ToInt(), 2);
    EXPECT_EQ(l.VarType(), 8192 | 12);
}

TEST(KsValueObject, HandlesAreChecked)
{
    auto *o = new QObject;
    KsValue h = KsValue::FromObject(o);
    EXPECT_EQ(h.ToObject(), o);
    EXPECT_TRUE(ksEquals(h, KsValue::FromObject(o)));
    EXPECT_FALSE(ksEquals(h, KsValue(0)));  // an object is not nil
    EXPECT_EQ(KsValue::FromObject(nullptr).ToObject(), nullptr);
    KsObjects::Free(h);
    try {
        h.ToObject();
        FAIL();
    } catch (const KsError &e) {
        EXPECT_EQ(e.ClassName, QStringLiteral("EInvalidObject"));
    }
    // A new object at the same address gets a new handle; the old one stays dead.
    auto *o2 = new QObject;
    KsValue h2 = KsValue::FromObject(o2);
    EXPECT_EQ(h2.ToObject(), o2);
    EXPECT_THROW(h.ToObject(), KsError);
    delete o2;
    EXPECT_THROW(h2.ToObject(), KsError);
}

TEST(KsValueObject, SlotsOfFreedObjectsAreReused)
{
    std::vector<KsValue> old;
    for (int i = 0; i < 5000; ++i) {
        auto *o = new QObject;
        KsValue h = KsValue::FromObject(o);
        if (i % 1000 == 0) old.push_back(h);
        delete o;
    }
    EXPECT_LT(KsObjects::SlotCount(), 2500);
    for (const KsValue &h : old) EXPECT_THROW(h.ToObject(), KsError);  // reused slots keep old handles dead
}

}  // namespace
