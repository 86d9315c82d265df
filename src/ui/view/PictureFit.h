#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>

class FrameTransform;

// Where and at what size a picture is shown in a view. Plain functions, shared by the live picture
// and the preview.
namespace PictureFit {

// `picture` scaled to fit `bounds` with its aspect ratio kept and centred on the short side: as tall
// as the bounds and centred horizontally when the picture is relatively taller, else as wide and
// centred vertically. Empty when either is empty.
QRectF fitRect(QSizeF picture, const QRectF &bounds);
// The same in whole pixels, never smaller than one pixel either way.
QRect fitPixels(QSize picture, const QRect &bounds);

// The size to decode a frame at for a screen that scales it further itself: the shown part of the
// stored picture at the smallest DCT scale (k/8) that still covers the frame's place in `viewport`,
// and never beyond `maxSize` either way. JPEG decoders scale by eighths for free, and the few sizes
// this allows keep textures from being reallocated at every step of a window resize. An empty
// viewport gives the full part.
QSize coveringSize(const FrameTransform &transform, QSize viewport, int maxSize);

} // namespace PictureFit
