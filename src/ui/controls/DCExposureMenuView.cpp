#include "ui/controls/DCExposureMenuView.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include "ui/controls/DCExposureButton.h"
#include "ui/controls/DCScroller.h"

DCExposureMenuView::DCExposureMenuView(DCExposureButton *exposureButton, QWidget *parent)
    : QWidget(parent), exposureButton_(exposureButton), slider_(new DCScroller(this)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(slider_);
    setFocusProxy(slider_);
}

void DCExposureMenuView::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Up:
        exposureButton_->increaseValue();
        break;
    case Qt::Key_Down:
        exposureButton_->decreaseValue();
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}
