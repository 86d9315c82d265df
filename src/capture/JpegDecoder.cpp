#include "capture/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>

#include <turbojpeg.h>

#include "capture/I420Image.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool failed;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    err->failed = true;
    std::longjmp(err->jump, 1);
}

// libjpeg goes on after a warning, filling what it could not read with grey. Only stray bytes between
// markers (common in camera streams and harmless) are let through; anything else means a damaged
// picture, which must not be shown as if it were whole.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    if (cinfo->err->msg_code == JWRN_EXTRANEOUS_DATA || err->failed) return;
    (*cinfo->err->format_message)(cinfo, err->message);
    err->failed = true;
}

} // namespace

struct JpegDecoder::Impl {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    std::vector<uint8_t> band;
    std::vector<uint8_t> scratch; // padded rows that do not fit the output planes
    QString error;
    // Whole pictures: made on first use, as most decoders never decode one.
    tjhandle turbo = nullptr;
    DecodedPicture picture;
    std::vector<uint8_t> pixels;

    Impl() {
        std::memset(&cinfo, 0, sizeof cinfo);
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = onError;
        err.pub.emit_message = onMessage;
        jpeg_create_decompress(&cinfo);
        // Bounded working memory whatever the header claims.
        cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
    }
    ~Impl() {
        jpeg_destroy_decompress(&cinfo);
        if (turbo) tjDestroy(turbo);
    }

    void begin(std::span<const uint8_t> jpeg) {
        err.failed = false;
        err.message[0] = 0;
        jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&cinfo, TRUE);
        const qint64 w = cinfo.image_width, h = cinfo.image_height;
        if (w > kMaxDimension || h > kMaxDimension || w * h > kMaxPixels) {
            std::snprintf(err.message, sizeof err.message, "picture of %lld x %lld is too large", w, h);
            err.failed = true;
        }
    }

    bool finish() {
        jpeg_abort_decompress(&cinfo);
        if (err.failed) error = QString::fromUtf8(err.message);
        return !err.failed;
    }

    bool fail() {
        jpeg_abort_decompress(&cinfo);
        error = QString::fromUtf8(err.message);
        return false;
    }

    // A warning (a picture cut short, say) still leaves a whole picture to show.
    bool turboFailed(int result) {
        if (result == 0) return false;
        error = QString::fromUtf8(tjGetErrorStr2(turbo));
        return tjGetErrorCode(turbo) != TJERR_WARNING;
    }

    bool decodeYUV(std::span<const uint8_t> jpeg, int width, int height, int subsampling) {
        if (subsampling < 0 || subsampling >= TJ_NUMSAMP) subsampling = TJSAMP_444;
        picture.planeCount = subsampling == TJSAMP_GRAY ? 1 : 3;
        picture.chromaShiftX = tjMCUWidth[subsampling] / 8;
        picture.chromaShiftY = tjMCUHeight[subsampling] / 8;
        size_t offsets[3] = {};
        size_t total = 0;
        for (int i = 0; i < picture.planeCount; ++i) {
            picture.strides[i] = tjPlaneWidth(i, width, subsampling);
            offsets[i] = total;
            total += size_t(picture.strides[i]) * size_t(tjPlaneHeight(i, height, subsampling));
        }
        if (pixels.size() < total) pixels.resize(total);
        unsigned char *planes[3] = {};
        for (int i = 0; i < 3; ++i) {
            planes[i] = i < picture.planeCount ? pixels.data() + offsets[i] : nullptr;
            picture.planes[i] = planes[i];
            if (i >= picture.planeCount) picture.strides[i] = 0;
        }
        return !turboFailed(tjDecompressToYUVPlanes(turbo, jpeg.data(),
                                                    static_cast<unsigned long>(jpeg.size()), planes, width,
                                                    picture.strides, height, 0));
    }

    bool decodeRGB(std::span<const uint8_t> jpeg, int width, int height) {
        const size_t total = size_t(width) * size_t(height) * 3;
        if (pixels.size() < total) pixels.resize(total);
        picture.planeCount = 1;
        picture.planes[0] = pixels.data();
        picture.strides[0] = width * 3;
        picture.planes[1] = picture.planes[2] = nullptr;
        picture.strides[1] = picture.strides[2] = 0;
        return !turboFailed(tjDecompress2(turbo, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                          pixels.data(), width, width * 3, height, TJPF_RGB, 0));
    }

    bool planarFriendly() const {
        if (cinfo.num_components == 1) return true;
        if (cinfo.num_components != 3 || cinfo.jpeg_color_space != JCS_YCbCr) return false;
        const jpeg_component_info *c = cinfo.comp_info;
        return c[0].h_samp_factor == 2 && (c[0].v_samp_factor == 1 || c[0].v_samp_factor == 2) &&
               c[1].h_samp_factor == 1 && c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 &&
               c[2].v_samp_factor == 1;
    }
};

