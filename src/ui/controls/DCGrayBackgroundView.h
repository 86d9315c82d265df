#pragma once

#include "ui/controls/DCView.h"

// A view filled with a middle grey (60 % white).
class DCGrayBackgroundView : public DCView {
    Q_OBJECT
public:
    explicit DCGrayBackgroundView(QWidget *parent = nullptr) : DCView(parent) {
        setBackgroundColor(QColor::fromRgbF(0.6f, 0.6f, 0.6f));
    }
};
