#pragma once

#include <QImage>
#include <QWidget>

#include "capture/FramePointer.h"
#include "capture/FrameRenderer.h"

// Shows one still picture (the instant preview of a snapshot) on black, scaled to fit with its aspect
// ratio kept and centred; black when it has none.
//
// The picture is decoded at the size it is shown (at a reduced DCT scale where that is smaller), once
// per image and view size, on the GUI thread: a still shown for seconds, not a stream.
class DCPreviewImageView : public QWidget {
    Q_OBJECT
public:
    explicit DCPreviewImageView(QWidget *parent = nullptr);

    void setImage(FramePointer image);
    FramePointer image() const { return image_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QImage &pictureFor(QSize size);

    FramePointer image_;
    FrameRenderer renderer_{1};
    QImage picture_; // image_ at the size it was last shown (null when it does not decode)
    QSize pictureSize_;
};
