#include "ui/controls/DCManualFocusView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>

#include "ui/controls/DCAFLockButton.h"
#include "ui/controls/DCFocusRange.h"
#include "ui/controls/DCStepper.h"

namespace {
constexpr int kSliderHeight = 160;
constexpr int kFieldWidth = 56;
} // namespace

DCManualFocusView::DCManualFocusView(DCAFLockButton *afLockButton, QWidget *parent)
    : QWidget(parent), afLockButton_(afLockButton), lockBox_(new QCheckBox(tr("Lock focus"), this)),
      textField_(new QLineEdit(this)), slider_(new QSlider(Qt::Vertical, this)),
      companion_(new DCStepper(this)) {
    textField_->setValidator(new QIntValidator(textField_));
    textField_->setFixedWidth(kFieldWidth);
    textField_->setAlignment(Qt::AlignRight);
    textField_->setAccessibleName(tr("Focus position"));
    slider_->setAccessibleName(tr("Manual focus"));
    slider_->setMinimum(DCFocusRange::kSliderMinimum);
    slider_->setMaximum(DCFocusRange::kWideSliderMaximum);
    slider_->setMinimumHeight(kSliderHeight);
    slider_->setTickPosition(QSlider::TicksLeft);
    setFocusPolicy(Qt::StrongFocus);

    auto *position = new QHBoxLayout;
    position->addWidget(textField_);
    position->addWidget(companion_);
    auto *layout = new QGridLayout(this);
    layout->addWidget(lockBox_, 0, 0, 1, 2);
    layout->addWidget(slider_, 1, 0, Qt::AlignHCenter);
    layout->addLayout(position, 1, 1, Qt::AlignTop);
}

void DCManualFocusView::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Up:
        afLockButton_->increaseValue();
        break;
    case Qt::Key_Down:
        afLockButton_->decreaseValue();
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}
