#include "ui/model/FloaterGeometry.h"

#include <algorithm>

namespace FloaterGeometry {

namespace {

constexpr qreal kRingOffsetFromRight = 95;
constexpr qreal kTimerOffsetFromRight = 35;
constexpr qreal kRingTop = 70;
constexpr qreal kFocusButtonTop = 65;
// The badge sits above the ring row: 70 above the status strip.
constexpr qreal kExposureTop = kStatusStripHeight + 70;
// The bar and the close button have their middle this far below the parent's top.
constexpr qreal kTopRowMiddle = 50;

// A rectangle of `size` whose horizontal centre is `centreX` and whose upper edge is at `top`.
QRectF hangingFrom(qreal centreX, qreal top, const QSizeF &size) {
    return QRectF(centreX - size.width() / 2, top - size.height(), size.width(), size.height());
}

QRectF centredOn(const QPointF &centre, const QSizeF &size) {
    return QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(), size.height());
}

// Centred horizontally on the parent, its middle kTopRowMiddle below the parent's top.
QRectF inTopRow(qreal centreX, const QRectF &parent, const QSizeF &size) {
    return centredOn(QPointF(centreX, parent.y() + parent.height() - kTopRowMiddle), size);
}

// On a screen too narrow for the centred bar to end before the close button, the bar moves left to
// leave the button free (never past the parent's left edge): a covered close button is no way out.
QRectF clearOf(QRectF bar, const QRectF &close, const QRectF &parent) {
    if (close.isEmpty() || bar.right() + kControlSpacing <= close.left()) return bar;
    bar.moveRight(close.left() - kControlSpacing);
    if (bar.left() < parent.left()) bar.moveLeft(parent.left());
    return bar;
}

} // namespace

qreal pictureRight(const QRectF &parent, bool fullScreen) {
    if (!fullScreen) return parent.x() + parent.width();
    const qreal pictureWidth = std::min(parent.width(), parent.height() * 4 / 3);
    return parent.x() + parent.width() / 2 + pictureWidth / 2;
}

QRectF navigator(const QRectF &parent, bool fullScreen, const QSizeF &size) {
    const qreal x = parent.x(), y = parent.y(), w = parent.width(), h = parent.height();
    const qreal pictureWidth = h * 4 / 3;
    const bool wide = w >= pictureWidth;
    const qreal left = wide ? x + (w - pictureWidth) / 2 : x;
    qreal bottom = y + kStatusStripHeight;
    // On a screen narrower than 4:3 the picture has black bars above and below: the navigator sits on
    // the picture's lower edge.
    if (fullScreen) bottom = wide ? y : y + (h - w * 3 / 4) / 2;
    return QRectF(left, bottom, size.width(), size.height());
}

// On a full screen narrower than 4:3 the picture spans the width with black bars above and below it:
// the floaters belong to the picture there, as on any other screen they belong to its height.
QRectF pictureArea(const QRectF &parent, bool fullScreen) {
    const qreal pictureHeight = parent.width() * 3 / 4;
    if (!fullScreen || pictureHeight >= parent.height()) return parent;
    return QRectF(parent.x(), parent.y() + (parent.height() - pictureHeight) / 2, parent.width(),
                  pictureHeight);
}

QRectF place(Floater floater, const QRectF &screenOrWindow, bool fullScreen, const Sizes &sizes) {
    const QRectF parent = pictureArea(screenOrWindow, fullScreen);
    const qreal right = pictureRight(parent, fullScreen);
    const qreal y = parent.y();
    switch (floater) {
    case Floater::FocusTarget:
        return centredOn(parent.center(), sizes.focusTarget);
    case Floater::FocusIndicator:
        return hangingFrom(right - kRingOffsetFromRight, y + kRingTop, sizes.focusIndicator);
    case Floater::Snapshot:
        // The very place of the ring, so that the snapshot button sits on it.
        return hangingFrom(right - kRingOffsetFromRight, y + kRingTop, sizes.focusIndicator);
    case Floater::FocusButton:
        return hangingFrom(right - kRingOffsetFromRight, y + kFocusButtonTop, sizes.focusButton);
    case Floater::Timer:
        return hangingFrom(right - kTimerOffsetFromRight, y + kRingTop, sizes.timer);
    case Floater::Exposure:
        return hangingFrom(parent.x() + parent.width() / 2, y + kExposureTop, sizes.exposure);
    case Floater::Navigator:
        return navigator(parent, fullScreen, sizes.navigator);
    case Floater::ToolbarContainer:
        return clearOf(inTopRow(parent.center().x(), parent, sizes.toolbarContainer),
                       place(Floater::Close, screenOrWindow, fullScreen, sizes), parent);
    case Floater::Close: {
        const QRectF ring = place(Floater::FocusIndicator, screenOrWindow, fullScreen, sizes);
        return inTopRow(ring.right() - sizes.close.width() / 2, parent, sizes.close);
    }
    }
    return {};
}

qreal toolbarContainerWidth(const QList<qreal> &controlWidths) {
    qreal total = 0;
    for (const qreal width : controlWidths)
        total += width + kControlSpacing;
    return controlWidths.isEmpty() ? 0 : total - kControlSpacing;
}

} // namespace FloaterGeometry
