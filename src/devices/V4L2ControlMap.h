#pragma once

#include <cstdint>
#include <optional>
#include <span>

// How a UVC control request (entity, selector, data bytes) becomes a V4L2 control on the camera's
// video node: the uvcvideo driver owns the video-control interface, so the controls are reached
// through its V4L2 mapping. Pure functions, no I/O.
namespace V4L2ControlMap {

enum class Encoding {
    Plain,        // the number, little-endian in the request's bytes
    AEModeBitmap, // UVC bitmap 1/2/4/8 on the wire, V4L2_EXPOSURE_* menu index on the node
};

struct Mapping {
    uint32_t cid;
    Encoding encoding;
};

// Empty for a control we do not map (the request then stalls).
std::optional<Mapping> find(uint8_t entity, uint8_t selector);

// A V4L2 value as the device would have sent it: the low bytes of the value, little-endian.
void encode(const Mapping &mapping, int32_t v4l2Value, std::span<uint8_t> out);
// The bytes of a SET_CUR as a V4L2 value. `signedRange` when the control's minimum is below zero.
// Empty when the bytes name no V4L2 value (an auto-exposure bitmap without a menu entry).
std::optional<int32_t> decode(const Mapping &mapping, std::span<const uint8_t> in, bool signedRange);

// The auto-exposure mode both ways.
std::optional<int32_t> exposureMenuFromBitmap(uint8_t bitmap);
uint8_t bitmapFromExposureMenu(int32_t menu);

} // namespace V4L2ControlMap
