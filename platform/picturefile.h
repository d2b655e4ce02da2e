#pragma once
// Reading a picture file into memory.  Only a regular file of a size a
// picture can really have is read: a device (/dev/zero), a pipe or a huge
// file would otherwise take all memory or never end.

#include <QByteArray>
#include <QString>

namespace vplatform {

// The largest picture file read (an uncompressed 4096 x 4096 bitmap fits).
inline constexpr qint64 kMaxPictureFileSize = qint64(64) * 1024 * 1024;

// The bytes of the picture file at path; false (with a Chinese reason in
// *error when given) for a missing, unreadable, non-regular or too large
// file, and data is then empty.
bool readPictureFile(const QString &path, QByteArray &data, QString *error = nullptr);

}  // namespace vplatform
