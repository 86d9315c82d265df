#include "ui/model/MainWindowKeyMap.h"

MainWindowKeyMap::Command MainWindowKeyMap::commandForKey(int key, Qt::KeyboardModifiers modifiers) {
    switch (key) {
    case Qt::Key_A:
        return modifiers.testFlag(Qt::ControlModifier) ? Command::SelectAll : Command::None;
    case Qt::Key_C:
        return Command::CopyPhoto;
    case Qt::Key_Return:
        return Command::Enter;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return Command::Delete;
    case Qt::Key_Equal:
        return Command::ZoomIn;
    case Qt::Key_Minus:
        return Command::ZoomOut;
    case Qt::Key_Left:
        return Command::SelectPrevious;
    case Qt::Key_Right:
        return Command::SelectNext;
    default:
        return Command::None;
    }
}
