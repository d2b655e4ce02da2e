// Rules of the barcode component: widths and ratio, text rewriting, check
// digits that follow the standards, rejected characters, type table.

#include "barcode_test_util.h"

#include <QSet>
#include <gtest/gtest.h>

#include <limits>

using namespace bctest;

namespace {

TlyrBarcode code(TlyrBarcodeType t, const QString &text, bool checksum = false)
{
    TlyrBarcode bc;
    bc.Typ = t;
    bc.Text = text;
    bc.Checksum = checksum;
    return bc;
}

TEST(BarcodeRatio, TwoWidthSymbologiesClampTheRatio)
{
    TlyrBarcode bc = code(bcCode39, QStringLiteral("A"));
    bc.Ratio = 1.5;
    bc.MakeData();
    EXPECT_DOUBLE_EQ(bc.Ratio, 2.0);
    EXPECT_EQ(bc.ElementWidth(u'6'), 2);
    bc.Ratio = 3.5;
    bc.MakeData();
    EXPECT_DOUBLE_EQ(bc.Ratio, 3.0);
    EXPECT_EQ(bc.ElementWidth(u'6'), 3);
    // A Code 39 character has 3 wide and 6 narrow elements plus a gap:
    // at ratio 3, "*A*" is 3 * (3*3 + 6) + 2 = 47 modules.
    EXPECT_EQ(bc.Width(), 47);

    TlyrBarcode m = code(bcCode_2_5_matrix, QStringLiteral("1"));
    m.Ratio = 2.0;
    m.MakeData();
    EXPECT_DOUBLE_EQ(m.Ratio, 2.25);

    TlyrBarcode msi = code(bcCodeMSI, QStringLiteral("1"));
    msi.Ratio = 5;
    msi.MakeData();
    EXPECT_DOUBLE_EQ(msi.Ratio, 3.0);
}

TEST(BarcodeRatio, ModuleSymbologiesKeepTheirModules)
{
    // Code 128: 11 modules a symbol, 13 for the stop, whatever the ratio.
    for (double r : {1.5, 2.0, 2.5, 3.0}) {
        TlyrBarcode c = code(bcCode128B, QStringLiteral("Hi"));
        c.Ratio = r;
        EXPECT_EQ(c.Width(), 4 * 11 + 13) << r;
        EXPECT_DOUBLE_EQ(c.Ratio, r);  // the setting itself is left alone
        TlyrBarcode e = code(bcCodeEAN13, QStringLiteral("4006381333931"));
        e.Ratio = r;
        EXPECT_EQ(e.Width(), 95) << r;
        TlyrBarcode n = code(bcCode93, QStringLiteral("A"));
        n.Ratio = r;
        EXPECT_EQ(n.Width(), 4 * 9 + 10) << r;
        TlyrBarcode s = code(bcCodeUPC_Supp5, QStringLiteral("52495"));
        s.Ratio = r;
        EXPECT_EQ(s.Width(), 4 + 5 * 7 + 4 * 2) << r;
        TlyrBarcode u = code(bcCodeUPC_E0, QStringLiteral("425261"));
        u.Ratio = r;
        EXPECT_EQ(u.Width(), 51) << r;
    }
}

TEST(BarcodeRatio, OddSettingsStaySafe)
{
    TlyrBarcode bc = code(bcCode39, QStringLiteral("A"));
    bc.Modul = 0;
    bc.Ratio = std::numeric_limits<double>::quiet_NaN();
    EXPECT_GT(bc.Width(), 0);
    EXPECT_EQ(bc.ElementWidth(u'5'), 1);
    EXPECT_THROW(bc.ElementWidth(u'4'), ElyrBarcodeError);
    EXPECT_THROW(bc.ElementWidth(u'x'), ElyrBarcodeError);
}

TEST(BarcodeCheckDigits, UpcECheckDigitIsThatOfTheExpandedNumber)
{
    // 425261 is UPC-A 0 42100 00526: check 4.  Weighting the six digits as
    // they stand would give 0, which no scanner accepts.
    TlyrBarcode bc = code(bcCodeUPC_E0, QStringLiteral("425261"), true);
    bc.MakeData();
    EXPECT_EQ(bc.Text, QStringLiteral("4252614"));
    // A wrong check digit in the text is replaced, not encoded.
    TlyrBarcode wrong = code(bcCodeUPC_E0, QStringLiteral("4252610"));
    TlyrBarcode right = code(bcCodeUPC_E0, QStringLiteral("4252614"));
    EXPECT_EQ(wrong.MakeData(), right.MakeData());
    EXPECT_EQ(wrong.DisplayText(), QStringLiteral("4252614"));
    // Even csmNone leaves the check digit in: the parity needs it.
    TlyrBarcode none = code(bcCodeUPC_E0, QStringLiteral("425261"));
    none.CheckSumMethod = csmNone;
    EXPECT_EQ(none.MakeData(), right.MakeData());
}

TEST(BarcodeCheckDigits, MsiLuhnStartsAtTheRightmostDigit)
{
    // 1234567 -> 4; alternating from the left would give 9.
    TlyrBarcode bc = code(bcCodeMSI, QStringLiteral("1234567"));
    const QString d = bc.MakeData();
    // Check digit 4 = bits 0100 before the stop.
    EXPECT_TRUE(d.endsWith(QStringLiteral("51605151") + QStringLiteral("515")));
    EXPECT_EQ(lyrBarcodeDetail::msiCheckDigit(QStringLiteral("1234567")), 4);
}

TEST(BarcodeCheckDigits, EanTextRules)
{
    // EAN-8 keeps its Text; the bars carry the check digit.
    TlyrBarcode e8 = code(bcCodeEAN8, QStringLiteral("9638507"), true);
    e8.MakeData();
    EXPECT_EQ(e8.Text, QStringLiteral("9638507"));
    EXPECT_EQ(e8.DisplayText(), QStringLiteral("96385074"));
    // A full number with a wrong check digit gets it recomputed.
    TlyrBarcode full8 = code(bcCodeEAN8, QStringLiteral("96385070"), true);
    full8.MakeData();
    EXPECT_EQ(full8.DisplayText(), QStringLiteral("96385074"));
    TlyrBarcode full13 = code(bcCodeEAN13, QStringLiteral("4006381333930"), true);
    full13.MakeData();
    EXPECT_EQ(full13.Text, QStringLiteral("4006381333931"));
    // Short texts are zero filled before the check digit.
    TlyrBarcode upc = code(bcCodeUPC_A, QStringLiteral("3600029145"), true);
    upc.MakeData();
    EXPECT_EQ(upc.Text, QStringLiteral("036000291452"));
    // Without a check method the check digit is missing: a length error.
    TlyrBarcode none = code(bcCodeEAN13, QStringLiteral("400638133393"), true);
    none.CheckSumMethod = csmNone;
    EXPECT_THROW(none.MakeData(), ElyrBarcodeError);
    // Numeric texts are trimmed and stay trimmed.
    TlyrBarcode t = code(bcCodeEAN13, QStringLiteral("  4006381333931 "));
    t.MakeData();
    EXPECT_EQ(t.Text, QStringLiteral("4006381333931"));
    // The supplements' check is in the parity only: Text keeps its digits.
    TlyrBarcode s5 = code(bcCodeUPC_Supp5, QStringLiteral("52495"), true);
    s5.MakeData();
    EXPECT_EQ(s5.Text, QStringLiteral("52495"));
}

TEST(BarcodeCheckDigits, EncodingTwiceGivesTheSameSymbol)
{
    // The report object asks for Width and then draws: two encodings of the
    // same settings must agree, check digits included.
    const char *texts[] = {"12345", "4006381333931", "123"};
    for (int t = 0; t < TlyrBarcode::TypeCount; ++t)
        for (const char *text : texts)
            for (bool checksum : {false, true}) {
                TlyrBarcode bc = code(TlyrBarcodeType(t), QString::fromLatin1(text), checksum);
                QString first, second, textAfter;
                try {
                    first = bc.MakeData();
                    textAfter = bc.Text;
                    second = bc.MakeData();
                } catch (const ElyrBarcodeError &) {
                    continue;  // too long for this symbology
                }
                EXPECT_EQ(first, second) << t << " " << text << " " << checksum;
                EXPECT_EQ(bc.Text, textAfter) << t << " " << text << " " << checksum;
            }
}

TEST(BarcodeCharacters, Code39EncodesLowerCaseAsUpperCase)
{
    TlyrBarcode lower = code(bcCode39, QStringLiteral("abc-1"), true);
    TlyrBarcode upper = code(bcCode39, QStringLiteral("ABC-1"), true);
    EXPECT_EQ(lower.MakeData(), upper.MakeData());
    EXPECT_EQ(lower.DisplayText(), QStringLiteral("ABC-1"));
}

TEST(BarcodeCharacters, CodabarTakesOnlyItsTable)
{
    TlyrBarcode lower = code(bcCodeCodabar, QStringLiteral("c12d"));
    TlyrBarcode upper = code(bcCodeCodabar, QStringLiteral("C12D"));
    EXPECT_EQ(lower.MakeData(), upper.MakeData());
    for (const char *bad : {"1 2", "12*", "A", "1B2", "12E"}) {
        TlyrBarcode bc = code(bcCodeCodabar, QString::fromLatin1(bad));
        EXPECT_THROW(bc.MakeData(), ElyrBarcodeError) << bad;
    }
}

TEST(BarcodeCharacters, Code128NeverReachesTheFunctionRows)
{
    // Rows 96..102 (FNC1-4, SHIFT, code changes) carry no character: no
    // text character may map onto them.
    for (int set : {0, 1})
        for (int u = 0; u < 0x3000; ++u) {
            const int v = lyrBarcodeDetail::code128Value(set, QChar(u));
            ASSERT_TRUE(v >= -1 && v < 96) << set << " " << u;
        }
    // Every character of the two sets has its own value.
    QSet<int> a, b;
    for (int u = 0; u < 128; ++u) {
        if (lyrBarcodeDetail::code128Value(0, QChar(u)) >= 0) a.insert(lyrBarcodeDetail::code128Value(0, QChar(u)));
        if (lyrBarcodeDetail::code128Value(1, QChar(u)) >= 0) b.insert(lyrBarcodeDetail::code128Value(1, QChar(u)));
    }
    EXPECT_EQ(a.size(), 96);
    EXPECT_EQ(b.size(), 96);
}

TEST(BarcodeCharacters, FullAsciiCoversEveryAsciiCharacter)
{
    QString all;
    for (int u = 0; u < 128; ++u) all += QChar(u);
    TlyrBarcode c39 = code(bcCode39Extended, all);
    EXPECT_NO_THROW(c39.MakeData());
    TlyrBarcode c93 = code(bcCode93Extended, all);
    EXPECT_NO_THROW(c93.MakeData());
}

TEST(BarcodeTypes, NamesAndNumericFlags)
{
    const QStringList names = TlyrBarcode::TypeNames();
    ASSERT_EQ(names.size(), TlyrBarcode::TypeCount);
    EXPECT_EQ(names.first(), QStringLiteral("2_5_interleaved"));
    EXPECT_EQ(names[bcCodeCodabar], QStringLiteral("Codebar"));
    EXPECT_EQ(names.last(), QStringLiteral("EAN128C"));
    EXPECT_EQ(TlyrBarcode::TypeIdentifier(bcCode39), QStringLiteral("bcCode39"));
    EXPECT_EQ(TlyrBarcode::TypeIdentifiers().size(), TlyrBarcode::TypeCount);
    // Every digits-only type rejects a letter before encoding.
    for (int t = 0; t < TlyrBarcode::TypeCount; ++t) {
        TlyrBarcode bc = code(TlyrBarcodeType(t), QStringLiteral("1X"));
        if (TlyrBarcode::IsNumericType(TlyrBarcodeType(t))) {
            try {
                bc.MakeData();
                ADD_FAILURE() << t;
            } catch (const ElyrBarcodeError &e) {
                EXPECT_EQ(e.message(), QStringLiteral("Barcode must be numeric"));
            }
        }
    }
    EXPECT_FALSE(TlyrBarcode::IsNumericType(TlyrBarcodeType(-1)));
    EXPECT_TRUE(TlyrBarcode::TypeName(TlyrBarcodeType(40)).isEmpty());
}

TEST(BarcodeComponent, AssignCopiesTheSettings)
{
    TlyrBarcode a = code(bcCodeUPC_A, QStringLiteral("123"), true);
    a.Modul = 3;
    a.Ratio = 2.5;
    a.Angle = 90;
    a.Height = 40;
    a.Color = Qt::yellow;
    a.ColorBar = Qt::blue;
    a.CheckSumMethod = csmNone;
    TlyrBarcode b;
    b.Name = QStringLiteral("keep");
    b.Assign(a);
    EXPECT_EQ(b.Text, a.Text);
    EXPECT_EQ(b.Typ, a.Typ);
    EXPECT_EQ(b.Modul, 3);
    EXPECT_DOUBLE_EQ(b.Ratio, 2.5);
    EXPECT_DOUBLE_EQ(b.Angle, 90);
    EXPECT_EQ(b.Height, 40);
    EXPECT_TRUE(b.Checksum);
    EXPECT_EQ(b.Color, QColor(Qt::yellow));
    EXPECT_EQ(b.ColorBar, QColor(Qt::blue));
    EXPECT_EQ(b.CheckSumMethod, csmNone);
    EXPECT_EQ(b.Name, QStringLiteral("keep"));
}

TEST(BarcodeComponent, Defaults)
{
    TlyrBarcode bc;
    EXPECT_EQ(bc.Typ, bcCodeEAN13);
    EXPECT_EQ(bc.Modul, 1);
    EXPECT_DOUBLE_EQ(bc.Ratio, 2.0);
    EXPECT_FALSE(bc.Checksum);
    EXPECT_EQ(bc.CheckSumMethod, csmModulo10);
    EXPECT_EQ(bc.Color, QColor(Qt::white));
    EXPECT_EQ(bc.ColorBar, QColor(Qt::black));
}

}  // namespace
