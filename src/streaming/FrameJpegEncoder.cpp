#include "FrameJpegEncoder.h"

#include <turbojpeg.h>

#include "JpegFrame.h"
#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "core/DCLog.h"

FrameJpegEncoder::FrameJpegEncoder(int quality) : renderer_(2), handle_(tjInitCompress()), quality_(quality) {
    if (!handle_) DCLog("JPEGCompressor cannot create a TurboJPEG compressor: %s", tjGetErrorStr2(nullptr));
}

FrameJpegEncoder::~FrameJpegEncoder() {
    if (handle_) tjDestroy(static_cast<tjhandle>(handle_));
}

std::shared_ptr<const JpegFrame> FrameJpegEncoder::encode(const Frame &frame) {
    // Decoded planes shown as they are need no rendering (and no copy).
    if (!frame.hasJpeg() && frame.planes() && frame.transform().isIdentity()) return encode(*frame.planes());
    const std::shared_ptr<const I420Image> rendered = renderer_.render(frame); // logs its failures
    return rendered ? encode(*rendered) : nullptr;
}

std::shared_ptr<const JpegFrame> FrameJpegEncoder::encode(const I420Image &image) {
    const int width = image.width(), height = image.height();
    const unsigned long bound = tjBufSize(width, height, TJSAMP_420);
    if (!handle_ || width <= 0 || height <= 0 || bound == static_cast<unsigned long>(-1)) {
        DCLog("JPEGCompressor skips a frame it cannot compress: %dx%d", width, height);
        return nullptr;
    }
    // Compress straight into a buffer of TurboJPEG's worst-case size, then keep only the bytes used.
    if (buffer_.size() < bound) buffer_.resize(bound);
    unsigned char *output = buffer_.data();
    unsigned long size = bound;
    const unsigned char *planes[3] = {image.y(), image.u(), image.v()};
    int strides[3] = {image.strideY(), image.strideU(), image.strideV()};
    if (tjCompressFromYUVPlanes(static_cast<tjhandle>(handle_), planes, width, strides, height, TJSAMP_420,
                                &output, &size, quality_, TJFLAG_NOREALLOC) != 0) {
        DCLog("JPEGCompressor skips a frame it cannot compress: %s",
              tjGetErrorStr2(static_cast<tjhandle>(handle_)));
        return nullptr;
    }
    return JpegFrame::make(std::vector<std::uint8_t>(output, output + size));
}
