#include "UvcFrameTable.h"

#include <array>

namespace UvcFrameTable {

namespace {
constexpr std::array<Frame, 11> kRows{{
    {640, 480, 30},
    {160, 120, 30},
    {176, 144, 30},
    {320, 240, 30},
    {352, 288, 30},
    {800, 600, 15},
    {1024, 768, 15},
    {1280, 960, 15},
    {1280, 1024, 15},
    {1600, 1200, 15},
    {640, 480, 30},
}};
} // namespace

std::span<const Frame> rows() {
    return kRows;
}

std::optional<uint8_t> find(uint32_t framesPerSecond, uint32_t width, uint32_t height) {
    for (size_t i = 0; i < kRows.size(); ++i) {
        const Frame &f = kRows[i];
        if (f.width == width && f.height == height && f.framesPerSecond == framesPerSecond)
            return static_cast<uint8_t>(i + 1);
    }
    return std::nullopt;
}

} // namespace UvcFrameTable
