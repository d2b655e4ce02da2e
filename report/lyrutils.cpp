#include "report/lyrutils.h"

#include "platform/plaindecimal.h"
#include "platform/safefile.h"
#include "report/lyrclass.h"
#include "report/lyrcomponent.h"
#include "report/lyrres.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPainter>
#include <QTemporaryFile>

#include <zlib.h>

#include <cmath>
#include <mutex>

TlyrRectArea::TlyrRectArea(const TlyrComponent &c)
    : X(c.AbsLeft()), Y(c.AbsTop()), X1(c.AbsLeft() + c.Width()), Y1(c.AbsTop() + c.Height())
{}

bool InterceptsX(const TlyrRectArea &a, const TlyrRectArea &b)
{
    return b.X < a.X1 - 0.0001 && b.X1 > a.X + 0.0001;
}

bool InterceptsY(const TlyrRectArea &a, const TlyrRectArea &b)
{
    return b.Y < a.Y1 - 0.0001 && b.Y1 > a.Y + 0.0001;
}

std::unique_ptr<TlyrRectArea> InterceptX(const TlyrRectArea &a, const TlyrRectArea &b)
{
    if (!InterceptsX(a, b)) return nullptr;
    return std::make_unique<TlyrRectArea>(Max(a.X, b.X), 0, Min(a.X1, b.X1), 0);
}

QString lyrGetStr(const QString &text, qsizetype &pos, QChar delimiter)
{
    if (pos < 0) pos = 0;
    qsizetype end = text.indexOf(delimiter, pos);
    if (end < 0) end = text.size();
    const QString item = text.mid(pos, end - pos);
    pos = end + 1;
    return item;
}

void lyrSetCommaText(const QString &text, QStringList &list, QChar delimiter)
{
    list.clear();
    qsizetype pos = 0;
    while (pos < text.size()) list.append(lyrGetStr(text, pos, delimiter));
}

double lyrStrToFloat(const QString &text)
{
    double plain = 0;
    if (velmora::readPlainDecimal(text, plain)) return plain;
    bool ok = false;
    // Without separators or blanks the text reads as it stands.
    if (!text.contains(u',') && !text.contains(u' ')) {
        const double v = QLocale::c().toDouble(text, &ok);
        if (ok) return v;
    }
    QString t;
    t.reserve(text.size());
    for (QChar c : text) {
        if (c == u',' || c == u'.')
            t.append(u'.');
        else if (!c.isSpace())
            t.append(c);
    }
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok) throw ElyrConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}

