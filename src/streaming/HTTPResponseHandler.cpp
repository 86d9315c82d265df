#include "HTTPResponseHandler.h"

#include <mutex>
#include <vector>

#include <boost/asio/write.hpp>

#include "HTTPServer.h"
#include "MJPEGStreamer.h"
#include "StreamPageResponder.h"

namespace asio = boost::asio;

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<HTTPResponseHandler::HandlerClass> classes;
};

// The built-in classes register when the registry is first used, in this order, so the base class
// (which accepts everything) comes last among equal priorities. Static initialisers in a static
// library would be dropped by the linker, hence no registration from the classes' own files.
Registry &registry() {
    static Registry *instance = [] {
        auto *r = new Registry;
        for (const auto &handlerClass :
             {HTTPResponseHandler::handlerClass(), StreamPageResponder::handlerClass(),
              MJPEGStreamer::handlerClass()}) {
            auto it = r->classes.begin();
            while (it != r->classes.end() && it->priority > handlerClass.priority)
                ++it;
            r->classes.insert(it, handlerClass);
        }
        return r;
    }();
    return *instance;
}

} // namespace

void HTTPResponseHandler::registerHandler(const HandlerClass &handlerClass) {
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.classes.begin();
    while (it != r.classes.end() && it->priority > handlerClass.priority)
        ++it;
    r.classes.insert(it, handlerClass);
}

HTTPResponseHandler::HandlerClass
HTTPResponseHandler::handlerClassForRequest(const Request &request, const std::string &method,
                                            const std::string &url, const HeaderFields &headerFields) {
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto &handlerClass : r.classes)
        if (handlerClass.canHandleRequest(request, method, url, headerFields)) return handlerClass;
    return handlerClass();
}

std::shared_ptr<HTTPResponseHandler>
HTTPResponseHandler::handlerForRequest(Request request, Socket fileHandle, HTTPServer &server) {
    HeaderFields headerFields;
    for (const auto &field : request) {
        std::string name(field.name_string());
        const std::string value(field.value());
        auto [it, inserted] = headerFields.emplace(name, value);
        if (!inserted) it->second.append(", ").append(value);
    }
    std::string url(request.target());
    std::string method(request.method_string());
    const HandlerClass handlerClass = handlerClassForRequest(request, method, url, headerFields);
    auto handler = handlerClass.create(std::move(request), std::move(method), std::move(url),
                                       std::move(headerFields), std::move(fileHandle), server);
    handler->receiveIncomingData();
    return handler;
}

HTTPResponseHandler::HandlerClass HTTPResponseHandler::handlerClass() {
    return {"HTTPResponseHandler", priority(), &HTTPResponseHandler::canHandleRequest,
            [](Request request, std::string method, std::string url, HeaderFields headerFields,
               Socket fileHandle, HTTPServer &server) -> std::shared_ptr<HTTPResponseHandler> {
                return std::make_shared<HTTPResponseHandler>(std::move(request), std::move(method),
                                                             std::move(url), std::move(headerFields),
                                                             std::move(fileHandle), server);
            }};
}

HTTPResponseHandler::HTTPResponseHandler(Request request, std::string method, std::string url,
                                         HeaderFields headerFields, Socket fileHandle, HTTPServer &server)
    : request_(std::move(request)), requestMethod_(std::move(method)), headerFields_(std::move(headerFields)),
      fileHandle_(std::move(fileHandle)), server_(&server), url_(std::move(url)) {}

HTTPResponseHandler::~HTTPResponseHandler() = default;

QString HTTPResponseHandler::description() const {
    return QStringLiteral("<HTTPResponseHandler: 0x%1>").arg(reinterpret_cast<quintptr>(this), 0, 16);
}

std::string HTTPResponseHandler::urlPath(std::string_view url) {
    if (const auto scheme = url.find("://"); scheme != std::string_view::npos && url.find('/') > scheme) {
        const auto pathStart = url.find('/', scheme + 3);
        url = pathStart == std::string_view::npos ? std::string_view("/") : url.substr(pathStart);
    }
    return std::string(url.substr(0, url.find_first_of("?#")));
}

std::string HTTPResponseHandler::htmlEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string HTTPResponseHandler::notImplementedResponse(std::string_view url) {
    // The URL comes from the peer: escaped, it cannot put markup or script into the page.
    return "HTTP/1.1 501 Not Implemented\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
           "<html><head><title>501 - Not Implemented</title></head><body><h1>501 - Not Implemented</h1>"
           "<p>No handler exists to handle " +
           htmlEscaped(url) + ".</p></body></html>";
}

void HTTPResponseHandler::startResponse() {
    writeAndClose(std::make_shared<const std::string>(notImplementedResponse(url_)));
}

void HTTPResponseHandler::writeAndClose(std::shared_ptr<const std::string> bytes) {
    // A failed write (the peer has gone) ends the response just as a finished one does.
    asio::async_write(fileHandle_, asio::buffer(*bytes),
                      [self = shared_from_this(), bytes](const boost::system::error_code &, std::size_t) {
                          self->close();
                      });
}

void HTTPResponseHandler::close() {
    if (server_) server_->closeHandler(shared_from_this());
}

void HTTPResponseHandler::receiveIncomingData() {
    // Whatever the peer sends after its header is read and dropped; what matters is when it closes.
    fileHandle_.async_read_some(
        asio::buffer(discard_),
        [self = shared_from_this()](const boost::system::error_code &error, std::size_t) {
            if (!self->isOpen()) return;
            if (error) {
                self->close();
                return;
            }
            self->receiveIncomingData();
        });
}

void HTTPResponseHandler::endResponse() {
    server_ = nullptr;
    if (!fileHandle_.is_open()) return;
    boost::system::error_code ignored;
    // Unread bytes at close would make the kernel reset the connection, which may cost the peer the
    // end of our response: take them first, then end our side in order.
    fileHandle_.non_blocking(true, ignored);
    std::array<char, 4096> sink;
    for (int i = 0; i < 64 && fileHandle_.available(ignored) > 0; ++i)
        fileHandle_.read_some(asio::buffer(sink), ignored);
    fileHandle_.shutdown(Socket::shutdown_both, ignored);
    fileHandle_.close(ignored);
}
