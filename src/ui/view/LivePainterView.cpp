#include "ui/view/LivePainterView.h"

#include <QPainter>

#include "ui/view/FrameRenderThread.h"
#include "ui/view/PictureFit.h"

LivePainterView::LivePainterView(FrameRenderThread &renderer, QWidget *parent)
    : QWidget(parent), renderer_(renderer) {
    // Every pixel is painted (black beside the picture): nothing behind needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LivePainterView::paintEvent(QPaintEvent *) {
    quint64 shown = 0;
    if (const auto picture = renderer_.takePicture(); picture && !picture->image.isNull()) {
        image_ = picture->image;
        extent_ = picture->extent;
        shown = picture->generation;
    }
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image_.isNull()) {
        const QRect place = PictureFit::fitPixels(extent_, rect());
        image_.setDevicePixelRatio(devicePixelRatioF());
        // The image was made for this place: a plain copy, unless a resize is waiting for the next one.
        if (image_.deviceIndependentSize().toSize() == place.size())
            painter.drawImage(place.topLeft(), image_);
        else
            painter.drawImage(QRectF(place), image_);
    }
    painter.end();
    if (shown) Q_EMIT pictureShown(shown);
}
