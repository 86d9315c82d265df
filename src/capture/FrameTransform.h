#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>

// How a stored picture is to be shown: which part of it (scaled up to fill the output) and whether it is
// mirrored. A plain value; composing transforms never touches pixels.
//
// Geometry is kept with the origin at the lower left, y upward, like the zoom-area fractions it is built
// from; sourceRectTopLeft() gives the part to read from a top-left pixel buffer.
class FrameTransform {
public:
    FrameTransform() = default;
    // Shows all of a picture of `pixelSize` as it is.
    explicit FrameTransform(QSize pixelSize);

    // Scales the current output by `scale` and keeps `crop` of the scaled picture (lower-left origin,
    // in scaled units). The crop's size becomes the output size. A crop reaching outside the scaled
    // picture is clipped to it.
    FrameTransform zoomed(double scale, const QRect &crop) const;
    // Mirrors the current output left-right and/or top-bottom, within its own extent.
    FrameTransform mirrored(bool horizontally, bool vertically) const;

    bool isIdentity() const;
    bool isValid() const { return !pixelSize_.isEmpty(); }

    QSize pixelSize() const { return pixelSize_; }
    QSize outputSize() const { return outputSize_; }
    bool hFlipped() const { return hFlipped_; }
    bool vFlipped() const { return vFlipped_; }

    // Output pixels per source pixel (1.0 when not zoomed).
    double zoomScale() const;
    // The picture scaled by zoomScale() and the part of it that is shown (lower-left origin).
    QSize scaledSize() const;
    QRect crop() const;

    // The shown part in source pixels, lower-left origin / top-left origin.
    QRectF sourceRect() const { return sourceRect_; }
    QRectF sourceRectTopLeft() const;

    bool operator==(const FrameTransform &) const = default;

private:
    QSize pixelSize_;
    QRectF sourceRect_;
    QSize outputSize_;
    bool hFlipped_ = false;
    bool vFlipped_ = false;
};
