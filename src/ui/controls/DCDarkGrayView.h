#pragma once

#include "ui/controls/DCView.h"

// A view filled with the windows' dark grey.
class DCDarkGrayView : public DCView {
    Q_OBJECT
public:
    explicit DCDarkGrayView(QWidget *parent = nullptr) : DCView(parent) {
        setBackgroundColor(QColor(86, 87, 87));
    }
};
