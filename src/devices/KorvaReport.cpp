#include "KorvaReport.h"

namespace KorvaReport {

std::optional<uint32_t> eventValue(std::span<const uint8_t> report) {
    if (report.size() != kEventReportLength || isForeignReport(report)) return std::nullopt;
    return uint32_t{report[1]} | uint32_t{report[2]} << 8 | uint32_t{report[3]} << 16 |
           uint32_t{report[4]} << 24;
}

bool isForeignReport(std::span<const uint8_t> report) {
    return !report.empty() && report[0] != kEventReportId;
}

std::array<uint8_t, kEventReportLength> eventReport(uint32_t value, uint8_t reportId) {
    return {reportId, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

} // namespace KorvaReport
