#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The vendor reports of the maker's cameras, byte for byte. Commands and queries go out as output
// report 2; a query's answer comes back in byte 1 of input report 1. Byte 0 of each output report is
// the device's own (02 commands, 01 iris and frequency queries, FF image reset) and is sent as is.
namespace KorvaReport {

inline constexpr uint8_t kOutputReportId = 2;
inline constexpr uint8_t kInputReportId = 1;
inline constexpr size_t kReportLength = 5;
inline constexpr size_t kResetLength = 4;

using Report = std::array<uint8_t, kReportLength>;

// Commands: only the low byte of the value travels.
constexpr Report setIris(int16_t value) {
    return {0x02, 0x06, static_cast<uint8_t>(value & 0xFF), 0, 0};
}
constexpr Report setPowerFrequency(int16_t value) {
    return {0x02, 0x04, static_cast<uint8_t>(value & 0xFF), 0, 0};
}
constexpr Report setExposureLock(int16_t value) {
    return {0x02, 0x05, static_cast<uint8_t>(value & 0xFF), 0, 0};
}
constexpr Report forceFocusAgain() {
    return {0x02, 0x4F, 0, 0, 0};
}
constexpr std::array<uint8_t, kResetLength> resetImage() {
    return {0xFF, 0, 0, 0};
}

// Queries.
constexpr Report getIris() {
    return {0x01, 0x00, 0x06, 0, 0};
}
constexpr Report getPowerFrequency() {
    return {0x01, 0x00, 0x04, 0, 0};
}
constexpr Report currentFocusMode() {
    return {0x02, 0x00, 0x03, 0, 0};
}

// The answer byte of input report 1.
constexpr uint8_t answer(const Report &input) {
    return input[1];
}

// Event reports from the interrupt endpoint: the report ID byte, then the event value as a
// little-endian 32-bit number in the first four data bytes. This is the one place that knows it.
inline constexpr uint8_t kEventReportId = kInputReportId;
inline constexpr size_t kEventReportLength = 5;
// The value of an event report; empty for a report of another ID or another length.
std::optional<uint32_t> eventValue(std::span<const uint8_t> report);
// True when `report` carries another report ID than the events' (it may still be well formed).
bool isForeignReport(std::span<const uint8_t> report);
// The report the device sends for `value` (the simulated camera sends these).
std::array<uint8_t, kEventReportLength> eventReport(uint32_t value, uint8_t reportId = kEventReportId);

} // namespace KorvaReport
