#include "photos/ImageUtilities.h"

#include <algorithm>
#include <cmath>

#include <QTransform>

#include <libyuv/rotate_argb.h>
#include <libyuv/scale_argb.h>

namespace {

constexpr double kPi = 3.1415926; // the constant the stored rotations were computed with

bool is32Bit(const QImage &image) {
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32 ||
           image.format() == QImage::Format_ARGB32_Premultiplied;
}

// Quarter turns move whole pixels; for 32-bit pictures libyuv does it.
QImage turnQuarters(const QImage &image, int angle) {
    const int clockwise = ((360 - angle % 360) % 360);
    if (!is32Bit(image)) return image.transformed(QTransform().rotate(clockwise));
    const QSize size = clockwise == 180 ? image.size() : image.size().transposed();
    QImage turned(size, image.format());
    if (turned.isNull()) return turned;
    const auto mode = clockwise == 90    ? libyuv::kRotate90
                      : clockwise == 180 ? libyuv::kRotate180
                                         : libyuv::kRotate270;
    libyuv::ARGBRotate(image.constBits(), static_cast<int>(image.bytesPerLine()), turned.bits(),
                       static_cast<int>(turned.bytesPerLine()), image.width(), image.height(), mode);
    return turned;
}

QRgb premultipliedAt(const QImage &image, int x, int y, bool opaque) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return 0; // transparent outside
    const QRgb pixel = reinterpret_cast<const QRgb *>(image.constScanLine(y))[x];
    if (opaque) return pixel | 0xFF000000u;
    return image.format() == QImage::Format_ARGB32 ? qPremultiply(pixel) : pixel;
}

// Every target pixel samples the picture bilinearly at its place turned back by `angle` about the
// centres, so edges come out smooth against the transparent corners. All on the calling thread.
void drawTurned(const QImage &source, int angle, QImage &target) {
    const double r = angle * kPi / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    const double sourceCx = source.width() / 2.0, sourceCy = source.height() / 2.0;
    const double targetCx = target.width() / 2.0, targetCy = target.height() / 2.0;
    const bool opaque = source.format() == QImage::Format_RGB32;
    for (int y = 0; y < target.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(target.scanLine(y));
        const double v = y + 0.5 - targetCy;
        for (int x = 0; x < target.width(); ++x) {
            const double u = x + 0.5 - targetCx;
            // y grows downwards here, so a counter-clockwise turn maps back with +angle.
            const double sx = u * c - v * s + sourceCx - 0.5;
            const double sy = u * s + v * c + sourceCy - 0.5;
            const double fx = std::floor(sx), fy = std::floor(sy);
            const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
            if (x0 < -1 || y0 < -1 || x0 >= source.width() || y0 >= source.height()) {
                line[x] = 0;
                continue;
            }
            const double ax = sx - fx, ay = sy - fy;
            const double w00 = (1 - ax) * (1 - ay), w10 = ax * (1 - ay), w01 = (1 - ax) * ay, w11 = ax * ay;
            const QRgb p00 = premultipliedAt(source, x0, y0, opaque),
                       p10 = premultipliedAt(source, x0 + 1, y0, opaque);
            const QRgb p01 = premultipliedAt(source, x0, y0 + 1, opaque),
                       p11 = premultipliedAt(source, x0 + 1, y0 + 1, opaque);
            auto mix = [&](int shift) {
                const double value = w00 * ((p00 >> shift) & 0xFF) + w10 * ((p10 >> shift) & 0xFF) +
                                     w01 * ((p01 >> shift) & 0xFF) + w11 * ((p11 >> shift) & 0xFF);
                return static_cast<QRgb>(std::lround(value)) << shift;
            };
            line[x] = mix(24) | mix(16) | mix(8) | mix(0);
        }
    }
}

} // namespace

QSize ImageUtilities::rotatedSize(QSize size, int angle) {
    const double r = angle * kPi / 180.0;
    const double c = std::fabs(std::cos(r));
    const double s = std::fabs(std::sin(r));
    const double w = size.width();
    const double h = size.height();
    return QSize(static_cast<int>(std::lround(h * s + w * c)), static_cast<int>(std::lround(h * c + w * s)));
}

QImage ImageUtilities::rotateByAngle(const QImage &image, int angle) {
    if (angle % 360 == 0 || image.isNull()) return image;
    const QSize size = rotatedSize(image.size(), angle);
    if (angle % 90 == 0) return turnQuarters(image, angle);

    const QImage source = is32Bit(image) ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage rotated(size, QImage::Format_ARGB32_Premultiplied);
    if (rotated.isNull() || source.isNull()) return rotated;
    drawTurned(source, angle, rotated);
    return rotated;
}

QImage ImageUtilities::scaledToWidth(const QImage &image, int width) {
    if (image.isNull() || width <= 0 || width == image.width()) return image;
    const int height =
        std::max(1, static_cast<int>(std::lround(double(image.height()) * width / image.width())));
    if (!is32Bit(image)) return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage scaled(width, height, image.format());
    if (scaled.isNull()) return scaled;
    libyuv::ARGBScale(image.constBits(), static_cast<int>(image.bytesPerLine()), image.width(),
                      image.height(), scaled.bits(), static_cast<int>(scaled.bytesPerLine()), width, height,
                      libyuv::kFilterBox);
    return scaled;
}
