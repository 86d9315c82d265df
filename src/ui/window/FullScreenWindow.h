#pragma once

#include <QWidget>

class QScreen;

// The live picture alone on a whole screen, without a frame: black around the picture, the pointer
// hidden after a moment. Escape and a double click ask to leave; Return asks for a photo; a single click
// is told (the overlay shows or hides its floaters on it); whether it has the keyboard is told, since
// only then does leaving full screen return to camera mode.
class FullScreenWindow : public QWidget {
    Q_OBJECT
public:
    explicit FullScreenWindow(QScreen *screen);

    // Takes `picture` into this window (its owner gets it back by re-parenting it).
    void takePicture(QWidget *picture);
    // Full screen on the chosen screen, in front, with the keyboard.
    void present();
    // Full screen moves to `screen` (another choice, or its screen went away).
    void presentOn(QScreen *screen);
    QScreen *presentationScreen() const { return screen_; }

Q_SIGNALS:
    void exitRequested();
    void enterPressed();
    void clicked();
    void activeChanged(bool active);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    QScreen *screen_;
};
