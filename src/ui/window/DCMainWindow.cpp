#include "DCMainWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>

DCMainWindow::DCMainWindow(QWidget *parent) : QMainWindow(parent) {}

void DCMainWindow::mouseDoubleClickEvent(QMouseEvent *event) {
    QMainWindow::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}

void DCMainWindow::keyPressEvent(QKeyEvent *event) {
    bool handled = false;
    Q_EMIT keyPressed(event->key(), event->modifiers(), &handled);
    if (!handled) QMainWindow::keyPressEvent(event);
}

void DCMainWindow::closeEvent(QCloseEvent *event) {
    Q_EMIT closing();
    QMainWindow::closeEvent(event);
}
