#include "SimUvcTransport.h"

#include "devices/sim/SimCamera.h"

int SimUvcTransport::controlRequest(const UvcRequest::SetupPacket &setup, std::span<uint8_t> data,
                                    std::chrono::milliseconds) {
    // The model answers at once: there is no wire to wait for.
    return camera_->controlRequest(setup, data);
}
