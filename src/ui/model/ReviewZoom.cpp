#include "ui/model/ReviewZoom.h"

#include <algorithm>

#include "ui/model/CameraToolbarValues.h"

// The same table as the camera's zoom.
float ReviewZoom::factorOfItem(int index) {
    return CameraToolbarValues::zoomFactorOfItem(index);
}

int ReviewZoom::steppedItem(int selected, int step) {
    if (step > 0 && selected < kMaxItem) return selected + 1;
    if (step < 0 && selected >= 2) return selected - 1;
    return selected;
}

// The upper bound wins over the lower one, so a document smaller than its view stays at its start
// edge rather than drifting with the pointer.
QPointF ReviewZoom::draggedOrigin(const DragGeometry &g, QPointF delta) {
    const QPointF inset = g.clipOrigin - g.visibleOrigin;
    const qreal x =
        std::min(std::max(inset.x(), g.clipOrigin.x() - delta.x()),
                 g.documentBounds.x() + g.documentBounds.width() + inset.x() - g.contentSize.width());
    const qreal y =
        std::min(std::max(inset.y(), g.clipOrigin.y() - delta.y()),
                 g.documentBounds.y() + g.documentBounds.height() + inset.y() - g.contentSize.height());
    return {x, y};
}
