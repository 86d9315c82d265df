#pragma once

#include "HTTPResponseHandler.h"

// The page "/": an HTML page whose only content is the live stream.
class StreamPageResponder : public HTTPResponseHandler {
public:
    using HTTPResponseHandler::HTTPResponseHandler;

    static HandlerClass handlerClass();
    static unsigned priority() { return 0; }
    static bool canHandleRequest(const Request &request, const std::string &method, const std::string &url,
                                 const HeaderFields &headerFields);
    static std::string pageResponse();

    void startResponse() override;
    QString description() const override;
};
