#include "streaming/MJPEGStreamClient.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include "core/DCLog.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kRawReadSize = 1024 * 1024;
constexpr int kReceiveBufferSize = 4 * 1024 * 1024;
constexpr std::uint32_t kMaxResponseHeader = 64 * 1024;
// A broken stream could otherwise fill the log with one line per part.
constexpr int kMaxWarningsPerStream = 20;

} // namespace

// One connection, from resolving the host to the end of the body. Lives on the stream's thread; only
// `stopping_` and the io_context's stop() are touched from elsewhere.
class MJPEGStreamClient::Session {
public:
    explicit Session(Settings settings)
        : settings_(std::move(settings)), resolver_(ioc_), stream_(ioc_), timer_(ioc_),
          splitter_([this](MJPEGStreamSplitter::Part part) { onPart(std::move(part)); }) {
        splitter_.setDiagnosticHandler([this](std::string_view text) { warn(std::string(text)); });
        if (settings_.onPicture) decoder_.emplace();
    }

    void run() {
        startResolve();
        ioc_.run();
    }

    bool hasFinished() const { return finished_; }
    bool isStopping() const { return stopping_; }
    void markFinished() { finished_ = true; }

    void requestStop() {
        stopping_ = true;
        ioc_.stop();
    }

private:
    QString describedURL() const { return settings_.url.toDisplayString(QUrl::RemovePassword); }

    void startResolve() {
        const QUrl &url = settings_.url;
        if (!url.isValid() || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 ||
            url.host().isEmpty()) {
            fail("unsupported stream URL");
            return;
        }
        const int port = url.port(80);
        target_ = url.path(QUrl::FullyEncoded).toStdString();
        if (target_.empty()) target_ = "/";
        if (url.hasQuery()) target_ += "?" + url.query(QUrl::FullyEncoded).toStdString();
        host_ = url.host(QUrl::FullyEncoded).toStdString();
        hostHeader_ = port == 80 ? host_ : host_ + ":" + std::to_string(port);
        if (host_.find(':') != std::string::npos) hostHeader_ = "[" + host_ + "]:" + std::to_string(port);

        timer_.expires_after(settings_.connectTimeout);
        timer_.async_wait([this](beast::error_code ec) {
            if (ec) return; // cancelled: connected in time
            timedOut_ = true;
            resolver_.cancel();
        });
        resolver_.async_resolve(host_, std::to_string(port),
                                [this](beast::error_code ec, tcp::resolver::results_type results) {
                                    onResolve(ec, std::move(results));
                                });
    }

    void onResolve(beast::error_code ec, tcp::resolver::results_type results) {
        if (ec) return failConnect(ec);
        stream_.expires_at(timer_.expiry());
        stream_.async_connect(results,
                              [this](beast::error_code ec, const tcp::endpoint &) { onConnect(ec); });
    }

    void onConnect(beast::error_code ec) {
        if (ec == beast::error::timeout) timedOut_ = true;
        if (ec || timedOut_) return failConnect(ec);
        timer_.cancel();
        stream_.expires_never();
        request_.method(http::verb::get);
        request_.target(target_);
        request_.version(11);
        request_.set(http::field::host, hostHeader_);
        request_.set(http::field::user_agent, "Korva Lectern");
        request_.set(http::field::accept, "multipart/x-mixed-replace, image/jpeg, */*");
        const QUrl &url = settings_.url;
        if (!url.userName().isEmpty() || !url.password().isEmpty()) {
            const QByteArray credentials =
                (url.userName(QUrl::FullyDecoded) + QLatin1Char(':') + url.password(QUrl::FullyDecoded))
                    .toUtf8()
                    .toBase64();
            request_.set(http::field::authorization, "Basic " + credentials.toStdString());
        }
        http::async_write(stream_, request_, [this](beast::error_code ec, std::size_t) { onWrite(ec); });
    }

