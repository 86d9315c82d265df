#include "HTTPServer.h"

#include <algorithm>
#include <csignal>
#include <future>

#include <QCoreApplication>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include "HTTPResponseHandler.h"
#include "IncomingRequest.h"
#include "JpegFrame.h"
#include "NetworkInterfaces.h"
#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/SharedInstance.h"
#include "core/UserDefaults.h"

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

// Hidden user default: the TCP port to serve on instead of 8080 (the command line's --port sets it).
const QString kPortDefaultsKey = QStringLiteral("HTTPServerPort");

std::uint16_t portFromDefaults() {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (!defaults.hasKey(kPortDefaultsKey)) return HTTPServer::kDefaultPort;
    const qint64 port = defaults.integerForKey(kPortDefaultsKey);
    if (port < 1 || port > 65535) {
        DCLog("Ignoring the user default %s = %lld: not a TCP port", qUtf8Printable(kPortDefaultsKey),
              static_cast<long long>(port));
        return HTTPServer::kDefaultPort;
    }
    return static_cast<std::uint16_t>(port);
}

std::string serviceUnavailableResponse() {
    static const std::string body = "<html><head><title>503 - Service Unavailable</title></head>"
                                    "<body><h1>503 - Service Unavailable</h1></body></html>";
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html\r\nConnection: "
           "close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace

QString HTTPServerError::description() const {
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(domain).arg(code).arg(localizedDescription);
}

HTTPServer &HTTPServer::sharedHTTPServer() {
    if (HTTPServer *server = SharedInstance<HTTPServer>::get()) return *server;
    qFatal("No HTTP server is installed; the application core makes and installs it");
}

HTTPServer::Configuration HTTPServer::defaultConfiguration() {
    Configuration configuration;
    configuration.port = portFromDefaults();
    return configuration;
}

HTTPServer::HTTPServer() : HTTPServer(Configuration()) {}

HTTPServer::HTTPServer(Configuration configuration)
    : configuration_(configuration), port_(configuration.port) {
    // A write to a peer that has gone must answer an error, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    setState(Idle);
}

HTTPServer::~HTTPServer() {
    stop();
}

bool HTTPServer::isServerThread() const {
    return serverThreadId_.load() == std::this_thread::get_id();
}

void HTTPServer::setConfiguration(const Configuration &configuration) {
    std::lock_guard lock(mutex_);
    configuration_ = configuration;
    if (state_.load() != Running) port_ = configuration.port;
}

HTTPServer::Configuration HTTPServer::configuration() const {
    std::lock_guard lock(mutex_);
    return configuration_;
}

void HTTPServer::setHooks(Hooks hooks) {
    std::lock_guard lock(mutex_);
    hooks_ = std::move(hooks);
}

HTTPServer::Hooks HTTPServer::hooks() const {
    std::lock_guard lock(mutex_);
    return hooks_;
}

void HTTPServer::start() {
    if (isServerThread()) {
        DCLog("HTTPServer start ignored: called on the server thread");
        return;
    }
    std::lock_guard guard(startStopMutex_);
    if (!runloopThread_.joinable()) {
        ioContext_.restart();
        started_.emplace(ioContext_.get_executor());
        runloopThread_ = std::thread([this] { threadProc(); });
    }
    runOnServerThreadAndWait([this] { startServer(); });
    if (state_.load() != Running) {
        dropThread();
        return;
    }
    // The announcement is requested here, on the caller's (main) thread whose event loop its DNS-SD
    // publisher lives on; requesting never waits for the daemon. Only then is the start announced.
    if (const Hooks hooks = this->hooks(); hooks.announce) hooks.announce(port_.load());
    runOnServerThreadAndWait([this] { post(DCNote::VideoStreamServerDidStart); });
}

void HTTPServer::stop() {
    if (isServerThread()) {
        // An error on the server thread: close everything now; the thread itself is dropped by
        // whoever waits for it (start() or the next stop()).
        stopServer();
        return;
    }
    std::lock_guard guard(startStopMutex_);
    if (!runloopThread_.joinable()) return;
    runOnServerThreadAndWait([this] { stopServer(); });
    dropThread();
}

void HTTPServer::runOnServerThreadAndWait(std::function<void()> work) {
    // The promise is shared with the posted work, so it outlives whichever side finishes last.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    asio::post(ioContext_, [done, work = std::move(work)] {
        work();
        done->set_value();
    });
    finished.wait();
}

void HTTPServer::dropThread() {
    // Every socket and timer is closed by now, so the loop runs out of work once their handlers have
    // run, and with them the last references to connections and handlers go.
    started_.reset();
    runloopThread_.join();
    serverThreadId_ = std::thread::id();
}

