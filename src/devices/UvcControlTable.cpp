#include "UvcControlTable.h"

#include <array>

namespace UvcControlTable {

namespace {
constexpr std::array<Control, 14> kRows{{
    {"brightness", 0x02, kProcessingUnit, 2},
    {"contrast", 0x03, kProcessingUnit, 2},
    {"hue", 0x06, kProcessingUnit, 2},
    {"saturation", 0x07, kProcessingUnit, 2},
    {"sharpness", 0x08, kProcessingUnit, 2},
    {"gamma", 0x09, kProcessingUnit, 2},
    {"white balance temperature", 0x0A, kProcessingUnit, 2},
    {"white balance auto", 0x0B, kProcessingUnit, 1},
    {"power line frequency", 0x05, kProcessingUnit, 1},
    {"backlight compensation", 0x01, kProcessingUnit, 2},
    {"auto-exposure mode", 0x02, kCameraTerminal, 1},
    {"iris", 0x09, kCameraTerminal, 2},
    {"focus", 0x06, kCameraTerminal, 2},
    {"focus auto", 0x08, kCameraTerminal, 2},
}};
} // namespace

std::span<const Control> rows() {
    return kRows;
}

std::optional<Control> row(int index) {
    if (index < 0 || index >= static_cast<int>(kRows.size())) return std::nullopt;
    return kRows[static_cast<size_t>(index)];
}

} // namespace UvcControlTable
