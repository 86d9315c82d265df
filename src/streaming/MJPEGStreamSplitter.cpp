#include "streaming/MJPEGStreamSplitter.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

// Bytes kept in front of the unconsumed data when the buffer is compacted: a boundary line is recognised
// by the line end (and dashes) just before it, which may precede the part being searched.
constexpr std::size_t kKeepBefore = 4;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isSpace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool containsNoCase(std::string_view haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [](char x, char y) { return lower(x) == lower(y); }) != haystack.end();
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::optional<std::size_t> parseLength(std::string_view value) {
    if (value.empty() || value.size() > 12) return std::nullopt;
    std::size_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    return n;
}

std::size_t minus(std::size_t value, std::size_t amount) {
    return value > amount ? value - amount : 0;
}

} // namespace

// Thread-safe: parts are released on whatever thread held them last.
class MJPEGStreamSplitter::PartPool {
public:
    using Buffer = std::vector<std::uint8_t>;

    std::unique_ptr<Buffer> take() {
        std::lock_guard lock(mutex_);
        if (spare_.empty()) return std::make_unique<Buffer>();
        std::unique_ptr<Buffer> buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
    }

    void give(Buffer *buffer) {
        std::unique_ptr<Buffer> owned(buffer);
        std::lock_guard lock(mutex_);
        if (spare_.size() < kMaxSpare) spare_.push_back(std::move(owned));
    }

    // Wraps a filled buffer as a part whose release hands the buffer back.
    static Part share(const std::shared_ptr<PartPool> &pool, std::unique_ptr<Buffer> buffer) {
        return Part(buffer.release(),
                    [pool](const Buffer *released) { pool->give(const_cast<Buffer *>(released)); });
    }

private:
    static constexpr std::size_t kMaxSpare = 4;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Buffer>> spare_;
};

MJPEGStreamSplitter::MJPEGStreamSplitter(PartHandler onPart, std::size_t maxBufferedBytes)
    : onPart_(std::move(onPart)), maxBuffered_(maxBufferedBytes), pool_(std::make_shared<PartPool>()) {}

std::optional<std::string> MJPEGStreamSplitter::boundaryOf(std::string_view contentType) {
    std::size_t at = contentType.find(';');
    while (at != std::string_view::npos) {
        std::string_view rest = contentType.substr(at + 1);
        const std::size_t eq = rest.find('=');
        const std::size_t semi = rest.find(';');
        if (eq == std::string_view::npos) return std::nullopt;
        if (semi != std::string_view::npos && semi < eq) {
            at += 1 + semi;
            continue;
        }
        const std::string_view name = trim(rest.substr(0, eq));
        std::string_view value = rest.substr(eq + 1);
        while (!value.empty() && isBlank(value.front()))
            value.remove_prefix(1);
        std::size_t valueEnd;
        if (!value.empty() && value.front() == '"') {
            value.remove_prefix(1);
            valueEnd = value.find('"');
        } else {
            valueEnd = value.find(';');
        }
        const std::string_view parsed = trim(value.substr(0, valueEnd));
        if (equalsNoCase(name, "boundary")) {
            std::string boundary(parsed);
            std::erase(boundary, '"');
            return boundary;
        }
        if (valueEnd == std::string_view::npos) return std::nullopt;
        const std::size_t next = value.find(';', valueEnd);
        if (next == std::string_view::npos) return std::nullopt;
        at = static_cast<std::size_t>(value.data() + next - contentType.data());
    }
    return std::nullopt;
}

void MJPEGStreamSplitter::response(std::string_view contentType) {
    if (containsNoCase(contentType, "image/")) {
        // The bytes so far are the previous part.
        if (bufferedBytes() > 0) flushPerPart();
        mode_ = Mode::PerPart;
        return;
    }
    // Some servers label their multipart stream as something else (application/octet-stream) or not at
    // all; the boundary lines in the body tell.
    if (!contentType.empty() && !containsNoCase(contentType, "multipart/"))
        diagnose("Content-Type \"" + std::string(contentType) +
                 "\" is not multipart; reading it as multipart");
    if (auto boundary = boundaryOf(contentType)) setBoundary(std::move(*boundary));
    mode_ = Mode::Multipart;
    sawBoundaryLine_ = false;
    startHeaders(begin_);
    process();
}

