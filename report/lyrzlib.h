#pragma once
// Whole-buffer inflate of zlib streams.

#include "report/lyrexception.h"

#include <QByteArray>
#include <QByteArrayView>

class EZLibError : public ElyrError {
public:
    EZLibError(int code, const QString &message) : ElyrError(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

class EZDecompressionError : public EZLibError {
public:
    using EZLibError::EZLibError;
};

// Inflates a zlib-wrapped stream. The buffer starts at outputEstimate bytes (one
// growth step when 0) and grows by the input size rounded up to 256.
// Raises EZDecompressionError with zlib's text on any zlib error, and when
// the output would pass maxOutput bytes (a guard against damaged input).
QByteArray ZDecompress(QByteArrayView input, qsizetype outputEstimate = 0, qsizetype maxOutput = qsizetype(512) << 20);
