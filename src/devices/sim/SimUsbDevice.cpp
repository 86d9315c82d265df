#include "SimUsbDevice.h"

#include <cerrno>

#include "devices/sim/SimCamera.h"
#include "devices/sim/SimHidTransport.h"
#include "devices/sim/SimUvcTransport.h"

std::optional<UsbDeviceProperties> SimUsbDevice::properties() const {
    if (!camera_->propertiesReadable()) return std::nullopt;
    return camera_->properties();
}

std::optional<uint32_t> SimUsbDevice::videoControlInterfaceNumber() const {
    if (camera_->vanished()) return std::nullopt;
    return SimCamera::kVideoControlInterface;
}

std::unique_ptr<UvcTransport> SimUsbDevice::openVideoControl(int *error) {
    if (camera_->vanished()) {
        if (error) *error = -ENODEV;
        return nullptr;
    }
    return std::make_unique<SimUvcTransport>(camera_);
}

std::unique_ptr<HidTransport> SimUsbDevice::openHid(int *error) {
    if (camera_->vanished()) {
        if (error) *error = -ENODEV;
        return nullptr;
    }
    return std::make_unique<SimHidTransport>(camera_);
}

QString SimUsbDevice::name() const {
    return QStringLiteral("simulated camera at 0x%1").arg(camera_->properties().locationID, 0, 16);
}