void HTTPServer::threadProc() {
    serverThreadId_ = std::this_thread::get_id();
    for (;;) {
        try {
            ioContext_.run();
            return;
        } catch (const std::exception &exception) {
            DCLog("Exception: %s", exception.what());
        }
    }
}

void HTTPServer::startServer() {
    if (state_.load() == Running) return;
    Hooks hooks;
    {
        std::lock_guard lock(mutex_);
        active_ = configuration_;
        hooks = hooks_;
    }
    QString failure;
    if (!openListeningSockets(active_.port, failure)) {
        errorWithName(failure);
        return;
    }
    for (auto &acceptor : listeningHandles_)
        acceptNext(*acceptor);
    setState(Running);
    if (hooks.startFrameSource) hooks.startFrameSource();
}

bool HTTPServer::openListeningSockets(std::uint16_t port, QString &failure) {
    boost::system::error_code error;
    auto v4 = std::make_unique<Acceptor>(ioContext_);
    v4->open(tcp::v4(), error);
    if (!error) v4->set_option(Acceptor::reuse_address(true), error);
    if (!error) v4->bind(tcp::endpoint(asio::ip::address_v4::any(), port), error);
    if (!error) v4->listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        failure = QStringLiteral("Cannot listen on TCP port %1: %2")
                      .arg(port)
                      .arg(QString::fromStdString(error.message()));
        return false;
    }
    const std::uint16_t bound = v4->local_endpoint(error).port();
    listeningHandles_.push_back(std::move(v4));

    // IPv6 on the same port; a machine without IPv6 is served on IPv4 alone.
    auto v6 = std::make_unique<Acceptor>(ioContext_);
    v6->open(tcp::v6(), error);
    if (!error) v6->set_option(asio::ip::v6_only(true), error);
    if (!error) v6->set_option(Acceptor::reuse_address(true), error);
    if (!error) v6->bind(tcp::endpoint(asio::ip::address_v6::any(), bound), error);
    if (!error) v6->listen(asio::socket_base::max_listen_connections, error);
    if (error)
        DCLog("HTTPServer serves IPv4 only: IPv6 port %u: %s", static_cast<unsigned>(bound),
              error.message().c_str());
    else
        listeningHandles_.push_back(std::move(v6));
    port_ = bound;
    return true;
}

void HTTPServer::acceptNext(Acceptor &acceptor) {
    acceptor.async_accept(
        [this, listener = &acceptor](const boost::system::error_code &error, tcp::socket socket) {
            if (error == asio::error::operation_aborted || state_.load() != Running) return;
            if (!error) {
                receiveIncomingConnection(std::move(socket));
                acceptNext(*listener);
                return;
            }
            // Out of file descriptors, most likely: try again a little later instead of spinning.
            DCLog("HTTPServer cannot accept a connection: %s", error.message().c_str());
            auto retry = std::make_shared<asio::steady_timer>(ioContext_, std::chrono::milliseconds(100));
            retry->async_wait([this, listener, retry](const boost::system::error_code &) {
                for (auto &handle : listeningHandles_)
                    if (handle.get() == listener && state_.load() == Running) acceptNext(*listener);
            });
        });
}

void HTTPServer::receiveIncomingConnection(tcp::socket socket) {
    if (clientCount_.load() >= active_.maxClients) {
        refuseConnection(std::move(socket));
        return;
    }
    refusing_ = false;
    boost::system::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    auto request = std::make_shared<IncomingRequest>(std::move(socket), *this, active_.maxHeaderBytes,
                                                     active_.headerTimeout);
    incomingRequests_.emplace(request.get(), request);
    updateClientCount();
    request->begin();
}

void HTTPServer::refuseConnection(tcp::socket socket) {
    static const auto response = std::make_shared<const std::string>(serviceUnavailableResponse());
    // One line per run of refusals, not one per connection of a flood.
    if (!refusing_) DCLog("Refusing connections: %zu clients are served already", active_.maxClients);
    refusing_ = true;
    auto peer = std::make_shared<tcp::socket>(std::move(socket));
    // A few hundred bytes into a fresh connection's send buffer: this completes at once.
    asio::async_write(*peer, asio::buffer(*response), [peer](const boost::system::error_code &, std::size_t) {
        boost::system::error_code ignored;
        peer->shutdown(tcp::socket::shutdown_send, ignored);
        peer->close(ignored);
    });
}

