#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

class DCZoomAreaModel;
class QLabel;

// The zoom navigator: a shaded thumbnail of the whole picture with a frame around the part on screen,
// which the user drags to pan; while the camera focuses, a darker thumbnail with a sight in the middle
// instead. DCZoomAreaModel decides where the area is and what a drag does; this view draws it and turns
// pointer positions into the model's coordinates. Return takes a photo while the pointer is over it.
class DCZoomAreaView : public QWidget {
    Q_OBJECT
public:
    // `model` must outlive the view.
    DCZoomAreaView(DCZoomAreaModel &model, QWidget *parent = nullptr);

    void setSightColor(const QColor &color);
    QColor sightColor() const { return sightColor_; }
    QLabel *zoomLabel() const { return zoomLabel_; }

    QSize sizeHint() const override { return {160, 120}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void modelChanged();
    QPointF modelPoint(const QPointF &widgetPoint) const;
    QRectF widgetArea() const;
    void drawSight(QPainter &painter) const;
    void updateCursor(const QPointF &widgetPoint);

    DCZoomAreaModel &model_;
    QColor sightColor_ = Qt::green;
    QLabel *zoomLabel_;
    QPointer<QWidget> focusBefore_;
};
