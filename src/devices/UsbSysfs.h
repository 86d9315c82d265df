#pragma once

#include <cstdint>
#include <optional>

#include <QString>

#include "devices/UsbDevice.h"

// Where a video node's USB device sits in sysfs, and what it says there. Every read is bounded and
// checked: a missing or garbled attribute answers empty, never a guess.
namespace UsbSysfs {

// bus number in the top byte, then one nibble per hub port of `devpath` ("1.2" on bus 0xfa gives
// 0xfa120000). Ports past the sixth level do not fit and are dropped. Empty when `devpath` is not a
// dotted list of port numbers or a port or the bus does not fit its field.
std::optional<uint32_t> locationId(uint32_t busnum, const QString &devpath);

struct NodePaths {
    QString interfaceDir; // the USB interface the video node belongs to ("…/1-1.2:1.0")
    QString deviceDir;    // its parent usb_device ("…/1-1.2")
};
// For "video0" under `sysfsRoot` ("/sys" normally). Empty when the node is not on a USB device.
std::optional<NodePaths> pathsForNode(const QString &sysfsRoot, const QString &nodeName);

// idVendor, idProduct, bcdDevice, and locationID from busnum and devpath of a usb_device folder.
std::optional<UsbDeviceProperties> readProperties(const QString &deviceDir);
// bInterfaceNumber of a USB interface folder.
std::optional<uint32_t> readInterfaceNumber(const QString &interfaceDir);

} // namespace UsbSysfs
