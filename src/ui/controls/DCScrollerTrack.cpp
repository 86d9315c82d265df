#include "ui/controls/DCScrollerTrack.h"

#include <cmath>
#include <cstdint>
#include <limits>

float DCScrollerTrack::itemLength(int minValue, int maxValue) {
    const int64_t span = int64_t(maxValue) - int64_t(minValue);
    if (span == 0) return 0.0f;
    return kTrackLength / float(span);
}

float DCScrollerTrack::knobY(int value, float itemLength) {
    return float(value) * itemLength + kTrackBottom;
}

int DCScrollerTrack::valueForPoint(float y, float itemLength, bool discrete) {
    if (y >= kTrackBottom && y <= kTrackBandTop)
        lastRawValue_ = itemLength == 0.0f ? 0.0f : (y - kTrackBottom) / itemLength;
    return wholeValue(lastRawValue_, discrete);
}

int DCScrollerTrack::wholeValue(float raw, bool discrete) {
    // ceil(raw - 0.5) rounds to the nearest whole number and sends exact halves down.
    double whole = discrete ? std::ceil(double(raw) - 0.5) : std::trunc(double(raw));
    // A tiny item length (a range of billions) must not overflow the conversion.
    constexpr double kLow = std::numeric_limits<int>::min();
    constexpr double kHigh = std::numeric_limits<int>::max();
    if (!(whole >= kLow)) whole = kLow; // NaN lands here too
    if (whole > kHigh) whole = kHigh;
    return int(whole);
}
