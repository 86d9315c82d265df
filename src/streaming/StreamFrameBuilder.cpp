#include "streaming/StreamFrameBuilder.h"

#include <cstring>

#include <libyuv/planar_functions.h>
#include <libyuv/scale.h>

#include "capture/I420Image.h"
#include "capture/JpegDecoder.h"
#include "capture/PixelBufferPool.h"

namespace {

// Held frames plus the one being filled; more are simply allocated.
constexpr size_t kIdleBuffers = 4;

void copyChroma(const DecodedPicture &picture, int plane, uint8_t *to, int toWidth, int toHeight) {
    const int fromWidth = (picture.width + picture.chromaShiftX - 1) / picture.chromaShiftX;
    const int fromHeight = (picture.height + picture.chromaShiftY - 1) / picture.chromaShiftY;
    if (fromWidth == toWidth && fromHeight == toHeight) {
        libyuv::CopyPlane(picture.planes[plane], picture.strides[plane], to, toWidth, toWidth, toHeight);
        return;
    }
    libyuv::ScalePlane(picture.planes[plane], picture.strides[plane], fromWidth, fromHeight, to, toWidth,
                       toWidth, toHeight, libyuv::kFilterBox);
}

} // namespace

StreamFrameBuilder::StreamFrameBuilder() : pool_(PixelBufferPool::create(kIdleBuffers)) {}

StreamFrameBuilder::~StreamFrameBuilder() = default;

FramePointer StreamFrameBuilder::frameOf(const DecodedPicture &picture) const {
    if (picture.format != DecodedPicture::Format::YUV || picture.planeCount < 1 || picture.width <= 0 ||
        picture.height <= 0)
        return nullptr;
    auto image = I420Image::create(QSize(picture.width, picture.height), pool_.get());
    if (!image) return nullptr;
    libyuv::CopyPlane(picture.planes[0], picture.strides[0], image->y(), image->strideY(), picture.width,
                      picture.height);
    const int chromaWidth = image->chromaWidth();
    const int chromaHeight = image->chromaHeight();
    if (picture.planeCount < 3) { // grey: no colour
        std::memset(image->u(), 128, size_t(chromaWidth) * chromaHeight);
        std::memset(image->v(), 128, size_t(chromaWidth) * chromaHeight);
    } else {
        copyChroma(picture, 1, image->u(), chromaWidth, chromaHeight);
        copyChroma(picture, 2, image->v(), chromaWidth, chromaHeight);
    }
    return Frame::fromPlanes(std::move(image));
}
