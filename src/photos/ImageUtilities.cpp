#include "photos/ImageUtilities.h"

#include <cmath>

#include <QPainter>
#include <QTransform>

namespace {
constexpr double kPi = 3.1415926; // the constant the stored rotations were computed with
}

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
    // On screen y grows downwards, so a counter-clockwise turn is a negative Qt rotation.
    if (angle % 90 == 0) return image.transformed(QTransform().rotate(-angle));

    QImage rotated(size, QImage::Format_ARGB32_Premultiplied);
    if (rotated.isNull()) return rotated;
    rotated.fill(Qt::transparent);
    QPainter painter(&rotated);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.translate(size.width() / 2.0, size.height() / 2.0);
    painter.rotate(-angle);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(-image.width() / 2.0, -image.height() / 2.0), image);
    painter.end();
    return rotated;
}
