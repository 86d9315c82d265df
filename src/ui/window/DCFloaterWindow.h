#pragma once

#include <QWidget>

// One floater of the overlay: a frameless, see-through child widget layered over the live picture (a
// child rather than a window of its own, so that it behaves the same on X11 and Wayland). It holds one
// content view that fills it. It never takes the keyboard, and a press on it stays with it, so that a
// click on a floater does not reach the full-screen window (where a click shows or hides the floaters).
class DCFloaterWindow : public QWidget {
    Q_OBJECT
public:
    DCFloaterWindow(QWidget *content, QWidget *host);

    QWidget *contentView() const { return content_; }
    // Floaters that only show something (the target, the countdown, the badge) let the pointer through.
    void setPassesClicks(bool passes);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QWidget *content_;
};
