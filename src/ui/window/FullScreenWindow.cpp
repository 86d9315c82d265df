#include "FullScreenWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

#include "WindowPalette.h"

FullScreenWindow::FullScreenWindow(QScreen *screen)
    : QWidget(nullptr, Qt::FramelessWindowHint), screen_(screen) {
    setWindowTitle(tr("Korva Lectern"));
    WindowPalette::applyDark(*this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void FullScreenWindow::takePicture(QWidget *picture) {
    layout()->addWidget(picture);
    picture->show();
}

void FullScreenWindow::present() {
    // setScreen and the geometry are both needed for the window to open on that screen. The geometry
    // also makes it fill the screen where no window manager acts on the full-screen state (a kiosk
    // session); a window manager that does keeps it as it is.
    if (screen_) {
        setScreen(screen_);
        setGeometry(screen_->geometry());
    }
    showFullScreen();
    raise();
    activateWindow();
}

void FullScreenWindow::presentOn(QScreen *screen) {
    screen_ = screen;
    // Out of full screen first: a window manager keeps a full-screen window where it is.
    showNormal();
    present();
}

void FullScreenWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT exitRequested();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT enterPressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

// The first press of a double click counts as a click too, as the second one leaves anyway.
void FullScreenWindow::mousePressEvent(QMouseEvent *event) {
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) Q_EMIT clicked();
}

void FullScreenWindow::mouseDoubleClickEvent(QMouseEvent *event) {
    QWidget::mouseDoubleClickEvent(event);
    Q_EMIT exitRequested();
}

bool FullScreenWindow::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate) Q_EMIT activeChanged(true);
    if (event->type() == QEvent::WindowDeactivate) Q_EMIT activeChanged(false);
    return QWidget::event(event);
}
