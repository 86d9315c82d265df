#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

// An image that acts as a button: the mode buttons and the overlay's floaters. It shows its exit
// (normal) image, or its enter image while the pointer is over it or while it is marked up (the
// selected one of a group), and sends clicked() on a mouse-down when it is enabled and responding.
// Images are named from the icon set (Icons); an empty name is no image. The picture is drawn at
// its natural size at the view's lower-left corner; nothing is drawn behind it.
//
// Enabled is QWidget's: a disabled view neither highlights nor sends. shouldResponse switches off
// sending only, so the view keeps drawing and highlighting (the snapshot button during a countdown).
// Give an icon-only view an accessible name and a tool tip where it is placed.
class DCButtonView : public QWidget {
    Q_OBJECT
public:
    explicit DCButtonView(QWidget *parent = nullptr);

    // Also remembers the image's size (srcSize), which is the view's size hint.
    void setExitImage(const QString &name);
    QString exitImage() const { return exitImage_; }
    void setEnterImage(const QString &name);
    QString enterImage() const { return enterImage_; }
    QSize srcSize() const { return srcSize_; }

    // Images are drawn at their natural size times this factor (the focus target follows the zoom).
    void setImageScale(qreal scale);
    qreal imageScale() const { return imageScale_; }

    bool shouldResponse() const { return shouldResponse_; }
    void setShouldResponse(bool shouldResponse) { shouldResponse_ = shouldResponse; }
    bool isEnter() const { return isEnter_; }
    void setIsEnter(bool isEnter);
    bool isUp() const { return isUp_; }
    void setIsUp(bool isUp);

    // The name of the image drawn now, empty when none is.
    QString currentImage() const;

    // Emits clicked() when enabled and responding.
    void sendAction();

    QSize sizeHint() const override { return srcSize_; }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QSize scaledSize(const QString &name) const;

    QString exitImage_;
    QString enterImage_;
    QSize srcSize_;
    qreal imageScale_ = 1.0;
    bool shouldResponse_ = true;
    bool isEnter_ = false;
    bool isUp_ = false;
};
