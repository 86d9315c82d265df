#include "ui/controls/DCFocusRange.h"

#include <limits>

#include <gtest/gtest.h>

namespace {
DCFocusRange rangeFor(int minValue, int maxValue) {
    return DCFocusRange(minValue, maxValue, DCFocusRange::kSliderMinimum,
                        DCFocusRange::sliderMaximum(minValue, maxValue));
}
} // namespace

TEST(DCFocusRange, SliderSizeFollowsTheCameraRange) {
    constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    const struct {
        int minValue, maxValue, sliderMaximum;
    } cases[] = {
        {0, 50, 51}, {-99, 0, 100}, {0, 100, 100},     {0, 1000, 100}, // one position per value up to 99
        {10, 10, 1}, {10, 0, 1},    {kMin, kMax, 100},                 // empty, reversed, huge
    };
    for (const auto &c : cases)
        EXPECT_EQ(DCFocusRange::sliderMaximum(c.minValue, c.maxValue), c.sliderMaximum)
            << c.minValue << ".." << c.maxValue;
}

TEST(DCFocusRange, SliderRunsAgainstTheFocusValue) {
    const DCFocusRange range = rangeFor(0, 50); // slider 1..51
    const struct { int focus, slider; } cases[] = {{0, 51}, {50, 1}, {25, 26}, {-7, 51}, {80, 1}};
    for (const auto &c : cases)
        EXPECT_EQ(range.sliderForFocus(c.focus), c.slider) << "focus " << c.focus;
    for (const auto &c : cases) {
        if (c.focus >= 0 && c.focus <= 50) {
            EXPECT_EQ(range.focusForSlider(c.slider), c.focus) << c.slider;
        }
    }
}

TEST(DCFocusRange, WideRangesComeBackToTheSamePosition) {
    const DCFocusRange range = rangeFor(-20, 1000);
    for (int slider = DCFocusRange::kSliderMinimum; slider <= DCFocusRange::kWideSliderMaximum; ++slider)
        EXPECT_EQ(range.sliderForFocus(range.focusForSlider(slider)), slider);
}

TEST(DCFocusRange, EmptyRangeStaysAtItsOnlyValue) {
    const DCFocusRange range(5, 5, 1, 1);
    EXPECT_EQ(range.sliderForFocus(5), 1);
    EXPECT_EQ(range.focusForSlider(1), 5);
}
