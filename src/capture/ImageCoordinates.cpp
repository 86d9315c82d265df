#include "capture/ImageCoordinates.h"

namespace ImageCoordinates {

QRectF toTopLeft(const QRectF &rect, qreal height) {
    return QRectF(rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height());
}

QPointF toTopLeft(const QPointF &point, qreal height) {
    return QPointF(point.x(), height - point.y());
}

} // namespace ImageCoordinates
