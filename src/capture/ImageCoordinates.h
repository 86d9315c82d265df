#pragma once

#include <QPointF>
#include <QRectF>

// Picture geometry is worked out with the origin at the lower left and y growing upward; pixel buffers
// and widgets put the origin at the top left. This is the one crossing between the two: every place
// that needs buffer rows or widget coordinates from picture geometry goes through it.
namespace ImageCoordinates {

// `rect` given with a lower-left origin inside a picture `height` units tall, as a top-left rectangle.
// The conversion is its own inverse.
QRectF toTopLeft(const QRectF &rect, qreal height);
QPointF toTopLeft(const QPointF &point, qreal height);

} // namespace ImageCoordinates