QString lyrFloatToXML(double value)
{
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    // Whole numbers below 15 digits print as integers.
    if (std::floor(value) == value && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    QString s = QString::number(value, 'g', 15);
    const qsizetype e = s.indexOf(u'e');
    if (e >= 0) {
        QString mant = s.left(e);
        QString exp = s.mid(e + 1);
        QString sign;
        if (exp.startsWith(u'+') || exp.startsWith(u'-')) {
            if (exp[0] == u'-') sign = QStringLiteral("-");
            exp.remove(0, 1);
        }
        while (exp.size() > 1 && exp[0] == u'0') exp.remove(0, 1);
        s = mant + u'E' + sign + exp;
    }
    return s;
}

QString lyrFloatToText(double value)
{
    QString s = lyrFloatToXML(value);
    const QString dp = QLocale().decimalPoint();
    if (dp != QLatin1String(".")) s.replace(u'.', dp);
    return s;
}

QString lyrFloatToStr(double value)
{
    if (std::isfinite(value) && std::floor(value) == value) return lyrFloatToText(value);
    QString s = velmora::fixedDecimal(value, 2);
    const QString dp = QLocale().decimalPoint();
    if (dp != QLatin1String(".")) s.replace(u'.', dp);
    return s;
}

QString lyrDateTimeToText(const QDateTime &value)
{
    if (value.time() == QTime(0, 0)) return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

namespace {

bool isGbkLead(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x81 && u <= 0xFE;
}
bool isGbkLead(QChar)
{
    return false;
}

template <typename Str, typename View>
Str bracketed(const Str &text, View open, View close, qsizetype &endPos, qsizetype &beginPos)
{
    endPos = beginPos;
    const qsizetype n = text.size();
    if (n == 0 || beginPos < 0 || beginPos >= n || open.isEmpty() || close.isEmpty()) return Str();
    int depth = 0;
    bool inDouble = false, inSingle = false;
    while (endPos < n) {
        const auto c = text[endPos];
        if (isGbkLead(c) && endPos + 1 < n) {
            endPos += 2;  // the second byte of a double-byte character is no delimiter
            continue;
        }
        if (!inDouble && !inSingle) {
            if (View(text).sliced(endPos).startsWith(open)) {
                if (depth == 0) beginPos = endPos;
                ++depth;
            } else if (View(text).sliced(endPos).startsWith(close)) {
                --depth;
            }
        }
        if (c == '"' && !inSingle)
            inDouble = !inDouble;
        else if (c == '\'' && !inDouble)
            inSingle = !inSingle;
        if (depth == 0) break;
        ++endPos;
    }
    const qsizetype innerStart = beginPos + open.size();
    Str inner = innerStart < endPos ? text.mid(innerStart, endPos - innerStart) : Str();
    if (beginPos != endPos) endPos += close.size() - 1;
    return inner;
}

}  // namespace

QByteArray lyrGetBracketedText(const QByteArray &text, QByteArrayView openDelim, QByteArrayView closeDelim,
                               qsizetype &endPos, qsizetype &beginPos)
{
    return bracketed<QByteArray, QByteArrayView>(text, openDelim, closeDelim, endPos, beginPos);
}

QString lyrGetBracketedTextW(const QString &text, const QString &openDelim, const QString &closeDelim,
                             qsizetype &endPos, qsizetype &beginPos)
{
    return bracketed<QString, QStringView>(text, QStringView(openDelim), QStringView(closeDelim), endPos, beginPos);
}

QByteArray lyrBytesToHex(QByteArrayView bytes)
{
    return bytes.toByteArray().toHex().toUpper();
}

QByteArray lyrHexToBytes(QByteArrayView text)
{
    const auto digit = [&](qsizetype i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw ElyrConvertError(QStringLiteral("'%1' is not a valid hexadecimal text")
                                       .arg(QString::fromLatin1(text.sliced(
                                               qMax<qsizetype>(0, i - 8),
                                               qMin<qsizetype>(17, text.size() - qMax<qsizetype>(0, i - 8))))));
    };
    const qsizetype count = text.size() / 2;
    QByteArray out(count, Qt::Uninitialized);
    for (qsizetype k = 0; k < count; ++k) out[k] = static_cast<char>(digit(2 * k) * 16 + digit(2 * k + 1));
    return out;
}

QByteArray lyrStreamToHex(QIODevice &stream)
{
    stream.seek(0);
    return lyrBytesToHex(stream.readAll());
}

void lyrHexToStream(QByteArrayView text, QIODevice &stream)
{
    const QByteArray bytes = lyrHexToBytes(text);
    stream.seek(0);
    stream.write(bytes);
}

quint32 lyrCRC32(QByteArrayView bytes)
{
    uLong crc = crc32(0L, nullptr, 0);
    const auto *p = reinterpret_cast<const Bytef *>(bytes.data());
    qsizetype left = bytes.size();
    while (left > 0) {
        const uInt chunk = static_cast<uInt>(qMin<qsizetype>(left, 1 << 30));
        crc = crc32(crc, p, chunk);
        p += chunk;
        left -= chunk;
    }
    return static_cast<quint32>(crc);
}

quint32 lyrStreamCRC32(QIODevice &stream)
{
    const qint64 pos = stream.pos();
    stream.seek(0);
    uLong crc = crc32(0L, nullptr, 0);
    char buf[16384];
    for (;;) {
        const qint64 got = stream.read(buf, sizeof(buf));
        if (got <= 0) break;
        crc = crc32(crc, reinterpret_cast<const Bytef *>(buf), static_cast<uInt>(got));
    }
    stream.seek(pos);
    return static_cast<quint32>(crc);
}

namespace {

int pageNumber(const QString &item)
{
    bool ok = false;
    const int v = item.toInt(&ok);
    if (!ok) throw ElyrConvertError(QStringLiteral("'%1' is not a valid integer value").arg(item));
    return v;
}

}  // namespace

void lyrParsePageNumbers(const QString &text, QStringList &list, int lastPage)
{
    QString t = text;
    t.remove(u' ');
    if (t.isEmpty()) {  // no list: every page
        list.clear();
        return;
    }
    if (t.endsWith(u'-')) t += QString::number(lastPage);
    t += u',';
    QStringList out;
    qsizetype pos = 0;
    while (pos < t.size()) {
        const QString item = lyrGetStr(t, pos, u',');
        const qsizetype dash = item.indexOf(u'-');
        if (dash < 0) {
            out.append(QString::number(pageNumber(item)));
            continue;
        }
        const int from = pageNumber(item.left(dash));
        int to = pageNumber(item.mid(dash + 1));
        if (lastPage > 0 && to > lastPage) to = qMax(from, lastPage);
        if (static_cast<qint64>(to) - from + out.size() >= MaxPageListSize)
            throw ElyrConvertError(QStringLiteral("页码范围过大: %1").arg(item));
        for (int p = from; p <= to; ++p) out.append(QString::number(p));
    }
    list = out;
}

namespace {

std::mutex handlerMutex;
TlyrErrorMsgHandler &errorHandler()
{
    static TlyrErrorMsgHandler handler;
    return handler;
}

}  // namespace

TlyrErrorMsgHandler lyrSetErrorMsgHandler(TlyrErrorMsgHandler handler)
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    TlyrErrorMsgHandler old = std::move(errorHandler());
    errorHandler() = std::move(handler);
    return old;
}

void lyrErrorMsg(const QString &text)
{
    TlyrErrorMsgHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        handler = errorHandler();
    }
    if (handler) {
        handler(text);
        return;
    }
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QMessageBox::critical(QApplication::activeWindow(), lyrResources().Get(QStringLiteral("mbError")), text);
        return;
    }
    qWarning("%s", qUtf8Printable(text));
}

