#pragma once

#include "ui/controls/DCCustomBackgroundColorScroller.h"

// The thumbnail browser's scroll bar: its knob over the style's control colour.
class DCImageBrowserScroller : public DCCustomBackgroundColorScroller {
    Q_OBJECT
public:
    using DCCustomBackgroundColorScroller::DCCustomBackgroundColorScroller;

protected:
    QColor fillColor() const override { return palette().color(QPalette::Button); }
};
