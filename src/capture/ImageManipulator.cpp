#include "capture/ImageManipulator.h"

#include <algorithm>
#include <cmath>

#include "capture/Frame.h"
#include "core/DCVocabulary.h"

namespace {

// Rounds halves away from zero and keeps the crop inside the zoomed picture.
double cropOrigin(double value, double scaledExtent, double extent) {
    const double rounded = std::round(value);
    return std::clamp(rounded, 0.0, std::max(0.0, std::floor(scaledExtent - extent)));
}

bool usableLocation(float value) {
    return value != -1.0f && std::isfinite(value);
}

} // namespace

FrameTransform manipulationTransform(const FrameTransform &current, const ZoomState &state) {
    FrameTransform result = current;
    const float zoom = std::min(state.zoom, ImageManipulator::kMaxZoom);
    if (!state.zoomSuppressed && zoom > 1.0f) {
        const double w = current.outputSize().width();
        const double h = current.outputSize().height();
        const double sw = w * zoom;
        const double sh = h * zoom;
        double x, y;
        if (usableLocation(state.zoomXLocation) && usableLocation(state.zoomYLocation)) {
            x = state.zoomXLocation * sw;
            if (state.hFlipped) x = sw - x - w;
            y = state.zoomYLocation * sh;
            if (state.vFlipped) y = sh - y - h;
        } else {
            x = (sw - w) / 2;
            y = (sh - h) / 2;
        }
        const QRect crop(int(cropOrigin(x, sw, w)), int(cropOrigin(y, sh, h)), int(w), int(h));
        result = result.zoomed(zoom, crop);
    }
    if (state.hFlipped || state.vFlipped) result = result.mirrored(state.hFlipped, state.vFlipped);
    return result;
}

std::shared_ptr<const Frame> manipulateImage(const std::shared_ptr<const Frame> &image,
                                             const ZoomState &state) {
    if (!image) return nullptr;
    const FrameTransform transform = manipulationTransform(image->transform(), state);
    if (transform == image->transform()) return image;
    return image->withTransform(transform);
}

ZoomState ImageManipulator::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void ImageManipulator::setZoom(float zoom) {
    std::lock_guard lock(mutex_);
    state_.zoom = std::isfinite(zoom) ? std::min(zoom, kMaxZoom) : 1.0f;
    state_.zoomXLocation = -1.0f;
    state_.zoomYLocation = -1.0f;
}

void ImageManipulator::setZoomLocation(float x, float y) {
    std::lock_guard lock(mutex_);
    state_.zoomXLocation = x;
    state_.zoomYLocation = y;
}

bool ImageManipulator::changeZoomArea(const QVariantMap &userInfo) {
    bool okX = false, okY = false;
    const float x = userInfo.value(DCKey::XOffset).toFloat(&okX);
    const float y = userInfo.value(DCKey::YOffset).toFloat(&okY);
    if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y)) return false;
    setZoomLocation(x, y);
    return true;
}

void ImageManipulator::setHFlipped(bool flipped) {
    std::lock_guard lock(mutex_);
    state_.hFlipped = flipped;
}

void ImageManipulator::setVFlipped(bool flipped) {
    std::lock_guard lock(mutex_);
    state_.vFlipped = flipped;
}

void ImageManipulator::setZoomSuppressed(bool suppressed) {
    std::lock_guard lock(mutex_);
    state_.zoomSuppressed = suppressed;
}

std::shared_ptr<const Frame>
ImageManipulator::manipulateImage(const std::shared_ptr<const Frame> &image) const {
    return ::manipulateImage(image, state());
}