bool MJPEGStreamSplitter::append(const void *data, std::size_t size) {
    if (size == 0) return true;
    std::memcpy(prepare(size), data, size);
    return commit(size);
}

std::uint8_t *MJPEGStreamSplitter::prepare(std::size_t size) {
    compact();
    preparedAt_ = buffer_.size();
    buffer_.resize(preparedAt_ + size);
    return buffer_.data() + preparedAt_;
}

bool MJPEGStreamSplitter::commit(std::size_t written) {
    if (preparedAt_ > buffer_.size()) return true; // reset() came in between: the bytes are dropped
    buffer_.resize(preparedAt_ + std::min(written, buffer_.size() - preparedAt_));
    if (written == 0) return true;
    if (mode_ == Mode::Multipart) process();
    if (bufferedBytes() > maxBuffered_) {
        reset();
        return false;
    }
    return true;
}

std::size_t MJPEGStreamSplitter::finish() {
    if (mode_ == Mode::PerPart && bufferedBytes() > 0) flushPerPart();
    // A last part with a length needs no boundary after it.
    if (mode_ == Mode::Multipart && state_ == State::Body && contentLength_ &&
        buffer_.size() >= bodyStart_ + *contentLength_) {
        deliver(bodyStart_, bodyStart_ + *contentLength_);
        begin_ = buffer_.size();
    } else if (mode_ == Mode::Multipart && state_ == State::Headers) {
        begin_ = buffer_.size(); // header lines of a part that never came
    }
    const std::size_t left = bufferedBytes();
    reset();
    return left;
}

void MJPEGStreamSplitter::reset() {
    buffer_.clear();
    begin_ = 0;
    startHeaders(0);
}

std::string MJPEGStreamSplitter::separator() const {
    return boundary_.empty() ? std::string() : "\n--" + boundary_ + "\n";
}

void MJPEGStreamSplitter::setBoundary(std::string boundary) {
    std::erase(boundary, '"');
    boundary_ = std::move(boundary);
    if (boundary_.empty())
        needle_.clear();
    else
        needle_ = startsWith(boundary_, "--") ? boundary_ : "--" + boundary_;
}

void MJPEGStreamSplitter::process() {
    for (;;) {
        bool progressed = false;
        switch (state_) {
        case State::Headers:
            progressed = processHeaders();
            break;
        case State::Body:
            progressed = processBody();
            break;
        case State::Discard:
            progressed = processDiscard();
            break;
        }
        if (!progressed) return;
    }
}

bool MJPEGStreamSplitter::processHeaders() {
    const auto *data = buffer_.data();
    const std::size_t end = buffer_.size();
    for (;;) {
        // A JPEG straight after a boundary line (or at the very start) has no part header.
        if (!haveHeaders_ && end - pos_ >= 2 && data[pos_] == 0xFF && data[pos_ + 1] == 0xD8) {
            startBody(pos_);
            return true;
        }
        if (pos_ == end) return false;
        const void *newline = std::memchr(data + pos_, '\n', end - pos_);
        const std::size_t lineEnd =
            newline ? static_cast<std::size_t>(static_cast<const std::uint8_t *>(newline) - data) : end;
        if (lineEnd - headerStart_ > kMaxPartHeaderBytes) {
            diagnose("A part header is longer than " + std::to_string(kMaxPartHeaderBytes) +
                     " bytes; skipping to the next boundary");
            state_ = State::Discard;
            return true;
        }
        if (!newline) return false;

        const std::string_view line =
            trim(std::string_view(reinterpret_cast<const char *>(data) + pos_, lineEnd - pos_));
        const std::size_t next = lineEnd + 1;
        if (line.empty()) {
            if (haveHeaders_) {
                startBody(next);
                return true;
            }
            startHeaders(next); // blank lines between parts
            continue;
        }
        if (!sawBoundaryLine_ && startsWith(line, "--") && line.size() > 2 && !isBoundaryLine(line)) {
            // The body names another boundary than the header (or the header named none): the body wins.
            if (!boundary_.empty())
                diagnose("The stream's boundary differs from its header's; using the stream's");
            std::string_view found = line.substr(2);
            if (found.size() > 2 && found.substr(found.size() - 2) == "--") found.remove_suffix(2);
            setBoundary(std::string(found));
        }
        if (isBoundaryLine(line)) {
            sawBoundaryLine_ = true;
            startHeaders(next);
            continue;
        }
        handleHeaderLine(line);
        pos_ = next;
        begin_ = next;
    }
}

