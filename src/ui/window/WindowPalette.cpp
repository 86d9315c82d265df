#include "WindowPalette.h"

#include <QPalette>
#include <QWidget>

namespace WindowPalette {

QPalette dark() {
    QPalette palette;
    const QColor window(0x26, 0x27, 0x2a), base(0x1b, 0x1c, 0x1e), text(0xe8, 0xe8, 0xea);
    const QColor accent(0xf0, 0xa5, 0x30); // the icons' colour for "selected"
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x84));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x84));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x84));
    return palette;
}

void applyDark(QWidget &widget) {
    widget.setPalette(dark());
    widget.setAutoFillBackground(true);
}

} // namespace WindowPalette
