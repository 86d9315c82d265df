#include "ListCamerasCommand.h"

#include "AppCore.h"
#include "CommandLine.h"
#include "devices/DCCamerasController.h"
#include "devices/DCUVCCamera.h"

namespace {

// Names from the network may hold anything; a control character would break the line apart.
QByteArray printable(const QString &text) {
    QString clean = text;
    for (QChar &c : clean)
        if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    return clean.toUtf8();
}

} // namespace

int ListCamerasCommand::run(const CommandLine &cl) {
    AppCore::Options options;
    options.demoModels = cl.demoModels;
    options.streamUrls = cl.streamUrls;
    options.capture = false;
    options.streaming = AppCore::Streaming::Off;
    AppCore core(std::move(options));
    QString error;
    if (!core.start(&error) || !core.startToMonitor(&error)) {
        std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(error));
        return 2;
    }
    DCCamerasController &controller = core.cameras();
    controller.waitUntilSettled();
    core.spinUntil([] { return false; }, kNetworkWait); // network cameras are posted to this thread
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
