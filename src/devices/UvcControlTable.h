#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The UVC controls the cameras drive, by row index, with the entity IDs of the maker's devices
// (1 the camera terminal, 3 the processing unit).
namespace UvcControlTable {

enum Row : int {
    kBrightness = 0,
    kContrast = 1,
    kHue = 2,
    kSaturation = 3,
    kSharpness = 4,
    kGamma = 5,
    kWhiteBalanceTemperature = 6,
    kWhiteBalanceAuto = 7,
    kPowerLineFrequency = 8,
    kBacklightCompensation = 9, // reserved: no camera operation uses it
    kAutoExposureMode = 10,
    kIris = 11,
    kFocus = 12,
    kFocusAuto = 13,
};

inline constexpr uint8_t kCameraTerminal = 1;
inline constexpr uint8_t kProcessingUnit = 3;

// Auto-exposure mode bitmap values.
inline constexpr uint8_t kAEModeManual = 1;
inline constexpr uint8_t kAEModeAuto = 2;
inline constexpr uint8_t kAEModeShutterPriority = 4;
inline constexpr uint8_t kAEModeAperturePriority = 8;

struct Control {
    const char *name;
    uint8_t selector;
    uint8_t entity;
    uint16_t size;
};

std::span<const Control> rows();
// Empty for an index outside the table.
std::optional<Control> row(int index);

} // namespace UvcControlTable
