#pragma once

#include <memory>
#include <string>
#include <thrift/transport/THttpClient.h>
#include <thrift/transport/TVirtualTransport.h>
#include <vector>

// Thrift's HTTP client, minus its copy of every request byte: the stock client gathers a request in one
// growing buffer before sending it, and a note's photos are tens of megabytes. Large writes are
// remembered where they lie and sent from there, in order with the small writes, which are buffered.
// That relies on what Thrift's generated clients do: a call's arguments are written and flushed
// within one call, while the caller still holds them. Replies are read exactly as the stock client
// reads them.
class GatheringHttpClient
    : public apache::thrift::transport::TVirtualTransport<GatheringHttpClient,
                                                          apache::thrift::transport::THttpClient> {
public:
    // Writes at least this long are sent from the caller's memory.
    static constexpr uint32_t kGatherFrom = 64 * 1024;

    GatheringHttpClient(std::shared_ptr<apache::thrift::transport::TTransport> transport, std::string host,
                        std::string path);

    void write(const uint8_t *buf, uint32_t len);
    void flush() override;

private:
    struct Borrowed {
        uint32_t at; // how much of the buffered bytes precede it
        const uint8_t *bytes;
        uint32_t length;
    };
    std::vector<Borrowed> borrowed_;
};
