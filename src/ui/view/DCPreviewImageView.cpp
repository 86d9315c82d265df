#include "ui/view/DCPreviewImageView.h"

#include <QPaintEvent>
#include <QPainter>

#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "capture/I420ImageConversion.h"
#include "ui/view/PictureFit.h"

DCPreviewImageView::DCPreviewImageView(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DCPreviewImageView::setImage(FramePointer image) {
    if (image == image_) return;
    image_ = std::move(image);
    picture_ = QImage();
    pictureSize_ = QSize();
    update();
}

void DCPreviewImageView::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    if (!image_) return;
    const QRect place = PictureFit::fitPixels(image_->size(), rect());
    if (place.isEmpty()) return;
    const QImage &picture = pictureFor(place.size() * devicePixelRatioF());
    if (!picture.isNull()) painter.drawImage(QRectF(place), picture);
}

const QImage &DCPreviewImageView::pictureFor(QSize size) {
    if (pictureSize_ == size) return picture_;
    pictureSize_ = size;
    const auto planes = renderer_.render(*image_, size);
    // A picture that does not decode stays black (the renderer logs why).
    picture_ = planes ? I420ImageConversion::toQImage(*planes) : QImage();
    return picture_;
}