    void onWrite(beast::error_code ec) {
        if (ec) return fail(ec.message());
        parser_.emplace();
        parser_->header_limit(kMaxResponseHeader);
        parser_->body_limit(std::numeric_limits<std::uint64_t>::max()); // an endless body is the point
        http::async_read_header(stream_, buffer_, *parser_,
                                [this](beast::error_code ec, std::size_t) { onHeader(ec); });
    }

    void onHeader(beast::error_code ec) {
        if (ec) return fail(ec.message());
        const auto &response = parser_->get();
        const unsigned status = response.result_int();
        if (status < 200 || status > 299) {
            return fail("HTTP status " + std::to_string(status) + " " + std::string(response.reason()));
        }
        const auto contentType = response[http::field::content_type];
        splitter_.response(std::string_view(contentType.data(), contentType.size()));
        if (parser_->is_done()) return finish();
        if (parser_->chunked()) return startRead();
        // A plain body (up to the close or a length) is read straight from the socket in large pieces:
        // the parser would only copy it through a small buffer, one more system call per 64 KiB.
        remaining_.reset();
        if (const auto length = parser_->content_length()) remaining_ = *length;
        const auto early = buffer_.data();
        const std::size_t take = std::min<std::uint64_t>(early.size(), remaining_.value_or(early.size()));
        if (!deliver(static_cast<const std::uint8_t *>(early.data()), take)) return;
        buffer_.consume(buffer_.size());
        if (remaining_ && *remaining_ == 0) return finish();
        // A large receive buffer lets every read take more at once: fewer wake-ups per image.
        beast::error_code ignored;
        stream_.socket().set_option(asio::socket_base::receive_buffer_size(kReceiveBufferSize), ignored);
        startRawRead();
    }

    // The bytes go straight into the splitter's buffer, never past the end of a body of known length.
    void startRawRead() {
        const std::size_t want = std::min<std::uint64_t>(kRawReadSize, remaining_.value_or(kRawReadSize));
        std::uint8_t *room = splitter_.prepare(want);
        stream_.async_read_some(asio::buffer(room, want),
                                [this](beast::error_code ec, std::size_t n) { onRawRead(ec, n); });
    }

    void onRawRead(beast::error_code ec, std::size_t n) {
        if (remaining_) *remaining_ -= n;
        if (!splitter_.commit(n)) return failBound();
        if (stopping_) return;
        if (remaining_ && *remaining_ == 0) return finish();
        if (ec == asio::error::eof && !remaining_) return finish(); // the body ends at the close
        if (ec == asio::error::eof) return fail("the connection closed before the end of the body");
        if (ec) return fail(ec.message());
        startRawRead();
    }

    // Answers false when the stream has ended.
    bool deliver(const std::uint8_t *data, std::size_t size) {
        if (remaining_) *remaining_ -= size;
        if (size == 0 || splitter_.append(data, size)) return true;
        failBound();
        return false;
    }

    void failBound() {
        fail("more than " + std::to_string(MJPEGStreamSplitter::kMaxBufferedBytes) +
             " bytes received without a complete image");
    }

    void startRead() {
        auto &body = parser_->get().body();
        body.data = chunk_.data();
        body.size = chunk_.size();
        body.more = true;
        http::async_read_some(stream_, buffer_, *parser_,
                              [this](beast::error_code ec, std::size_t) { onRead(ec); });
    }

    void onRead(beast::error_code ec) {
        if (ec == http::error::need_buffer) ec = {};
        if (!deliver(chunk_.data(), chunk_.size() - parser_->get().body().size) || stopping_) return;
        if (ec) return fail(ec.message());
        if (parser_->is_done()) return finish();
        startRead();
    }

    void onPart(MJPEGStreamSplitter::Part part) {
        if (stopping_) return;
        if (settings_.onPart) settings_.onPart(part);
        if (!decoder_ || stopping_) return;
        const DecodedPicture *picture = decoder_->decodePicture(*part, settings_.format);
        if (!picture)
            return warn("Skipped an image that does not decode: " + decoder_->error().toStdString());
        settings_.onPicture(*picture, part);
    }

    void failConnect(beast::error_code ec) { fail(timedOut_ ? "connection timed out" : ec.message()); }

