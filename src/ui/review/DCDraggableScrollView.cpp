#include "ui/review/DCDraggableScrollView.h"

#include <QMouseEvent>
#include <QScrollBar>

#include "ui/model/ReviewZoom.h"

DCDraggableScrollView::DCDraggableScrollView(QWidget *parent) : QScrollArea(parent) {
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void DCDraggableScrollView::setDocumentView(QWidget *view) {
    setWidget(view);
    fitDocument();
}

void DCDraggableScrollView::setZoomFactor(float factor) {
    zoomFactor_ = factor;
    const bool zoomed = factor > 1.0f;
    const Qt::ScrollBarPolicy bars = zoomed ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(bars);
    setVerticalScrollBarPolicy(bars);
    if (QWidget *document = widget()) {
        if (zoomed)
            document->setCursor(Qt::OpenHandCursor);
        else
            document->unsetCursor();
    }
    fitDocument();
}

// The document is the shown area times the zoom; a zoom of 0 (the title item) shows it unzoomed.
void DCDraggableScrollView::fitDocument() {
    QWidget *document = widget();
    if (!document) return;
    const float factor = std::max(zoomFactor_, 1.0f);
    document->resize(viewport()->size() * factor);
    document->update();
}

void DCDraggableScrollView::resizeEvent(QResizeEvent *event) {
    QScrollArea::resizeEvent(event);
    fitDocument();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void DCDraggableScrollView::mousePressEvent(QMouseEvent *event) {
    if (zoomFactor_ <= 1.0f || event->button() != Qt::LeftButton) return QScrollArea::mousePressEvent(event);
    dragging_ = true;
    lastPosition_ = event->position().toPoint();
    if (widget()) widget()->setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void DCDraggableScrollView::mouseMoveEvent(QMouseEvent *event) {
    if (!dragging_ || zoomFactor_ <= 1.0f || !widget()) return QScrollArea::mouseMoveEvent(event);
    const QPoint position = event->position().toPoint();
    const QPoint delta = position - lastPosition_;
    lastPosition_ = position;
    const QPointF origin(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QPointF next = ReviewZoom::draggedOrigin(
        {origin, origin, QRectF(QPointF(), widget()->size()), viewport()->size()}, delta);
    horizontalScrollBar()->setValue(qRound(next.x()));
    verticalScrollBar()->setValue(qRound(next.y()));
    event->accept();
}

void DCDraggableScrollView::mouseReleaseEvent(QMouseEvent *event) {
    if (!dragging_) return QScrollArea::mouseReleaseEvent(event);
    dragging_ = false;
    if (widget() && zoomFactor_ > 1.0f) widget()->setCursor(Qt::OpenHandCursor);
    event->accept();
}
