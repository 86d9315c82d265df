#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The rules of the large image's zoom and drag in review mode. Plain functions, no widgets.
namespace ReviewZoom {

constexpr int kMaxItem = 6;

// The zoom pull-down's item `index` (1 to 6) as a factor; any other index (the title item) gives 0.
float factorOfItem(int index);
// The item one step in (+1) or out (-1) from `selected`; the same item at either end (6x in, 1x out).
int steppedItem(int selected, int step);

// What a drag of the large image works from, in the scroll area's own coordinates (y downward).
struct DragGeometry {
    QPointF clipOrigin;    // where the shown part of the document starts
    QPointF visibleOrigin; // the document's visible rectangle's origin (the clip origin unless inset)
    QRectF documentBounds;
    QSizeF contentSize; // the size of the area the document shows in
};
// The shown part's new origin after the pointer moved by `delta`: the picture follows the pointer and
// its edges never come inside the view.
QPointF draggedOrigin(const DragGeometry &geometry, QPointF delta);

} // namespace ReviewZoom
