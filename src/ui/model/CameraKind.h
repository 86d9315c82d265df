#pragma once

#include <cstdint>

#include "devices/DCCamera.h"

// The few places where the window treats cameras by kind rather than by capability.
struct CameraKind {
    enum Kind {
        None,  // no current camera
        Korva, // one of the maker's cameras (vendor commands, focus functions, exposure steps)
        Uvc,   // another USB camera
        Other, // a network camera
    };
    static Kind of(const DCCameraPtr &camera);

    // The two Orb models offer five fixed exposure steps (+2 ... -2) instead of a slider.
    static bool hasFixedExposureSteps(const DCCameraPtr &camera);
    static bool isOrb(const DCCameraPtr &camera);
    // The Orb and the Wren focus by themselves only when asked: a new picture size needs a refocus.
    static bool refocusesAfterPictureChange(const DCCameraPtr &camera);

    // The exposure step the camera is at, as the exposure control counts: the camera answers its iris
    // value, which is the step itself except on the models that send their steps through an iris table.
    // 0 for an iris value outside the table; DCCamera::kNotAvailable when the camera cannot say.
    static int32_t exposureStep(const DCCameraPtr &camera);
};
