#pragma once

#include <QMetaType>

// What the main window shows. The numbers are those the menu items and the log use; Unset lasts until
// the window is first given a mode, so that first call always acts.
enum class WindowMode : int { Camera = 0, FullScreen = 1, Review = 2, Evernote = 3, Unset = 4 };

Q_DECLARE_METATYPE(WindowMode)
