// Any text, symbology and setting: encoding either fails with the barcode
// error or gives a stable element string that draws without harm.

#include "reportengine/lyrBarcod.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4 || size > 400) return 0;
    TlyrBarcode bc;
    bc.Typ = TlyrBarcodeType(data[0] % (TlyrBarcode::TypeCount + 1));
    bc.Checksum = data[1] & 1;
    bc.CheckSumMethod = (data[1] & 2) ? csmNone : csmModulo10;
    bc.Angle = ((data[1] >> 2) & 7) * 45;
    bc.Modul = data[2] % 5;
    bc.Ratio = data[3] / 50.0;
    bc.Text = QString::fromUtf8(reinterpret_cast<const char *>(data + 4), int(size - 4));

    QString first;
    try {
        first = bc.MakeData();
    } catch (const ElyrBarcodeError &) {
        return 0;
    }
    // A second encoding of the rewritten text must not change anything.
    const QString text = bc.Text;
    if (bc.MakeData() != first || bc.Text != text) abort();
    int sum = 0;
    for (QChar c : first) sum += bc.ElementWidth(c);
    if (sum != bc.Width() || sum <= 0) abort();

    QImage img(120, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    bc.DrawBarcode(p, QRectF(5, 5, 110, 50), data[1] & 64);
    p.end();
    return 0;
}
