#include "ui/view/DCShutterView.h"

#include <QPaintEvent>
#include <QPainter>

DCShutterView::DCShutterView(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DCShutterView::paintEvent(QPaintEvent *event) {
    QPainter(this).fillRect(event->rect(), Qt::black);
}
