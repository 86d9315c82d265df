#include "SimHidTransport.h"

#include <cerrno>

#include "devices/HidEventRelay.h"
#include "devices/sim/SimCamera.h"
#include "devices/sim/SimHidDevice.h"

SimHidTransport::SimHidTransport(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}

SimHidTransport::~SimHidTransport() {
    close();
}

uint16_t SimHidTransport::deviceReleaseNumber() const {
    return static_cast<uint16_t>(camera_->properties().bcdDevice);
}

uint8_t SimHidTransport::interfaceNumber() const {
    return SimHidDevice::kInterfaceNumber;
}

int SimHidTransport::seize() {
    if (closed_) return -ENODEV;
    if (seized_) return 0;
    const int result = camera_->hid().seize();
    seized_ = result == 0;
    return result;
}

int SimHidTransport::setReport(uint8_t reportId, std::span<const uint8_t> data, std::chrono::milliseconds) {
    if (closed_) return -ENODEV;
    return camera_->hid().setReport(reportId, data);
}

int SimHidTransport::getReport(uint8_t reportId, std::span<uint8_t> out, std::chrono::milliseconds) {
    if (closed_) return -ENODEV;
    return camera_->hid().getReport(reportId, out);
}

int SimHidTransport::startEvents(EventHandler handler) {
    if (closed_ || camera_->vanished()) return -ENODEV;
    if (relay_) return -EBUSY;
    relay_ = std::make_shared<HidEventRelay>(std::move(handler));
    camera_->hid().addListener(relay_);
    return 0;
}

void SimHidTransport::close() {
    if (closed_.exchange(true)) return;
    if (relay_) {
        camera_->hid().removeListener(relay_);
        relay_->stop();
        relay_.reset();
    }
    if (seized_) camera_->hid().release();
    seized_ = false;
}
