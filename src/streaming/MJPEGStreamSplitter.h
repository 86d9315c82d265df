#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Cuts the body of an MJPEG HTTP response into its JPEG images, as the bytes arrive.
//
// Two ways of framing are understood. A multipart response ("multipart/x-mixed-replace") carries every
// image as one part between boundary lines; the whole stream is one body. Some HTTP clients instead
// report every part as a response of its own ("image/jpeg"): then the bytes received since the last
// such response are the previous image.
//
// Multipart bodies are read the way real servers write them: CR LF or LF line ends, header names in any
// case, blanks around values, quoted or bare boundaries (also one that already starts with "--"), no
// first boundary, a per-part Content-Length (used when present and consistent, else the boundary is
// searched for) and parts that are not JPEG (skipped). Every search resumes where the previous one
// stopped, so a large image arriving in small pieces costs linear time.
//
// Memory is bounded: more than `maxBufferedBytes` of undelivered bytes ends the stream (append() answers
// false). Not thread-safe: one splitter belongs to one stream's thread.
class MJPEGStreamSplitter {
public:
    // An image exactly as received (SOI to EOI), shared and never changed after delivery.
    using Part = std::shared_ptr<const std::vector<std::uint8_t>>;
    using PartHandler = std::function<void(Part)>;
    // Things worth a log line that do not end the stream (a skipped part, an inconsistent length).
    using DiagnosticHandler = std::function<void(std::string_view)>;

    static constexpr std::size_t kMaxBufferedBytes = 32 * 1024 * 1024;
    // Part headers are a few short lines; anything longer is not a part header.
    static constexpr std::size_t kMaxPartHeaderBytes = 16 * 1024;

    explicit MJPEGStreamSplitter(PartHandler onPart, std::size_t maxBufferedBytes = kMaxBufferedBytes);

    void setDiagnosticHandler(DiagnosticHandler handler) { onDiagnostic_ = std::move(handler); }

    // A response header arrived with this Content-Type value (empty when the header is absent). Any type
    // but an image is read as multipart, its boundary taken from the body when the type names none.
    void response(std::string_view contentType);
    // Body bytes. Complete parts are delivered before this returns. Answers false when the stream has
    // to end because the undelivered bytes would exceed the bound; the buffer is then emptied.
    bool append(const void *data, std::size_t size);
    // The same without a copy, for reading straight from a socket: prepare() answers room for up to
    // `size` bytes at the end of the buffer, and commit() takes the `written` bytes of it as append()
    // would. Nothing else may touch the splitter in between.
    std::uint8_t *prepare(std::size_t size);
    bool commit(std::size_t written);
    // The body ended. Per-part responses deliver their last image; an unfinished multipart part is
    // dropped. Answers the number of bytes left over that never became an image.
    std::size_t finish();
    // Forgets buffered bytes (a stop); the boundary stays.
    void reset();

    // The part separator as the stream's own servers write it, "\n--" + boundary + "\n"; empty until
    // a multipart response header or the body has named a boundary.
    std::string separator() const;
    const std::string &boundaryParameter() const { return boundary_; }
    std::size_t bufferedBytes() const { return buffer_.size() - begin_; }
    std::uint64_t deliveredParts() const { return delivered_; }
    std::uint64_t skippedParts() const { return skipped_; }

    // The boundary parameter of a Content-Type value, unquoted; nullopt without one.
    static std::optional<std::string> boundaryOf(std::string_view contentType);

private:
    class PartPool;
    enum class Mode { Waiting, Multipart, PerPart };
    enum class State { Headers, Body, Discard };
    enum class Match { Yes, No, NeedMore };

    void process();
    bool processHeaders();
    bool processBody();
    bool processDiscard();
    bool findDelimiter(std::size_t from, std::size_t &lineStart, std::size_t &resumeAt) const;
    Match boundaryFollows(std::size_t at) const;
    bool isBoundaryLine(std::string_view line) const;
    void handleHeaderLine(std::string_view line);
    void startHeaders(std::size_t at);
    void startBody(std::size_t at);
    void deliver(std::size_t from, std::size_t to);
    void flushPerPart();
    void compact();
    void setBoundary(std::string boundary);
    void diagnose(std::string_view text);

    PartHandler onPart_;
    DiagnosticHandler onDiagnostic_;
    const std::size_t maxBuffered_;
    // Buffers of parts that were released, reused for the next parts: a fresh buffer of a large image
    // costs more in page faults than copying the image into it. Shared with the parts' deleters.
    std::shared_ptr<PartPool> pool_;

    // Grows without zeroing what a socket read will overwrite anyway.
    template <class T> struct UninitializedAllocator : std::allocator<T> {
        template <class U> struct rebind { using other = UninitializedAllocator<U>; };
        template <class U> void construct(U *p) noexcept { ::new (static_cast<void *>(p)) U; }
        template <class U, class... Args> void construct(U *p, Args &&...args) {
            ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
        }
    };
    std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> buffer_;
    std::size_t preparedAt_ = 0; // where the bytes of the last prepare() go
    std::size_t begin_ = 0;      // bytes before this are consumed

    Mode mode_ = Mode::Waiting;
    State state_ = State::Headers;
    std::string boundary_; // the parameter as given, without quotes
    std::string needle_;   // what a boundary line contains: "--" + boundary, or the boundary itself
    bool sawBoundaryLine_ = false;

    std::size_t pos_ = 0;         // where the next search starts
    std::size_t headerStart_ = 0; // start of the current part's header block
    std::size_t bodyStart_ = 0;
    bool haveHeaders_ = false;
    std::optional<std::size_t> contentLength_;

    std::uint64_t delivered_ = 0;
    std::uint64_t skipped_ = 0;
};
