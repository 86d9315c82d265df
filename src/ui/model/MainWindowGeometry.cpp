#include "ui/model/MainWindowGeometry.h"

#include <algorithm>

#include <QRectF>
#include <QSizeF>

namespace {

// The placement rules speak of bottom edges with y growing upward. This is the only place that turns
// Qt's top-left rectangles into such ones and back: mirroring about the visible area's middle maps the
// visible area onto itself, so its bottom is the same number in both systems.
struct UpRect {
    qreal x = 0;
    qreal bottom = 0;
    qreal width = 0;
    qreal height = 0;

    static qreal axis(const QRect &visible) { return 2.0 * visible.y() + visible.height(); }
    static UpRect from(const QRect &r, const QRect &visible) {
        return {qreal(r.x()), axis(visible) - (r.y() + r.height()), qreal(r.width()), qreal(r.height())};
    }
    QRect toRect(const QRect &visible) const {
        return QRectF(x, axis(visible) - (bottom + height), width, height).toRect();
    }
};

// Keeps the left and the top edge; a bottom below the visible area is raised to it.
QRect place(const QRect &frame, QSizeF size, const QRect &visible) {
    const UpRect old = UpRect::from(frame, visible);
    UpRect placed{old.x, old.bottom + old.height - size.height(), size.width(), size.height()};
    placed.bottom = std::max(placed.bottom, UpRect::from(visible, visible).bottom);
    return placed.toRect(visible);
}

qreal widthForPictureHeight(qreal pictureHeight) {
    return std::max<qreal>(0, pictureHeight * 4 / 3);
}

int stripHeight(WindowMode mode) {
    return mode == WindowMode::Camera ? MainWindowGeometry::kStatusStripHeight
                                      : MainWindowGeometry::kReviewStripHeight;
}

} // namespace

MainWindowGeometry::ModeFrame MainWindowGeometry::pictureMode(const QRect &frame, int viewWidth, int strip,
                                                              const Metrics &m) {
    const qreal chrome = qreal(strip) + m.titleBarHeight + m.toolbarHeight;
    const qreal visibleHeight = m.visibleFrame.height();
    qreal width = viewWidth;
    qreal height = width * 3 / 4 + chrome;
    if (height > visibleHeight) {
        height = visibleHeight;
        width = widthForPictureHeight(visibleHeight - chrome);
    }
    const QSize minimum(kMinimumWidth, m.titleBarHeight + kMinimumPictureHeight + m.toolbarHeight + strip);
    return {place(frame, {width, height}, m.visibleFrame), minimum};
}

MainWindowGeometry::ModeFrame MainWindowGeometry::cameraMode(const QRect &frame, int cameraViewWidth,
                                                             const Metrics &metrics) {
    return pictureMode(frame, cameraViewWidth, kStatusStripHeight, metrics);
}

MainWindowGeometry::ModeFrame MainWindowGeometry::reviewMode(const QRect &frame, int albumViewWidth,
                                                             const Metrics &metrics) {
    return pictureMode(frame, albumViewWidth, kReviewStripHeight, metrics);
}

MainWindowGeometry::ModeFrame MainWindowGeometry::evernoteMode(const QRect &frame, QSize evernoteViewSize,
                                                               int frameExtraHeight,
                                                               const QRect &visibleFrame) {
    const int height = std::min(evernoteViewSize.height() + frameExtraHeight, visibleFrame.height());
    const QSizeF size(evernoteViewSize.width(), height);
    const QSize minimum(kMinimumWidth, frameExtraHeight + kMinimumPictureHeight + kReviewStripHeight);
    return {place(frame, size, visibleFrame), minimum};
}

QSize MainWindowGeometry::windowWillResize(QSize proposed, WindowMode mode, const Metrics &m) {
    const qreal height = std::min(proposed.height(), m.visibleFrame.height());
    const qreal width =
        widthForPictureHeight(height - stripHeight(mode) - m.toolbarHeight - m.titleBarHeight);
    return QSizeF(width, height).toSize();
}

QRect MainWindowGeometry::windowWillUseStandardFrame(const QRect &frame, const QRect &defaultFrame,
                                                     WindowMode mode, const Metrics &m) {
    const QSize size = windowWillResize(defaultFrame.size(), mode, m);
    UpRect placed{qreal(frame.x()), UpRect::from(defaultFrame, m.visibleFrame).bottom, qreal(size.width()),
                  qreal(size.height())};
    const qreal visibleRight = qreal(m.visibleFrame.x()) + m.visibleFrame.width();
    if (placed.x + placed.width > visibleRight) placed.x = visibleRight - placed.width;
    return placed.toRect(m.visibleFrame);
}

QRect MainWindowGeometry::modeChooserFrame(const QRect &frame, QSize chooserSize) {
    return {QPoint(frame.x() - chooserSize.width(), frame.y() + kModeChooserTopOffset), chooserSize};
}
