#include "ui/controls/DCScrollerTrack.h"

#include <limits>

#include <gtest/gtest.h>

namespace {
const float kDefaultStep = DCScrollerTrack::itemLength(0, 14);
}

TEST(DCScrollerTrack, DefaultRangeHasFifteenPositionsTenPointsApart) {
    for (int value = 0; value <= 14; ++value) {
        const float y = DCScrollerTrack::knobY(value, kDefaultStep);
        EXPECT_EQ(DCScrollerTrack::valueForPoint(y, kDefaultStep, true), value);
        if (value > 0) {
            EXPECT_FLOAT_EQ(y - DCScrollerTrack::knobY(value - 1, kDefaultStep), 10.0f);
        }
    }
}

TEST(DCScrollerTrack, PointsOnTheTrack) {
    const struct {
        float y;
        bool discrete;
        int value;
    } cases[] = {
        {38.0f, true, 0},  {183.0f, true, 14},  // both ends of the band
        {53.0f, true, 1},  {54.0f, true, 2},    // an exact half goes down
        {57.9f, false, 1}, {183.0f, false, 14}, // continuous truncates
    };
    for (const auto &c : cases)
        EXPECT_EQ(DCScrollerTrack::valueForPoint(c.y, kDefaultStep, c.discrete), c.value)
            << "y " << c.y << (c.discrete ? " discrete" : " continuous");
}

TEST(DCScrollerTrack, PointsOffTheTrackRepeatTheLastValueOfAnySlider) {
    ASSERT_EQ(DCScrollerTrack::valueForPoint(120.0f, kDefaultStep, true), 8); // raw 8.2
    for (float y : {37.9f, 10.0f, -5.0f, 183.1f, 400.0f})
        EXPECT_EQ(DCScrollerTrack::valueForPoint(y, kDefaultStep, true), 8) << "y " << y;
    // Another slider, another step: the raw value is shared, its rounding is this slider's.
    EXPECT_EQ(DCScrollerTrack::valueForPoint(0.0f, DCScrollerTrack::itemLength(0, 28), false), 8);
}

TEST(DCScrollerTrack, DegenerateRangesGiveWholeValues) {
    EXPECT_EQ(DCScrollerTrack::itemLength(5, 5), 0.0f);
    EXPECT_EQ(DCScrollerTrack::valueForPoint(100.0f, 0.0f, true), 0);
    const float tiny =
        DCScrollerTrack::itemLength(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    EXPECT_EQ(DCScrollerTrack::valueForPoint(183.0f, tiny, false), std::numeric_limits<int>::max());
}
