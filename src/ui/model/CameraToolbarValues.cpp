#include "ui/model/CameraToolbarValues.h"

#include <iterator>

#include "ui/model/CameraKind.h"

namespace {

constexpr int kTimerSeconds[] = {0, 3, 10};

} // namespace

float CameraToolbarValues::zoomFactorOfItem(int item) {
    return item >= 1 && item <= kZoomItems ? static_cast<float>(item) : 0.0f;
}

int CameraToolbarValues::itemOfZoomFactor(float factor) {
    for (int item = 1; item <= kZoomItems; ++item)
        if (factor == static_cast<float>(item)) return item;
    return kZoomItemOutsideChoices;
}

int CameraToolbarValues::timerSecondsOfItem(int item) {
    return item >= 1 && item <= int(std::size(kTimerSeconds)) ? kTimerSeconds[item - 1] : 0;
}

int CameraToolbarValues::itemOfTimerSeconds(int seconds) {
    for (int item = 2; item <= int(std::size(kTimerSeconds)); ++item)
        if (kTimerSeconds[item - 1] == seconds) return item;
    return 1;
}

CameraToolbarValues::Badge CameraToolbarValues::exposureBadge(const DCCameraPtr &camera, int item) {
    if (CameraKind::hasFixedExposureSteps(camera)) return {kFixedStepZeroItem - item, true};
    return {item, false};
}
