// Network cameras through the in-process DNS-SD fake: the two services of an instance paired by name.
#include <memory>

#include <gtest/gtest.h>

#include "DiscoveryFixture.h"
#include "devices/DCNetCamera.h"
#include "devices/DCUVCCamera.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const QString kAnnouncement = QStringLiteral("_korDevPub._udp.");
const QString kStream = QStringLiteral("_mjpegStreamer._tcp.");

// The fake delivers on the device thread's loop; settle twice so a queued add has run too.
void settle(DCCamerasController &controller) {
    controller.waitUntilSettled();
    controller.waitUntilSettled();
}

// Both services of one instance, as a network camera announces itself.
void addBoth(DiscoveryRig &rig, const QString &name, quint16 port) {
    rig.network->addService(name, kAnnouncement, port);
    rig.network->addService(name, kStream, port);
}

} // namespace

TEST(NetCameraDiscovery, AStreamFoundBeforeItsAnnouncementIsOfferedOnceBothAreThere) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    CameraNotes notes;
    rig.network->addService(QStringLiteral("Lecture hall"), kStream, 8080);
    settle(controller);
    ASSERT_EQ(controller.netCameras().size(), 1u);
    EXPECT_TRUE(controller.availableCameras().isEmpty());
    EXPECT_EQ(controller.currentCamera(), nullptr);
    EXPECT_TRUE(notes.names().isEmpty());

    rig.network->addService(QStringLiteral("Lecture hall"), kAnnouncement, 8080);
    settle(controller);
    ASSERT_EQ(controller.netCameras().size(), 1u);
    const auto camera = controller.netCameras().front();
    EXPECT_EQ(controller.availableCameras(), QList<DCCameraPtr>({camera}));
    EXPECT_EQ(controller.currentCamera(), camera);
    EXPECT_EQ(camera->model(), QStringLiteral("Lecture hall"));
    EXPECT_EQ(camera->capabilities(), 0x07u);
    EXPECT_EQ(notes.names(),
              QStringList({DCNote::DCCameraWillChange, DCNote::DCCameraDidChange, DCNote::DCCameraDidAdd}));
}

TEST(NetCameraDiscovery, ANetworkCameraNeverReplacesACurrentCamera) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    rig.bus->plugCamera(516);
    settle(controller);
    const DCCameraPtr usb = controller.currentCamera();
    ASSERT_TRUE(usb);
    addBoth(rig, QStringLiteral("Room 12"), 8080);
    settle(controller);
    ASSERT_EQ(controller.availableCameras().size(), 2);
    EXPECT_EQ(controller.availableCameras().front(), usb) << "USB cameras come first";
    EXPECT_EQ(controller.currentCamera(), usb);

    // Once the USB camera goes, the network camera is the first available one.
    rig.bus->unplug(SimUsbBus::locationOfPort(1));
    settle(controller);
    EXPECT_EQ(controller.currentCamera(), controller.netCameras().front());
}

TEST(NetCameraDiscovery, LosingEitherServiceRemovesTheCamera) {
    for (const QString &lost : {kStream, kAnnouncement}) {
        SCOPED_TRACE(qPrintable(lost));
        DiscoveryRig rig;
        DCCamerasController &controller = rig.start();
        addBoth(rig, QStringLiteral("Lab"), 8080);
        addBoth(rig, QStringLiteral("Library"), 8081);
        settle(controller);
        ASSERT_EQ(controller.availableCameras().size(), 2);
        std::weak_ptr<DCCamera> lab = controller.currentCamera();
        ASSERT_EQ(lab.lock()->model(), QStringLiteral("Lab"));

        CameraNotes notes;
        rig.network->removeService(QStringLiteral("Lab"), lost);
        settle(controller);
        ASSERT_EQ(controller.netCameras().size(), 1u);
        EXPECT_EQ(controller.netCameras().front()->model(), QStringLiteral("Library"));
        EXPECT_EQ(controller.currentCamera(), controller.netCameras().front());
        EXPECT_EQ(notes.names(), QStringList({DCNote::DCCameraWillChange, DCNote::DCCameraDidChange,
                                              DCNote::DCCameraDidRemove}));
        notes.clear();
        EXPECT_TRUE(lab.expired());
    }
}