JpegDecoder::JpegDecoder() : d_(std::make_unique<Impl>()) {}
JpegDecoder::~JpegDecoder() = default;

QString JpegDecoder::error() const {
    return d_->error;
}

bool JpegDecoder::readHeader(std::span<const uint8_t> jpeg, Header &header) {
    Impl &d = *d_;
    if (setjmp(d.err.jump)) return d.fail();
    d.begin(jpeg);
    header.size = QSize(int(d.cinfo.image_width), int(d.cinfo.image_height));
    header.components = d.cinfo.num_components;
    header.planarFriendly = d.planarFriendly();
    return d.finish();
}

bool JpegDecoder::decodePlanes(std::span<const uint8_t> jpeg, I420Image &out, bool vFlip) {
    Impl &d = *d_;
    jpeg_decompress_struct &cinfo = d.cinfo;
    if (setjmp(d.err.jump)) return d.fail();
    d.begin(jpeg);
    if (d.err.failed) return d.finish();
    if (!d.planarFriendly() || int(cinfo.image_width) != out.width() ||
        int(cinfo.image_height) != out.height()) {
        std::snprintf(d.err.message, sizeof d.err.message, "picture layout does not fit the planes");
        d.err.failed = true;
        return d.finish();
    }
    cinfo.raw_data_out = TRUE;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);

    const bool grey = cinfo.num_components == 1;
    const int maxV = cinfo.max_v_samp_factor;
    const int lumaRows = maxV * DCTSIZE;
    const int height = out.height();
    const int chromaHeight = out.chromaHeight();

    // Each component writes whole blocks; a plane narrower than that gets its rows through scratch.
    int padded[3] = {0, 0, 0};
    for (int c = 0; c < cinfo.num_components; ++c)
        padded[c] = int(cinfo.comp_info[c].width_in_blocks) * DCTSIZE;
    const int planeWidth[3] = {out.width(), out.chromaWidth(), out.chromaWidth()};
    const int stride[3] = {out.strideY(), out.strideU(), out.strideV()};
    uint8_t *const plane[3] = {out.y(), out.u(), out.v()};
    const int maxPadded = std::max({padded[0], padded[1], padded[2]});
    // Rows of one call per component, plus a row for everything that is thrown away.
    d.scratch.resize(size_t(maxPadded) * (lumaRows + 2 * DCTSIZE + 1));
    uint8_t *const trash = d.scratch.data() + size_t(maxPadded) * (lumaRows + 2 * DCTSIZE);

    JSAMPROW rows[3][2 * DCTSIZE];
    uint8_t *target[3][2 * DCTSIZE];
    JSAMPARRAY arrays[3] = {rows[0], rows[1], rows[2]};
    while (cinfo.output_scanline < cinfo.output_height) {
        const int base = int(cinfo.output_scanline);
        for (int c = 0; c < cinfo.num_components; ++c) {
            const int count = c == 0 ? lumaRows : DCTSIZE;
            const bool direct = padded[c] == planeWidth[c];
            for (int i = 0; i < count; ++i) {
                int outRow = -1;
                if (c == 0) {
                    outRow = base + i < height ? base + i : -1;
                } else {
                    const int sourceRow = base / maxV + i;
                    // 4:2:2 chroma has a row per picture row: keep every other one.
                    if (maxV == 2)
                        outRow = sourceRow;
                    else if (sourceRow % 2 == 0)
                        outRow = sourceRow / 2;
                    if (outRow >= chromaHeight) outRow = -1;
                }
                const int planeHeight = c == 0 ? height : chromaHeight;
                if (outRow >= 0 && vFlip) outRow = planeHeight - 1 - outRow;
                target[c][i] = outRow >= 0 ? plane[c] + size_t(stride[c]) * outRow : nullptr;
                const int spare = c == 0 ? i : lumaRows + (c - 1) * DCTSIZE + i;
                rows[c][i] = !target[c][i] ? trash
                             : direct      ? target[c][i]
                                           : d.scratch.data() + size_t(maxPadded) * spare;
            }
        }
        if (grey) {
            // A grey picture still needs chroma planes to be an I420 picture; they are filled below.
            for (int i = 0; i < DCTSIZE; ++i)
                rows[1][i] = rows[2][i] = trash;
        }
        jpeg_read_raw_data(&cinfo, arrays, JDIMENSION(lumaRows));
        for (int c = 0; c < cinfo.num_components; ++c) {
            if (padded[c] == planeWidth[c]) continue;
            const int count = c == 0 ? lumaRows : DCTSIZE;
            for (int i = 0; i < count; ++i)
                if (target[c][i]) std::memcpy(target[c][i], rows[c][i], size_t(planeWidth[c]));
        }
    }
    if (grey) {
        std::memset(out.u(), 128, size_t(out.strideU()) * chromaHeight);
        std::memset(out.v(), 128, size_t(out.strideV()) * chromaHeight);
    }
    return d.finish();
}

