// Round trip through a real decoder: encode, draw, save as PNG, read back
// with zbarimg (Debian's zbar-tools).  Skipped when zbarimg is missing.

#include "barcode_test_util.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace bctest;

namespace {

struct RoundTrip {
    TlyrBarcodeType type;
    QString text;
    bool checksum;
    QString decoded;  // zbarimg's "SYMBOLOGY:data"
};

QString printableAscii()
{
    QString s;
    for (int u = 32; u < 127; ++u) s += QChar(u);
    return s;
}

QString allDigitPairs()
{
    QString s;
    for (int v = 0; v < 100; ++v) s += QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
    return s;
}

// Between them these texts use every data row of the Code 39, Code 93,
// Code 128 (sets B and C, FNC1 through EAN-128) and Codabar tables.
const RoundTrip kTrips[] = {
        {bcCode_2_5_interleaved, "123456", false, "I2/5:123456"},
        {bcCode_2_5_interleaved, "13579", false, "I2/5:013579"},
        {bcCode39, "CODE39 ABC", false, "CODE-39:CODE39 ABC"},
        {bcCode39, "goods-0042", false, "CODE-39:GOODS-0042"},
        {bcCode39, "123XYZ", true, "CODE-39:123XYZM"},
        {bcCode39, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%", false,
         "CODE-39:0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"},
        // zbar gives Code 39 full ASCII undecoded.
        {bcCode39Extended, "Hello, World!", false, "CODE-39:H+E+L+L+O/L W+O+R+L+D/A"},
        {bcCode128A, "HELLO\t123", false, "CODE-128:HELLO\t123"},
        {bcCode128B, "Hello world ~{|}", false, "CODE-128:Hello world ~{|}"},
        {bcCode128C, "0123456789", false, "CODE-128:0123456789"},
        {bcCode128C, "12345", false, "CODE-128:012345"},
        {bcCode93, "CODE 93", false, "CODE-93:CODE 93"},
        {bcCode93, "12345678", false, "CODE-93:12345678"},
        {bcCode93Extended, "Hello, World!", false, "CODE-93:Hello, World!"},
        {bcCodeCodabar, "1234", false, "Codabar:A1234B"},
        {bcCodeCodabar, "B7890A", false, "Codabar:B7890A"},
        {bcCode128B, printableAscii(), false, "CODE-128:" + printableAscii()},
        {bcCode128C, allDigitPairs(), false, "CODE-128:" + allDigitPairs()},
        {bcCode93Extended, printableAscii(), false, "CODE-93:" + printableAscii()},
        {bcCodeCodabar, "C40156-$:/.+D", false, "Codabar:C40156-$:/.+D"},
        {bcCodeEAN8, "9638507", true, "EAN-8:96385074"},
        {bcCodeEAN13, "400638133393", true, "EAN-13:4006381333931"},
        {bcCodeEAN13, "6901234567892", false, "EAN-13:6901234567892"},
        {bcCodeUPC_A, "03600029145", true, "UPC-A:036000291452"},
        {bcCodeUPC_E0, "425261", false, "UPC-E:04252614"},
        {bcCodeUPC_E0, "123456", true, "UPC-E:01234565"},
        {bcCodeUPC_E0, "654323", false, "UPC-E:06543236"},
        {bcCodeUPC_E0, "777714", false, "UPC-E:07777141"},
        {bcCodeUPC_Supp2, "53", false, "EAN-2:53"},
        {bcCodeUPC_Supp5, "52495", false, "EAN-5:52495"},
        {bcCodeUPC_Supp5, "90000", false, "EAN-5:90000"},
        {bcCodeEAN128A, "0101234567890128", false, "CODE-128:0101234567890128"},
        {bcCodeEAN128B, "10ab12", false, "CODE-128:10ab12"},
        {bcCodeEAN128C, "0101234567890128", false, "CODE-128:0101234567890128"},
        {bcCodeEAN128C, "12345", true, "CODE-128:123457"},
};

QString decode(const QString &png)
{
    QProcess p;
    p.start(QStringLiteral("zbarimg"),
            {QStringLiteral("-q"), QStringLiteral("--nodbus"), QStringLiteral("-Sean2.enable"),
             QStringLiteral("-Sean5.enable"), QStringLiteral("-Supca.enable"), QStringLiteral("-Supce.enable"),
             QStringLiteral("-Scodabar.enable"), QStringLiteral("-Si25.enable"), png});
    if (!p.waitForFinished(20000)) return QStringLiteral("<timeout>");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void PrintTo(const RoundTrip &r, std::ostream *os)
{
    *os << TlyrBarcode::TypeName(r.type).toStdString() << " \"" << r.text.toStdString() << "\"";
}

class BarcodeZbar : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(BarcodeZbar, DecodesToTheText)
{
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) GTEST_SKIP() << "zbarimg not installed";
    const RoundTrip &r = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Module width 1 is checked pixel by pixel elsewhere; decoders want 2 up.
    for (int modul : {2, 3})
        for (int angle : {0, 90}) {
            TlyrBarcode bc;
            bc.Typ = r.type;
            bc.Text = r.text;
            bc.Checksum = r.checksum;
            bc.Modul = modul;
            bc.Angle = angle;
            const QImage img = render(bc, 40 * modul + 16, 24 * modul, true);
            const QString png = dir.filePath(QStringLiteral("bc%1_%2.png").arg(modul).arg(angle));
            ASSERT_TRUE(img.save(png));
            EXPECT_EQ(decode(png), r.decoded) << "modul " << modul << " angle " << angle;
        }
}

INSTANTIATE_TEST_SUITE_P(Decoders, BarcodeZbar, ::testing::ValuesIn(kTrips));

}  // namespace
