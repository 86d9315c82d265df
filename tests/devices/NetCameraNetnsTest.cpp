// Network cameras through a real avahi-daemon: run only inside tools/dnssd-netns.sh (see
// Discovery.cmake); outside it the test skips.
#include <memory>

#include <gtest/gtest.h>

#include "devices/DCCamerasController.h"
#include "devices/DCNetCamera.h"
#include "dnssd/AvahiDnsSdProvider.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// avahi-publish as another instance of the program, announcing one of its services.
std::unique_ptr<ChildProcess> avahiPublish(const QString &name, const QString &type, int port) {
    auto process = std::make_unique<ChildProcess>();
    EXPECT_TRUE(process->start(QStringLiteral("avahi-publish"),
                               {QStringLiteral("-s"), name, type, QString::number(port)}));
    return process;
}

void stopProcess(std::unique_ptr<ChildProcess> &process) {
    if (!process) return;
    process->signal(SIGTERM);
    process->waitForExit(std::chrono::seconds(5));
    process.reset(); // killed if it still runs
}

QStringList availableNames(DCCamerasController &controller) {
    controller.waitUntilSettled();
    QStringList names;
    for (const auto &camera : controller.availableCameras())
        names << camera->model();
    return names;
}

} // namespace

TEST(NetCameraNetns, TwoPublishedServicesMakeOneCameraThatGoesWithEitherPublisher) {
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh";
    const QString name = QStringLiteral("Hörsaal 3 – Lectern");
    for (const char *stopped : {"_mjpegStreamer._tcp", "_korDevPub._udp"}) {
        SCOPED_TRACE(stopped);
        DCCamerasController::Dependencies dependencies;
        dependencies.dnsSdProvider = std::make_shared<AvahiDnsSdProvider>(200ms);
        dependencies.sleep = [](std::chrono::milliseconds) {};
        DCCamerasController controller(std::move(dependencies));
        controller.startToMonitor();

        auto announcement = avahiPublish(name, QStringLiteral("_korDevPub._udp"), 8080);
        auto stream = avahiPublish(name, QStringLiteral("_mjpegStreamer._tcp"), 8080);
        // The camera is listed a moment before the device thread makes it the current one.
        ASSERT_TRUE(waitUntil(
            [&] { return availableNames(controller) == QStringList({name}) && controller.currentCamera(); },
            20s))
            << qPrintable(availableNames(controller).join(QLatin1Char(',')));
        EXPECT_EQ(controller.netCameras().size(), 1u);
        std::weak_ptr<DCCamera> camera = controller.currentCamera();
        ASSERT_TRUE(std::dynamic_pointer_cast<DCNetCamera>(camera.lock()));

        auto &publisher =
            QString::fromLatin1(stopped).startsWith(QLatin1String("_mjpeg")) ? stream : announcement;
        stopProcess(publisher);
        ASSERT_TRUE(waitUntil([&] { return availableNames(controller).isEmpty(); }, 20s));
        EXPECT_EQ(controller.currentCamera(), nullptr);
        EXPECT_TRUE(waitUntil([&] { return camera.expired(); }, 5s));
        stopProcess(announcement);
        stopProcess(stream);
    }
}
