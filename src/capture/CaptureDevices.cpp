#include "capture/CaptureDevices.h"

#include <mutex>
#include <vector>

#include "capture/V4L2CaptureSource.h"
#include "devices/DCUVCCamera.h"
#include "devices/sim/SimCamera.h"
#include "devices/sim/SimUsbBus.h"

namespace {
struct SimulatedBus {
    std::weak_ptr<SimUsbBus> bus;
    SimCaptureSource::Options options;
};

std::mutex &registryMutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<SimulatedBus> &registry() {
    static std::vector<SimulatedBus> buses;
    return buses;
}

QString identifierOf(const UsbDeviceProperties &p) {
    return QString::asprintf("0x%lx%04lx%04lx", static_cast<unsigned long>(p.locationID),
                             static_cast<unsigned long>(p.idVendor), static_cast<unsigned long>(p.idProduct));
}

std::unique_ptr<CaptureSource> findSimulated(const QString &identifier, const QString &model) {
    std::vector<SimulatedBus> buses;
    {
        std::lock_guard lock(registryMutex());
        buses = registry();
    }
    for (const SimulatedBus &entry : buses) {
        const auto bus = entry.bus.lock();
        if (!bus) continue;
        for (const auto &device : bus->devices())
            if (!device->vanished() && identifierOf(device->properties()) == identifier)
                return std::make_unique<SimCaptureSource>(device, model, entry.options);
    }
    return nullptr;
}
} // namespace

namespace CaptureDevices {

std::unique_ptr<CaptureSource> find(const DCCameraPtr &camera) {
    const auto uvc = std::dynamic_pointer_cast<DCUVCCamera>(camera);
    if (!uvc) return nullptr;
    const QString identifier = uvc->captureDeviceLocationId();
    if (identifier.isEmpty()) return nullptr;
    if (auto source = findSimulated(identifier, uvc->model())) return source;
    const QString node = V4L2CaptureSource::findNode(identifier);
    if (node.isEmpty()) return nullptr;
    return std::make_unique<V4L2CaptureSource>(node);
}

void addSimulatedBus(const std::shared_ptr<SimUsbBus> &bus) {
    addSimulatedBus(bus, SimCaptureSource::Options{});
}

void addSimulatedBus(const std::shared_ptr<SimUsbBus> &bus, SimCaptureSource::Options options) {
    std::lock_guard lock(registryMutex());
    registry().push_back({bus, std::move(options)});
}

void removeSimulatedBus(const std::shared_ptr<SimUsbBus> &bus) {
    std::lock_guard lock(registryMutex());
    auto &buses = registry();
    std::erase_if(buses, [&](const SimulatedBus &entry) {
        const auto held = entry.bus.lock();
        return !held || held == bus;
    });
}

} // namespace CaptureDevices
