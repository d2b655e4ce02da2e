// Published test vectors for the barcode encoders.  Expected element
// strings are written from the symbologies' published pattern tables, never
// produced by the encoder.

#include "barcode_test_util.h"

#include <gtest/gtest.h>

using namespace bctest;

namespace {

struct Vector {
    TlyrBarcodeType type;
    const char *text;
    bool checksum;
    const char *textAfter;  // Text after encoding
    const char *display;    // characters carried by the bars
    QString elements;       // expected element string (empty: not checked here)
    const char *source;
};

QString msiBits(const char *bits)  // published MSI: 1 = wide bar + narrow space
{
    QString out = QStringLiteral("60");
    for (const char *p = bits; *p; ++p)
        if (*p != ' ') out += *p == '1' ? QStringLiteral("60") : QStringLiteral("51");
    return out + QStringLiteral("515");
}

QString postnetBars(const char *bars)  // published POSTNET: 1 = full bar
{
    QString out = QStringLiteral("51");
    for (const char *p = bars; *p; ++p)
        if (*p != ' ') out += *p == '1' ? QStringLiteral("51") : QStringLiteral("A1");
    return out + QStringLiteral("5");
}

QString eanModules(const char *m)  // published module strings, '1' = bar
{
    QString bits = stripSpaces(m), out;
    for (int i = 0; i < bits.length();) {
        int run = 1;
        while (i + run < bits.length() && bits[i + run] == bits[i]) ++run;
        out += QChar((bits[i] == u'1' ? '5' : '0') + run - 1);
        i += run;
    }
    return out;
}

const Vector kVectors[] = {
        // 2 of 5 patterns (published table: 1 = 10001, 2 = 01001, 3 = 11000,
        // 4 = 00101); interleaved: first digit in the bars, second in the spaces.
        {bcCode_2_5_interleaved, "1234", false, "1234", "1234",
         QStringLiteral("5050") + "6051505061" + "6060515051" + "605",
         "2 of 5 interleaved digit table, start nnnn, stop wnn"},
        {bcCode_2_5_interleaved, "13579", false, "13579", "013579", QString(), "odd digit count gets a leading zero"},
        {bcCode_2_5_industrial, "1", false, "1", "1", QStringLiteral("606050") + "6050505060" + "605060",
         "industrial 2 of 5: bars only"},
        {bcCode_2_5_matrix, "1", false, "1", "1", QStringLiteral("705050") + flags("10001") + "0" + "70505",
         "matrix 2 of 5: bars and spaces"},
        // Code 39 table of ANSI/AIM BC1 (* = 010010100, A = 100001001).
        {bcCode39, "A", false, "A", "A", flags("010010100") + "0" + flags("100001001") + "0" + flags("010010100"),
         "Code 39 character table"},
        // Codabar table of ANSI/AIM BC3 (A = 0011010, 1 = 0000110, B = 0101001,
        // C = 0001011, D = 0001110).
        {bcCodeCodabar, "1", false, "1", "1", flags("0011010") + "0" + flags("0000110") + "0" + flags("0101001"),
         "Codabar table, default start A and stop B"},
        {bcCodeCodabar, "C1D", false, "C1D", "C1D", flags("0001011") + "0" + flags("0000110") + "0" + flags("0001110"),
         "Codabar text with its own start/stop characters"},
        // MSI: digits in BCD, Luhn check from the right: 1234567 -> 4
        // (MSI Plessey description, mod 10 example "1234567" -> "12345674").
        {bcCodeMSI, "1234567", false, "1234567", "1234567", msiBits("0001 0010 0011 0100 0101 0110 0111 0100"),
         "MSI Plessey mod 10 example"},
        // POSTNET table (weights 7 4 2 1 0): ZIP+4 55555-1237 has check digit 2.
        {bcCodePostNet, "555551237", true, "555551237", "5555512372",
         postnetBars("01010 01010 01010 01010 01010 00011 00101 00110 10001 00101"),
         "USPS POSTNET, example 55555-1237 check 2"},
        // EAN-8 9638507 -> check 4 (GS1 check digit example); L and R codes.
        {bcCodeEAN8, "9638507", true, "9638507", "96385074",
         eanModules("101 0001011 0101111 0111101 0110111 01010 1001110 1110010 1000100 1011100 101"),
         "EAN-8 example 96385074"},
        // EAN-13 400638133393 -> 1; first digit 4 gives parity LGLLGG.
        {bcCodeEAN13, "400638133393", true, "4006381333931", "4006381333931",
         eanModules("101 0001101 0100111 0101111 0111101 0001001 0110011 01010"
                    " 1000010 1000010 1000010 1110100 1000010 1100110 101"),
         "EAN-13 example 4006381333931"},
        {bcCodeEAN13, "4006381333931", false, "4006381333931", "4006381333931", QString(),
         "full EAN-13 number used as given"},
        // UPC-A 03600029145 -> 2 (UPC-A check digit example 036000291452).
        {bcCodeUPC_A, "03600029145", true, "036000291452", "036000291452",
         eanModules("101 0001101 0111101 0101111 0001101 0001101 0001101 01010"
                    " 1101100 1110100 1100110 1011100 1001110 1101100 101"),
         "UPC-A example 036000291452"},
        // UPC-E 425261 stands for UPC-A 04210000526, check 4; parity row 4 EoEEoo.
        {bcCodeUPC_E0, "425261", true, "4252614", "4252614",
         eanModules("101 0011101 0010011 0111001 0011011 0101111 0011001 010101"), "UPC-E zero suppression, 04252614"},
        // UPC-E 123456 stands for UPC-A 01234500006, check 5 (01234565).
        {bcCodeUPC_E0, "123456", false, "123456", "1234565", QString(), "UPC-E example 01234565"},
        {bcCodeUPC_E0, "01234565", false, "01234565", "1234565", QString(), "full eight-digit UPC-E"},
        // Number system 1: UPC-A 11234500006 has check 2, parity the complement
        // of row 2 (EEooEo) -> ooEEoE.
        {bcCodeUPC_E1, "123456", false, "123456", "1234562",
         eanModules("101 0011001 0010011 0100001 0011101 0110001 0000101 010101"), "UPC-E number system 1 parity"},
        // EAN-2 53: 53 mod 4 = 1 -> LG (EAN-2 encoding example).
        {bcCodeUPC_Supp2, "53", false, "53", "53", eanModules("1011 0110001 01 0100001"), "EAN-2 example 53"},
        // EAN-5 52495: check 1 -> GLGLL (EAN-5 encoding example).
        {bcCodeUPC_Supp5, "52495", false, "52495", "52495",
         eanModules("1011 0111001 01 0010011 01 0011101 01 0001011 01 0110001"), "EAN-5 example 52495"},
        {bcCodeUPC_Supp5, "123", false, "00123", "00123", QString(), "zero fill"},
        {bcCode128C, "12345", false, "012345", "012345", QString(), "code set C: odd length gets a leading zero"},
        {bcCodeEAN128C, "1234", true, "1234", "012348", QString(), "EAN-128 check digit 1234 -> 8, then zero fill"},
};

class BarcodeVectors : public ::testing::TestWithParam<Vector> {};

TEST_P(BarcodeVectors, EncodesAsPublished)
{
    const Vector &v = GetParam();
    TlyrBarcode bc;
    bc.Typ = v.type;
    bc.Text = QString::fromLatin1(v.text);
    bc.Checksum = v.checksum;
    const QString data = bc.MakeData();
    EXPECT_EQ(bc.Text, QString::fromLatin1(v.textAfter)) << v.source;
    EXPECT_EQ(bc.DisplayText(), QString::fromLatin1(v.display)) << v.source;
    if (!v.elements.isEmpty()) EXPECT_EQ(data, v.elements) << v.source;
}

INSTANTIATE_TEST_SUITE_P(Published, BarcodeVectors, ::testing::ValuesIn(kVectors));

struct ErrorCase {
    TlyrBarcodeType type;
    QString text;
    const char *message;
};

const ErrorCase kErrors[] = {
        {bcCodeEAN13, "40063813339A", "Barcode must be numeric"},
        {bcCodeEAN13, "40063813339311", "Invalid Text len (EAN13)"},
        {bcCodeEAN8, "123456789", "Invalid Text len (EAN8)"},
        {bcCodeUPC_A, "1234567890123", "Invalid Text len (UPC_A)"},
        {bcCodeUPC_E0, "123456789", "Invalid Text len (UPC_E0)"},
        {bcCodeUPC_E0, "11234565", "Invalid Text len (UPC_E0)"},  // number system 1
        {bcCodeUPC_Supp2, "123", "Invalid Text len (UPC Supp2)"},
        {bcCodeUPC_Supp5, "123456", "Invalid Text len (UPC Supp5)"},
        {bcCode_2_5_interleaved, "12 34", "Barcode must be numeric"},
        {bcCodeMSI, "12a", "Barcode must be numeric"},
        {bcCode39, "AB*C", "bc:Code39 bad Data <AB*C>"},
        {bcCode39, QString::fromUtf8("条码"), "bc:Code39 bad Data <条码>"},
        {bcCode39, "A_B", "bc:Code39 bad Data <A_B>"},
        {bcCode39, QString::fromUtf8("ı"), "bc:Code39 bad Data <ı>"},  // dotless i is no I
        {bcCode39Extended, QString::fromUtf8("é"), "bc:Code39 bad Data <é>"},
        {bcCodeCodabar, "12X4", "bc:Codabar bad Data <12X4>"},
        {bcCodeCodabar, "1A2", "bc:Codabar bad Data <1A2>"},
        {bcCode93, "abc", "bc:Code93 bad Data <abc>"},
        {bcCode93, "[A", "bc:Code93 bad Data <[A>"},
        {bcCode93Extended, QString::fromUtf8("ü"), "bc:Code93 bad Data <ü>"},
        {bcCode128A, "abc", "bc:Code128 bad Data <abc>"},
        {bcCode128B, QString::fromUtf8("价"), "bc:Code128 bad Data <价>"},
        {bcCode128C, "12a4", "Barcode must be numeric"},
        {bcCodeEAN128B, "AB", "Barcode must be numeric"},  // check digit needs digits
        {TlyrBarcodeType(23), "1", "bc: wrong BarcodeType"},
};

class BarcodeErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(BarcodeErrors, RaisesItsMessage)
{
    const ErrorCase &e = GetParam();
    TlyrBarcode bc;
    bc.Name = QStringLiteral("bc");
    bc.Typ = e.type;
    bc.Text = e.text;
    bc.Checksum = e.type == bcCodeEAN128B;
    try {
        bc.MakeData();
        ADD_FAILURE() << "no error for " << e.text.toStdString();
    } catch (const ElyrBarcodeError &err) {
        EXPECT_EQ(err.message(), QString::fromUtf8(e.message));
    }
    EXPECT_THROW(bc.Width(), ElyrBarcodeError);
}

INSTANTIATE_TEST_SUITE_P(Published, BarcodeErrors, ::testing::ValuesIn(kErrors));

// The n-th symbol (6 elements each) of a Code 93 / Code 128 element string.
QString symbolAt(const QString &data, int n)
{
    return data.mid(n * 6, 6);
}

TEST(BarcodeChecks, Code39Modulo43)
{
    // 123XYZ -> M (Code 39 mod 43 example of a scanner manual).
    TlyrBarcode a, b;
    a.Typ = b.Typ = bcCode39;
    a.Text = QStringLiteral("123XYZ");
    a.Checksum = true;
    b.Text = QStringLiteral("123XYZM");
    EXPECT_EQ(a.MakeData(), b.MakeData());
    EXPECT_EQ(a.Text, QStringLiteral("123XYZ"));
}

TEST(BarcodeChecks, Code93CheckCharacters)
{
    // "CODE 93" -> C = "E", K = "0" (ANSI Code 93 worked example); the
    // published widths: E 221211, 0 131112, start 111141, stop 1111411.
    TlyrBarcode bc;
    bc.Typ = bcCode93;
    bc.Text = QStringLiteral("CODE 93");
    const QString data = bc.MakeData();
    EXPECT_TRUE(data.startsWith(widths("111141")));
    EXPECT_TRUE(data.endsWith(widths("221211") + widths("131112") + widths("1111411")));
    EXPECT_EQ(data.length(), (1 + 7 + 2) * 6 + 7);

    // "12345678" -> C = "Q", K = "+" (worked example of a Code 93 guide).
    TlyrBarcode q;
    q.Typ = bcCode93;
    q.Text = QStringLiteral("Q+");
    const QString qd = q.MakeData();
    bc.Text = QStringLiteral("12345678");
    const QString d = bc.MakeData();
    EXPECT_EQ(symbolAt(d, 9), symbolAt(qd, 1));
    EXPECT_EQ(symbolAt(d, 10), symbolAt(qd, 2));
}

TEST(BarcodeChecks, Code128CheckCharacter)
{
    // Worked examples: set A "ABCDEF" -> 42 ("J"), set C "345678" -> 73.
    auto data = [](TlyrBarcodeType t, const char *text) {
        TlyrBarcode bc;
        bc.Typ = t;
        bc.Text = QString::fromLatin1(text);
        return bc.MakeData();
    };
    const QString a = data(bcCode128A, "ABCDEF");
    EXPECT_EQ(symbolAt(a, 7), symbolAt(data(bcCode128A, "J"), 1));
    const QString c = data(bcCode128C, "345678");
    EXPECT_EQ(symbolAt(c, 4), symbolAt(data(bcCode128C, "73"), 1));

    // Start and stop module patterns of the Code 128 table.
    TlyrBarcode bc;
    bc.Typ = bcCode128B;
    bc.Text = QStringLiteral("x");
    const QString m = modules(bc, bc.MakeData());
    EXPECT_TRUE(m.startsWith(QStringLiteral("11010010000")));
    EXPECT_TRUE(m.endsWith(QStringLiteral("1100011101011")));
}

TEST(BarcodeChecks, Ean128StartsWithFnc1)
{
    // FNC1 (value 102, widths 411131) follows the start and counts in the
    // check: 104 + 102*1 + 33*2 + 34*3 = 374, 374 mod 103 = 65 ("a" in set B).
    TlyrBarcode bc;
    bc.Typ = bcCodeEAN128B;
    bc.Text = QStringLiteral("AB");
    const QString d = bc.MakeData();
    EXPECT_EQ(symbolAt(d, 0), widths("211214"));
    EXPECT_EQ(symbolAt(d, 1), widths("411131"));
    TlyrBarcode a;
    a.Typ = bcCode128B;
    a.Text = QStringLiteral("a");
    EXPECT_EQ(symbolAt(d, 4), symbolAt(a.MakeData(), 1));
}

TEST(BarcodeChecks, CheckDigitRoutines)
{
    using namespace lyrBarcodeDetail;
    EXPECT_EQ(modulo10(QStringLiteral("400638133393")), QStringLiteral("1"));
    EXPECT_EQ(modulo10(QStringLiteral("9638507")), QStringLiteral("4"));
    EXPECT_EQ(supplement5Check(QStringLiteral("52495")), 1);
    EXPECT_EQ(supplement5Check(QStringLiteral("05415")), 1);
    // MSI Plessey mod 10 example: 57635790125 -> 4.
    EXPECT_EQ(msiCheckDigit(QStringLiteral("57635790125")), 4);
    EXPECT_EQ(upceToUpca(QStringLiteral("425261"), 0), QStringLiteral("04210000526"));
    EXPECT_EQ(upceToUpca(QStringLiteral("123453"), 0), QStringLiteral("01230000045"));
    EXPECT_EQ(upceToUpca(QStringLiteral("123454"), 1), QStringLiteral("11234000005"));
    EXPECT_EQ(upceToUpca(QStringLiteral("123457"), 0), QStringLiteral("01234500007"));
    EXPECT_THROW(modulo10(QStringLiteral("12a")), ElyrBarcodeError);
}

TEST(BarcodeChecks, FullAsciiTables)
{
    using namespace lyrBarcodeDetail;
    bool ok = false;
    // Published Code 39 full-ASCII mapping: NUL %U, a +A, ! /A, DEL %T, @ %V.
    EXPECT_EQ(fullAsciiExpand(QString(QChar(0)) + "a!@" + QChar(127), false, &ok), QStringLiteral("%U+A/A%V%T"));
    EXPECT_TRUE(ok);
    // Code 93 writes the same with its own shift characters.
    EXPECT_EQ(fullAsciiExpand(QStringLiteral("a!$"), true, &ok), QStringLiteral("}A{A{D"));
    fullAsciiExpand(QString::fromUtf8("€"), false, &ok);
    EXPECT_FALSE(ok);
}

}  // namespace
