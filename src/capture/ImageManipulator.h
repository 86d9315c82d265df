#pragma once

#include <memory>
#include <mutex>

#include <QVariantMap>

#include "capture/FrameTransform.h"

class Frame;

// What the live picture's zoom and mirroring depend on.
struct ZoomState {
    float zoom = 1.0f;
    // Left / bottom edge of the zoomed area as a fraction of the zoomed picture's width / height;
    // -1 (either one) centres the area.
    float zoomXLocation = -1.0f;
    float zoomYLocation = -1.0f;
    bool hFlipped = false;
    bool vFlipped = false;
    // Set by the capture controller while a focus run that the program did not start is under way
    // (and for a while after it), so the whole picture is shown.
    bool zoomSuppressed = false;
};

// The transform that zooms, then mirrors, a picture of `size` (rounding the crop origin halves away
// from zero). An origin that would put the crop outside the zoomed picture is moved back inside.
FrameTransform manipulationTransform(const FrameTransform &current, const ZoomState &state);

// The live picture's per-frame processing: `image` zoomed and mirrored as `state` says. Touches no
// pixels. Answers `image` itself when nothing applies, and null for a null image.
std::shared_ptr<const Frame> manipulateImage(const std::shared_ptr<const Frame> &image,
                                             const ZoomState &state);

// The zoom state shared between the thread that changes it (main) and the frame delivery thread.
// Thread-safe.
class ImageManipulator {
public:
    // The largest zoom honoured; larger values (from a damaged settings file, say) are capped.
    static constexpr float kMaxZoom = 64.0f;

    ZoomState state() const;

    // Stores the factor and puts the zoom area back to the centre, so a new zoom starts centred.
    void setZoom(float zoom);
    void setZoomLocation(float x, float y);
    // The zoom-area change's user info ("x_offset", "y_offset"). Answers false, changing nothing, when
    // a value is missing or not a finite number.
    bool changeZoomArea(const QVariantMap &userInfo);
    void setHFlipped(bool flipped);
    void setVFlipped(bool flipped);
    void setZoomSuppressed(bool suppressed);

    std::shared_ptr<const Frame> manipulateImage(const std::shared_ptr<const Frame> &image) const;

private:
    mutable std::mutex mutex_;
    ZoomState state_;
};
