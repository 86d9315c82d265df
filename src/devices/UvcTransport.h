#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "devices/UvcRequest.h"

// One control transfer on the default pipe of a UVC device's video-control side. The real transport
// goes through V4L2 on the camera's video node; the simulated camera answers the bytes itself.
// Implementations are thread-safe: the main thread and the device thread may both send.
class UvcTransport {
public:
    virtual ~UvcTransport() = default;

    // Sends `setup`; for a GET the device fills `data` (wLength bytes), for a SET `data` is sent.
    // `data` holds at least wLength bytes. Answers 0, or a negative errno value: -EPIPE for a stalled
    // request (also a control the device lacks), -ENODEV once the device is gone, -ETIMEDOUT.
    virtual int controlRequest(const UvcRequest::SetupPacket &setup, std::span<uint8_t> data,
                               std::chrono::milliseconds timeout) = 0;
};
