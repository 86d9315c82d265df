#include "capture/DCZoomAreaModel.h"

#include <cmath>

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"

DCZoomAreaModel::DCZoomAreaModel(const QRectF &bounds, DCNotificationCenter *center, QObject *parent)
    : QObject(parent), center_(center ? *center : DCNotificationCenter::defaultCenter()),
      notificationObject_(QVariant::fromValue(static_cast<QObject *>(this))), bounds_(bounds) {
    setRatio(1.0f);
}

void DCZoomAreaModel::setBounds(const QRectF &bounds) {
    if (bounds == bounds_) return;
    const QRectF old = bounds_;
    bounds_ = bounds;
    if (old.width() > 0 && old.height() > 0) {
        const qreal fx = (zoomedArea_.x() - old.x()) / old.width();
        const qreal fy = (zoomedArea_.y() - old.y()) / old.height();
        zoomedArea_ = QRectF(bounds_.x() + fx * bounds_.width(), bounds_.y() + fy * bounds_.height(),
                             bounds_.width() / ratio_, bounds_.height() / ratio_);
    } else {
        setRatio(ratio_);
    }
    Q_EMIT changed();
}

void DCZoomAreaModel::setRatio(float ratio) {
    ratio_ = std::isfinite(ratio) && ratio > 1.0f ? ratio : 1.0f;
    const qreal w = bounds_.width(), h = bounds_.height();
    zoomedArea_ = QRectF(bounds_.x() + (w - w / ratio_) / 2, bounds_.y() + (h - h / ratio_) / 2, w / ratio_,
                         h / ratio_);
    Q_EMIT changed();
}

void DCZoomAreaModel::setShouldHideZoomedArea(bool hide) {
    shouldHideZoomedArea_ = hide;
    Q_EMIT changed();
}

QString DCZoomAreaModel::labelText() const {
    if (shouldHideZoomedArea_) return QStringLiteral("1x Focusing");
    return QString::asprintf("%.2gx", double(ratio_));
}

void DCZoomAreaModel::mouseDown(const QPointF &location) {
    dragging_ = zoomedArea_.contains(location);
    if (dragging_) lastLocation_ = location;
}

bool DCZoomAreaModel::mouseDragged(const QPointF &p) {
    if (!dragging_) return false;
    const qreal bw = bounds_.width(), bh = bounds_.height();
    const qreal ax = zoomedArea_.x(), ay = zoomedArea_.y();
    const qreal aw = zoomedArea_.width(), ah = zoomedArea_.height();
    // Edges compared as numbers: the area's own rounding must not count as leaving the thumbnail.
    auto inside = [&](qreal x, qreal y) {
        return x >= bounds_.left() && y >= bounds_.top() && x + aw <= bounds_.left() + bw &&
               y + ah <= bounds_.top() + bh;
    };

    // The reference point takes up exactly the distance the area moved, so when the area sticks to an
    // edge the pointer keeps its grip and the area comes back with it.
    qreal newX;
    bool movedX = true;
    const qreal nx = ax + p.x() - lastLocation_.x();
    if (inside(nx, ay)) {
        newX = nx;
        lastLocation_.setX(p.x());
    } else if (nx < 0 && ax > 0) {
        newX = 0;
        lastLocation_.setX(p.x() - nx);
    } else if (nx > bw - aw) {
        newX = bw - aw;
        lastLocation_.setX(p.x() - (nx - (bw - aw)));
    } else {
        newX = ax;
        movedX = false;
    }

    qreal newY;
    const qreal ny = ay + p.y() - lastLocation_.y();
    if (inside(ax, ny)) {
        newY = ny;
        lastLocation_.setY(p.y());
    } else if (ny < 0 && ay > 0) {
        newY = 0;
        lastLocation_.setY(p.y() - ny);
    } else if (ny > bh - ah) {
        newY = bh - ah;
        lastLocation_.setY(p.y() - (ny - (bh - ah)));
    } else {
        if (!movedX) return false;
        newY = ay;
    }

    // A step that leaves the area where it was (already at the edge it is pushed against) says nothing.
    if (newX == ax && newY == ay) return false;
    zoomedArea_.moveTo(newX, newY);
    postAreaChange();
    Q_EMIT changed();
    return true;
}

void DCZoomAreaModel::postAreaChange() {
    const qreal bw = bounds_.width(), bh = bounds_.height();
    if (!(bw > 0) || !(bh > 0)) return;
    QVariantMap info;
    info.insert(DCKey::XOffset, float((zoomedArea_.x() - bounds_.x()) / bw));
    info.insert(DCKey::YOffset, float((zoomedArea_.y() - bounds_.y()) / bh));
    center_.postNotificationName(DCNote::DCCameraModeZoomAreaChange, notificationObject_, info);
}
