// libFuzzer target: request assembly (Beast's parser set up as the server sets it up, fed in pieces as
// TCP may deliver them) and the choice of the response handler for whatever request comes out.
#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_prefix.hpp>

#include "streaming/HTTPResponseHandler.h"
#include "streaming/IncomingRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses how the rest is cut into segments (1 to 256 bytes each).
    const std::size_t segment = static_cast<std::size_t>(data[0]) + 1;
    ++data;
    --size;

    IncomingRequest::Parser parser;
    IncomingRequest::configure(parser, 8 * 1024);
    std::string pending;
    boost::system::error_code error;
    for (std::size_t at = 0; at < size && !parser.is_header_done() && !error; at += segment) {
        pending.append(reinterpret_cast<const char *>(data) + at, std::min(segment, size - at));
        const std::size_t used = parser.put(boost::asio::buffer(pending), error);
        if (error == boost::beast::http::error::need_more) error = {};
        pending.erase(0, used);
        if (pending.size() > 8 * 1024 + 4096) return 0; // the server's buffer would be full: 431
    }
    if (error || !parser.is_header_done()) return 0;

    const auto request = parser.release();
    HTTPResponseHandler::HeaderFields fields;
    for (const auto &field : request)
        fields[std::string(field.name_string())] = std::string(field.value());
    const std::string url(request.target());
    const auto handlerClass = HTTPResponseHandler::handlerClassForRequest(
        request, std::string(request.method_string()), url, fields);
    if (!handlerClass.create) __builtin_trap();
    // The 501 page must never carry markup from the URL.
    const std::string page = HTTPResponseHandler::notImplementedResponse(url);
    const auto body = page.find("<p>");
    if (body == std::string::npos || page.find('<', body + 3) != page.find("</p>", body)) __builtin_trap();
    return 0;
}
