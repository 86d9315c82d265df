#pragma once

#include <QPoint>
#include <QScrollArea>

// Scrolls a document view that is always its content area's size times zoomFactor. Above 1.0 the
// scroll bars show and the picture can be dragged with the mouse (an open hand over it); at 1.0 it
// just fills the area.
class DCDraggableScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit DCDraggableScrollView(QWidget *parent = nullptr);

    void setDocumentView(QWidget *view);
    void setZoomFactor(float factor);
    float zoomFactor() const { return zoomFactor_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void fitDocument();

    float zoomFactor_ = 1.0f;
    bool dragging_ = false;
    QPoint lastPosition_;
};
