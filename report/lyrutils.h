#pragma once
// Free-standing helpers of the report library: rectangles, tolerant number
// text, the bracket scan, hexadecimal streams, CRC-32, page lists, error
// routing, temporary files, the program's path and image strips.

#include "report/lyrexception.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// ---- rectangles

struct TlyrRect {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
};
inline TlyrRect lyrRect(double left, double top, double right, double bottom)
{
    return {left, top, right, bottom};
}

class TlyrComponent;

class TlyrRectArea {
public:
    TlyrRectArea() = default;
    TlyrRectArea(double x, double y, double x1, double y1) : X(x), Y(y), X1(x1), Y1(y1) {}
    // The area a report object covers: its AbsLeft, AbsTop, and those plus
    // its Width and Height.
    explicit TlyrRectArea(const TlyrComponent &c);
    double X = 0, Y = 0, X1 = 0, Y1 = 0;  // left, top, right, bottom
};

bool InterceptsX(const TlyrRectArea &a, const TlyrRectArea &b);
bool InterceptsY(const TlyrRectArea &a, const TlyrRectArea &b);
// The horizontal overlap of a and b (Y = Y1 = 0), or nothing.
std::unique_ptr<TlyrRectArea> InterceptX(const TlyrRectArea &a, const TlyrRectArea &b);
inline double Max(double a, double b)
{
    return a > b ? a : b;
}
inline double Min(double a, double b)
{
    return a < b ? a : b;
}

// ---- text

// The text from pos up to the next delimiter; pos moves past the delimiter.
// Positions are 0-based.
QString lyrGetStr(const QString &text, qsizetype &pos, QChar delimiter);
// Clears list and adds the pieces of text cut at delimiter.
void lyrSetCommaText(const QString &text, QStringList &list, QChar delimiter = u';');

// "," and "." both count as the decimal separator and blanks are ignored.
// Raises ElyrConvertError for a text that is no number.
double lyrStrToFloat(const QString &text);
// Whole numbers as lyrFloatToText, others with two decimals.
QString lyrFloatToStr(double value);
// The general form of a floating value: up to 15 significant digits, the
// locale's decimal separator, exponent as "E20" / "E-5".
QString lyrFloatToText(double value);
// The same with "." whatever the locale: the form written to files.
QString lyrFloatToXML(double value);
// "yyyy-MM-dd", with " hh:mm:ss" when the time is not midnight.
QString lyrDateTimeToText(const QDateTime &value);

// Bracket scan: from beginPos (the opening delimiter), finds the matching
// closing delimiter, skipping delimiters inside single or double quotes.
// Returns the text between; endPos is left on the last character of the
// closing delimiter. Positions are 0-based. The ANSI form steps over GBK
// double-byte characters, whose second byte may look like a bracket.
QByteArray lyrGetBracketedText(const QByteArray &text, QByteArrayView openDelim, QByteArrayView closeDelim,
                               qsizetype &endPos, qsizetype &beginPos);
QString lyrGetBracketedTextW(const QString &text, const QString &openDelim, const QString &closeDelim,
                             qsizetype &endPos, qsizetype &beginPos);

// ---- hexadecimal streams and checksums

QByteArray lyrBytesToHex(QByteArrayView bytes);
// Two digits per byte (either case); an odd last digit is ignored. Raises
// ElyrConvertError for any other character.
QByteArray lyrHexToBytes(QByteArrayView text);
// The whole stream from position 0.
QByteArray lyrStreamToHex(QIODevice &stream);
// Decodes text first, then writes the bytes from position 0 (nothing is
// written when the text is not hexadecimal).
void lyrHexToStream(QByteArrayView text, QIODevice &stream);

quint32 lyrCRC32(QByteArrayView bytes);
// CRC-32 (IEEE 802.3) of the whole stream; the stream's position is kept.
quint32 lyrStreamCRC32(QIODevice &stream);

