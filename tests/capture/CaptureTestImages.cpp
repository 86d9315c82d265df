#include "CaptureTestImages.h"

#include <cstdlib>

#include <turbojpeg.h>

namespace CaptureTestImages {

QColor gridColour(int column, int row) {
    return QColor(32 + 64 * column, 32 + 64 * row, 128);
}

QImage grid(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = gridColour(x * 4 / size.width(), y * 4 / size.height()).rgb();
    }
    return image;
}

QByteArray encode(const QImage &image, int subsampling, int quality, int flags) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    QByteArray result;
    if (tjCompress2(handle, rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()), rgb.height(), TJPF_BGRX,
                    &out, &size, subsampling, quality, flags) == 0)
        result = QByteArray(reinterpret_cast<const char *>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(handle);
    return result;
}

bool near(QColor actual, QColor expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

} // namespace CaptureTestImages
