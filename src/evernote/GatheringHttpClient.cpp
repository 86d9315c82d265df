#include "evernote/GatheringHttpClient.h"

#include <utility>

using apache::thrift::transport::TTransport;

GatheringHttpClient::GatheringHttpClient(std::shared_ptr<TTransport> transport, std::string host,
                                         std::string path)
    : TVirtualTransport(std::move(transport), std::move(host)) {
    setPath(std::move(path));
}

void GatheringHttpClient::write(const uint8_t *buf, uint32_t len) {
    if (len < kGatherFrom) {
        writeBuffer_.write(buf, len);
        return;
    }
    uint8_t *buffered = nullptr;
    uint32_t bufferedLength = 0;
    writeBuffer_.getBuffer(&buffered, &bufferedLength);
    borrowed_.push_back({bufferedLength, buf, len});
}

void GatheringHttpClient::flush() {
    resetConsumedMessageSize();
    // Taken at once: should sending fail, nothing is left pointing into memory the caller frees.
    const std::vector<Borrowed> borrowed = std::exchange(borrowed_, {});
    uint8_t *buffered = nullptr;
    uint32_t bufferedLength = 0;
    writeBuffer_.getBuffer(&buffered, &bufferedLength);
    uint64_t contentLength = bufferedLength;
    for (const Borrowed &piece : borrowed)
        contentLength += piece.length;

    // The stock client's header, so a server sees no difference.
    const std::string header =
        "POST " + path_ + " HTTP/1.1\r\nHost: " + host_ +
        "\r\nContent-Type: application/x-thrift\r\nContent-Length: " + std::to_string(contentLength) +
        "\r\nAccept: application/x-thrift\r\nUser-Agent: Thrift/" KL_THRIFT_VERSION
        " (C++/THttpClient)\r\n\r\n";
    transport_->write(reinterpret_cast<const uint8_t *>(header.data()), uint32_t(header.size()));
    uint32_t sent = 0;
    for (const Borrowed &piece : borrowed) {
        if (piece.at > sent) transport_->write(buffered + sent, piece.at - sent);
        sent = piece.at;
        transport_->write(piece.bytes, piece.length);
    }
    if (bufferedLength > sent) transport_->write(buffered + sent, bufferedLength - sent);
    transport_->flush();

    writeBuffer_.resetBuffer();
    readHeaders_ = true;
}
