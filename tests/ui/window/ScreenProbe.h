#pragma once

#include <QImage>
#include <QRect>
#include <QStringList>

#include "support/ChildProcess.h"

// What the program tests under Xvfb see and do from outside the program, as a user would: xdotool for
// windows, keys and the mouse, and the colours of a screen grab.
namespace ScreenProbe {

ChildResult xdotool(const QStringList &arguments);
// A window's area of its screen, by xdotool's window id.
QRect geometryOf(const QString &window);
// Colours in every fourth pixel: a blank or single-colour picture has a handful.
int coloursIn(const QImage &image);

} // namespace ScreenProbe
