#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QString>

class HidTransport;
class UvcTransport;

// The registry-like properties of a USB device, as discovery reads them.
struct UsbDeviceProperties {
    uint32_t idVendor = 0;
    uint32_t idProduct = 0;
    uint32_t locationID = 0; // bus number in the top byte, then one nibble per hub port
    uint32_t bcdDevice = 0;
};

// A handle on one USB camera as discovery found it: what a camera is prepared with. Implemented over
// sysfs and V4L2 for real devices, and by the simulated camera. The vendor HID interface opens
// through the same handle.
class UsbDevice {
public:
    virtual ~UsbDevice() = default;

    // Empty when the properties cannot be read (the device is gone, or not a USB device).
    virtual std::optional<UsbDeviceProperties> properties() const = 0;
    // bInterfaceNumber of the video-control interface; empty when unreadable.
    virtual std::optional<uint32_t> videoControlInterfaceNumber() const = 0;
    // Opens the video-control transport; null with `error` (a negative errno value) on failure.
    virtual std::unique_ptr<UvcTransport> openVideoControl(int *error) = 0;
    // Opens the vendor HID interface (bInterfaceClass 3) without seizing it yet; null with `error` (a
    // negative errno value) on failure. Devices without one answer -ENOTSUP.
    virtual std::unique_ptr<HidTransport> openHid(int *error);
    // A short text naming the device in log lines ("/dev/video0").
    virtual QString name() const = 0;
};