    void fail(const std::string &message) {
        DCLog("Error: %s (%s)", message.c_str(), qUtf8Printable(describedURL()));
        end(message);
    }

    void finish() {
        const std::size_t left = splitter_.finish();
        if (left > 0) DCLog("Stream ended inside an image; %zu bytes dropped", left);
        end(std::string());
    }

    void end(const std::string &error) {
        beast::error_code ignored;
        timer_.cancel();
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.socket().close(ignored);
        splitter_.reset();
        if (!stopping_ && settings_.onEnd) settings_.onEnd(error);
    }

    void warn(const std::string &text) {
        if (warnings_ == kMaxWarningsPerStream) DCLog("Further warnings about this stream are not logged");
        if (warnings_++ < kMaxWarningsPerStream) DCLog("%s", text.c_str());
    }

    Settings settings_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    asio::io_context ioc_{1};
    tcp::resolver resolver_;
    beast::tcp_stream stream_;
    asio::steady_timer timer_;
    bool timedOut_ = false;
    std::string host_, hostHeader_, target_;
    http::request<http::empty_body> request_;
    beast::flat_buffer buffer_;
    std::optional<http::response_parser<http::buffer_body>> parser_;
    std::array<std::uint8_t, kReadChunk> chunk_{};
    std::optional<std::uint64_t> remaining_; // body bytes still to come, when the length is known
    MJPEGStreamSplitter splitter_;
    std::optional<JpegDecoder> decoder_;
    int warnings_ = 0;
};

MJPEGStreamClient::MJPEGStreamClient() = default;

MJPEGStreamClient::~MJPEGStreamClient() {
    stop();
}

void MJPEGStreamClient::setStreamURL(const QUrl &url) {
    std::lock_guard lock(mutex_);
    settings_.url = url;
}

QUrl MJPEGStreamClient::streamURL() const {
    std::lock_guard lock(mutex_);
    return settings_.url;
}

void MJPEGStreamClient::setPartHandler(PartHandler handler) {
    std::lock_guard lock(mutex_);
    settings_.onPart = std::move(handler);
}

void MJPEGStreamClient::setPictureHandler(PictureHandler handler, DecodedPicture::Format format) {
    std::lock_guard lock(mutex_);
    settings_.onPicture = std::move(handler);
    settings_.format = format;
}

void MJPEGStreamClient::setEndHandler(EndHandler handler) {
    std::lock_guard lock(mutex_);
    settings_.onEnd = std::move(handler);
}

void MJPEGStreamClient::setConnectTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(mutex_);
    settings_.connectTimeout = timeout;
}

void MJPEGStreamClient::start() {
    std::unique_ptr<Session> finished;
    std::thread finishedThread;
    {
        std::lock_guard lock(mutex_);
        if (session_ && !session_->hasFinished() && !session_->isStopping()) return;
        // A handler cannot restart its own stream: its thread has to end first.
        if (session_ && thread_.get_id() == std::this_thread::get_id()) return;
        finished = std::move(session_);
        finishedThread = std::move(thread_);
    }
    // The previous stream's thread ends before the next one starts (outside the lock: a handler still
    // running there may ask isRunning()).
    if (finishedThread.joinable()) finishedThread.join();
    finished.reset();
    std::lock_guard lock(mutex_);
    if (session_) return; // another start() came first
    session_ = std::make_unique<Session>(settings_);
    thread_ = std::thread([session = session_.get()] {
        session->run();
        session->markFinished();
    });
}

void MJPEGStreamClient::stop() {
    std::unique_ptr<Session> session;
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        if (!session_) return;
        session_->requestStop();
        if (thread_.get_id() == std::this_thread::get_id()) return; // in a handler: ends when it returns
        session = std::move(session_);
        thread = std::move(thread_);
    }
    if (thread.joinable()) thread.join();
}

bool MJPEGStreamClient::isRunning() const {
    std::lock_guard lock(mutex_);
    return session_ && !session_->hasFinished() && !session_->isStopping();
}
