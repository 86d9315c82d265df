#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A decoded picture whose pixels belong to the decoder that made it: valid until that decoder's next
// decode() or its destruction. Copy what must live longer.
struct DecodedPicture {
    enum class Format {
        YUV, // planar Y, Cb, Cr at the JPEG's own chroma subsampling (no colour conversion)
        RGB, // one plane, 3 bytes per pixel, top row first
    };
    Format format = Format::YUV;
    int width = 0;
    int height = 0;
    // Horizontal and vertical chroma subsampling factors for YUV (1 or 2; 2,1 is 4:2:2, 2,2 is 4:2:0).
    // A grey JPEG has only the Y plane.
    int chromaShiftX = 1;
    int chromaShiftY = 1;
    int planeCount = 0;
    const std::uint8_t *planes[3] = {};
    int strides[3] = {};
};

// Decodes JPEG images with one TurboJPEG handle and reused pixel buffers, so a stream of pictures of
// one size allocates nothing after the first. Not thread-safe: one decoder per stream thread.
class JPEGPictureDecoder {
public:
    // Pictures larger than this are refused: a JPEG header may claim any size.
    static constexpr std::int64_t kMaxPixels = 64LL * 1024 * 1024;

    explicit JPEGPictureDecoder(DecodedPicture::Format format = DecodedPicture::Format::YUV);
    ~JPEGPictureDecoder();
    JPEGPictureDecoder(const JPEGPictureDecoder &) = delete;
    JPEGPictureDecoder &operator=(const JPEGPictureDecoder &) = delete;

    // Answers the picture, or nullptr when the bytes are not a decodable JPEG (lastError() says why).
    // A JPEG that decodes with a warning (for instance cut short) still answers its picture.
    const DecodedPicture *decode(const std::uint8_t *data, std::size_t size);
    const std::string &lastError() const { return lastError_; }

private:
    bool decodeYUV(const std::uint8_t *data, unsigned long size, int width, int height, int subsampling);
    bool decodeRGB(const std::uint8_t *data, unsigned long size, int width, int height);
    bool failed(int result);

    void *handle_ = nullptr; // tjhandle; kept out of this header
    DecodedPicture picture_;
    std::vector<std::uint8_t> pixels_;
    std::string lastError_;
};
