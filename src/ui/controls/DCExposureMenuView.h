#pragma once

#include <QWidget>

class DCExposureButton;
class DCScroller;

// The exposure button's menu panel in its slider style: the exposure slider (DCScroller) alone. The
// up and down arrow keys that the slider leaves step the button's value.
class DCExposureMenuView : public QWidget {
    Q_OBJECT
public:
    explicit DCExposureMenuView(DCExposureButton *exposureButton, QWidget *parent = nullptr);

    DCScroller *slider() const { return slider_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    DCExposureButton *exposureButton_;
    DCScroller *slider_;
};
