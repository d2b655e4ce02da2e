#pragma once
// Opening a file the user named, refusing at once what is no regular file:
// a pipe would hold the open (or the first read) until someone writes into
// it, a device would never end.  What the descriptor is decides, not the
// name (a link may point at a pipe).

#include <QFile>
#include <QString>

namespace vplatform {

// Opens path into file (ReadOnly, WriteOnly or ReadWrite, an existing file
// only) without waiting on a pipe; false with the reason in *error (the
// system's words, or that it is a folder, a pipe or a device) for the
// caller to give with the file's name.
bool openRegularFile(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error = nullptr);

}  // namespace vplatform
