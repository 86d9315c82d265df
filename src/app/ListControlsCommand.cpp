#include "ListControlsCommand.h"

#include <cstring>
#include <memory>

#include "CommandLine.h"
#include "core/DCLog.h"
#include "core/LogFolder.h"
#include "devices/DCCameraKite_1.h"
#include "devices/DCCameraOrb.h"
#include "devices/DCCameraOrb_R.h"
#include "devices/DCCameraWren.h"
#include "devices/DCCameraWrenHD.h"
#include "devices/DCUVCCamera.h"
#include "devices/V4L2UsbDevice.h"
#include "devices/V4L2UvcTransport.h"
#include "devices/sim/SimCamera.h"
#include "devices/sim/SimUsbDevice.h"

namespace {

QString value(int32_t v) {
    return v == DCCamera::kNotAvailable ? QStringLiteral("--") : QString::number(v);
}

const char *yesNo(bool on) {
    return on ? "YES" : "NO";
}

void printRange(std::FILE *out, const char *name, int32_t current, int32_t min, int32_t max, int32_t def) {
    std::fprintf(out, "%-26s %6s  (min %s, max %s, default %s)\n", name, qUtf8Printable(value(current)),
                 qUtf8Printable(value(min)), qUtf8Printable(value(max)), qUtf8Printable(value(def)));
}

std::shared_ptr<UsbDevice> chooseDevice(const CommandLine &cl, QString *error) {
    if (!cl.demoModels.isEmpty()) {
        const QString model =
            cl.demoModels.first().isEmpty() ? QStringLiteral("Wren-HD") : cl.demoModels.first();
        auto sim = std::make_shared<SimCamera>();
        if (!sim->setModel(model)) {
            *error =
                QStringLiteral("unknown demo model %1 (Orb, Orb-R, Wren, Wren-HD, Kite-1 HD)").arg(model);
            return nullptr;
        }
        return std::make_shared<SimUsbDevice>(sim);
    }
    QString node = cl.device;
    if (node.isEmpty()) {
        node = V4L2UsbDevice::firstCaptureNode();
        if (node.isEmpty()) {
            *error = QStringLiteral("no video capture device found");
            return nullptr;
        }
    }
    int openError = 0;
    const auto transport = V4L2UvcTransport::open(node, &openError);
    if (!transport) {
        *error = QStringLiteral("cannot open %1: %2").arg(node, QString::fromLocal8Bit(strerror(-openError)));
        return nullptr;
    }
    if (!transport->canCapture()) {
        *error = QStringLiteral("%1 is not a video capture device").arg(node);
        return nullptr;
    }
    return std::make_shared<V4L2UsbDevice>(node);
}

// The camera class of the device's product; a plain UVC camera for any other device.
std::shared_ptr<DCUVCCamera> cameraFor(const UsbDevice &device) {
    const auto properties = device.properties();
    if (!properties || properties->idVendor != DCCameraKorva::kVendorId) return DCUVCCamera::camera();
    switch (properties->idProduct) {
    case DCCameraOrb::kProductId:
        return DCCameraOrb::camera();
    case DCCameraOrb_R::kProductId:
        return DCCameraOrb_R::camera();
    case DCCameraWren::kProductId:
        return DCCameraWren::camera();
    case DCCameraWrenHD::kProductId:
        return DCCameraWrenHD::camera();
    case DCCameraKite_1::kProductId:
        return DCCameraKite_1::camera();
    default:
        return DCUVCCamera::camera();
    }
}

} // namespace

int ListControlsCommand::run(const CommandLine &cl) {
    DCLog::openLogFile(LogFolder::defaultPath());
    QString error;
    const std::shared_ptr<UsbDevice> device = chooseDevice(cl, &error);
    if (!device) {
        std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(error));
        return 1;
    }
    const auto camera = cameraFor(*device);
    camera->prepareToWorkWithDevice(device);
    print(*camera, stdout);
    camera->prepareToDetatch();
    return 0;
}

void ListControlsCommand::print(DCUVCCamera &c, std::FILE *out) {
    std::fprintf(out, "model: %s\n", qUtf8Printable(c.model()));
    std::fprintf(out, "short model: %s\n", qUtf8Printable(c.shortModel()));
    std::fprintf(out, "capabilities: 0x%02x\n", c.capabilities());
    std::fprintf(out, "capture identifier: %s\n", qUtf8Printable(c.captureDeviceLocationId()));
    std::fprintf(out, "firmware version: 0x%04x\n", c.firmwareVersion());
    printRange(out, "brightness", c.brightness(), c.brightnessMin(), c.brightnessMax(), c.brightnessDef());
    printRange(out, "contrast", c.contrast(), c.contrastMin(), c.contrastMax(), c.contrastDef());
    printRange(out, "hue", c.hue(), c.hueMin(), c.hueMax(), c.hueDef());
    printRange(out, "saturation", c.saturation(), c.saturationMin(), c.saturationMax(), c.saturationDef());
    printRange(out, "sharpness", c.sharpness(), c.sharpnessMin(), c.sharpnessMax(), c.sharpnessDef());
    printRange(out, "gamma", c.gamma(), c.gammaMin(), c.gammaMax(), c.gammaDef());
    printRange(out, "white balance temperature", c.whiteBalance(), c.whiteBalanceMin(), c.whiteBalanceMax(),
               c.whiteBalanceDef());
    std::fprintf(out, "%-26s %6s\n", "white balance auto", yesNo(c.autoWhiteBalance()));
    printRange(out, "power line frequency", c.frequency(), c.frequencyMin(), c.frequencyMax(),
               DCCamera::kNotAvailable);
    std::fprintf(out, "%-26s %6s  (no camera operation)\n", "backlight compensation", "--");
    std::fprintf(out, "%-26s %6s\n", "auto exposure", yesNo(c.autoExposure()));
    printRange(out, "iris", c.iris(), c.irisMin(), c.irisMax(), DCCamera::kNotAvailable);
    printRange(out, "focus", c.focus(), c.focusMin(), c.focusMax(), c.focusDef());
    std::fprintf(out, "%-26s %6s\n", "focus auto", yesNo(c.autoFocus()));
}
