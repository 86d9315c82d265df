#include "photos/JpegFileStreamer.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <deque>
#include <jpeglib.h>
#include <mutex>
#include <thread>
#include <vector>

#include "photos/AtomicFileWriter.h"
#include "photos/PhotoWriter.h"

namespace {

constexpr size_t kChunkSize = 64 * 1024;
constexpr size_t kChunkCount = 4;

// The encoding thread's chunks, kept for the next photo: fresh memory would cost a page fault per
// 4 KiB, as much as the write it is meant to hide.
struct ChunkBuffers {
    std::array<std::vector<unsigned char>, kChunkCount> chunks;
    ChunkBuffers() {
        for (auto &chunk : chunks)
            chunk.assign(kChunkSize, 0);
    }
};

// Writes the chunks the encoder fills, in order, on a thread of its own. After a failed write the
// remaining chunks are only handed back, so the encoder can finish; the caller drops the file.
class ChunkWriter {
public:
    ChunkWriter(AtomicFileWriter &file, ChunkBuffers &buffers) : file_(file), buffers_(buffers) {
        for (size_t i = 0; i < kChunkCount; ++i)
            free_.push_back(i);
        thread_ = std::thread([this] { run(); });
    }
    ~ChunkWriter() { finish(); }
    ChunkWriter(const ChunkWriter &) = delete;
    ChunkWriter &operator=(const ChunkWriter &) = delete;

    unsigned char *takeFreeChunk() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty(); });
        const size_t index = free_.front();
        free_.pop_front();
        return buffers_.chunks[index].data();
    }

    void submit(const unsigned char *chunk, size_t length) {
        std::lock_guard lock(mutex_);
        full_.push_back({indexOf(chunk), length});
        changed_.notify_all();
    }

    // Waits for every submitted chunk; true when all were written.
    bool finish() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        return !failed_;
    }

private:
    struct Full {
        size_t index;
        size_t length;
    };

    size_t indexOf(const unsigned char *chunk) const {
        for (size_t i = 0; i < kChunkCount; ++i)
            if (buffers_.chunks[i].data() == chunk) return i;
        return 0;
    }

    void run() {
        for (;;) {
            Full next{};
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !full_.empty() || closing_; });
                if (full_.empty()) return;
                next = full_.front();
                full_.pop_front();
            }
            // Only this thread touches the file and failed_ until finish() has joined it.
            const auto *data = reinterpret_cast<const char *>(buffers_.chunks[next.index].data());
            if (!failed_ && !file_.write(data, static_cast<qint64>(next.length))) failed_ = true;
            std::lock_guard lock(mutex_);
            free_.push_back(next.index);
            changed_.notify_all();
        }
    }

    AtomicFileWriter &file_;
    ChunkBuffers &buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<size_t> free_;
    std::deque<Full> full_;
    bool closing_ = false;
    bool failed_ = false;
    std::thread thread_;
};

struct Destination {
    jpeg_destination_mgr pub;
    ChunkWriter *writer;
    unsigned char *chunk;
};

void initDestination(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    dest->chunk = dest->writer->takeFreeChunk();
    dest->pub.next_output_byte = dest->chunk;
    dest->pub.free_in_buffer = kChunkSize;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    dest->writer->submit(dest->chunk, kChunkSize);
    initDestination(cinfo);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    dest->writer->submit(dest->chunk, kChunkSize - dest->pub.free_in_buffer);
}

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void configure(jpeg_compress_struct &cinfo, const RenderedPicture &picture,
               const JpegFileStreamer::Options &options) {
    cinfo.image_width = static_cast<JDIMENSION>(picture.size.width());
    cinfo.image_height = static_cast<JDIMENSION>(picture.size.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    // TurboJPEG's default, so a photo is the same whichever way it was encoded.
    cinfo.dct_method = JDCT_FASTEST;
    cinfo.raw_data_in = TRUE;
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = static_cast<UINT16>(options.dotsPerInch);
}

// One band of 16 luma and 8 chroma rows at a time; rows past the bottom repeat the last one, as
// TurboJPEG pads.
void writeRows(jpeg_compress_struct &cinfo, const RenderedPicture &picture) {
    const int height = picture.size.height();
    const int chromaHeight = height / 2;
    std::array<JSAMPROW, 16> y{};
    std::array<JSAMPROW, 8> u{};
    std::array<JSAMPROW, 8> v{};
    JSAMPARRAY planes[3] = {y.data(), u.data(), v.data()};
    const auto row = [&](int plane, int index, int limit) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(std::min(index, limit - 1)) * picture.strides[plane];
        return const_cast<JSAMPROW>(picture.planes[plane] + offset);
    };
    for (int top = 0; top < height; top += 16) {
        for (int i = 0; i < 16; ++i)
            y[static_cast<size_t>(i)] = row(0, top + i, height);
        for (int i = 0; i < 8; ++i) {
            u[static_cast<size_t>(i)] = row(1, top / 2 + i, chromaHeight);
            v[static_cast<size_t>(i)] = row(2, top / 2 + i, chromaHeight);
        }
        jpeg_write_raw_data(&cinfo, planes, 16);
    }
}

// Everything between setjmp and the end lives in C structures only: a longjmp out of libjpeg
// must not skip a destructor.
bool compress(jpeg_compress_struct &cinfo, ErrorManager &err, Destination &dest,
              const RenderedPicture &picture, const JpegFileStreamer::Options &options) {
    if (setjmp(err.jump)) return false;
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;
    configure(cinfo, picture, options);
    jpeg_start_compress(&cinfo, TRUE);
    if (!options.exif.isEmpty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET *>(options.exif.constData()),
                          static_cast<unsigned int>(options.exif.size()));
    writeRows(cinfo, picture);
    jpeg_finish_compress(&cinfo);
    return true;
}

} // namespace

bool JpegFileStreamer::canStream(const RenderedPicture &picture) {
    return picture.isValid() && picture.format == RenderedPicture::Format::I420 &&
           picture.size.width() % 16 == 0 && picture.size.height() % 2 == 0 && picture.size.height() >= 2;
}

bool JpegFileStreamer::write(const RenderedPicture &picture, const Options &options, AtomicFileWriter &file,
                             QString *error) {
    if (!canStream(picture) || options.exif.size() > 65533) {
        if (error) *error = QStringLiteral("picture not suited to the streaming encoder");
        return false;
    }
    thread_local ChunkBuffers buffers;
    ChunkWriter writer(file, buffers);
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    Destination dest{};
    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = emptyOutputBuffer;
    dest.pub.term_destination = termDestination;
    dest.writer = &writer;
    const bool encoded = compress(cinfo, err, dest, picture, options);
    jpeg_destroy_compress(&cinfo);
    const bool written = writer.finish();
    if (!encoded) {
        if (error) *error = QStringLiteral("JPEG encoder: %1").arg(QString::fromLocal8Bit(err.message));
        return false;
    }
    if (!written) {
        if (error) *error = file.error();
        return false;
    }
    return true;
}