void MJPEGStreamSplitter::handleHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return; // a preamble or noise line, not a header
    haveHeaders_ = true;
    const std::string_view name = trim(line.substr(0, colon));
    if (!equalsNoCase(name, "content-length")) return;
    const auto length = parseLength(trim(line.substr(colon + 1)));
    if (!length)
        diagnose("Ignoring an invalid part Content-Length");
    else if (*length > maxBuffered_)
        diagnose("Ignoring a part Content-Length of " + std::to_string(*length) + " bytes");
    else
        contentLength_ = length;
}

bool MJPEGStreamSplitter::processBody() {
    if (contentLength_) {
        const std::size_t bodyEnd = bodyStart_ + *contentLength_;
        if (buffer_.size() < bodyEnd) return false;
        const Match match = boundaryFollows(bodyEnd);
        if (match == Match::NeedMore) return false;
        if (match == Match::Yes) {
            deliver(bodyStart_, bodyEnd);
            startHeaders(bodyEnd);
            return true;
        }
        diagnose("A part's Content-Length does not end at a boundary; searching for the boundary");
        contentLength_.reset();
        pos_ = bodyStart_;
    }
    if (needle_.empty()) return false; // no boundary known: only the end of the body ends this part
    std::size_t lineStart = 0;
    std::size_t resumeAt = 0;
    if (!findDelimiter(pos_, lineStart, resumeAt)) {
        pos_ = resumeAt;
        return false;
    }
    // The line end in front of the boundary line belongs to the separator, not to the image.
    std::size_t partEnd = std::max(bodyStart_, lineStart - 1);
    if (partEnd > bodyStart_ && buffer_[partEnd - 1] == '\r') --partEnd;
    deliver(bodyStart_, partEnd);
    startHeaders(lineStart);
    return true;
}

bool MJPEGStreamSplitter::processDiscard() {
    std::size_t lineStart = 0;
    std::size_t resumeAt = 0;
    if (needle_.empty() || !findDelimiter(pos_, lineStart, resumeAt)) {
        pos_ = needle_.empty() ? buffer_.size() : resumeAt;
        begin_ = pos_;
        return false;
    }
    ++skipped_;
    startHeaders(lineStart);
    return true;
}

bool MJPEGStreamSplitter::findDelimiter(std::size_t from, std::size_t &lineStart,
                                        std::size_t &resumeAt) const {
    const auto *data = buffer_.data();
    const std::size_t end = buffer_.size();
    const std::size_t n = needle_.size();
    const bool dashed = startsWith(boundary_, "--");
    std::size_t at = from;
    while (end - at >= n) {
        const void *hit = memmem(data + at, end - at, needle_.data(), n);
        if (!hit) break;
        const std::size_t h = static_cast<std::size_t>(static_cast<const std::uint8_t *>(hit) - data);
        std::size_t start = std::string::npos;
        if (h >= 1 && data[h - 1] == '\n')
            start = h;
        else if (dashed && h >= 3 && data[h - 1] == '-' && data[h - 2] == '-' && data[h - 3] == '\n')
            start = h - 2;
        if (start != std::string::npos) {
            if (h + n >= end) { // the line's end decides, and it has not arrived
                resumeAt = h;
                return false;
            }
            const std::uint8_t after = data[h + n];
            if (after == '\r' || after == '\n' || after == '-' || isBlank(static_cast<char>(after))) {
                lineStart = start;
                return true;
            }
        }
        at = h + 1;
    }
    resumeAt = std::max(from, end >= n ? end - n + 1 : 0);
    resumeAt = std::max(resumeAt, at);
    return false;
}

