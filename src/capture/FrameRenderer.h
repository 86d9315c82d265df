#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QRect>
#include <QSize>

#include "capture/JpegDecoder.h"

class Frame;
class I420Image;
class PixelBufferPool;

// Turns a frame (pixels plus transform) into a display-ready I420 picture: the one place where frames
// get decoded, cropped, scaled and mirrored. The screen, the snapshot writer and the stream compressor
// each keep one.
//
// A zoomed JPEG frame decodes only the rows and columns that are shown (and at a reduced DCT scale when
// the output is smaller than that part); a whole picture goes straight into planes. Output pictures come
// from a small pool and go back to it when their last holder lets go; decoder, row buffers and scratch
// planes are kept between frames.
//
// Not thread-safe: one renderer per consumer thread. Output pictures may be read on any thread.
class FrameRenderer {
public:
    explicit FrameRenderer(size_t poolSize = 4);
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer &) = delete;
    FrameRenderer &operator=(const FrameRenderer &) = delete;

    // `frame` at its own size (its extent), or scaled to `outputSize` when one is given. Null when the
    // frame cannot be rendered (damaged or truncated JPEG, size other than declared, unsupported
    // picture); the first failure after a success is logged.
    std::shared_ptr<const I420Image> render(const Frame &frame, QSize outputSize = {});

    const PixelBufferPool &pool() const { return *pool_; }
    // Frames that could not be rendered since creation (each one logged or counted here).
    quint64 droppedFrames() const { return failures_; }

private:
    bool renderJpeg(const Frame &frame, const QRect &source, I420Image &out);
    bool renderPlanes(const I420Image &planes, const QRect &source, bool hFlip, bool vFlip, I420Image &out);
    bool renderBand(const JpegDecoder::Band &band, bool hFlip, bool vFlip, I420Image &out);
    void fail(const QString &why);

    JpegDecoder decoder_;
    std::shared_ptr<PixelBufferPool> pool_;
    std::shared_ptr<I420Image> wholePicture_; // a full decode that still needs scaling or mirroring
    std::vector<uint8_t> mirrored_;
    std::vector<uint8_t> split_;
    std::vector<uint8_t> scaled_;
    bool failing_ = false;
    quint64 failures_ = 0;
};