void lyrReportError(TlyrSilentMode mode, const QString &text)
{
    switch (mode) {
    case simMessageBoxes:
        lyrErrorMsg(text);
        break;
    case simSilent:
        break;
    case simReThrow:
        throw ElyrError(text);
    }
}

QString lyrEncodeHighChars(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= 128) {
            out.append(QChar(1));
            out.append(QChar(static_cast<char16_t>(c.unicode() - 128)));
        } else {
            out.append(c);
        }
    }
    return out;
}

QString lyrDecodeHighChars(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() == 1 && i + 1 < text.size()) {
            ++i;
            out.append(QChar(static_cast<char16_t>(text[i].unicode() + 128)));
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

std::unique_ptr<QFile> lyrCreateTempFile(const QString &dir)
{
    QStringList dirs;
    if (!dir.isEmpty()) dirs << dir;
    dirs << QDir::tempPath() << QDir::currentPath();
    for (const QString &d : dirs) {
        auto file = std::make_unique<QTemporaryFile>(QDir(d).filePath(QStringLiteral("lyXXXXXX.tmp")));
        file->setAutoRemove(false);
        if (file->open()) return file;
    }
    throw ElyrError(QStringLiteral("无法创建临时文件"));
}

QString lyrGetTempFile(const QString &dir)
{
    return QFileInfo(lyrCreateTempFile(dir)->fileName()).absoluteFilePath();
}

void lyrSaveFile(const QString &fileName, const std::function<void(QIODevice &)> &write)
{
    vplatform::SafeFile file(fileName);
    if (!file.open()) throw ElyrError(file.errorString());
    // A throw from write leaves the old file: the part file goes with file.
    try {
        write(file.device());
    } catch (const ElyrError &) {
        if (!file.writeFailed()) throw;
        file.abandon();
        throw ElyrError(file.errorString());
    }
    if (!file.commit()) throw ElyrError(file.errorString());
}

QString lyrGetAppFileName()
{
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString lyrGetAppPath()
{
    QString path = QFileInfo(lyrGetAppFileName()).absolutePath();
    if (!path.endsWith(u'/')) path += u'/';
    return path;
}

QRgb lyrTransparentColor(const QImage &image)
{
    if (image.isNull()) return 0;
    return image.pixel(0, image.height() - 1);
}

QImage lyrMaskTransparent(const QImage &image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = lyrTransparentColor(image) & 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
    }
    return out;
}

void lyrFillImageList(const QImage &strip, int cellWidth, int cellHeight, TlyrImageList &list, TlyrImageList *disabled)
{
    if (strip.isNull() || cellWidth <= 0 || cellHeight <= 0) return;
    const QImage masked = lyrMaskTransparent(strip);
    int n = 0;
    for (int y = 0; y + cellHeight <= masked.height(); y += cellHeight) {
        for (int x = 0; x + cellWidth <= masked.width(); x += cellWidth) {
            const QImage cell = masked.copy(x, y, cellWidth, cellHeight);
            if (disabled && (n % 2) == 1)
                disabled->Add(cell);
            else
                list.Add(cell);
            ++n;
        }
    }
}

void lyrDrawTransparent(QPainter &painter, int x, int y, const QImage &image)
{
    painter.drawImage(x, y, lyrMaskTransparent(image));
}

void lyrStretchDIB(QPainter &painter, const QRectF &rect, const QImage &image)
{
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(rect, image.convertToFormat(QImage::Format_ARGB32));
    painter.restore();
}

void lyrDrawGraphic(QPainter &painter, const QRectF &rect, const QImage &image, bool asDIB)
{
    if (asDIB)
        lyrStretchDIB(painter, rect, image);
    else
        painter.drawImage(rect, image);
}

// ---------------------------------------------------------------- components

namespace {
QList<QPointer<QObject>> &globalComponents()
{
    static QList<QPointer<QObject>> list;
    return list;
}

// The component of that name that owner holds (a report holds every object
// of its tree).
QObject *ownedComponent(QObject *owner, const QString &name)
{
    if (!owner || name.isEmpty()) return nullptr;
    if (auto *c = qobject_cast<TlyrComponent *>(owner))
        if (TlyrComponent *found = c->FindObject(name)) return found;
    for (QObject *child : owner->children())
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0) return child;
    return nullptr;
}

QObject *componentOwner(QObject *component)
{
    if (auto *c = qobject_cast<TlyrComponent *>(component); c && c->Report() && c->Report() != component)
        return c->Report();
    return component->parent();
}

bool isGlobal(QObject *o)
{
    for (const auto &g : globalComponents())
        if (g == o) return true;
    return false;
}
}  // namespace

