#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <QRect>
#include <QSize>
#include <QString>

class I420Image;

// A whole decoded picture whose pixels belong to the decoder that made it: valid until that
// decoder's next call or its destruction. Copy what must live longer.
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

// The one JPEG decoder of the program, built on libjpeg-turbo. The frame path (readHeader,
// decodePlanes, decodeBand) goes through its scanline interface, which can skip rows, crop columns and
// thin chroma on the way, so a zoomed picture costs only the part that is shown; TurboJPEG 2.1 can do
// none of that. Whole pictures as they are (decodePicture, the stream client's) go through TurboJPEG.
//
// Keeps its decompressors and buffers between calls, so pictures of one size allocate nothing after
// the first. Not thread-safe: one per consumer thread. Every failure (corrupt or truncated data,
// unsupported picture) answers false or null with error() set.
class JpegDecoder {
public:
    struct Header {
        QSize size;
        int components = 0;
        // The whole picture can go straight into I420 planes (4:2:0, 4:2:2 or grey).
        bool planarFriendly = false;
    };

    // A band of decoded pixels, packed YCbCr (3 bytes a pixel) or grey (1 byte), owned by the decoder
    // and valid until its next call.
    struct Band {
        const uint8_t *data = nullptr;
        int stride = 0;
        int components = 0;
        QSize size;
    };

    // The largest picture accepted, so a hostile header cannot make us allocate gigabytes.
    static constexpr int kMaxDimension = 16384;
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;

    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder &) = delete;
    JpegDecoder &operator=(const JpegDecoder &) = delete;

    bool readHeader(std::span<const uint8_t> jpeg, Header &header);

    // The whole picture into `out` (same size), chroma rows thinned to 4:2:0 on the way; rows in
    // reverse order when `vFlip`. Only for pictures whose header is planarFriendly.
    bool decodePlanes(std::span<const uint8_t> jpeg, I420Image &out, bool vFlip);

    // The pixels of `rect` (top-left pixel coordinates of the full-size picture) after DCT scaling by
    // scaleEighths / 8 (1 to 8); rows below the band are never decoded.
    bool decodeBand(std::span<const uint8_t> jpeg, const QRect &rect, int scaleEighths, Band &band);

    // The whole picture in `format`, owned by the decoder; null when the bytes are not a decodable
    // JPEG. One that decodes with a warning (for instance cut short) still answers its picture.
    const DecodedPicture *decodePicture(std::span<const uint8_t> jpeg,
                                        DecodedPicture::Format format = DecodedPicture::Format::YUV);

    QString error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
