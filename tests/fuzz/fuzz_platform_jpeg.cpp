// Decoding arbitrary bytes as a JPEG: never a crash or an abort, and a
// picture that comes back has the size its header promised within limits.
#include "platform/image/jpeg.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const QImage img = vplatform::decodeJpeg(bytes, &error);
    if (!img.isNull()) {
        if (img.width() <= 0 || img.height() <= 0) std::abort();
        if (qint64(img.width()) * img.height() > vplatform::kJpegMaxPixels) std::abort();
        if (!error.isEmpty()) std::abort();
    } else if (error.isEmpty()) {
        std::abort();
    }
    return 0;
}
