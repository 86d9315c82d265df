#pragma once

#include <QtCore/qnamespace.h>

// The main window's own keys: which command a key press asks of the window's controller. Keys that map
// to no command take the ordinary way (menus, focused widgets).
struct MainWindowKeyMap {
    enum class Command {
        None,
        SelectAll,
        CopyPhoto,
        Enter,
        Delete,
        ZoomIn,
        ZoomOut,
        SelectPrevious,
        SelectNext
    };

    // `key` is a Qt::Key. A is selectAll only with Ctrl; C copies whatever the modifiers.
    static Command commandForKey(int key, Qt::KeyboardModifiers modifiers);
};
