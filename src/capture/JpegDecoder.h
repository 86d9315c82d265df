#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <QRect>
#include <QSize>
#include <QString>

class I420Image;

// Decodes JPEG pictures with libjpeg-turbo's scanline interface, which (unlike a plain TurboJPEG
// decode) can skip rows and crop columns, so a zoomed picture costs only the part that is shown.
//
// Keeps its decompressor and row buffers between calls. Not thread-safe: one per consumer thread.
// Every failure (corrupt or truncated data, unsupported picture) answers false with error() set.
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

    QString error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
