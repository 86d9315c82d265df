#pragma once

// The AF lock control's manual-focus slider against the camera's focus range, without a widget.
// The slider runs the other way: its maximum stands for the camera's minimum focus value.
class DCFocusRange {
public:
    // The slider's lowest position, as the manual-focus panel is built.
    static constexpr int kSliderMinimum = 1;
    // Ranges wider than this get a slider of kWideSliderMaximum positions; narrower ones one
    // position per focus value.
    static constexpr int kNarrowRangeLimit = 99;
    static constexpr int kWideSliderMaximum = 100;

    // The slider's maximum for a camera range: max + 1 - min for a span of at most 99, else 100.
    // Never below kSliderMinimum, so a missing or reversed range still leaves a usable slider.
    static int sliderMaximum(int minValue, int maxValue);

    DCFocusRange(int minValue, int maxValue, int sliderMinimum, int sliderMaximum);

    // s = sMax - round((f - min) x (sMax - sMin) / (max - min)), kept on the slider.
    int sliderForFocus(int focus) const;
    // f = min + round((sMax - s) x (max - min) / (sMax - sMin)), kept in the camera's range.
    int focusForSlider(int slider) const;

private:
    int minValue_;
    int maxValue_;
    int sliderMinimum_;
    int sliderMaximum_;
};