bool JpegDecoder::decodeBand(std::span<const uint8_t> jpeg, const QRect &rect, int scaleEighths, Band &band) {
    Impl &d = *d_;
    jpeg_decompress_struct &cinfo = d.cinfo;
    if (setjmp(d.err.jump)) return d.fail();
    d.begin(jpeg);
    if (d.err.failed) return d.finish();
    if (cinfo.num_components == 1) {
        cinfo.out_color_space = JCS_GRAYSCALE;
    } else if (cinfo.num_components == 3 && cinfo.jpeg_color_space == JCS_YCbCr) {
        cinfo.out_color_space = JCS_YCbCr;
    } else {
        std::snprintf(d.err.message, sizeof d.err.message, "unsupported colour space (%d components)",
                      cinfo.num_components);
        d.err.failed = true;
        return d.finish();
    }
    cinfo.scale_num = unsigned(std::clamp(scaleEighths, 1, 8));
    cinfo.scale_denom = 8;
    // Chroma is resampled afterwards anyway; smooth upsampling here would only cost time.
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);

    const int fullWidth = int(cinfo.image_width), fullHeight = int(cinfo.image_height);
    const int outWidth = int(cinfo.output_width), outHeight = int(cinfo.output_height);
    // The band in scaled pixels, never empty and never outside the picture.
    const int x0 = std::clamp(int(qint64(rect.left()) * outWidth / fullWidth), 0, outWidth - 1);
    const int y0 = std::clamp(int(qint64(rect.top()) * outHeight / fullHeight), 0, outHeight - 1);
    const int x1 =
        std::clamp(int((qint64(rect.right() + 1) * outWidth + fullWidth - 1) / fullWidth), x0 + 1, outWidth);
    const int y1 = std::clamp(int((qint64(rect.bottom() + 1) * outHeight + fullHeight - 1) / fullHeight),
                              y0 + 1, outHeight);

    JDIMENSION cropX = JDIMENSION(x0), cropWidth = JDIMENSION(x1 - x0);
    jpeg_crop_scanline(&cinfo, &cropX, &cropWidth);
    const int components = cinfo.output_components;
    const int stride = int(cinfo.output_width) * components;
    d.band.resize(size_t(stride) * (y1 - y0));
    if (y0 > 0) jpeg_skip_scanlines(&cinfo, JDIMENSION(y0));
    JSAMPROW rows[16];
    while (int(cinfo.output_scanline) < y1) {
        const int first = int(cinfo.output_scanline);
        const int count = std::min(16, y1 - first);
        for (int i = 0; i < count; ++i)
            rows[i] = d.band.data() + size_t(stride) * (first - y0 + i);
        if (jpeg_read_scanlines(&cinfo, rows, JDIMENSION(count)) == 0) {
            std::snprintf(d.err.message, sizeof d.err.message, "decoder stopped at row %d", first);
            d.err.failed = true;
            break;
        }
    }
    band.data = d.band.data() + size_t(x0 - int(cropX)) * components;
    band.stride = stride;
    band.components = components;
    band.size = QSize(x1 - x0, y1 - y0);
    return d.finish();
}

const DecodedPicture *JpegDecoder::decodePicture(std::span<const uint8_t> jpeg,
                                                 DecodedPicture::Format format) {
    Impl &d = *d_;
    if (!d.turbo) d.turbo = tjInitDecompress();
    if (!d.turbo) {
        d.error = QStringLiteral("no TurboJPEG decompressor");
        return nullptr;
    }
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(d.turbo, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width, &height,
                            &subsampling, &colorspace) != 0) {
        d.error = QString::fromUtf8(tjGetErrorStr2(d.turbo));
        return nullptr;
    }
    if (width <= 0 || height <= 0 || qint64(width) * height > kMaxPixels) {
        d.error = QStringLiteral("picture size %1x%2 refused").arg(width).arg(height);
        return nullptr;
    }
    d.picture.format = format;
    d.picture.width = width;
    d.picture.height = height;
    const bool ok = format == DecodedPicture::Format::YUV ? d.decodeYUV(jpeg, width, height, subsampling)
                                                          : d.decodeRGB(jpeg, width, height);
    return ok ? &d.picture : nullptr;
}
