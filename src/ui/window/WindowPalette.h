#pragma once

class QPalette;
class QWidget;

// The windows' dark look: a picture on a projector reads best with little light around it, and the
// icon set is drawn for a dark background.
// The whole program takes it, so menus, pull-down panels and dialogs match the window.
namespace WindowPalette {
QPalette dark();
void applyDark(QWidget &widget);
} // namespace WindowPalette
