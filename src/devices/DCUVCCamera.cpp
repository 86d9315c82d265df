#include "DCUVCCamera.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/MainThread.h"
#include "devices/UsbDevice.h"
#include "devices/UvcControlTable.h"
#include "devices/UvcRequest.h"
#include "devices/UvcTransport.h"

using namespace UvcControlTable;

namespace {

// Error codes appear in the log as the positive errno value.
const void *errorCode(int result) {
    return reinterpret_cast<const void *>(static_cast<uintptr_t>(result < 0 ? -result : result));
}

int32_t signed16(const std::array<uint8_t, 2> &data) {
    return static_cast<int16_t>(static_cast<uint16_t>(data[0] | (data[1] << 8)));
}

std::array<uint8_t, 2> low16(uint32_t value) {
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF)};
}

} // namespace

QStringList DCUVCCamera::supportedResolutions() {
    return {DCResolutionList::stringFromSize({640, 480})};
}

QSizeF DCUVCCamera::defaultResolution() {
    return {640, 480};
}

std::shared_ptr<DCUVCCamera> DCUVCCamera::camera() {
    struct Made : DCUVCCamera {};
    return std::make_shared<Made>();
}

DCUVCCamera::DCUVCCamera() {
    setIsAELockSupported(false);
    setIsWhiteBalanceAdjustable(false);
    addCapabilities(kCapabilityResolution);
}

void DCUVCCamera::prepareToWorkWithDevice(std::shared_ptr<UsbDevice> device) {
    detached_ = false;
    {
        std::lock_guard lock(mutex_);
        deviceObject_ = device;
    }
    if (!device) {
        DCLog("no device to prepare");
        return;
    }
    if (const auto properties = device->properties()) {
        std::lock_guard lock(mutex_);
        vendorId_ = properties->idVendor;
        productId_ = properties->idProduct;
        locationId_ = properties->locationID;
    } else {
        DCLog("reading the properties of %s failed", qUtf8Printable(device->name()));
    }
    setupVideoControlInterface();
    setupCaptureDevice();

    const int32_t max = focusMax();
    const int32_t min = focusMin();
    const int32_t current = focus();
    if (max != kNotAvailable && min != kNotAvailable && current != kNotAvailable) {
        DCLog("max: %d", max);
        DCLog("min: %d", min);
        addCapabilities(kCapabilityManualFocus);
    }
}

bool DCUVCCamera::setupVideoControlInterface() {
    std::shared_ptr<UsbDevice> device;
    {
        std::lock_guard lock(mutex_);
        if (streamControlInterface_) {
            DCLog("streamControlInterface already done");
            return true;
        }
        device = deviceObject_;
    }
    if (!device) {
        DCLog("no device to open the video-control interface of");
        return true;
    }
    int error = 0;
    std::shared_ptr<UvcTransport> transport = device->openVideoControl(&error);
    if (!transport) {
        DCLog("opening the video-control interface of %s failed: %s", qUtf8Printable(device->name()),
              strerror(-error));
        return true;
    }
    const auto number = device->videoControlInterfaceNumber();
    if (!number) DCLog("bInterfaceNumber of %s unreadable, using 0", qUtf8Printable(device->name()));
    std::lock_guard lock(mutex_);
    streamControlInterface_ = std::move(transport);
    videoControlInterfaceNumber_ = number.value_or(0);
    return true;
}

void DCUVCCamera::setupCaptureDevice() {
    std::lock_guard lock(mutex_);
    captureDeviceLocationId_ =
        QString::asprintf("0x%lx%04lx%04lx", static_cast<unsigned long>(locationId_),
                          static_cast<unsigned long>(vendorId_), static_cast<unsigned long>(productId_));
}

void DCUVCCamera::prepareToDetatch() {
    detached_ = true;
    std::lock_guard lock(mutex_);
    if (streamControlInterface_) {
        DCLog("gHardwareInfo.streamControlInterface ready for release");
        streamControlInterface_.reset();
    }
    DCLog("Done cleanup");
}

void DCUVCCamera::notifyOnMainThread(const QString &name) {
    const std::weak_ptr<DCCamera> weak = weak_from_this();
    if (weak.expired()) { // not a shared object (a test's camera): nothing to guard its lifetime with
        MainThread::run([name, object = selfVariant()] {
            DCNotificationCenter::defaultCenter().postNotificationName(name, object);
        });
        return;
    }
    // Held weakly, and dropped once the camera is detached: a late announcement neither keeps a
    // removed camera alive nor speaks for it after its controller stopped.
    MainThread::run([this, name, weak] {
        const std::shared_ptr<DCCamera> self = weak.lock();
        if (!self || detached_) return;
        DCNotificationCenter::defaultCenter().postNotificationName(name, QVariant::fromValue(self));
    });
}

