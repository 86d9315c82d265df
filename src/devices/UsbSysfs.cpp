#include "UsbSysfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace UsbSysfs {

namespace {

// sysfs attributes are short; anything longer is not what we expect.
constexpr qint64 kMaxAttribute = 64;

std::optional<QString> readAttribute(const QString &dir, const char *name) {
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(kMaxAttribute + 1);
    if (bytes.size() > kMaxAttribute) return std::nullopt;
    return QString::fromLatin1(bytes).trimmed();
}

std::optional<uint32_t> readNumber(const QString &dir, const char *name, int base, uint32_t max) {
    const auto text = readAttribute(dir, name);
    if (!text || text->isEmpty()) return std::nullopt;
    bool ok = false;
    const qulonglong value = text->toULongLong(&ok, base);
    if (!ok || value > max) return std::nullopt;
    return static_cast<uint32_t>(value);
}

} // namespace

std::optional<uint32_t> locationId(uint32_t busnum, const QString &devpath) {
    if (busnum > 0xFF || devpath.isEmpty()) return std::nullopt;
    uint32_t location = busnum << 24;
    int shift = 20;
    for (const QString &part : devpath.split(QLatin1Char('.'))) {
        bool ok = false;
        const uint port = part.toUInt(&ok, 10);
        if (!ok || port > 0xF) return std::nullopt;
        if (shift >= 0) location |= port << shift;
        shift -= 4;
    }
    return location;
}

std::optional<NodePaths> pathsForNode(const QString &sysfsRoot, const QString &nodeName) {
    if (nodeName.isEmpty() || nodeName.contains(QLatin1Char('/'))) return std::nullopt;
    const QString link =
        sysfsRoot + QStringLiteral("/class/video4linux/") + nodeName + QStringLiteral("/device");
    const QString interfaceDir = QFileInfo(link).canonicalFilePath();
    if (interfaceDir.isEmpty()) return std::nullopt;
    const QString deviceDir = QFileInfo(interfaceDir).path();
    if (!QFileInfo::exists(deviceDir + QStringLiteral("/idVendor"))) return std::nullopt;
    return NodePaths{interfaceDir, deviceDir};
}

std::optional<UsbDeviceProperties> readProperties(const QString &deviceDir) {
    const auto vendor = readNumber(deviceDir, "idVendor", 16, 0xFFFF);
    const auto product = readNumber(deviceDir, "idProduct", 16, 0xFFFF);
    const auto release = readNumber(deviceDir, "bcdDevice", 16, 0xFFFF);
    const auto bus = readNumber(deviceDir, "busnum", 10, 0xFF);
    const auto devpath = readAttribute(deviceDir, "devpath");
    if (!vendor || !product || !release || !bus || !devpath) return std::nullopt;
    const auto location = locationId(*bus, *devpath);
    if (!location) return std::nullopt;
    return UsbDeviceProperties{*vendor, *product, *location, *release};
}

std::optional<uint32_t> readInterfaceNumber(const QString &interfaceDir) {
    return readNumber(interfaceDir, "bInterfaceNumber", 16, 0xFF);
}

} // namespace UsbSysfs
