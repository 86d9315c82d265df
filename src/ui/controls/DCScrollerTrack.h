#pragma once

// The geometry of the exposure slider's track, without a widget. Coordinates are the control's own,
// measured upward from its lower edge: the "Default" button takes the bottom 30 points, value 0 sits
// at y = 38 and the track runs 140 points up from there, whatever the range.
class DCScrollerTrack {
public:
    static constexpr float kTrackBottom = 38.0f;
    static constexpr float kTrackLength = 140.0f;
    // Clicks count up to here: half a default step above the last position, so the top value is as
    // easy to hit as the others.
    static constexpr float kTrackBandTop = 183.0f;
    static constexpr int kKnobX = 68;
    static constexpr int kKnobWidth = 18;
    static constexpr int kKnobHeight = 7;
    static constexpr int kDefaultButtonHeight = 30;

    // Points per value step: the track length over the range, or 0 for an empty range.
    static float itemLength(int minValue, int maxValue);

    // Lower edge of the knob for `value`; values count from 0 whatever the minimum is.
    static float knobY(int value, float itemLength);

    // The value a point at height `y` stands for. Inside the track's band the raw value is
    // (y - 38) / itemLength, rounded to the nearest whole number with exactly .5 going down when
    // `discrete`, truncated otherwise. Outside the band the raw value last computed by any slider is
    // used again, so a drag that leaves the track keeps the knob where it was. Main thread only.
    static int valueForPoint(float y, float itemLength, bool discrete);

private:
    static int wholeValue(float raw, bool discrete);

    // Shared by every slider on purpose: see valueForPoint.
    static inline float lastRawValue_ = 0.0f;
};
