#pragma once

#include <QImage>
#include <QSize>

// Picture helpers that keep no state.
class ImageUtilities {
public:
    // The picture turned by `angle` degrees, counter-clockwise for positive angles, centred on a
    // canvas of round(h*s + w*c) x round(h*c + w*s) (c = |cos|, s = |sin|); the corners the picture
    // does not cover are transparent. A whole multiple of 360 answers `image` itself (the same data);
    // quarter turns move pixels exactly, other angles are sampled bilinearly (ARGB32 premultiplied).
    // All work happens on the calling thread.
    static QImage rotateByAngle(const QImage &image, int angle);

    static QSize rotatedSize(QSize size, int angle);

    // `image` scaled to `width` with its aspect ratio kept, box-filtered. 32-bit pictures are
    // scaled with libyuv on the calling thread (no thread pool behind the caller's back).
    static QImage scaledToWidth(const QImage &image, int width);
};
