#pragma once

#include <QWidget>

class DCAFLockButton;
class DCStepper;
class QCheckBox;
class QLineEdit;
class QSlider;

// The AF lock button's menu panel: the lock check box, a numeric field and the manual-focus slider
// with its stepper. It only holds the controls; the button keeps them in step and talks to its owner.
// The up and down arrow keys step the focus through the button.
class DCManualFocusView : public QWidget {
    Q_OBJECT
public:
    explicit DCManualFocusView(DCAFLockButton *afLockButton, QWidget *parent = nullptr);

    QCheckBox *lockBox() const { return lockBox_; }
    QLineEdit *textField() const { return textField_; }
    QSlider *slider() const { return slider_; }
    DCStepper *companion() const { return companion_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    DCAFLockButton *afLockButton_;
    QCheckBox *lockBox_;
    QLineEdit *textField_;
    QSlider *slider_;
    DCStepper *companion_;
};
