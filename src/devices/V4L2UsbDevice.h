#pragma once

#include <QString>

#include "devices/UsbDevice.h"

// A camera found as a V4L2 video node: properties from sysfs of its USB device, controls through the
// node (V4L2UvcTransport).
class V4L2UsbDevice : public UsbDevice {
public:
    // `nodePath` is "/dev/videoN"; `sysfsRoot` is "/sys" except in tests.
    explicit V4L2UsbDevice(QString nodePath, QString sysfsRoot = QStringLiteral("/sys"));

    std::optional<UsbDeviceProperties> properties() const override;
    std::optional<uint32_t> videoControlInterfaceNumber() const override;
    std::unique_ptr<UvcTransport> openVideoControl(int *error) override;
    // The HID interface of the node's USB device, through libusb.
    std::unique_ptr<HidTransport> openHid(int *error) override;
    QString name() const override { return nodePath_; }

    // The first video capture node under `devRoot` ("/dev"), in number order; empty when none.
    static QString firstCaptureNode(const QString &devRoot = QStringLiteral("/dev"));

private:
    QString nodePath_;
    QString sysfsRoot_;
};