void lyrRegisterGlobalComponent(QObject *component)
{
    if (component && !isGlobal(component)) globalComponents().append(component);
}

void lyrUnregisterGlobalComponent(QObject *component)
{
    globalComponents().removeAll(component);
}

QObject *lyrFindGlobalComponent(const QString &name)
{
    for (const auto &g : globalComponents())
        if (g && g->objectName().compare(name, Qt::CaseInsensitive) == 0) return g.data();
    return nullptr;
}

QObject *lyrFindComponent(QObject *owner, const QString &name)
{
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0) {
        if (QObject *c = ownedComponent(owner, name)) return c;
        if (qobject_cast<TlyrReport *>(owner) && owner->parent()) return ownedComponent(owner->parent(), name);
        return nullptr;
    }
    QObject *form = lyrFindGlobalComponent(name.left(dot));
    const QString rest = name.mid(dot + 1);
    const qsizetype dot2 = rest.indexOf(u'.');
    if (dot2 < 0) return ownedComponent(form, rest);
    return ownedComponent(ownedComponent(form, rest.left(dot2)), rest.mid(dot2 + 1));
}

QString lyrGetFullName(QObject *root, QObject *component)
{
    if (!component) return QString();
    QObject *owner = componentOwner(component);
    if (!owner || owner == root) return component->objectName();
    if (qobject_cast<TlyrReport *>(root) && owner == root->parent()) return component->objectName();
    if (isGlobal(owner)) return owner->objectName() + u'.' + component->objectName();
    if (QObject *frameOwner = owner->parent(); frameOwner && isGlobal(frameOwner))
        return frameOwner->objectName() + u'.' + owner->objectName() + u'.' + component->objectName();
    return QString();
}
