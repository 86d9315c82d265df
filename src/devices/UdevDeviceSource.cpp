#include "UdevDeviceSource.h"

#include <cstring>

#include <QSocketNotifier>

#include <libudev.h>

#include "core/DCLog.h"
#include "devices/V4L2UsbDevice.h"
#include "devices/V4L2UvcTransport.h"

namespace {

// Events handled per wake-up, so a burst cannot hold the device thread for long.
constexpr int kMaxEventsPerWakeUp = 64;
// More video nodes than any machine has; the rest are not looked at.
constexpr size_t kMaxNodes = 256;

bool isCaptureNode(udev_device *device) {
    const char *node = udev_device_get_devnode(device);
    if (!node) return false;
    const char *index = udev_device_get_sysattr_value(device, "index");
    if (index && std::strcmp(index, "0") != 0) return false;
    if (!udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device")) return false;
    const auto transport = V4L2UvcTransport::open(QString::fromLocal8Bit(node), nullptr);
    return transport && transport->canCapture();
}

} // namespace

UdevDeviceSource::UdevDeviceSource() = default;

UdevDeviceSource::~UdevDeviceSource() {
    stop();
}

bool UdevDeviceSource::start(DeviceSourceDelegate &delegate) {
    stop();
    udev_ = udev_new();
    if (!udev_) {
        DCLog("udev_new failed: %s", strerror(errno));
        return false;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "video4linux", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        DCLog("the udev monitor for video4linux cannot be set up: %s", strerror(errno));
        stop();
        return false;
    }
    delegate_ = &delegate;
    notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { onReadable(); });
    enumerate();
    return true;
}

void UdevDeviceSource::stop() {
    notifier_.reset();
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_) udev_unref(udev_);
    udev_ = nullptr;
    delegate_ = nullptr;
    attachedNodes_.clear();
}

void UdevDeviceSource::enumerate() {
    udev_enumerate *enumerator = udev_enumerate_new(udev_);
    if (!enumerator) return;
    udev_enumerate_add_match_subsystem(enumerator, "video4linux");
    udev_enumerate_scan_devices(enumerator);
    size_t count = 0;
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerator)) {
        if (++count > kMaxNodes) break;
        udev_device *device = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
        if (!device) continue;
        handleAdd(device);
        udev_device_unref(device);
        if (!delegate_) break; // stopped meanwhile
    }
    udev_enumerate_unref(enumerator);
}

void UdevDeviceSource::onReadable() {
    for (int i = 0; i < kMaxEventsPerWakeUp && monitor_; ++i) {
        udev_device *device = udev_monitor_receive_device(monitor_);
        if (!device) return;
        const char *action = udev_device_get_action(device);
        if (action && std::strcmp(action, "add") == 0)
            handleAdd(device);
        else if (action && std::strcmp(action, "remove") == 0)
            handleRemove(device);
        udev_device_unref(device);
    }
}

void UdevDeviceSource::handleAdd(udev_device *device) {
    if (!delegate_ || !isCaptureNode(device)) return;
    const QString node = QString::fromLocal8Bit(udev_device_get_devnode(device));
    if (attachedNodes_.count(node)) return;
    auto usbDevice = std::make_shared<V4L2UsbDevice>(node);
    const auto properties = usbDevice->properties();
    attachedNodes_[node] = properties ? properties->locationID : 0;
    delegate_->deviceAttached(std::move(usbDevice));
}

void UdevDeviceSource::handleRemove(udev_device *device) {
    const char *devnode = udev_device_get_devnode(device);
    if (!delegate_ || !devnode) return;
    const auto it = attachedNodes_.find(QString::fromLocal8Bit(devnode));
    if (it == attachedNodes_.end()) return;
    const uint32_t location = it->second;
    attachedNodes_.erase(it);
    delegate_->deviceDettached(location);
}
