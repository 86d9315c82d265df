#include "streaming/JPEGPictureDecoder.h"

#include <turbojpeg.h>

JPEGPictureDecoder::JPEGPictureDecoder(DecodedPicture::Format format) : handle_(tjInitDecompress()) {
    picture_.format = format;
}

JPEGPictureDecoder::~JPEGPictureDecoder() {
    if (handle_) tjDestroy(handle_);
}

const DecodedPicture *JPEGPictureDecoder::decode(const std::uint8_t *data, std::size_t size) {
    lastError_.clear();
    if (!handle_) {
        lastError_ = "no TurboJPEG decompressor";
        return nullptr;
    }
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const auto jpegSize = static_cast<unsigned long>(size);
    if (tjDecompressHeader3(handle_, data, jpegSize, &width, &height, &subsampling, &colorspace) != 0) {
        lastError_ = tjGetErrorStr2(handle_);
        return nullptr;
    }
    if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > kMaxPixels) {
        lastError_ = "picture size " + std::to_string(width) + "x" + std::to_string(height) + " refused";
        return nullptr;
    }
    const bool ok = picture_.format == DecodedPicture::Format::YUV
                        ? decodeYUV(data, jpegSize, width, height, subsampling)
                        : decodeRGB(data, jpegSize, width, height);
    return ok ? &picture_ : nullptr;
}

bool JPEGPictureDecoder::decodeYUV(const std::uint8_t *data, unsigned long size, int width, int height,
                                   int subsampling) {
    if (subsampling < 0 || subsampling >= TJ_NUMSAMP) subsampling = TJSAMP_444;
    const bool grey = subsampling == TJSAMP_GRAY;
    picture_.planeCount = grey ? 1 : 3;
    picture_.chromaShiftX = tjMCUWidth[subsampling] / 8;
    picture_.chromaShiftY = tjMCUHeight[subsampling] / 8;
    std::size_t offsets[3] = {};
    std::size_t total = 0;
    for (int i = 0; i < picture_.planeCount; ++i) {
        const int w = tjPlaneWidth(i, width, subsampling);
        const int h = tjPlaneHeight(i, height, subsampling);
        picture_.strides[i] = w;
        offsets[i] = total;
        total += static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    }
    if (pixels_.size() < total) pixels_.resize(total);
    unsigned char *planes[3] = {};
    for (int i = 0; i < picture_.planeCount; ++i) {
        planes[i] = pixels_.data() + offsets[i];
        picture_.planes[i] = planes[i];
    }
    for (int i = picture_.planeCount; i < 3; ++i) {
        picture_.planes[i] = nullptr;
        picture_.strides[i] = 0;
    }
    picture_.width = width;
    picture_.height = height;
    return !failed(tjDecompressToYUVPlanes(handle_, data, size, planes, width, picture_.strides, height, 0));
}

bool JPEGPictureDecoder::decodeRGB(const std::uint8_t *data, unsigned long size, int width, int height) {
    const std::size_t total = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    if (pixels_.size() < total) pixels_.resize(total);
    picture_.planeCount = 1;
    picture_.planes[0] = pixels_.data();
    picture_.strides[0] = width * 3;
    picture_.planes[1] = picture_.planes[2] = nullptr;
    picture_.strides[1] = picture_.strides[2] = 0;
    picture_.width = width;
    picture_.height = height;
    return !failed(tjDecompress2(handle_, data, size, pixels_.data(), width, width * 3, height, TJPF_RGB, 0));
}

bool JPEGPictureDecoder::failed(int result) {
    if (result == 0) return false;
    lastError_ = tjGetErrorStr2(handle_);
    return tjGetErrorCode(handle_) != TJERR_WARNING;
}
