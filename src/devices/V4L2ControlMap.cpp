#include "V4L2ControlMap.h"

#include <array>

#include <linux/videodev2.h>

#include "devices/UvcControlTable.h"

namespace V4L2ControlMap {

namespace {
struct Entry {
    uint8_t entity;
    uint8_t selector;
    Mapping mapping;
};

using UvcControlTable::kCameraTerminal;
using UvcControlTable::kProcessingUnit;

constexpr std::array<Entry, 14> kEntries{{
    {kProcessingUnit, 0x01, {V4L2_CID_BACKLIGHT_COMPENSATION, Encoding::Plain}},
    {kProcessingUnit, 0x02, {V4L2_CID_BRIGHTNESS, Encoding::Plain}},
    {kProcessingUnit, 0x03, {V4L2_CID_CONTRAST, Encoding::Plain}},
    {kProcessingUnit, 0x05, {V4L2_CID_POWER_LINE_FREQUENCY, Encoding::Plain}},
    {kProcessingUnit, 0x06, {V4L2_CID_HUE, Encoding::Plain}},
    {kProcessingUnit, 0x07, {V4L2_CID_SATURATION, Encoding::Plain}},
    {kProcessingUnit, 0x08, {V4L2_CID_SHARPNESS, Encoding::Plain}},
    {kProcessingUnit, 0x09, {V4L2_CID_GAMMA, Encoding::Plain}},
    {kProcessingUnit, 0x0A, {V4L2_CID_WHITE_BALANCE_TEMPERATURE, Encoding::Plain}},
    {kProcessingUnit, 0x0B, {V4L2_CID_AUTO_WHITE_BALANCE, Encoding::Plain}},
    {kCameraTerminal, 0x02, {V4L2_CID_EXPOSURE_AUTO, Encoding::AEModeBitmap}},
    {kCameraTerminal, 0x06, {V4L2_CID_FOCUS_ABSOLUTE, Encoding::Plain}},
    {kCameraTerminal, 0x08, {V4L2_CID_FOCUS_AUTO, Encoding::Plain}},
    {kCameraTerminal, 0x09, {V4L2_CID_IRIS_ABSOLUTE, Encoding::Plain}},
}};

// The uvcvideo driver's pairing of the menu and the bitmap.
struct ExposurePair {
    int32_t menu;
    uint8_t bitmap;
};
constexpr std::array<ExposurePair, 4> kExposure{{
    {V4L2_EXPOSURE_MANUAL, UvcControlTable::kAEModeManual},
    {V4L2_EXPOSURE_AUTO, UvcControlTable::kAEModeAuto},
    {V4L2_EXPOSURE_SHUTTER_PRIORITY, UvcControlTable::kAEModeShutterPriority},
    {V4L2_EXPOSURE_APERTURE_PRIORITY, UvcControlTable::kAEModeAperturePriority},
}};
} // namespace

std::optional<Mapping> find(uint8_t entity, uint8_t selector) {
    for (const Entry &e : kEntries)
        if (e.entity == entity && e.selector == selector) return e.mapping;
    return std::nullopt;
}

std::optional<int32_t> exposureMenuFromBitmap(uint8_t bitmap) {
    for (const auto &p : kExposure)
        if (p.bitmap == bitmap) return p.menu;
    return std::nullopt;
}

uint8_t bitmapFromExposureMenu(int32_t menu) {
    for (const auto &p : kExposure)
        if (p.menu == menu) return p.bitmap;
    return 0;
}

void encode(const Mapping &mapping, int32_t v4l2Value, std::span<uint8_t> out) {
    const uint32_t raw = mapping.encoding == Encoding::AEModeBitmap ? bitmapFromExposureMenu(v4l2Value)
                                                                    : static_cast<uint32_t>(v4l2Value);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = i < 4 ? static_cast<uint8_t>(raw >> (8 * i)) : 0;
}

std::optional<int32_t> decode(const Mapping &mapping, std::span<const uint8_t> in, bool signedRange) {
    if (in.empty()) return std::nullopt;
    if (mapping.encoding == Encoding::AEModeBitmap) return exposureMenuFromBitmap(in[0]);
    uint32_t raw = 0;
    for (size_t i = 0; i < in.size() && i < 4; ++i)
        raw |= uint32_t{in[i]} << (8 * i);
    if (!signedRange) return static_cast<int32_t>(raw);
    switch (in.size()) {
    case 1:
        return static_cast<int8_t>(raw);
    case 2:
        return static_cast<int16_t>(raw);
    default:
        return static_cast<int32_t>(raw);
    }
}

} // namespace V4L2ControlMap
