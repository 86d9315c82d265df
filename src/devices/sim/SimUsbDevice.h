#pragma once

#include <memory>

#include "devices/UsbDevice.h"

class SimCamera;

// A simulated camera as discovery hands it to a camera object.
class SimUsbDevice : public UsbDevice {
public:
    explicit SimUsbDevice(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}

    std::optional<UsbDeviceProperties> properties() const override;
    std::optional<uint32_t> videoControlInterfaceNumber() const override;
    std::unique_ptr<UvcTransport> openVideoControl(int *error) override;
    std::unique_ptr<HidTransport> openHid(int *error) override;
    QString name() const override;

    const std::shared_ptr<SimCamera> &camera() const { return camera_; }

private:
    std::shared_ptr<SimCamera> camera_;
};
