#include "devices/UsbSysfs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "devices/V4L2UsbDevice.h"

TEST(UsbSysfsLocation, BusInTheTopByteThenOneNibblePerPort) {
    EXPECT_EQ(UsbSysfs::locationId(0xfa, QStringLiteral("1.2")), 0xfa120000u);
    EXPECT_EQ(UsbSysfs::locationId(1, QStringLiteral("3")), 0x01300000u);
    EXPECT_EQ(UsbSysfs::locationId(2, QStringLiteral("1.2.3.4.5.6")), 0x02123456u);
    EXPECT_EQ(UsbSysfs::locationId(2, QStringLiteral("1.2.3.4.5.6.7")), 0x02123456u); // seventh level dropped
    EXPECT_EQ(UsbSysfs::locationId(3, QStringLiteral("15")), 0x03F00000u);
}

TEST(UsbSysfsLocation, RejectsWhatDoesNotFit) {
    EXPECT_FALSE(UsbSysfs::locationId(256, QStringLiteral("1")));
    EXPECT_FALSE(UsbSysfs::locationId(1, QStringLiteral("16")));
    EXPECT_FALSE(UsbSysfs::locationId(1, QString()));
    EXPECT_FALSE(UsbSysfs::locationId(1, QStringLiteral("1..2")));
    EXPECT_FALSE(UsbSysfs::locationId(1, QStringLiteral("1.x")));
    EXPECT_FALSE(UsbSysfs::locationId(1, QStringLiteral("-1")));
}

namespace {
void write(const QString &path, const QByteArray &text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// A sysfs tree as the kernel lays it out for a camera on bus 250, port 1 of a hub on port 2.
struct FakeSysfs {
    QTemporaryDir root;
    QString deviceDir;
    QString interfaceDir;
    FakeSysfs() {
        deviceDir = root.path() + QStringLiteral("/devices/pci0000:00/usb250/250-2/250-2.1");
        interfaceDir = deviceDir + QStringLiteral("/250-2.1:1.0");
        QDir().mkpath(interfaceDir + QStringLiteral("/video4linux/video3"));
        QDir().mkpath(root.path() + QStringLiteral("/class/video4linux/video3"));
        QFile::link(interfaceDir, root.path() + QStringLiteral("/class/video4linux/video3/device"));
        write(deviceDir + QStringLiteral("/idVendor"), "1778\n");
        write(deviceDir + QStringLiteral("/idProduct"), "0206\n");
        write(deviceDir + QStringLiteral("/bcdDevice"), "0102\n");
        write(deviceDir + QStringLiteral("/busnum"), "250\n");
        write(deviceDir + QStringLiteral("/devpath"), "2.1\n");
        write(interfaceDir + QStringLiteral("/bInterfaceNumber"), "00\n");
    }
};
} // namespace

TEST(UsbSysfsDevice, ReadsTheParentUsbDeviceOfAVideoNode) {
    FakeSysfs sys;
    const V4L2UsbDevice device(QStringLiteral("/dev/video3"), sys.root.path());
    const auto p = device.properties();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->idVendor, 0x1778u);
    EXPECT_EQ(p->idProduct, 0x0206u);
    EXPECT_EQ(p->bcdDevice, 0x0102u);
    EXPECT_EQ(p->locationID, 0xfa210000u);
    EXPECT_EQ(device.videoControlInterfaceNumber(), 0u);
}

TEST(UsbSysfsDevice, GarbledOrMissingAttributesAnswerEmpty) {
    {
        FakeSysfs sys;
        write(sys.deviceDir + QStringLiteral("/idVendor"), "zz\n");
        EXPECT_FALSE(V4L2UsbDevice(QStringLiteral("/dev/video3"), sys.root.path()).properties());
    }
    {
        FakeSysfs sys;
        write(sys.deviceDir + QStringLiteral("/devpath"), QByteArray(4096, '1'));
        EXPECT_FALSE(V4L2UsbDevice(QStringLiteral("/dev/video3"), sys.root.path()).properties());
    }
    {
        FakeSysfs sys;
        QFile::remove(sys.interfaceDir + QStringLiteral("/bInterfaceNumber"));
        EXPECT_FALSE(
            V4L2UsbDevice(QStringLiteral("/dev/video3"), sys.root.path()).videoControlInterfaceNumber());
    }
    FakeSysfs sys;
    EXPECT_FALSE(V4L2UsbDevice(QStringLiteral("/dev/video9"), sys.root.path()).properties());
    EXPECT_FALSE(UsbSysfs::pathsForNode(sys.root.path(), QStringLiteral("../video3")));
}
