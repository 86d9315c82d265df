#include "ui/view/FrameRenderThread.h"

#include <libyuv.h>

#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "ui/view/PictureFit.h"

FrameRenderThread::FrameRenderThread(std::shared_ptr<FrameMailbox> mailbox, Output output,
                                     std::function<void()> pictureReady)
    : mailbox_(std::move(mailbox)), pictureReady_(std::move(pictureReady)), settings_{output, QSize(), 0},
      thread_([this] { run(); }) {}

FrameRenderThread::~FrameRenderThread() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void FrameRenderThread::setOutput(Output output) {
    std::lock_guard lock(mutex_);
    if (settings_.output == output) return;
    settings_.output = output;
    work_ = true;
    wake_.notify_one();
}

void FrameRenderThread::setViewport(QSize viewport) {
    std::lock_guard lock(mutex_);
    if (settings_.viewport == viewport) return;
    settings_.viewport = viewport;
    work_ = true;
    wake_.notify_one();
}

void FrameRenderThread::setMaxSize(int maxSize) {
    std::lock_guard lock(mutex_);
    if (settings_.maxSize == maxSize) return;
    settings_.maxSize = maxSize;
    work_ = true;
    wake_.notify_one();
}

void FrameRenderThread::setShowing(bool showing) {
    std::lock_guard lock(mutex_);
    showing_ = showing;
    if (showing) wake_.notify_one();
}

void FrameRenderThread::frameArrived() {
    std::lock_guard lock(mutex_);
    work_ = true;
    wake_.notify_one();
}

void FrameRenderThread::refresh() {
    std::lock_guard lock(mutex_);
    work_ = true;
    force_ = true;
    wake_.notify_one();
}

std::shared_ptr<const FrameRenderThread::Picture> FrameRenderThread::takePicture() {
    std::lock_guard lock(mutex_);
    return std::exchange(picture_, nullptr);
}

quint64 FrameRenderThread::renderedPictures() const {
    std::lock_guard lock(mutex_);
    return rendered_;
}

void FrameRenderThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || (showing_ && work_); });
        if (stop_) return;
        work_ = false;
        const bool force = std::exchange(force_, false);
        const Settings settings = settings_;
        lock.unlock();

        if (FrameMailbox::Letter letter = mailbox_->take()) {
            current_ = std::move(letter);
            currentRendered_ = false;
        }
        std::shared_ptr<Picture> picture;
        // A view of no size has nothing to show: the frame waits for a size.
        if (current_ && !settings.viewport.isEmpty() &&
            (!currentRendered_ || force || settings.output != currentOutput_ ||
             targetSize(*current_.frame, settings) != currentTarget_))
            picture = render(current_, settings);

        lock.lock();
        if (!picture) continue;
        picture_ = std::move(picture);
        ++rendered_;
        lock.unlock();
        if (pictureReady_) pictureReady_();
        lock.lock();
    }
}

QSize FrameRenderThread::targetSize(const Frame &frame, const Settings &settings) const {
    if (settings.output == Output::Planes)
        return PictureFit::coveringSize(frame.transform(), settings.viewport, settings.maxSize);
    return PictureFit::fitPixels(frame.size(), QRect(QPoint(0, 0), settings.viewport)).size();
}

std::shared_ptr<FrameRenderThread::Picture> FrameRenderThread::render(const FrameMailbox::Letter &letter,
                                                                      const Settings &settings) {
    const Frame &frame = *letter.frame;
    const QSize target = targetSize(frame, settings);
    currentTarget_ = target;
    currentOutput_ = settings.output;
    currentRendered_ = true;
    auto picture = std::make_shared<Picture>();
    picture->extent = frame.size();
    picture->generation = letter.generation;
    picture->postedAt = letter.postedAt;
    if (settings.output == Output::Planes) {
        // The screen mirrors in texture coordinates: decode the part as it is stored.
        const FrameTransform &transform = frame.transform();
        picture->hFlipped = transform.hFlipped();
        picture->vFlipped = transform.vFlipped();
        const auto stored =
            frame.withTransform(transform.mirrored(transform.hFlipped(), transform.vFlipped()));
        picture->planes = renderer_.render(*stored, target);
        return picture->planes ? picture : nullptr;
    }
    const std::shared_ptr<const I420Image> planes = renderer_.render(frame, target);
    if (!planes) return nullptr;
    QImage &image = recycledImage(planes->size());
    // libyuv's ARGB is B, G, R, A in memory: QImage's RGB32 on little-endian machines.
    libyuv::J420ToARGB(planes->y(), planes->strideY(), planes->u(), planes->strideU(), planes->v(),
                       planes->strideV(), image.bits(), int(image.bytesPerLine()), planes->width(),
                       planes->height());
    picture->image = image;
    return picture;
}

// An image of `size` that nobody else holds: the screen may still be drawing the previous one.
QImage &FrameRenderThread::recycledImage(QSize size) {
    for (QImage &image : images_)
        if (image.size() == size && image.isDetached()) return image;
    for (QImage &image : images_)
        if (image.isNull() || image.isDetached()) return image = QImage(size, QImage::Format_RGB32);
    return images_[0] = QImage(size, QImage::Format_RGB32);
}
