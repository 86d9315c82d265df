#include "StreamPageResponder.h"

HTTPResponseHandler::HandlerClass StreamPageResponder::handlerClass() {
    return {"StreamPageResponder", priority(), &StreamPageResponder::canHandleRequest,
            [](Request request, std::string method, std::string url, HeaderFields headerFields,
               Socket fileHandle, HTTPServer &server) -> std::shared_ptr<HTTPResponseHandler> {
                return std::make_shared<StreamPageResponder>(std::move(request), std::move(method),
                                                             std::move(url), std::move(headerFields),
                                                             std::move(fileHandle), server);
            }};
}

bool StreamPageResponder::canHandleRequest(const Request &, const std::string &, const std::string &url,
                                           const HeaderFields &) {
    return urlPath(url) == "/";
}

std::string StreamPageResponder::pageResponse() {
    static const std::string body = "<html><body><img src=\"/stream\" /></body></html>";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

void StreamPageResponder::startResponse() {
    static const auto response = std::make_shared<const std::string>(pageResponse());
    writeAndClose(response);
}

QString StreamPageResponder::description() const {
    return QStringLiteral("<StreamPageResponder: 0x%1>").arg(reinterpret_cast<quintptr>(this), 0, 16);
}
