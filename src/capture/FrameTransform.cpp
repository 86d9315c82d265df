#include "capture/FrameTransform.h"

#include <algorithm>
#include <cmath>

#include "capture/ImageCoordinates.h"

FrameTransform::FrameTransform(QSize pixelSize)
    : pixelSize_(pixelSize), sourceRect_(QPointF(0, 0), QSizeF(pixelSize)), outputSize_(pixelSize) {}

FrameTransform FrameTransform::zoomed(double scale, const QRect &crop) const {
    if (!isValid() || !(scale > 0) || !std::isfinite(scale)) return *this;
    const QRectF scaled(0, 0, outputSize_.width() * scale, outputSize_.height() * scale);
    const QRectF kept = QRectF(crop).intersected(scaled);
    if (kept.isEmpty()) return *this;

    // The part of the current output, before the current mirroring: a mirrored output shows the left
    // edge of its input on the right.
    QRectF part(kept.x() / scale, kept.y() / scale, kept.width() / scale, kept.height() / scale);
    if (hFlipped_) part.moveLeft(outputSize_.width() - part.right());
    if (vFlipped_) part.moveTop(outputSize_.height() - part.bottom());

    const double sx = sourceRect_.width() / outputSize_.width();
    const double sy = sourceRect_.height() / outputSize_.height();
    FrameTransform result = *this;
    result.sourceRect_ = QRectF(sourceRect_.x() + part.x() * sx, sourceRect_.y() + part.y() * sy,
                                part.width() * sx, part.height() * sy);
    result.outputSize_ =
        QSize(std::max(1, int(std::lround(kept.width()))), std::max(1, int(std::lround(kept.height()))));
    return result;
}

FrameTransform FrameTransform::mirrored(bool horizontally, bool vertically) const {
    FrameTransform result = *this;
    result.hFlipped_ = hFlipped_ != horizontally;
    result.vFlipped_ = vFlipped_ != vertically;
    return result;
}

bool FrameTransform::isIdentity() const {
    return !hFlipped_ && !vFlipped_ && outputSize_ == pixelSize_ &&
           sourceRect_ == QRectF(QPointF(0, 0), QSizeF(pixelSize_));
}

double FrameTransform::zoomScale() const {
    return sourceRect_.width() > 0 ? outputSize_.width() / sourceRect_.width() : 1.0;
}

QSize FrameTransform::scaledSize() const {
    const double s = zoomScale();
    return QSize(int(std::lround(pixelSize_.width() * s)), int(std::lround(pixelSize_.height() * s)));
}

QRect FrameTransform::crop() const {
    const double s = zoomScale();
    return QRect(int(std::lround(sourceRect_.x() * s)), int(std::lround(sourceRect_.y() * s)),
                 outputSize_.width(), outputSize_.height());
}

QRectF FrameTransform::sourceRectTopLeft() const {
    return ImageCoordinates::toTopLeft(sourceRect_, pixelSize_.height());
}
