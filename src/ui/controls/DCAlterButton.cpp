#include "ui/controls/DCAlterButton.h"

#include "ui/controls/Icons.h"

DCAlterButton::DCAlterButton(QWidget *parent) : DCButton(parent) {}

void DCAlterButton::setImage(const QString &name) {
    upImage_ = name;
    downImage_ = QString(name).replace(QLatin1String("Down"), QLatin1String("Up"));
    setIconSize(Icons::naturalSize(name));
    showImage(underMouse() ? downImage_ : upImage_);
}

void DCAlterButton::showImage(const QString &name) {
    setIcon(Icons::icon(name));
}

void DCAlterButton::enterEvent(QEnterEvent *event) {
    showImage(downImage_);
    DCButton::enterEvent(event);
}

void DCAlterButton::leaveEvent(QEvent *event) {
    showImage(upImage_);
    DCButton::leaveEvent(event);
}
