#include "platform/image/jpeg.h"

#include "platform/picturefile.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>

namespace vplatform {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// jump back to the decoder's entry instead of ending the process.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->text);
    std::longjmp(err->jump, 1);
}

// Warnings (corrupt but recoverable data) are not printed.
void onMessage(j_common_ptr) {}

// A warning means damaged data: stop at once.  libjpeg would otherwise go on
// filling a picture of the promised size from nothing, which for a header
// promising tens of millions of pixels takes long for a picture nobody wants.
void onEmit(j_common_ptr cinfo, int level)
{
    if (level < 0) onError(cinfo);
}

void setError(QString *error, const QString &text)
{
    if (error) *error = text;
}

// Decodes into `out`; no C++ object with a destructor may live between the
// setjmp and a longjmp, so everything that needs one is made by the caller.
bool decodeInto(const QByteArray &data, QImage &out, ErrorManager &err)
{
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = onMessage;
    err.pub.emit_message = onEmit;
    err.text[0] = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    // Refuse a huge picture before libjpeg allocates for it.
    if (qint64(cinfo.image_width) * qint64(cinfo.image_height) > kJpegMaxPixels) {
        std::strcpy(err.text, "picture too large");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const bool gray = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.out_color_space = cmyk ? JCS_CMYK : gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);

    const qint64 w = cinfo.output_width, h = cinfo.output_height;
    if (w <= 0 || h <= 0 || w * h > kJpegMaxPixels) {
        std::strcpy(err.text, "picture too large");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Allocation happens through QImage, outside any longjmp path below:
    // out is owned by the caller and only its pixels are written here.
    out = QImage(int(w), int(h), gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (out.isNull()) {
        std::strcpy(err.text, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    JSAMPLE *row = static_cast<JSAMPLE *>((*cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                                    cinfo.output_width * cinfo.output_components));
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&cinfo, rows, 1);
        uchar *line = out.scanLine(y);
        if (gray) {
            std::memcpy(line, row, size_t(w));
            continue;
        }
        auto *px = reinterpret_cast<QRgb *>(line);
        for (qint64 x = 0; x < w; ++x) {
            const JSAMPLE *s = row + x * cinfo.output_components;
            if (cmyk) {
                // Adobe writes CMYK inverted: the samples are already 255 - ink.
                const int k = s[3];
                px[x] = qRgb(s[0] * k / 255, s[1] * k / 255, s[2] * k / 255);
            } else {
                px[x] = qRgb(s[0], s[1], s[2]);
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

QImage decodeJpeg(const QByteArray &data, QString *error)
{
    if (data.isEmpty()) {
        setError(error, QStringLiteral("空文件"));
        return {};
    }
    QImage out;
    ErrorManager err;
    if (!decodeInto(data, out, err)) {
        setError(error, QString::fromLocal8Bit(err.text));
        return {};
    }
    if (out.format() == QImage::Format_Grayscale8) out = out.convertToFormat(QImage::Format_RGB32);
    return out;
}

QImage loadJpeg(const QString &path, QString *error)
{
    QByteArray data;
    QString why;
    if (!readPictureFile(path, data, &why)) {
        setError(error, why);
        return {};
    }
    return decodeJpeg(data, error);
}

namespace {

bool encodeInto(const QImage &rgb, int quality, unsigned char **buffer, unsigned long *size, ErrorManager &err)
{
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = onMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

QByteArray encodeJpeg(const QImage &image, int quality)
{
    if (image.isNull()) return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    ErrorManager err;
    const bool ok = encodeInto(rgb, qBound(1, quality, 100), &buffer, &size, err);
    QByteArray out;
    if (ok && buffer) out = QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

}  // namespace vplatform
