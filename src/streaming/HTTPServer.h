#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <QMetaType>
#include <QString>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

class HTTPResponseHandler;
class IncomingRequest;
class JpegFrame;

// An error of the server itself, in the domain "HTTPServerError".
struct HTTPServerError {
    QString domain;
    int code = 0;
    QString localizedDescription;

    // As it appears in the log: Error Domain=<domain> Code=<code> "<localized description>"
    QString description() const;
};

// The embedded HTTP server: "/" (a page showing the stream), "/stream" (the MJPEG stream) and a 501
// page for anything else. One process-wide instance (sharedHTTPServer); tests and benchmarks may make
// their own with another configuration.
//
// All socket work runs on the server's own thread, which runs a Boost.Asio io_context; that single
// thread is the strand of every connection, handler and of the server's own state. start() and stop()
// are called from any other thread and wait for the server thread. Notifications are posted on the
// server thread.
class HTTPServer {
public:
    enum State : int { Idle = 0, Running = 2, Stopping = 3 };
    static constexpr std::uint16_t kDefaultPort = 8080;

    struct Configuration {
        std::uint16_t port = kDefaultPort; // 0: any free port (tests)
        // A request header longer than this gets "431" and its connection is closed.
        std::size_t maxHeaderBytes = 8 * 1024;
        // A connection that has not sent its whole request header by then is closed.
        std::chrono::milliseconds headerTimeout{10'000};
        // Connections (requests being read plus live responses) beyond this get "503" and are closed.
        std::size_t maxClients = 64;
        // A stream client that has taken no byte of what is being written to it for this long is
        // dropped, so clients that stop reading cannot hold every place under maxClients. 0: never.
        std::chrono::milliseconds sendTimeout{30'000};
    };

    // Points of the start and stop sequences where other subsystems join in. Each runs on the server
    // thread and must not wait for it, except `announce`, which runs on the thread that called start()
    // once the server listens, and must not wait for the DNS-SD daemon. Unset hooks are skipped.
    struct Hooks {
        std::function<void()> startFrameSource;           // listening, state 2; before announcing
        std::function<void(std::uint16_t port)> announce; // publish the DNS-SD services; then DidStart
        std::function<void()> stopFrameSource;            // everything closed, state 0
        std::function<void()> withdraw;                   // after "VideoStreamServerDidStop"
    };

    // The process-wide server, which the application core makes, wires to its compressor and
    // announcer, and installs (SharedInstance<HTTPServer>); calling this while none is installed is a
    // programming error.
    static HTTPServer &sharedHTTPServer();
    // The port from the hidden user default "HTTPServerPort" when it is set, else 8080.
    static Configuration defaultConfiguration();

    HTTPServer();
    explicit HTTPServer(Configuration configuration);
    ~HTTPServer();
    HTTPServer(const HTTPServer &) = delete;
    HTTPServer &operator=(const HTTPServer &) = delete;

    // Both wait for the server thread; neither may be called on it (setLastError handles that case).
    void start();
    void stop();

    // "http://a.b.c.d:port" while running, else "N/A".
    QString address() const;

    int state() const { return state_.load(); }
    void setState(int state);
    std::optional<HTTPServerError> lastError() const;
    void setLastError(std::optional<HTTPServerError> error);
    void errorWithName(const QString &name);

    // Ends a handler's response and releases it. Any thread; the work happens on the server thread.
    void closeHandler(std::shared_ptr<HTTPResponseHandler> handler);

    // Offers a new compressed picture to every stream client. Any thread; never waits for a client.
    void publishFrame(std::shared_ptr<const JpegFrame> frame);
    // The newest published picture (a new stream client starts with it), or none.
    std::shared_ptr<const JpegFrame> currentFrame() const;
    // Any thread: the next stream client starts with the next published picture.
    void forgetCurrentFrame();

    // Called on the server thread each time the number of stream clients changes, so that the source
    // of the pictures can work only while somebody watches. Must not wait for the server thread.
    void setStreamClientsHandler(std::function<void(std::size_t streamClients)> handler);
    // Any thread.
    std::size_t streamClientCount() const { return streamClientCount_.load(); }

    // Takes effect at the next start.
    void setConfiguration(const Configuration &configuration);
    Configuration configuration() const;
    void setHooks(Hooks hooks);
    Hooks hooks() const;

    // The port being listened on while running, else the configured one.
    std::uint16_t port() const { return port_.load(); }
    // Connections being read plus live responses (any thread; for tests and the client cap).
    std::size_t clientCount() const { return clientCount_.load(); }
    bool isServerThread() const;
    boost::asio::io_context &ioContext() { return ioContext_; }

    // Server thread only: the configuration the server runs with.
    const Configuration &activeConfiguration() const { return active_; }
    // Server thread only: used by the request assembly.
    void requestDidComplete(const std::shared_ptr<IncomingRequest> &request);
    void stopReceiving(IncomingRequest *request, bool close);

private:
    using Acceptor = boost::asio::ip::tcp::acceptor;

    void threadProc();
    void startServer();
    void stopServer();
    bool openListeningSockets(std::uint16_t port, QString &failure);
    void acceptNext(Acceptor &acceptor);
    void receiveIncomingConnection(boost::asio::ip::tcp::socket socket);
    void refuseConnection(boost::asio::ip::tcp::socket socket);
    void updateClientCount();
    void runOnServerThreadAndWait(std::function<void()> work);
    void dropThread();
    void post(const QString &name);

    boost::asio::io_context ioContext_;
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> started_;
    std::thread runloopThread_;
    std::atomic<std::thread::id> serverThreadId_{};
    std::mutex startStopMutex_; // serialises start() and stop() callers

    mutable std::mutex mutex_; // guards lastError_, configuration_, hooks_, currentFrame_, the handler
    std::optional<HTTPServerError> lastError_;
    Configuration configuration_;
    Hooks hooks_;
    std::shared_ptr<const JpegFrame> currentFrame_;
    std::function<void(std::size_t)> streamClientsHandler_;

    std::atomic<int> state_{Idle};
    std::atomic<std::uint16_t> port_{kDefaultPort};
    std::atomic<std::size_t> clientCount_{0};
    std::atomic<std::size_t> streamClientCount_{0};

    // Server thread only.
    Configuration active_;
    bool refusing_ = false;
    std::vector<std::unique_ptr<Acceptor>> listeningHandles_;
    std::unordered_map<IncomingRequest *, std::shared_ptr<IncomingRequest>> incomingRequests_;
    std::unordered_set<std::shared_ptr<HTTPResponseHandler>> responseHandlers_;
};

Q_DECLARE_METATYPE(HTTPServer *)
