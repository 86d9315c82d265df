#include "SimUsbBusDeviceSource.h"

#include "devices/ThreadWorkQueue.h"
#include "devices/sim/SimCamera.h"
#include "devices/sim/SimUsbDevice.h"

SimUsbBusDeviceSource::SimUsbBusDeviceSource(std::shared_ptr<SimUsbBus> bus) : bus_(std::move(bus)) {}

SimUsbBusDeviceSource::~SimUsbBusDeviceSource() {
    stop();
}

bool SimUsbBusDeviceSource::start(DeviceSourceDelegate &delegate) {
    stop();
    delegate_ = &delegate;
    news_ = std::make_unique<ThreadWorkQueue>();
    news_->attach();
    for (const auto &device : bus_->addListener(this)) {
        delegate.deviceAttached(std::make_shared<SimUsbDevice>(device));
        if (!delegate_) break;
    }
    return true;
}

void SimUsbBusDeviceSource::stop() {
    if (!news_) return;
    bus_->removeListener(this);
    news_->detach(); // news still waiting goes with it
    news_.reset();
    delegate_ = nullptr;
}

void SimUsbBusDeviceSource::devicePlugged(std::shared_ptr<SimCamera> device) {
    news_->post([this, device] {
        if (delegate_) delegate_->deviceAttached(std::make_shared<SimUsbDevice>(device));
    });
}

void SimUsbBusDeviceSource::deviceUnplugged(uint32_t locationID) {
    news_->post([this, locationID] {
        if (delegate_) delegate_->deviceDettached(locationID);
    });
}

void SimUsbBusDeviceSource::flush() {
    if (news_) news_->runPending();
}
