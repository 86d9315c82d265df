#pragma once

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariant>

class DCNotificationCenter;

// What the zoom-area navigator shows and does, without the widget: the rectangle of the zoomed part
// inside a thumbnail of the whole picture, its label, and the drags that pan it. A drag that moves the
// rectangle posts "DCCameraModeZoomAreaChange" with its origin as fractions of the thumbnail, which the
// live picture uses as its crop origin.
//
// Coordinates are the thumbnail's own, origin at the lower left, y upward (as the crop origin is); the
// widget converts pointer positions with ImageCoordinates. Main thread only.
class DCZoomAreaModel : public QObject {
    Q_OBJECT
public:
    explicit DCZoomAreaModel(const QRectF &bounds, DCNotificationCenter *center = nullptr,
                             QObject *parent = nullptr);

    // The thumbnail's size changed: the area keeps its place in fractions of the thumbnail.
    void setBounds(const QRectF &bounds);
    QRectF bounds() const { return bounds_; }

    // Shows a zoom of `ratio` (1.0 = whole picture; less than 1 or not a number counts as 1) with the
    // area centred. Posts nothing: the live picture centres its crop itself when its zoom changes.
    void setRatio(float ratio);
    float ratio() const { return ratio_; }
    QRectF zoomedArea() const { return zoomedArea_; }

    // The focusing display replaces the area while a focus run that the program did not start is on.
    void setShouldHideZoomedArea(bool hide);
    bool shouldHideZoomedArea() const { return shouldHideZoomedArea_; }

    // "2x", "1.5x", or "1x Focusing".
    QString labelText() const;

    // A press inside the area starts a drag; a press anywhere else ends any drag.
    void mouseDown(const QPointF &location);
    // One drag step; the area sticks to the thumbnail's edges. Answers whether the area moved.
    bool mouseDragged(const QPointF &location);
    bool dragging() const { return dragging_; }

    // The sender of the zoom-area notification (the widget sets itself); the model by default.
    void setNotificationObject(const QVariant &object) { notificationObject_ = object; }

Q_SIGNALS:
    // Area, label or display mode changed: the widget redraws.
    void changed();

private:
    void postAreaChange();

    DCNotificationCenter &center_;
    QVariant notificationObject_;
    QRectF bounds_;
    float ratio_ = 1.0f;
    QRectF zoomedArea_;
    bool dragging_ = false;
    QPointF lastLocation_;
    bool shouldHideZoomedArea_ = false;
};
