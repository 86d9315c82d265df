#include "SimUsbBus.h"

#include <algorithm>

#include "devices/DCProductTable.h"
#include "devices/sim/SimCamera.h"

std::optional<uint32_t> SimUsbBus::productIdForModel(const QString &model) {
    static const std::map<QString, uint32_t> kModels = {
        {QString(), 518},
        {QStringLiteral("orb"), 516},
        {QStringLiteral("orb-r"), 520},
        {QStringLiteral("wren"), 517},
        {QStringLiteral("wren-hd"), 518},
        {QStringLiteral("kite-1"), 519},
        {QStringLiteral("kite-1 hd"), 519},
    };
    const auto it = kModels.find(model.trimmed().toLower());
    if (it == kModels.end()) return std::nullopt;
    return it->second;
}

bool SimUsbBus::plugDemoCameras(const QStringList &models, QString *error) {
    for (const QString &model : models) {
        const auto productId = productIdForModel(model);
        if (!productId) {
            *error = QStringLiteral("unknown demo model \"%1\"").arg(model);
            return false;
        }
        if (!plugCamera(*productId)) {
            *error = QStringLiteral("no free port for another demo camera");
            return false;
        }
    }
    return true;
}

uint32_t SimUsbBus::locationOfPort(uint32_t port, uint32_t hubPort) {
    return (kBusNumber << 24) | ((port & 0xF) << 20) | ((hubPort & 0xF) << 16);
}

std::shared_ptr<SimCamera> SimUsbBus::plug(const UsbDeviceProperties &properties) {
    auto device = std::make_shared<SimCamera>();
    device->setProperties(properties);
    std::lock_guard lock(mutex_);
    if (devices_.count(properties.locationID)) return nullptr;
    devices_[properties.locationID] = device;
    for (Listener *listener : listeners_)
        listener->devicePlugged(device);
    return device;
}

std::shared_ptr<SimCamera> SimUsbBus::plugCamera(uint32_t productId, uint32_t bcdDevice) {
    // The ports of the computer first, then those of a hub in each.
    for (uint32_t hubPort = 0; hubPort <= 15; ++hubPort) {
        for (uint32_t port = 1; port <= 15; ++port) {
            const uint32_t location = locationOfPort(port, hubPort);
            if (auto device = plug({DCProductTable::kVendorId, productId, location, bcdDevice}))
                return device;
        }
    }
    return nullptr;
}

bool SimUsbBus::unplug(uint32_t locationID) {
    std::lock_guard lock(mutex_);
    const auto it = devices_.find(locationID);
    if (it == devices_.end()) return false;
    it->second->vanish();
    devices_.erase(it);
    for (Listener *listener : listeners_)
        listener->deviceUnplugged(locationID);
    return true;
}

std::vector<std::shared_ptr<SimCamera>> SimUsbBus::devices() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<SimCamera>> devices;
    for (const auto &entry : devices_)
        devices.push_back(entry.second);
    return devices;
}

std::vector<std::shared_ptr<SimCamera>> SimUsbBus::addListener(Listener *listener) {
    std::lock_guard lock(mutex_);
    listeners_.push_back(listener);
    std::vector<std::shared_ptr<SimCamera>> devices;
    for (const auto &entry : devices_)
        devices.push_back(entry.second);
    return devices;
}

void SimUsbBus::removeListener(Listener *listener) {
    std::lock_guard lock(mutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}
