#pragma once

#include <cstdint>
#include <memory>

class UsbDevice;

// Told about USB cameras arriving and leaving. Called on the device thread only.
class DeviceSourceDelegate {
public:
    // A video-capture device is there (also for each device present when the source starts).
    virtual void deviceAttached(std::shared_ptr<UsbDevice> device) = 0;
    // The device at `locationID` (as its properties gave it on arrival) is gone.
    virtual void deviceDettached(uint32_t locationID) = 0;

protected:
    ~DeviceSourceDelegate() = default;
};

// Where USB cameras come from: the udev monitor, or the simulated bus. Both hand their devices to the
// same discovery code. start() and stop() are called on the device thread, which also serves the
// source's file descriptors and queued events; the delegate is called there only.
class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    // Reports the devices already present, then watches. Answers false when nothing can be watched
    // (the reason is logged); the program then runs without this source.
    virtual bool start(DeviceSourceDelegate &delegate) = 0;
    // No delegate calls after this returns.
    virtual void stop() = 0;
    // Hands news that is already waiting to the delegate now (device thread).
    virtual void flush() {}
};
