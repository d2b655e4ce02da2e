#pragma once
// JPEG pictures through libjpeg.  A broken or truncated file never ends the
// program: decoding reports failure and the caller keeps its old picture.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vplatform {

// Pictures larger than this many pixels are refused (a hostile header could
// otherwise ask for gigabytes).
inline constexpr qint64 kJpegMaxPixels = qint64(64) * 1024 * 1024;

// Decodes a JPEG held in memory.  A null image when the data is not a
// complete, decodable JPEG; *error (when given) then says why.
QImage decodeJpeg(const QByteArray &data, QString *error = nullptr);
// The same for a file; a missing or unreadable file also gives a null image.
QImage loadJpeg(const QString &path, QString *error = nullptr);
// Encodes an image as a baseline JPEG (quality 1-100); empty on failure.
QByteArray encodeJpeg(const QImage &image, int quality = 85);

}  // namespace vplatform
