#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The streaming frames of the maker's devices, position = bFrameIndex (1-based).
namespace UvcFrameTable {

struct Frame {
    uint32_t width;
    uint32_t height;
    uint32_t framesPerSecond;
};

// The 11 rows, in order. The last row repeats the first and is never chosen by find().
std::span<const Frame> rows();
// bFrameIndex of the first row matching all three, or empty.
std::optional<uint8_t> find(uint32_t framesPerSecond, uint32_t width, uint32_t height);

// bFormatIndex the probe asks for.
inline constexpr uint8_t kFormatIndex = 2;

} // namespace UvcFrameTable
