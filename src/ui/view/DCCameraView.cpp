#include "ui/view/DCCameraView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStackedLayout>

DCCameraView::DCCameraView(QWidget *parent) : QWidget(parent), stack_(new QStackedLayout(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    stack_->setContentsMargins(0, 0, 0, 0);
}

void DCCameraView::setContentView(QWidget *view) {
    if (!view) return;
    if (stack_->indexOf(view) < 0) stack_->addWidget(view);
    stack_->setCurrentWidget(view);
}

QWidget *DCCameraView::contentView() const {
    return stack_->currentWidget();
}

void DCCameraView::paintEvent(QPaintEvent *event) {
    QPainter(this).fillRect(event->rect(), Qt::black);
}
