#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/FrameRenderer.h"

class Frame;
class I420Image;
class JpegFrame;

// Turns live frames into the stream's pictures: each frame is rendered through its transform (zoom
// crop, mirroring) into I420 planes and those are compressed as one baseline JPEG, 4:2:0.
//
// Renderer, TurboJPEG compressor and output buffer are kept from frame to frame, so a frame costs a
// decode (for camera JPEG) and an encode, nothing allocated but the finished picture's bytes.
// Not thread-safe: one per thread.
class FrameJpegEncoder {
public:
    explicit FrameJpegEncoder(int quality);
    ~FrameJpegEncoder();
    FrameJpegEncoder(const FrameJpegEncoder &) = delete;
    FrameJpegEncoder &operator=(const FrameJpegEncoder &) = delete;

    // The frame as it is displayed; none, with a log line, when it cannot be rendered or compressed.
    std::shared_ptr<const JpegFrame> encode(const Frame &frame);
    // Planes that are already displayed as they are.
    std::shared_ptr<const JpegFrame> encode(const I420Image &image);

private:
    FrameRenderer renderer_;
    void *handle_ = nullptr; // tjhandle
    std::vector<std::uint8_t> buffer_;
    const int quality_;
};
