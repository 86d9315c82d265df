#include "ui/controls/DCCustomBackgroundColorScroller.h"

#include <QPainter>
#include <QStyleOptionSlider>

DCCustomBackgroundColorScroller::DCCustomBackgroundColorScroller(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent) {}

void DCCustomBackgroundColorScroller::setColor(const QColor &color) {
    color_ = color;
    update();
}

void DCCustomBackgroundColorScroller::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (const QColor fill = fillColor(); fill.isValid()) painter.fillRect(rect(), fill);
    if (minimum() == maximum()) return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    // The knob alone: no arrows, no groove.
    option.subControls = QStyle::SC_ScrollBarSlider;
    style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
}
