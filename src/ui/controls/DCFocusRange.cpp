#include "ui/controls/DCFocusRange.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

int DCFocusRange::sliderMaximum(int minValue, int maxValue) {
    const int64_t span = int64_t(maxValue) - int64_t(minValue);
    if (span > kNarrowRangeLimit) return kWideSliderMaximum;
    return int(std::max<int64_t>(kSliderMinimum, span + 1));
}

DCFocusRange::DCFocusRange(int minValue, int maxValue, int sliderMinimum, int sliderMaximum)
    : minValue_(minValue), maxValue_(std::max(minValue, maxValue)), sliderMinimum_(sliderMinimum),
      sliderMaximum_(std::max(sliderMinimum, sliderMaximum)) {}

int DCFocusRange::sliderForFocus(int focus) const {
    const double span = double(maxValue_) - double(minValue_);
    if (span == 0.0) return sliderMaximum_;
    const double steps = double(sliderMaximum_) - double(sliderMinimum_);
    const double offset = std::round((double(focus) - double(minValue_)) * steps / span);
    return int(std::clamp(double(sliderMaximum_) - offset, double(sliderMinimum_), double(sliderMaximum_)));
}

int DCFocusRange::focusForSlider(int slider) const {
    const double steps = double(sliderMaximum_) - double(sliderMinimum_);
    if (steps == 0.0) return minValue_;
    const double span = double(maxValue_) - double(minValue_);
    const double offset = std::round((double(sliderMaximum_) - double(slider)) * span / steps);
    return int(std::clamp(double(minValue_) + offset, double(minValue_), double(maxValue_)));
}