TEST(NetCameraDiscovery, LongAndNonAsciiNamesPairAndAreRemovedByTheirOwnNameOthersDoNotPair) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    QString longName = QStringLiteral("Hörsaal Ω 講堂 ");
    while (longName.toUtf8().size() + 2 <= 63)
        longName += QChar(0x00E9); // the longest a DNS label holds
    const QString similar = longName.left(longName.size() - 1) + QLatin1Char('e');
    const QString odd = QStringLiteral("tab\there; dots.and\\slashes");
    for (const QString &name : {longName, similar, odd})
        addBoth(rig, name, 8080);
    // Services of other names (case counts) or of one type only do not pair.
    rig.network->addService(QStringLiteral("A"), kAnnouncement, 1);
    rig.network->addService(QStringLiteral("a"), kStream, 2);
    settle(controller);
    EXPECT_EQ(controller.netCameras().size(), 5u);
    ASSERT_EQ(controller.availableCameras().size(), 3);
    EXPECT_EQ(controller.availableCameras()[0]->model(), longName);

    rig.network->removeService(longName, kStream);
    settle(controller);
    QStringList left;
    for (const auto &camera : controller.availableCameras())
        left << camera->model();
    EXPECT_EQ(left, QStringList({similar, odd}));
}

TEST(NetCameraDiscovery, OurOwnAnnouncementIsNeverOfferedAndANameGivenUpIsLookedForAgain) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    rig.ownNames->add(QStringLiteral("Me"));
    for (const QString &name : {QStringLiteral("Me"), QStringLiteral("Other"), QStringLiteral("Later")})
        addBoth(rig, name, 8080);
    settle(controller);
    ASSERT_EQ(controller.availableCameras().size(), 2);
    EXPECT_EQ(controller.currentCamera()->model(), QStringLiteral("Other"));

    // A name found before we asked for it: ours wins or we give it up, and until then it is not shown.
    rig.ownNames->add(QStringLiteral("Later"));
    settle(controller);
    ASSERT_EQ(controller.availableCameras().size(), 1);
    EXPECT_EQ(controller.availableCameras()[0]->model(), QStringLiteral("Other"));
    EXPECT_EQ(controller.netCameras().size(), 1u);

    // Given up (another machine holds it): its services are found again; the current camera stays.
    CameraNotes notes;
    rig.ownNames->remove(QStringLiteral("Later"), DnsSdOwnNames::Change::GivenUp);
    settle(controller);
    ASSERT_EQ(controller.availableCameras().size(), 2);
    EXPECT_EQ(controller.availableCameras()[1]->model(), QStringLiteral("Later"));
    EXPECT_FALSE(notes.names().contains(DCNote::DCCameraDidChange));
}

TEST(NetCameraDiscovery, AFailedSearchStartsAgain) {
    LogCapture log;
    DiscoveryRig rig;
    rig.network->failNextSearch(kStream, {DnsSdErrorCode::Failure, QStringLiteral("try again")});
    DCCamerasController &controller = rig.start();
    addBoth(rig, QStringLiteral("Studio"), 8080);
    settle(controller);
    EXPECT_TRUE(log.contains(QStringLiteral("didNotSearch: try again")));
    EXPECT_EQ(controller.availableCameras().size(), 1);

    // A search that breaks while running starts again as well.
    rig.network->failActiveSearches(kAnnouncement,
                                    {DnsSdErrorCode::Failure, QStringLiteral("daemon hiccup")});
    settle(controller);
    EXPECT_TRUE(log.contains(QStringLiteral("didNotSearch: daemon hiccup")));
    addBoth(rig, QStringLiteral("Annex"), 8081);
    EXPECT_TRUE(waitUntil(
        [&] {
            controller.waitUntilSettled();
            return controller.availableCameras().size() >= 2;
        },
        10s));
}
