#include "ui/controls/DCHyperLinkButton.h"

DCHyperLinkButton::DCHyperLinkButton(const QString &title, QWidget *parent) : QPushButton(title, parent) {
    setFlat(true);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette link = palette();
    for (QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText})
        link.setColor(role, QColor(0, 0, 255));
    setPalette(link);
    setCursor(Qt::PointingHandCursor);
}
