#pragma once

#include <memory>

#include "capture/FramePointer.h"

class PixelBufferPool;
struct DecodedPicture;

// Turns the pictures a stream decoder hands out (valid only during the call, at the JPEG's own chroma
// subsampling) into live frames of the capture pipeline: I420 planes in pooled buffers, so a steady
// stream allocates nothing per frame. Thread-safe (the pool is); one builder may serve one stream.
class StreamFrameBuilder {
public:
    StreamFrameBuilder();
    ~StreamFrameBuilder();
    StreamFrameBuilder(const StreamFrameBuilder &) = delete;
    StreamFrameBuilder &operator=(const StreamFrameBuilder &) = delete;

    // Null for a picture that is not YUV or has no pixels.
    FramePointer frameOf(const DecodedPicture &picture) const;

private:
    std::shared_ptr<PixelBufferPool> pool_;
};
