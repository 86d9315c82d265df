#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <QString>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>

class HTTPServer;
class JpegFrame;

// Writes the response to one request, straight onto the connection, and ends it through the server's
// closeHandler(). The base class answers every request it is given with a 501 page; subclasses serve
// real paths. A handler lives on the server thread from the moment its request header is complete
// until closeHandler() has ended it (or the server stops).
//
// Handler classes are kept in one process-wide registry, ordered by priority; the first class whose
// canHandleRequest() answers yes serves the request. The base class is registered first and accepts
// everything, so it is the fallback.
class HTTPResponseHandler : public std::enable_shared_from_this<HTTPResponseHandler> {
public:
    using Request = boost::beast::http::request<boost::beast::http::empty_body>;
    using HeaderFields = std::map<std::string, std::string>;
    using Socket = boost::asio::ip::tcp::socket;

    // What the registry knows about a handler class.
    struct HandlerClass {
        std::string name;
        unsigned priority = 0;
        bool (*canHandleRequest)(const Request &request, const std::string &method, const std::string &url,
                                 const HeaderFields &headerFields) = nullptr;
        std::shared_ptr<HTTPResponseHandler> (*create)(Request request, std::string method, std::string url,
                                                       HeaderFields headerFields, Socket fileHandle,
                                                       HTTPServer &server) = nullptr;
    };

    // Thread-safe. In front of the first class whose priority is not greater; else at the end.
    static void registerHandler(const HandlerClass &handlerClass);
    static HandlerClass handlerClassForRequest(const Request &request, const std::string &method,
                                               const std::string &url, const HeaderFields &headerFields);
    // Server thread: chooses the class, creates the handler and starts watching its connection.
    static std::shared_ptr<HTTPResponseHandler> handlerForRequest(Request request, Socket fileHandle,
                                                                  HTTPServer &server);

    static HandlerClass handlerClass();
    static unsigned priority() { return 0; }
    static bool canHandleRequest(const Request &, const std::string &, const std::string &,
                                 const HeaderFields &) {
        return true;
    }

    HTTPResponseHandler(Request request, std::string method, std::string url, HeaderFields headerFields,
                        Socket fileHandle, HTTPServer &server);
    virtual ~HTTPResponseHandler();
    HTTPResponseHandler(const HTTPResponseHandler &) = delete;
    HTTPResponseHandler &operator=(const HTTPResponseHandler &) = delete;

    virtual void startResponse();
    // Stops watching the connection, closes it and drops the server. Safe to call more than once.
    virtual void endResponse();
    // A new picture of the live stream; only stream handlers care, and say so.
    virtual void offerFrame(const std::shared_ptr<const JpegFrame> &) {}
    virtual bool takesFrames() const { return false; }
    // "<ClassName: 0x...>", as the log shows a handler.
    virtual QString description() const;

    const std::string &url() const { return url_; }
    const std::string &requestMethod() const { return requestMethod_; }
    const HeaderFields &headerFields() const { return headerFields_; }

    // The request target without query and fragment ("/a?b" -> "/a"; an absolute URL loses its origin).
    static std::string urlPath(std::string_view url);
    static std::string htmlEscaped(std::string_view text);
    static std::string notImplementedResponse(std::string_view url);

protected:
    Socket &fileHandle() { return fileHandle_; }
    bool isOpen() const { return fileHandle_.is_open(); }
    // Asks the server to end this handler (on the server thread).
    void close();
    // Writes `bytes` whole, then closes the handler whether or not the peer took them.
    void writeAndClose(std::shared_ptr<const std::string> bytes);

private:
    void receiveIncomingData();

    Request request_;
    std::string requestMethod_;
    HeaderFields headerFields_;
    Socket fileHandle_;
    HTTPServer *server_;
    std::string url_;
    std::array<char, 512> discard_{};
};
