#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// One compressed picture of the live stream: a complete JPEG file, immutable once made. Frames are
// shared (std::shared_ptr<const JpegFrame>) between the compressor and every stream client, so a
// picture is compressed once and only referenced by each client; identity tells frames apart.
class JpegFrame {
public:
    explicit JpegFrame(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    JpegFrame(const JpegFrame &) = delete;
    JpegFrame &operator=(const JpegFrame &) = delete;

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    const std::uint8_t *data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }

    static std::shared_ptr<const JpegFrame> make(std::vector<std::uint8_t> bytes) {
        return std::make_shared<const JpegFrame>(std::move(bytes));
    }

private:
    const std::vector<std::uint8_t> bytes_;
};
