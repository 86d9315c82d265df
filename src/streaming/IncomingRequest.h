#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>

class HTTPServer;

// One connection whose request header is still arriving. It reads until the header is complete
// (a body is never waited for), then hands the socket to the server, which picks a response handler.
// A header over the size limit is answered "431" and closed; one not complete in time, or that cannot
// be parsed, is closed. Lives on the server thread; pending operations keep it alive.
class IncomingRequest : public std::enable_shared_from_this<IncomingRequest> {
public:
    using Parser = boost::beast::http::request_parser<boost::beast::http::empty_body>;
    using Request = Parser::value_type;

    IncomingRequest(boost::asio::ip::tcp::socket socket, HTTPServer &server, std::size_t maxHeaderBytes,
                    std::chrono::milliseconds headerTimeout);

    void begin();
    // Closes the connection; pending reads and the timer end with an error and do nothing more.
    void close();

    // Once the header is complete: the request and the connection move to the response handler.
    Request takeRequest() { return parser_.release(); }
    boost::asio::ip::tcp::socket takeSocket() { return std::move(socket_); }

    // The parser as every connection uses it; shared with the fuzz target.
    static void configure(Parser &parser, std::size_t maxHeaderBytes);
    static std::string headerTooLargeResponse();

private:
    void onRead(const boost::system::error_code &error);
    void onTimeout(const boost::system::error_code &error);
    void refuseOversizedHeader();

    boost::asio::ip::tcp::socket socket_;
    HTTPServer *server_;
    boost::beast::flat_buffer buffer_;
    Parser parser_;
    boost::asio::steady_timer timer_;
    std::chrono::milliseconds headerTimeout_;
    bool finished_ = false;
};
