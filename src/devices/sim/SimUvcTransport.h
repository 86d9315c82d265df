#pragma once

#include <memory>

#include "devices/UvcTransport.h"

class SimCamera;

// The video-control transport of a simulated camera: hands the bytes to the device model.
class SimUvcTransport : public UvcTransport {
public:
    explicit SimUvcTransport(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}

    int controlRequest(const UvcRequest::SetupPacket &setup, std::span<uint8_t> data,
                       std::chrono::milliseconds timeout) override;

private:
    std::shared_ptr<SimCamera> camera_;
};
