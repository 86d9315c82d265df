#include "ui/controls/DCAFLockButton.h"

#include <algorithm>

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QWidgetAction>

#include "ui/controls/DCManualFocusView.h"
#include "ui/controls/DCStepper.h"

DCAFLockButton::DCAFLockButton(QWidget *parent) : DCPopUpButton(parent) {
    setToScrollerMenu();
}

void DCAFLockButton::setToScrollerMenu() {
    removeItemsAfterTitle();
    if (!menuItemView_) {
        menuItemView_ = new DCManualFocusView(this);
        menuItemHolder_ = new QWidgetAction(this);
        menuItemHolder_->setDefaultWidget(menuItemView_);
        // Changes made here are made under a signal blocker, so this hears the user only.
        connect(menuItemView_->slider(), &QSlider::valueChanged, this, [this] { setSliderValue(true); });
        connect(menuItemView_->companion(), &DCStepper::valueChosen, this, &DCAFLockButton::changeValue);
        connect(menuItemView_->lockBox(), &QCheckBox::clicked, this, &DCAFLockButton::setAFLock);
        connect(menuItemView_->textField(), &QLineEdit::returnPressed, this,
                &DCAFLockButton::textFieldEnterValue);
    }
    const QSlider *slider = menuItemView_->slider();
    menuItemView_->companion()->setRange(slider->minimum(), slider->maximum());
    setSliderValue(false);
    addViewItem(menuItemHolder_);
}

void DCAFLockButton::setMinValue(int minValue) {
    minValue_ = minValue;
    QSlider *slider = menuItemView_->slider();
    {
        const QSignalBlocker quiet(slider);
        slider->setMaximum(DCFocusRange::sliderMaximum(minValue_, maxValue_));
    }
    menuItemView_->companion()->setRange(slider->minimum(), slider->maximum());
    setSliderValue(false);
}

DCFocusRange DCAFLockButton::range() const {
    const QSlider *slider = menuItemView_->slider();
    return DCFocusRange(minValue_, maxValue_, slider->minimum(), slider->maximum());
}

void DCAFLockButton::setLocked(bool locked) {
    menuItemView_->lockBox()->setChecked(locked);
}

bool DCAFLockButton::locked() const {
    return menuItemView_->lockBox()->isChecked();
}

void DCAFLockButton::setFocusLength(int focus) {
    const int position = range().sliderForFocus(focus);
    if (position == menuItemView_->slider()->value()) return;
    moveSlider(position);
    setSliderValue(false);
}

int DCAFLockButton::focusLength() const {
    return range().focusForSlider(menuItemView_->slider()->value());
}

int DCAFLockButton::numberOfItems() const {
    const QSlider *slider = menuItemView_->slider();
    return slider->maximum() - slider->minimum() + 1;
}

void DCAFLockButton::moveSlider(int position) {
    const QSignalBlocker quiet(menuItemView_->slider());
    menuItemView_->slider()->setValue(position);
}

void DCAFLockButton::setSliderValue(bool tell) {
    const int position = menuItemView_->slider()->value();
    menuItemView_->textField()->setText(QString::number(position));
    menuItemView_->companion()->setValue(position);
    if (tell && isEnabled()) Q_EMIT focusLengthChanged(range().focusForSlider(position));
}

void DCAFLockButton::increaseValue() {
    const QSlider *slider = menuItemView_->slider();
    moveSlider(std::min(slider->maximum(), slider->value() + 1));
    setSliderValue(true);
}

void DCAFLockButton::decreaseValue() {
    const QSlider *slider = menuItemView_->slider();
    moveSlider(std::max(slider->minimum(), slider->value() - 1));
    setSliderValue(true);
}

void DCAFLockButton::changeValue(int value) {
    moveSlider(value);
    setSliderValue(true);
}

void DCAFLockButton::setAFLock() {
    QLineEdit *field = menuItemView_->textField();
    // No typing into the field while the owner switches the camera's focus mode.
    field->setEnabled(false);
    if (isEnabled()) Q_EMIT lockStateChanged(menuItemView_->lockBox()->isChecked() ? 1u : 0u);
    field->setEnabled(true);
}

void DCAFLockButton::textFieldEnterValue() {
    const QSlider *slider = menuItemView_->slider();
    bool ok = false;
    const int typed = menuItemView_->textField()->text().toInt(&ok);
    if (!ok) {
        // Not a number: show the position again rather than jump the lens to an end.
        setSliderValue(false);
        return;
    }
    moveSlider(std::clamp(typed, slider->minimum(), slider->maximum()));
    setSliderValue(true);
}
