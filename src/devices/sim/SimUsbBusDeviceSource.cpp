#include "SimUsbBusDeviceSource.h"

#include <QObject>

#include "devices/sim/SimCamera.h"
#include "devices/sim/SimUsbDevice.h"

SimUsbBusDeviceSource::SimUsbBusDeviceSource(std::shared_ptr<SimUsbBus> bus) : bus_(std::move(bus)) {}

SimUsbBusDeviceSource::~SimUsbBusDeviceSource() {
    stop();
}

bool SimUsbBusDeviceSource::start(DeviceSourceDelegate &delegate) {
    stop();
    delegate_ = &delegate;
    receiver_ = new QObject;
    for (const auto &device : bus_->addListener(this)) {
        delegate.deviceAttached(std::make_shared<SimUsbDevice>(device));
        if (!delegate_) break;
    }
    return true;
}

void SimUsbBusDeviceSource::stop() {
    if (!receiver_) return;
    bus_->removeListener(this);
    delete receiver_; // news still queued for it goes with it
    receiver_ = nullptr;
    delegate_ = nullptr;
}

void SimUsbBusDeviceSource::devicePlugged(std::shared_ptr<SimCamera> device) {
    QMetaObject::invokeMethod(
        receiver_,
        [this, device] {
            if (delegate_) delegate_->deviceAttached(std::make_shared<SimUsbDevice>(device));
        },
        Qt::QueuedConnection);
}

void SimUsbBusDeviceSource::deviceUnplugged(uint32_t locationID) {
    QMetaObject::invokeMethod(
        receiver_,
        [this, locationID] {
            if (delegate_) delegate_->deviceDettached(locationID);
        },
        Qt::QueuedConnection);
}
