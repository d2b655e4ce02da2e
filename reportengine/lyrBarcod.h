#pragma once
// Linear barcode encoders: text -> element string -> bars drawn with QPainter.

#include "platform/error.h"
#include <QByteArray>
#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <exception>

class QPainter;

enum TlyrBarcodeType : int {
    bcCode_2_5_interleaved,
    bcCode_2_5_industrial,
    bcCode_2_5_matrix,
    bcCode39,
    bcCode39Extended,
    bcCode128A,
    bcCode128B,
    bcCode128C,
    bcCode93,
    bcCode93Extended,
    bcCodeMSI,
    bcCodePostNet,
    bcCodeCodabar,
    bcCodeEAN8,
    bcCodeEAN13,
    bcCodeUPC_A,
    bcCodeUPC_E0,
    bcCodeUPC_E1,
    bcCodeUPC_Supp2,
    bcCodeUPC_Supp5,
    bcCodeEAN128A,
    bcCodeEAN128B,
    bcCodeEAN128C
};

enum TlyrCheckSumMethod { csmNone, csmModulo10 };

// Raised for a text the symbology cannot carry; the report object draws
// message() in place of the bars.
class ElyrBarcodeError : public velmora::Error {
public:
    using velmora::Error::Error;
};

// Element codes of the element string: "0".."3" spaces, "5".."8" full bars,
// "A".."D" bars of two fifths of the height; the digit picks w0..w3.
class TlyrBarcode {
public:
    static constexpr int TypeCount = 23;

    QString Name;  // shown in some error texts
    QString Text;  // some symbologies rewrite it (zero fill, check digit)
    int Modul = 1;
    double Ratio = 2.0;
    TlyrBarcodeType Typ = bcCodeEAN13;
    bool Checksum = false;
    TlyrCheckSumMethod CheckSumMethod = csmModulo10;
    double Angle = 0;
    int Height = 0;
    QColor Color = Qt::white;
    QColor ColorBar = Qt::black;

    // Element string of Text in Typ; throws ElyrBarcodeError.
    QString MakeData();
    // Total width of the bars in pixels; throws ElyrBarcodeError.
    int Width();
    // Characters as they are carried by the bars after the last MakeData
    // (check digits included where the symbology prints them).
    QString DisplayText() const { return m_display; }
    // Width in pixels of one element code at the current Modul and Ratio.
    int ElementWidth(QChar code) const;

    // Draws bars (and the text under them) into rect (device pixels),
    // rotated by Angle (0, 90, 180, 270 counter-clockwise). Every element
    // takes whole device pixels, the narrow one as many (at least one) as
    // let the symbol fit rect's length, from rect's corner. scaleX and
    // scaleY are the device pixels of one layout pixel (96 per inch), by
    // which the text and its room grow. Throws ElyrBarcodeError before
    // anything is painted when Text cannot be encoded.
    void DrawBarcode(QPainter &painter, const QRectF &rect, bool showText, double scaleX = 1, double scaleY = 1);

    void Assign(const TlyrBarcode &source);

    static QString TypeName(TlyrBarcodeType type);        // "Code39"
    static QString TypeIdentifier(TlyrBarcodeType type);  // "bcCode39"
    static QStringList TypeNames();
    static QStringList TypeIdentifiers();
    static bool IsNumericType(TlyrBarcodeType type);
    // Two-width symbologies use Ratio; module-based ones always 1:2:3:4.
    static bool UsesRatio(TlyrBarcodeType type);

private:
    void computeWidths();
    // The four element widths for a narrow element of that many pixels.
    void elementWidths(int narrow, int out[4]) const;
    // 0..3: which of the four widths an element code takes.
    int elementSlot(QChar code) const;
    int wholeDotModule(const QString &data, double length) const;
    int sumWidths(const QString &data) const;
    int sumWidths(const QString &data, const int widths[4]) const;
    int normalizedAngle() const;

    int m_w[4] = {1, 2, 3, 4};
    QString m_display;
};

namespace lyrBarcodeDetail {
// Symbol values behind the bars, for checks of the encoders.
// Code 128 set 0 = A, 1 = B: value of a character, -1 when not in the set.
int code128Value(int set, QChar c);
// Code 93 value of one of its 47 characters ("[", "]", "{", "}" the shifts).
int code93Value(QChar c);
// Full-ASCII expansion for Code 39 (code93 = false) or Code 93.
QString fullAsciiExpand(const QString &text, bool code93, bool *ok);
// UPC-E six digits (number system 0 or 1) to the eleven digits of UPC-A
// before the check digit.
QString upceToUpca(const QString &six, int numberSystem);
QString modulo10(const QString &digits);  // check digit weighted 3,1,.. from the right
int msiCheckDigit(const QString &digits);
int supplement5Check(const QString &digits);
}  // namespace lyrBarcodeDetail
