#pragma once

#include <QMainWindow>

// The main window. It reports what the user does to it (keys it maps, double clicks, a close) as
// signals; its controller decides what they mean.
class DCMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DCMainWindow(QWidget *parent = nullptr);

Q_SIGNALS:
    void doubleClicked();
    void keyPressed(int key, Qt::KeyboardModifiers modifiers, bool *handled);
    void closing();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};
