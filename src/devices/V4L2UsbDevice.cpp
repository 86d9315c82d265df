#include "V4L2UsbDevice.h"

#include <algorithm>
#include <cerrno>

#include <QDir>
#include <QFileInfo>

#include "devices/LibusbHidTransport.h"
#include "devices/UsbSysfs.h"
#include "devices/V4L2UvcTransport.h"

V4L2UsbDevice::V4L2UsbDevice(QString nodePath, QString sysfsRoot)
    : nodePath_(std::move(nodePath)), sysfsRoot_(std::move(sysfsRoot)) {}

std::optional<UsbDeviceProperties> V4L2UsbDevice::properties() const {
    const auto paths = UsbSysfs::pathsForNode(sysfsRoot_, QFileInfo(nodePath_).fileName());
    if (!paths) return std::nullopt;
    return UsbSysfs::readProperties(paths->deviceDir);
}

std::optional<uint32_t> V4L2UsbDevice::videoControlInterfaceNumber() const {
    const auto paths = UsbSysfs::pathsForNode(sysfsRoot_, QFileInfo(nodePath_).fileName());
    if (!paths) return std::nullopt;
    return UsbSysfs::readInterfaceNumber(paths->interfaceDir);
}

std::unique_ptr<UvcTransport> V4L2UsbDevice::openVideoControl(int *error) {
    return V4L2UvcTransport::open(nodePath_, error);
}

std::unique_ptr<HidTransport> V4L2UsbDevice::openHid(int *error) {
    const auto device = properties();
    if (!device) {
        if (error) *error = -ENODEV;
        return nullptr;
    }
    return LibusbHidTransport::open(*device, error);
}

QString V4L2UsbDevice::firstCaptureNode(const QString &devRoot) {
    QStringList names = QDir(devRoot).entryList({QStringLiteral("video*")}, QDir::System | QDir::Files);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.mid(5).toInt() < b.mid(5).toInt(); });
    constexpr int kMaxNodes = 256;
    for (int i = 0; i < names.size() && i < kMaxNodes; ++i) {
        const QString path = devRoot + QLatin1Char('/') + names.at(i);
        auto transport = V4L2UvcTransport::open(path, nullptr);
        if (transport && transport->canCapture()) return path;
    }
    return {};
}