void HTTPServer::requestDidComplete(const std::shared_ptr<IncomingRequest> &request) {
    incomingRequests_.erase(request.get());
    auto handler =
        HTTPResponseHandler::handlerForRequest(request->takeRequest(), request->takeSocket(), *this);
    responseHandlers_.insert(handler);
    updateClientCount();
    handler->startResponse();
}

void HTTPServer::stopReceiving(IncomingRequest *request, bool close) {
    const auto it = incomingRequests_.find(request);
    if (close) request->close();
    if (it == incomingRequests_.end()) return;
    incomingRequests_.erase(it); // may release the request; `request` is not used after this
    updateClientCount();
}

void HTTPServer::closeHandler(std::shared_ptr<HTTPResponseHandler> handler) {
    if (!handler) return;
    asio::dispatch(ioContext_, [this, handler = std::move(handler)] {
        handler->endResponse();
        responseHandlers_.erase(handler);
        updateClientCount();
    });
}

void HTTPServer::stopServer() {
    setState(Stopping);
    boost::system::error_code ignored;
    for (auto &acceptor : listeningHandles_)
        acceptor->cancel(ignored);
    auto handlers = std::move(responseHandlers_);
    responseHandlers_.clear();
    for (const auto &handler : handlers)
        handler->endResponse();
    for (auto &acceptor : listeningHandles_)
        acceptor->close(ignored);
    listeningHandles_.clear();
    auto incoming = std::move(incomingRequests_);
    incomingRequests_.clear();
    for (auto &[raw, request] : incoming)
        request->close();
    updateClientCount();
    setState(Idle);
    port_ = configuration().port;
    const Hooks hooks = this->hooks();
    if (hooks.stopFrameSource) hooks.stopFrameSource();
    post(DCNote::VideoStreamServerDidStop);
    if (hooks.withdraw) hooks.withdraw();
}

void HTTPServer::updateClientCount() {
    clientCount_ = incomingRequests_.size() + responseHandlers_.size();
    const auto streams = static_cast<std::size_t>(std::count_if(
        responseHandlers_.begin(), responseHandlers_.end(), [](const auto &h) { return h->takesFrames(); }));
    if (streamClientCount_.exchange(streams) == streams) return;
    std::function<void(std::size_t)> handler;
    {
        std::lock_guard lock(mutex_);
        handler = streamClientsHandler_;
    }
    if (handler) handler(streams);
}

void HTTPServer::setStreamClientsHandler(std::function<void(std::size_t)> handler) {
    std::lock_guard lock(mutex_);
    streamClientsHandler_ = std::move(handler);
}

void HTTPServer::publishFrame(std::shared_ptr<const JpegFrame> frame) {
    if (!frame) return;
    {
        std::lock_guard lock(mutex_);
        currentFrame_ = frame;
    }
    if (state_.load() != Running) return;
    asio::post(ioContext_, [this, frame = std::move(frame)] {
        if (state_.load() != Running) return;
        for (const auto &handler : responseHandlers_)
            handler->offerFrame(frame);
    });
}

std::shared_ptr<const JpegFrame> HTTPServer::currentFrame() const {
    std::lock_guard lock(mutex_);
    return currentFrame_;
}

void HTTPServer::forgetCurrentFrame() {
    std::lock_guard lock(mutex_);
    currentFrame_.reset();
}

QString HTTPServer::address() const {
    if (state_.load() != Running) return QStringLiteral("N/A");
    const auto ipv4 = NetworkInterfaces::preferredIPv4(NetworkInterfaces::list());
    if (!ipv4) return QStringLiteral("N/A");
    return QStringLiteral("http://%1:%2").arg(QString::fromStdString(*ipv4)).arg(port_.load());
}

void HTTPServer::setState(int state) {
    if (state_.exchange(state) != state) post(DCNote::ServerNotificationStateChanged);
}

std::optional<HTTPServerError> HTTPServer::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

void HTTPServer::setLastError(std::optional<HTTPServerError> error) {
    {
        std::lock_guard lock(mutex_);
        lastError_ = error;
    }
    if (!error) return;
    stop();
    setState(Idle);
    DCLog("HTTPServer error: %s", qUtf8Printable(error->description()));
}

void HTTPServer::errorWithName(const QString &name) {
    const QByteArray key = name.toUtf8();
    setLastError(HTTPServerError{QStringLiteral("HTTPServerError"), 0,
                                 QCoreApplication::translate("HTTPServer", key.constData())});
}

void HTTPServer::post(const QString &name) {
    DCNotificationCenter::defaultCenter().postNotificationName(name, QVariant::fromValue(this));
}