// Page-range text ("1,3,5-12", a trailing "-" runs to lastPage; empty: no
// list, every page) to decimal
// texts in the order written. Raises ElyrConvertError for an empty item or a
// non-number. A range is cut at lastPage when lastPage > 0 (no page lies
// beyond) and may not hold more than MaxPageListSize pages.
constexpr int MaxPageListSize = 1000000;
void lyrParsePageNumbers(const QString &text, QStringList &list, int lastPage);

// ---- errors

enum TlyrSilentMode { simMessageBoxes, simSilent, simReThrow };

// The library's error box (caption "mbError"). A program without widgets, and
// tests, route it through a handler instead.
void lyrErrorMsg(const QString &text);
using TlyrErrorMsgHandler = std::function<void(const QString &)>;
// Returns the previous handler; an empty handler restores the message box.
TlyrErrorMsgHandler lyrSetErrorMsgHandler(TlyrErrorMsgHandler handler);
// By mode: the error box, nothing, or ElyrError with text.
void lyrReportError(TlyrSilentMode mode, const QString &text);

// The escape of strings stored by older collection streams: every character
// at or above 128 becomes character 1 followed by (code - 128).
QString lyrEncodeHighChars(const QString &text);
QString lyrDecodeHighChars(const QString &text);

// ---- files

// A new empty file with the prefix "ly" in dir (the system's temporary folder
// when dir is empty or unusable); its full name. Raises ElyrError when no
// file can be made.
QString lyrGetTempFile(const QString &dir = QString());
// The same file kept open for reading and writing (never opened again by
// its name, which someone sharing the folder could have swapped for a link).
std::unique_ptr<QFile> lyrCreateTempFile(const QString &dir = QString());
// Writes a file through a temporary file beside it that replaces the old
// file only once everything was written, so a failed write (a full disk)
// leaves the old file as it was. Raises ElyrError naming the file.
void lyrSaveFile(const QString &fileName, const std::function<void(QIODevice &)> &write);
QString lyrGetAppFileName();
// The program's folder with a trailing "/".
QString lyrGetAppPath();

// ---- images

class TlyrImageList {
public:
    explicit TlyrImageList(int width = 16, int height = 16) : Width(width), Height(height) {}
    int Width, Height;
    int Count() const { return static_cast<int>(images_.size()); }
    bool IsEmpty() const { return images_.isEmpty(); }
    const QImage &Image(int i) const { return images_.at(i); }
    void Add(const QImage &image) { images_.append(image); }
    void Clear() { images_.clear(); }

private:
    QList<QImage> images_;
};

// The transparent colour of a strip: its bottom-left pixel.
QRgb lyrTransparentColor(const QImage &image);
// The image with its transparent colour made see-through.
QImage lyrMaskTransparent(const QImage &image);
// Cuts strip into cells row by row; with disabled, cells go alternately to
// list and disabled.
void lyrFillImageList(const QImage &strip, int cellWidth, int cellHeight, TlyrImageList &list,
                      TlyrImageList *disabled = nullptr);
class QPainter;
void lyrDrawTransparent(QPainter &painter, int x, int y, const QImage &image);
// Smooth stretching (for printers); lyrDrawGraphic uses it when asDIB.
void lyrStretchDIB(QPainter &painter, const QRectF &rect, const QImage &image);
void lyrDrawGraphic(QPainter &painter, const QRectF &rect, const QImage &image, bool asDIB);

// ---- components outside the report

class QObject;
// Forms and data modules that templates may name ("form.component").
void lyrRegisterGlobalComponent(QObject *component);
void lyrUnregisterGlobalComponent(QObject *component);
QObject *lyrFindGlobalComponent(const QString &name);
// Name without ".": a component of owner (or, for a report, of the report's
// owner). "form.component" or "form.frame.component": through the global
// components. Null when anything is missing.
QObject *lyrFindComponent(QObject *owner, const QString &name);
// The name under which root refers to component: its own name inside root
// or root's owner, "form.name" in a form or data module, "form.frame.name"
// in a frame of one; empty otherwise.
QString lyrGetFullName(QObject *root, QObject *component);
