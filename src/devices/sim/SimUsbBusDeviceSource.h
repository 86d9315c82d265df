#pragma once

#include <memory>

#include "devices/DeviceSource.h"
#include "devices/sim/SimUsbBus.h"

class ThreadWorkQueue;

// The simulated bus as a device source: its plugs and unplugs reach discovery on the device thread,
// as udev events do, with the same properties read through the same UsbDevice interface.
class SimUsbBusDeviceSource : public DeviceSource, private SimUsbBus::Listener {
public:
    explicit SimUsbBusDeviceSource(std::shared_ptr<SimUsbBus> bus);
    ~SimUsbBusDeviceSource() override;

    bool start(DeviceSourceDelegate &delegate) override;
    void stop() override;
    void flush() override;

private:
    void devicePlugged(std::shared_ptr<SimCamera> device) override;
    void deviceUnplugged(uint32_t locationID) override;

    std::shared_ptr<SimUsbBus> bus_;
    DeviceSourceDelegate *delegate_ = nullptr;
    std::unique_ptr<ThreadWorkQueue> news_; // the bus's news, served by the device thread
};