int DCUVCCamera::controlTransfer(const std::shared_ptr<UvcTransport> &transport, uint8_t request,
                                 uint8_t selector, uint16_t wIndex, uint8_t *data, uint16_t length) {
    const UvcRequest::SetupPacket setup = UvcRequest::makeSetupPacket(request, selector, wIndex, length);
    return transport->controlRequest(setup, std::span<uint8_t>(data, length), kTransferTimeout);
}

bool DCUVCCamera::sendUVCInterfaceCommand(uint8_t request, uint8_t toControlSelector,
                                          uint8_t ofInterfaceSubclass, uint8_t *withData, uint16_t andSize) {
    std::shared_ptr<UvcTransport> transport;
    uint16_t wIndex = 0;
    {
        std::lock_guard lock(mutex_);
        transport = streamControlInterface_;
        wIndex = static_cast<uint16_t>((ofInterfaceSubclass << 8) | (videoControlInterfaceNumber_ & 0xFF));
    }
    if (!transport) {
        DCLog("streamControlInterface not initialized, please waiting");
        return false;
    }
    const int result = controlTransfer(transport, request, toControlSelector, wIndex, withData, andSize);
    if (result != 0) {
        DCLog("ControlRequestTO failed: %p", errorCode(result));
        return false;
    }
    return true;
}

bool DCUVCCamera::uvcControlCommand(uint8_t request, int index, uint8_t *data) {
    const auto control = row(index);
    if (!control) {
        DCLog("no control at index %d", index);
        return false;
    }
    if (!streamControlInterface()) {
        DCLog("streamControlInterface not initialized, please waiting");
        return false;
    }
    return sendUVCInterfaceCommand(request, control->selector, control->entity, data, control->size);
}

int DCUVCCamera::streamQuery(uint8_t request, uint8_t selector, uint8_t *data, uint16_t length) {
    const std::shared_ptr<UvcTransport> transport = streamControlInterface();
    if (!transport) {
        DCLog("streamControlInterface not initialized, please waiting");
        return -1;
    }
    const auto setup =
        UvcRequest::makeSetupPacket(request, selector, UvcRequest::kStreamingInterfaceIndex, length);
    const auto f = UvcRequest::decode(setup);
    DCLog("bmRequestType = %p, bRequest=%p, wValue=%p, wIndex=%p, wLength=%p",
          reinterpret_cast<const void *>(uintptr_t{f.bmRequestType}),
          reinterpret_cast<const void *>(uintptr_t{f.bRequest}),
          reinterpret_cast<const void *>(uintptr_t{f.selector} << 8),
          reinterpret_cast<const void *>(uintptr_t{f.wIndex}),
          reinterpret_cast<const void *>(uintptr_t{f.wLength}));
    const int result = transport->controlRequest(setup, std::span<uint8_t>(data, length), kTransferTimeout);
    if (result != 0) {
        DCLog("ControlRequestTO failed: %p", errorCode(result));
        return -1;
    }
    return 0;
}

// Signed 16-bit controls ------------------------------------------------------------------------

bool DCUVCCamera::setSigned16(int rowIndex, int32_t value) {
    auto data = low16(static_cast<uint32_t>(value));
    return uvcControlCommand(UvcRequest::SET_CUR, rowIndex, data.data());
}

int32_t DCUVCCamera::readSigned16(uint8_t request, int rowIndex) {
    std::array<uint8_t, 2> data{};
    if (!uvcControlCommand(request, rowIndex, data.data())) return kNotAvailable;
    return signed16(data);
}

