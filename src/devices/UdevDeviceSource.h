#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include <QString>

#include "devices/DeviceSource.h"

struct udev;
struct udev_device;
struct udev_monitor;
class QSocketNotifier;

// USB cameras as udev sees them: the capture node of each video4linux device (index 0, able to
// capture) on a USB device. The monitor's socket is served by the event loop of the thread that
// starts the source (the device thread).
class UdevDeviceSource : public DeviceSource {
public:
    UdevDeviceSource();
    ~UdevDeviceSource() override;
    UdevDeviceSource(const UdevDeviceSource &) = delete;
    UdevDeviceSource &operator=(const UdevDeviceSource &) = delete;

    bool start(DeviceSourceDelegate &delegate) override;
    void stop() override;
    void flush() override { onReadable(); }

private:
    void enumerate();
    void onReadable();
    void handleAdd(udev_device *device);
    void handleRemove(udev_device *device);

    DeviceSourceDelegate *delegate_ = nullptr;
    udev *udev_ = nullptr;
    udev_monitor *monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    // Removal cannot read sysfs any more: where each attached node was.
    std::map<QString, uint32_t> attachedNodes_;
};
