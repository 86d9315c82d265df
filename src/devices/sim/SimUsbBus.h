#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "devices/UsbDevice.h"

class SimCamera;

// A simulated USB bus: devices of any vendor and product are plugged into its ports and pulled out
// again, from any thread. Discovery watches it through SimUsbBusDeviceSource exactly as it watches
// udev. Thread-safe.
class SimUsbBus {
public:
    static constexpr uint32_t kBusNumber = 0x7e;

    // Told about plugs and unplugs under the bus's lock: implementations only hand the news on.
    class Listener {
    public:
        virtual void devicePlugged(std::shared_ptr<SimCamera> device) = 0;
        virtual void deviceUnplugged(uint32_t locationID) = 0;

    protected:
        ~Listener() = default;
    };

    // The product ID of one of the maker's models by name ("Orb", "Orb-R", "Wren", "Wren-HD", "Kite-1"
    // or "Kite-1 HD", in any case); an empty name is the Wren-HD. Empty for other names.
    static std::optional<uint32_t> productIdForModel(const QString &model);

    // --demo: one camera of each named model (see productIdForModel), in order. False with `error` set
    // for an unknown model or when the ports run out.
    bool plugDemoCameras(const QStringList &models, QString *error);

    // Plugs a device with these properties. Null when its location is taken.
    std::shared_ptr<SimCamera> plug(const UsbDeviceProperties &properties);
    // One of the maker's cameras in the next free port. Null when every port is taken.
    std::shared_ptr<SimCamera> plugCamera(uint32_t productId, uint32_t bcdDevice = 0x0102);
    // The device vanishes (its requests fail from now on), then listeners hear of it. False when
    // nothing is plugged there.
    bool unplug(uint32_t locationID);
    std::vector<std::shared_ptr<SimCamera>> devices() const;

    // Answers the devices plugged now; later plugs and unplugs are told to `listener`.
    std::vector<std::shared_ptr<SimCamera>> addListener(Listener *listener);
    // Returns when no call into `listener` is running any more.
    void removeListener(Listener *listener);

    // The location of top-level port 1 to 15, or of port `hubPort` of a hub in that port.
    static uint32_t locationOfPort(uint32_t port, uint32_t hubPort = 0);

private:
    mutable std::mutex mutex_;
    std::map<uint32_t, std::shared_ptr<SimCamera>> devices_; // by locationID
    std::vector<Listener *> listeners_;
};
