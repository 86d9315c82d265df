#pragma once

#include <QDialog>

class DCButtonView;
class QLabel;

// The snapshot sheet: the live picture with the focus ring and target over it, a focus button and a
// shutter. Return takes the photo, Escape asks to close; what they mean is its controller's.
class DCSnapshotWindow : public QDialog {
    Q_OBJECT
public:
    explicit DCSnapshotWindow(QWidget *parent);

    // The picture shows in the sheet while it is open; its owner takes it back.
    void takePicture(QWidget *picture);
    void setFocusDisplay(bool shown, const QString &ringImage, const QString &targetImage);

Q_SIGNALS:
    void snapshotRequested();
    void focusRequested();
    void closeRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeFocusImages();

    QWidget *cameraView_;
    QLabel *ring_;
    QLabel *target_;
    DCButtonView *focusButton_;
};
