#pragma once

#include <QPushButton>

// The push button of the windows. Its pointer shape and tool tip are QWidget's own (setCursor,
// setToolTip) and cover the whole button; Qt tracks the pointer itself, so nothing needs renewing
// when the button moves. Borderless, so the image buttons built on it show only their picture.
class DCButton : public QPushButton {
    Q_OBJECT
public:
    explicit DCButton(QWidget *parent = nullptr) : QPushButton(parent) { setFlat(true); }
};
