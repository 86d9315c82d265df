#pragma once

#include "devices/DCCamera.h"

// The camera controls' value tables and their reverse mappings, from an item of a pull-down to the value
// the settings store and the capture pipeline keep, and back. Items count from 1 (0 is the title item).
struct CameraToolbarValues {
    static constexpr int kZoomItems = 6;
    // Where a stored zoom factor that is none of the choices lands: past them, so nothing is checked.
    static constexpr int kZoomItemOutsideChoices = kZoomItems + 1;
    static constexpr int kAutoExposureOnItem = 1;
    static constexpr int kExposureLockedItem = 2;
    // Exposure steps the camera may report; what the control shows for any other report.
    static constexpr int kFirstReportedExposure = 1;
    static constexpr int kLastReportedExposure = 15;
    static constexpr int kExposureOutsideReports = 8;
    // The fixed steps (+2 ... -2) are items 1 to 5; item 3 is "0".
    static constexpr int kFixedStepZeroItem = 3;

    // Item i (1 to 6) zooms i times; any other item gives 0.0, which the pipeline shows unzoomed.
    static float zoomFactorOfItem(int item);
    static int itemOfZoomFactor(float factor);
    // Off, 3 s, 10 s.
    static int timerSecondsOfItem(int item);
    static int itemOfTimerSeconds(int seconds);
    static int resolutionIndexOfItem(int item) { return item - 1; }
    static int itemOfResolutionIndex(int index) { return index + 1; }
    static int itemOfAutoBrightness(bool on) { return on ? kAutoExposureOnItem : kExposureLockedItem; }

    // The overlay's exposure badge for exposure item `item`: the fixed steps show +2 ... -2, the slider
    // its step.
    struct Badge {
        int value = 0;
        bool showSigned = false;
    };
    static Badge exposureBadge(const DCCameraPtr &camera, int item);
};
