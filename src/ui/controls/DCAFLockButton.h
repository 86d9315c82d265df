#pragma once

#include "ui/controls/DCFocusRange.h"
#include "ui/controls/DCPopUpButton.h"

class DCManualFocusView;
class QWidgetAction;

// The AF lock pull-down: its menu holds the manual-focus panel (DCManualFocusView) with the lock
// check box, a numeric field, the focus slider and its stepper. The slider runs against the camera's
// focus range (DCFocusRange); the field and the stepper show the slider's position. The user's
// changes are told as lockStateChanged() and focusLengthChanged(); the camera's own reports come in
// through setLocked() and setFocusLength(), which tell nobody.
//
// Set the camera's range with setMaxValue() first, then setMinValue(), which sizes the slider.
class DCAFLockButton : public DCPopUpButton {
    Q_OBJECT
public:
    explicit DCAFLockButton(QWidget *parent = nullptr);

    void setMaxValue(int maxValue) { maxValue_ = maxValue; }
    int maxValue() const { return maxValue_; }
    void setMinValue(int minValue);
    int minValue() const { return minValue_; }

    void setLocked(bool locked);
    bool locked() const;

    // From the camera: moves the slider to the focus value, telling nobody.
    void setFocusLength(int focus);
    // The camera focus value the slider stands for.
    int focusLength() const;

    // The slider's positions.
    int numberOfItems() const override;

    void setToScrollerMenu();
    // Field and stepper take the slider's position; with `tell`, the owner hears the focus value.
    void setSliderValue(bool tell);
    // One slider step up or down within its range, and tell.
    void increaseValue();
    void decreaseValue();
    // The stepper's action: the slider to `value`, and tell.
    void changeValue(int value);
    // The check box's action: tells the owner the box's state.
    void setAFLock();
    // The numeric field's action: the slider to the typed position, kept on the slider, and tell.
    void textFieldEnterValue();

    DCManualFocusView *menuItemView() const { return menuItemView_; }

Q_SIGNALS:
    // 0 unlocked (automatic focus), 1 locked.
    void lockStateChanged(unsigned state);
    // A focus value in the camera's range.
    void focusLengthChanged(int focus);

private:
    void moveSlider(int position);
    DCFocusRange range() const;

    DCManualFocusView *menuItemView_ = nullptr;
    QWidgetAction *menuItemHolder_ = nullptr;
    int minValue_ = 0;
    int maxValue_ = 0;
};
