#pragma once
// The gzip-framed deflate form of the library's resources: a gzip header whose
// time-stamp field holds the Adler-32 of the content (most significant byte
// first), an optional file name, raw deflate data and an 8-byte trailer that is
// not read.

#include "report/lyrzlib.h"

#include <QIODevice>
#include <QString>

// Reads the frame from source's position to its end and writes the content to
// destination; returns the file name held in the frame (empty when none).
// A damaged frame raises EZDecompressionError and writes nothing.
QString GZipDecompress(QIODevice &source, QIODevice &destination);
QByteArray GZipDecompress(QByteArrayView frame, QString *fileName = nullptr);

// Writes the frame (used by the button-strip generator and by tests; the
// program itself never compresses).
QByteArray GZipCompress(QByteArrayView content, const QByteArray &fileName = "1");
