#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include <QByteArray>
#include <QSize>

#include "capture/FrameTransform.h"

class I420Image;

// One picture of the live stream: the pixels as the camera delivered them (its JPEG bytes and/or
// decoded I420 planes) and the transform through which they are to be shown.
//
// Immutable and shared (std::shared_ptr<const Frame>), so any thread may hold and read it. A transformed
// frame shares the pixels of the frame it was made from; nothing is decoded until a consumer renders it
// (FrameRenderer).
class Frame {
public:
    // The camera's compressed picture, declared to be `pixelSize` big (the renderer refuses bytes whose
    // header says otherwise). `owner` keeps the bytes alive for as long as any frame shows them.
    static std::shared_ptr<const Frame> fromJpeg(std::span<const uint8_t> jpeg, QSize pixelSize,
                                                 std::shared_ptr<const void> owner);
    static std::shared_ptr<const Frame> fromJpeg(const QByteArray &jpeg, QSize pixelSize);
    // A picture that is already decoded.
    static std::shared_ptr<const Frame> fromPlanes(std::shared_ptr<const I420Image> planes);

    // The same pixels seen through `transform`, which must be made for pixelSize().
    std::shared_ptr<const Frame> withTransform(const FrameTransform &transform) const;

    // The extent: the size of the picture that rendering this frame gives.
    QSize size() const { return transform_.outputSize(); }
    // The size of the stored picture.
    QSize pixelSize() const { return transform_.pixelSize(); }
    const FrameTransform &transform() const { return transform_; }

    bool hasJpeg() const { return !pixels_->jpeg.empty(); }
    std::span<const uint8_t> jpeg() const { return pixels_->jpeg; }
    // Null when the frame holds only JPEG bytes.
    const I420Image *planes() const { return pixels_->planes.get(); }

    struct Pixels {
        std::span<const uint8_t> jpeg;
        std::shared_ptr<const void> owner;
        std::shared_ptr<const I420Image> planes;
    };
    Frame(std::shared_ptr<const Pixels> pixels, const FrameTransform &transform);

private:
    std::shared_ptr<const Pixels> pixels_;
    FrameTransform transform_;
};
