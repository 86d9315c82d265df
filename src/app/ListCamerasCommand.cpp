#include "ListCamerasCommand.h"

#include <memory>

#include <QEventLoop>
#include <QTimer>

#include "CommandLine.h"
#include "core/DCLog.h"
#include "core/LogFolder.h"
#include "devices/DCCamerasController.h"
#include "devices/DCUVCCamera.h"
#include "devices/sim/SimUsbBus.h"
#include "devices/sim/SimUsbBusDeviceSource.h"

namespace {

// Keeps the main thread's event loop turning (for what cameras post to it) while discovery works.
void spinFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// Names from the network may hold anything; a control character would break the line apart.
QByteArray printable(const QString &text) {
    QString clean = text;
    for (QChar &c : clean)
        if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    return clean.toUtf8();
}

} // namespace

int ListCamerasCommand::run(const CommandLine &cl) {
    DCLog::openLogFile(LogFolder::defaultPath());
    auto dependencies = DCCamerasController::defaultDependencies();
    std::shared_ptr<SimUsbBus> bus;
    if (!cl.demoModels.isEmpty()) {
        bus = std::make_shared<SimUsbBus>();
        QString error;
        if (!bus->plugDemoCameras(cl.demoModels, &error)) {
            std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(error));
            return 2;
        }
        dependencies.deviceSources.push_back(std::make_shared<SimUsbBusDeviceSource>(bus));
    }
    DCCamerasController controller(std::move(dependencies));
    controller.startToMonitor();
    for (const QString &url : cl.streamUrls) {
        QString error;
        if (!controller.addStreamCamera(QUrl(url), &error)) {
            std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(error));
            return 2;
        }
    }
    controller.waitUntilSettled();
    spinFor(kNetworkWait);
    controller.waitUntilSettled();
    print(controller.availableCameras(), stdout);
    return 0;
}

void ListCamerasCommand::print(const QList<DCCameraPtr> &cameras, std::FILE *out) {
    if (cameras.isEmpty()) {
        std::fputs("no cameras\n", out);
        return;
    }
    for (const DCCameraPtr &camera : cameras) {
        const auto usb = std::dynamic_pointer_cast<DCUVCCamera>(camera);
        const QString location = usb ? QStringLiteral("0x%1").arg(usb->locationId(), 8, 16, QLatin1Char('0'))
                                     : QStringLiteral("-");
        const QString capture = usb ? usb->captureDeviceLocationId() : QStringLiteral("-");
        std::fprintf(out, "%s\t%s\t%s\t0x%02x\t%s\t%s\t%04x\n", usb ? "usb" : "network",
                     printable(camera->model()).constData(), printable(camera->shortModel()).constData(),
                     camera->capabilities(), qUtf8Printable(location), qUtf8Printable(capture),
                     camera->firmwareVersion());
    }
}
