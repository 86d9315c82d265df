#pragma once

#include <memory>
#include <vector>

#include "devices/DCUVCCamera.h"
#include "devices/UvcRequest.h"
#include "devices/sim/SimCamera.h"
#include "devices/sim/SimUsbDevice.h"

// A plain UVC camera prepared on a fresh simulated device, with the preparation's requests forgotten.
struct SimCameraFixture {
    std::shared_ptr<SimCamera> sim = std::make_shared<SimCamera>();
    std::shared_ptr<DCUVCCamera> camera = DCUVCCamera::camera();

    explicit SimCameraFixture(bool prepare = true) {
        if (!prepare) return;
        camera->prepareToWorkWithDevice(std::make_shared<SimUsbDevice>(sim));
        sim->clearRecords();
    }

    // Setup packets of the requests since the last clearRecords().
    std::vector<UvcRequest::SetupPacket> packets() const {
        std::vector<UvcRequest::SetupPacket> out;
        for (const auto &r : sim->records())
            out.push_back(r.setup);
        return out;
    }
};

using Bytes = std::vector<uint8_t>;
