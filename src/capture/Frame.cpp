#include "capture/Frame.h"

#include "capture/I420Image.h"

std::shared_ptr<const Frame> Frame::fromJpeg(std::span<const uint8_t> jpeg, QSize pixelSize,
                                             std::shared_ptr<const void> owner) {
    if (jpeg.empty() || pixelSize.isEmpty()) return nullptr;
    auto pixels = std::make_shared<Pixels>();
    pixels->jpeg = jpeg;
    pixels->owner = std::move(owner);
    return std::make_shared<const Frame>(std::move(pixels), FrameTransform(pixelSize));
}

std::shared_ptr<const Frame> Frame::fromJpeg(const QByteArray &jpeg, QSize pixelSize) {
    // QByteArray shares its bytes: the copy held by the owner keeps them alive and unchanged.
    auto owner = std::make_shared<const QByteArray>(jpeg);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(owner->constData()),
                                         size_t(owner->size()));
    return fromJpeg(bytes, pixelSize, owner);
}

std::shared_ptr<const Frame> Frame::fromPlanes(std::shared_ptr<const I420Image> planes) {
    if (!planes || planes->size().isEmpty()) return nullptr;
    const QSize size = planes->size();
    auto pixels = std::make_shared<Pixels>();
    pixels->planes = std::move(planes);
    return std::make_shared<const Frame>(std::move(pixels), FrameTransform(size));
}

std::shared_ptr<const Frame> Frame::withTransform(const FrameTransform &transform) const {
    return std::make_shared<const Frame>(pixels_, transform);
}

Frame::Frame(std::shared_ptr<const Pixels> pixels, const FrameTransform &transform)
    : pixels_(std::move(pixels)), transform_(transform) {}
