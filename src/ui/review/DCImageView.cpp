#include "ui/review/DCImageView.h"

#include <QPainter>
#include <QPointer>

#include "core/DCLog.h"
#include "photos/PhotoImage.h"
#include "ui/view/PictureFit.h"

namespace {

// The width to decode for a view `width` wide: in steps, so a window resize does not start a decode at
// every pixel, and never below a sharp thumbnail's size.
int decodeWidthFor(int width) {
    constexpr int kStep = 256;
    return std::max(kStep, (width + kStep - 1) / kStep * kStep);
}

} // namespace

DCImageView::DCImageView(QWidget *parent)
    : QWidget(parent), generation_(std::make_shared<std::atomic<quint64>>(0)) {
    decoder_.setMaxThreadCount(1);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

DCImageView::~DCImageView() {
    ++*generation_;
    decoder_.clear();
    decoder_.waitForDone();
}

void DCImageView::setImage(const QImage &image) {
    image_ = image;
    update();
}

void DCImageView::setBackgroundColor(const QColor &color) {
    backgroundColor_ = color;
    update();
}

void DCImageView::setImageURL(const QUrl &url) {
    if (url == imageURL_ && !image_.isNull()) return;
    imageURL_ = url;
    reload();
}

void DCImageView::reload() {
    image_ = QImage();
    message_.clear();
    decodedForWidth_ = 0;
    update();
    load(decodeWidthFor(width() * devicePixelRatio()));
}

void DCImageView::load(int width) {
    const quint64 generation = ++*generation_;
    decoder_.clear(); // a decode not yet started for an older request is not needed
    if (imageURL_.isEmpty()) return;
    decodedForWidth_ = width;
    const QString path = imageURL_.toLocalFile();
    QPointer<DCImageView> self(this);
    auto current = generation_;
    decoder_.start([self, current, generation, path, width] {
        if (*current != generation) return;
        QString error;
        const QByteArray data = PhotoImage::readFile(path, &error);
        const QImage image = data.isEmpty() ? QImage() : PhotoImage::decodeData(data, width, &error);
        if (*current != generation) return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, image, error, width] {
                if (self) self->loaded(generation, image, error, width);
            },
            Qt::QueuedConnection);
    });
}

void DCImageView::loaded(quint64 generation, const QImage &image, const QString &error, int requestedWidth) {
    if (generation != *generation_) return;
    if (image.isNull()) {
        // Logged once per photo shown: the message stays until another photo is chosen.
        DCLog("Cannot show %s: %s", qUtf8Printable(imageURL_.toLocalFile()), qUtf8Printable(error));
        message_ = tr("This photo cannot be shown.");
    } else {
        message_.clear();
        decodedForWidth_ = std::min(requestedWidth, image.width());
    }
    image_ = image;
    update();
    Q_EMIT imageLoaded();
}

void DCImageView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const int wanted = decodeWidthFor(width() * devicePixelRatio());
    // Only a picture decoded smaller than the view is worth decoding again.
    if (!imageURL_.isEmpty() && message_.isEmpty() && wanted > decodedForWidth_ &&
        (image_.isNull() || image_.width() >= decodedForWidth_))
        load(wanted);
}

void DCImageView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor_.isValid() ? backgroundColor_ : palette().window().color());
    if (!image_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(PictureFit::fitRect(image_.size(), rect()), image_);
    } else if (!message_.isEmpty()) {
        painter.setPen(palette().text().color());
        painter.drawText(rect(), Qt::AlignCenter, message_);
    }
}