// clang-format off
bool DCUVCCamera::setBrightness(int32_t value) { return setSigned16(kBrightness, value); }
int32_t DCUVCCamera::brightness() { return readSigned16(UvcRequest::GET_CUR, kBrightness); }
int32_t DCUVCCamera::brightnessMax() { return readSigned16(UvcRequest::GET_MAX, kBrightness); }
int32_t DCUVCCamera::brightnessDef() { return readSigned16(UvcRequest::GET_DEF, kBrightness); }
int32_t DCUVCCamera::brightnessMin() { return readSigned16(UvcRequest::GET_MIN, kBrightness); }
bool DCUVCCamera::setContrast(int32_t value) { return setSigned16(kContrast, value); }
int32_t DCUVCCamera::contrast() { return readSigned16(UvcRequest::GET_CUR, kContrast); }
int32_t DCUVCCamera::contrastMax() { return readSigned16(UvcRequest::GET_MAX, kContrast); }
int32_t DCUVCCamera::contrastDef() { return readSigned16(UvcRequest::GET_DEF, kContrast); }
int32_t DCUVCCamera::contrastMin() { return readSigned16(UvcRequest::GET_MIN, kContrast); }
bool DCUVCCamera::setGamma(int32_t value) { return setSigned16(kGamma, value); }
int32_t DCUVCCamera::gamma() { return readSigned16(UvcRequest::GET_CUR, kGamma); }
int32_t DCUVCCamera::gammaMax() { return readSigned16(UvcRequest::GET_MAX, kGamma); }
int32_t DCUVCCamera::gammaDef() { return readSigned16(UvcRequest::GET_DEF, kGamma); }
int32_t DCUVCCamera::gammaMin() { return readSigned16(UvcRequest::GET_MIN, kGamma); }
bool DCUVCCamera::setHue(int32_t value) { return setSigned16(kHue, value); }
int32_t DCUVCCamera::hue() { return readSigned16(UvcRequest::GET_CUR, kHue); }
int32_t DCUVCCamera::hueMax() { return readSigned16(UvcRequest::GET_MAX, kHue); }
int32_t DCUVCCamera::hueDef() { return readSigned16(UvcRequest::GET_DEF, kHue); }
int32_t DCUVCCamera::hueMin() { return readSigned16(UvcRequest::GET_MIN, kHue); }
bool DCUVCCamera::setSaturation(int32_t value) { return setSigned16(kSaturation, value); }
int32_t DCUVCCamera::saturation() { return readSigned16(UvcRequest::GET_CUR, kSaturation); }
int32_t DCUVCCamera::saturationMax() { return readSigned16(UvcRequest::GET_MAX, kSaturation); }
int32_t DCUVCCamera::saturationDef() { return readSigned16(UvcRequest::GET_DEF, kSaturation); }
int32_t DCUVCCamera::saturationMin() { return readSigned16(UvcRequest::GET_MIN, kSaturation); }
bool DCUVCCamera::setSharpness(int32_t value) { return setSigned16(kSharpness, value); }
int32_t DCUVCCamera::sharpness() { return readSigned16(UvcRequest::GET_CUR, kSharpness); }
int32_t DCUVCCamera::sharpnessMax() { return readSigned16(UvcRequest::GET_MAX, kSharpness); }
int32_t DCUVCCamera::sharpnessDef() { return readSigned16(UvcRequest::GET_DEF, kSharpness); }
int32_t DCUVCCamera::sharpnessMin() { return readSigned16(UvcRequest::GET_MIN, kSharpness); }
bool DCUVCCamera::setWhiteBalance(int32_t value) { return setSigned16(kWhiteBalanceTemperature, value); }
int32_t DCUVCCamera::whiteBalance() { return readSigned16(UvcRequest::GET_CUR, kWhiteBalanceTemperature); }
int32_t DCUVCCamera::whiteBalanceDef() { return readSigned16(UvcRequest::GET_DEF, kWhiteBalanceTemperature); }
int32_t DCUVCCamera::iris() { return readSigned16(UvcRequest::GET_CUR, kIris); }
int32_t DCUVCCamera::irisMin() { return readSigned16(UvcRequest::GET_MIN, kIris); }
int32_t DCUVCCamera::irisMax() { return readSigned16(UvcRequest::GET_MAX, kIris); }
int32_t DCUVCCamera::focus() { return readSigned16(UvcRequest::GET_CUR, kFocus); }
int32_t DCUVCCamera::focusMin() { return readSigned16(UvcRequest::GET_MIN, kFocus); }
int32_t DCUVCCamera::focusMax() { return readSigned16(UvcRequest::GET_MAX, kFocus); }
int32_t DCUVCCamera::focusDef() { return readSigned16(UvcRequest::GET_DEF, kFocus); }
// clang-format on

int32_t DCUVCCamera::whiteBalanceMax() {
    const int32_t value = readSigned16(UvcRequest::GET_MAX, kWhiteBalanceTemperature);
    DCLog("%d", value);
    return value;
}

int32_t DCUVCCamera::whiteBalanceMin() {
    const int32_t value = readSigned16(UvcRequest::GET_MIN, kWhiteBalanceTemperature);
    DCLog("%d", value);
    return value;
}

// One-byte and flag controls ----------------------------------------------------------------------

bool DCUVCCamera::setAutoWhiteBalance(bool on) {
    uint8_t data = on ? 1 : 0;
    return uvcControlCommand(UvcRequest::SET_CUR, kWhiteBalanceAuto, &data);
}