MJPEGStreamSplitter::Match MJPEGStreamSplitter::boundaryFollows(std::size_t at) const {
    if (needle_.empty()) return Match::Yes;
    const std::size_t end = buffer_.size();
    for (int i = 0; i < 4 && at < end && isSpace(buffer_[at]); ++i)
        ++at;
    const std::string_view rest(reinterpret_cast<const char *>(buffer_.data()) + at, end - at);
    const auto check = [&](const std::string &expected) {
        const std::size_t n = std::min(rest.size(), expected.size());
        if (rest.substr(0, n) != std::string_view(expected).substr(0, n)) return Match::No;
        return n == expected.size() ? Match::Yes : Match::NeedMore;
    };
    const Match plain = check(needle_);
    if (plain != Match::No || !startsWith(boundary_, "--")) return plain;
    return check("--" + needle_);
}

bool MJPEGStreamSplitter::isBoundaryLine(std::string_view line) const {
    if (needle_.empty()) return false;
    if (startsWith(line, needle_)) {
        const std::string_view rest = line.substr(needle_.size());
        if (rest.empty() || rest == "--") return true;
    }
    if (startsWith(boundary_, "--") && startsWith(line, "--")) {
        const std::string_view inner = line.substr(2);
        return startsWith(inner, needle_) &&
               (inner.size() == needle_.size() || inner.substr(needle_.size()) == "--");
    }
    return false;
}

void MJPEGStreamSplitter::startHeaders(std::size_t at) {
    state_ = State::Headers;
    pos_ = at;
    headerStart_ = at;
    begin_ = at;
    haveHeaders_ = false;
    contentLength_.reset();
}

void MJPEGStreamSplitter::startBody(std::size_t at) {
    state_ = State::Body;
    bodyStart_ = at;
    pos_ = at;
    begin_ = at;
}

void MJPEGStreamSplitter::deliver(std::size_t from, std::size_t to) {
    while (to > from && isSpace(buffer_[to - 1]))
        --to;
    const std::uint8_t *data = buffer_.data();
    const std::size_t size = to - from;
    if (size >= 4 && data[from] == 0xFF && data[from + 1] == 0xD8 && data[from + 2] == 0xFF) {
        ++delivered_;
        if (!onPart_) return;
        std::unique_ptr<PartPool::Buffer> buffer = pool_->take();
        buffer->assign(data + from, data + to);
        onPart_(PartPool::share(pool_, std::move(buffer)));
        return;
    }
    ++skipped_;
    diagnose("Skipped a part that is not a JPEG image (" + std::to_string(size) + " bytes)");
}

void MJPEGStreamSplitter::flushPerPart() {
    const std::uint8_t *data = buffer_.data() + begin_;
    std::size_t n = bufferedBytes();
    // The last end-of-image marker: an embedded thumbnail ends with one too, well before the image's.
    while (n >= 2) {
        const void *hit = memrchr(data + 1, 0xD9, n - 1);
        if (!hit) break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const std::uint8_t *>(hit) - data);
        if (data[at - 1] == 0xFF) {
            deliver(begin_, begin_ + at + 1);
            reset();
            return;
        }
        n = at;
    }
    diagnose("Invalid JPEG");
    ++skipped_;
    reset();
}

void MJPEGStreamSplitter::compact() {
    const std::size_t drop = minus(begin_, kKeepBefore);
    if (drop == 0) return;
    if (drop < buffer_.size() / 2) return; // amortised: move the tail only when it is the smaller half
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop));
    begin_ -= drop;
    pos_ = minus(pos_, drop);
    headerStart_ = minus(headerStart_, drop);
    bodyStart_ = minus(bodyStart_, drop);
}

void MJPEGStreamSplitter::diagnose(std::string_view text) {
    if (onDiagnostic_) onDiagnostic_(text);
}
