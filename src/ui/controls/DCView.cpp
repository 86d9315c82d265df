#include "ui/controls/DCView.h"

#include <QPaintEvent>
#include <QPainter>

DCView::DCView(QWidget *parent) : QWidget(parent) {}

void DCView::setBackgroundColor(const QColor &color) {
    backgroundColor_ = color;
    update();
}

void DCView::paintEvent(QPaintEvent *event) {
    if (!backgroundColor_.isValid()) return;
    QPainter(this).fillRect(event->rect(), backgroundColor_);
}