bool DCUVCCamera::autoWhiteBalance() {
    uint8_t data = 0;
    if (!uvcControlCommand(UvcRequest::GET_CUR, kWhiteBalanceAuto, &data)) return false;
    return data != 0;
}

bool DCUVCCamera::setFrequency(uint8_t value) {
    DCLog("set frequency %d", value);
    uint8_t data = value;
    return uvcControlCommand(UvcRequest::SET_CUR, kPowerLineFrequency, &data);
}

int32_t DCUVCCamera::frequency() {
    uint8_t data = 0;
    if (!uvcControlCommand(UvcRequest::GET_CUR, kPowerLineFrequency, &data)) return kNotAvailable;
    DCLog("get frequency %d", data);
    return data;
}

bool DCUVCCamera::setAutoExposure(bool on) {
    uint8_t data = on ? kAEModeAuto : kAEModeAperturePriority;
    return uvcControlCommand(UvcRequest::SET_CUR, kAutoExposureMode, &data);
}

bool DCUVCCamera::autoExposure() {
    // A failed read leaves 0, which counts as automatic: the safe side for setIris().
    uint8_t data = 0;
    uvcControlCommand(UvcRequest::GET_CUR, kAutoExposureMode, &data);
    return data != kAEModeAperturePriority;
}

bool DCUVCCamera::setIris(uint16_t value) {
    if (autoExposure()) {
        DCLog("setting exposure in auto Exposure mode! please disable autoExposure first.");
        return false;
    }
    auto data = low16(value);
    return uvcControlCommand(UvcRequest::SET_CUR, kIris, data.data());
}

bool DCUVCCamera::setFocus(uint16_t value) {
    auto data = low16(value);
    return uvcControlCommand(UvcRequest::SET_CUR, kFocus, data.data());
}

bool DCUVCCamera::setAutoFocus(bool on) {
    std::array<uint8_t, 2> data{static_cast<uint8_t>(on ? 1 : 0), 0};
    const bool ok = uvcControlCommand(UvcRequest::SET_CUR, kFocusAuto, data.data());
    if (ok && !on)
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCNotificationCameraDidCancelAutoFocus, selfVariant());
    return ok;
}

bool DCUVCCamera::autoFocus() {
    std::array<uint8_t, 2> data{};
    if (!uvcControlCommand(UvcRequest::GET_CUR, kFocusAuto, data.data())) return false;
    return data[0] != 0;
}

// Accessors ---------------------------------------------------------------------------------------

QString DCUVCCamera::model() const {
    std::lock_guard lock(mutex_);
    return productString_.isNull() ? QStringLiteral("UVC Camera") : productString_;
}

// clang-format off
uint32_t DCUVCCamera::vendorId() const { std::lock_guard lock(mutex_); return vendorId_; }
void DCUVCCamera::setVendorId(uint32_t id) { std::lock_guard lock(mutex_); vendorId_ = id; }
uint32_t DCUVCCamera::productId() const { std::lock_guard lock(mutex_); return productId_; }
void DCUVCCamera::setProductId(uint32_t id) { std::lock_guard lock(mutex_); productId_ = id; }
uint32_t DCUVCCamera::locationId() const { std::lock_guard lock(mutex_); return locationId_; }
void DCUVCCamera::setLocationId(uint32_t id) { std::lock_guard lock(mutex_); locationId_ = id; }
std::shared_ptr<UvcTransport> DCUVCCamera::streamControlInterface() const { std::lock_guard lock(mutex_); return streamControlInterface_; }
void DCUVCCamera::setStreamControlInterface(std::shared_ptr<UvcTransport> transport) { std::lock_guard lock(mutex_); streamControlInterface_ = std::move(transport); }
std::shared_ptr<UsbDevice> DCUVCCamera::deviceObject() const { std::lock_guard lock(mutex_); return deviceObject_; }
QString DCUVCCamera::captureDeviceLocationId() const { std::lock_guard lock(mutex_); return captureDeviceLocationId_; }
void DCUVCCamera::setCaptureDeviceLocationId(const QString& identifier) { std::lock_guard lock(mutex_); captureDeviceLocationId_ = identifier; }
uint32_t DCUVCCamera::videoControlInterfaceNumber() const { std::lock_guard lock(mutex_); return videoControlInterfaceNumber_; }
void DCUVCCamera::setVideoControlInterfaceNumber(uint32_t number) { std::lock_guard lock(mutex_); videoControlInterfaceNumber_ = number; }
QString DCUVCCamera::productString() const { std::lock_guard lock(mutex_); return productString_; }
void DCUVCCamera::setProductString(const QString& product) { std::lock_guard lock(mutex_); productString_ = product; }
// clang-format on
