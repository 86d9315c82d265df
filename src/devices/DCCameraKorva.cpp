#include "DCCameraKorva.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DeleteOnItsThread.h"
#include "devices/HidTransport.h"
#include "devices/KorvaModelTraits.h"
#include "devices/KorvaReport.h"
#include "devices/UsbDevice.h"

namespace {

// Status codes and report bytes appear in the log as the platform's pointer text ("0x6", "0x0").
QByteArray hex(int value) {
    return QByteArray("0x") + QByteArray::number(value < 0 ? -value : value, 16);
}

void logReport(const char *what, std::span<const uint8_t> r) {
    // Only five-byte reports are logged this way.
    if (r.size() < KorvaReport::kReportLength) return;
    if (std::strcmp(what, "setReport") == 0)
        DCLog("setReport with data [%s, %s, %s, %s, %s]", hex(r[0]).constData(), hex(r[1]).constData(),
              hex(r[2]).constData(), hex(r[3]).constData(), hex(r[4]).constData());
    else
        DCLog("getReport data [%s, %s, %s, %s, %s]", hex(r[0]).constData(), hex(r[1]).constData(),
              hex(r[2]).constData(), hex(r[3]).constData(), hex(r[4]).constData());
}

// What may heal while the device stays plugged in: access granted, another program letting go.
bool mayHeal(int error) {
    return error == -EACCES || error == -EPERM || error == -EBUSY;
}

} // namespace

QStringList DCCameraKorva::supportedResolutions() {
    QStringList list;
    for (const QSize &size : KorvaModels::kSizes)
        list << DCResolutionList::stringFromSize(size);
    return list;
}

QSizeF DCCameraKorva::defaultResolution() {
    return KorvaModels::kDefaultSize;
}

std::shared_ptr<DCCameraKorva> DCCameraKorva::camera() {
    return std::make_shared<DCCameraKorva>();
}

DCCameraKorva::DCCameraKorva() {
    setVendorId(kVendorId);
    addCapabilities(kCapabilityExposure);
}

DCCameraKorva::~DCCameraKorva() {
    std::shared_ptr<HidTransport> hid;
    {
        std::lock_guard lock(stateMutex_);
        hid = std::move(hidDeviceInterface_);
    }
    if (hid) hid->close();
    deleteOnItsThread(eventContext_);
}

// Set-up ------------------------------------------------------------------------------------------

void DCCameraKorva::prepareToWorkWithDevice(std::shared_ptr<UsbDevice> device) {
    {
        std::lock_guard lock(stateMutex_);
        hidSetUpUnderWay_ = true;
        detached_ = false;
    }
    DCUVCCamera::prepareToWorkWithDevice(device);
    if (device && setupHIDControlInterface()) {
        setupHidNotification();
        korvaCurrentFocusMode();
    }
    {
        std::lock_guard lock(stateMutex_);
        hidSetUpUnderWay_ = false;
    }
    hidSetUpEnded_.notify_all();
}

bool DCCameraKorva::setupHIDControlInterface() {
    if (hidInterface()) {
        DCLog("hidInterface already done");
        return true;
    }
    const std::shared_ptr<UsbDevice> device = deviceObject();
    if (!device) {
        DCLog("no device to open the HID interface of");
        return false;
    }
    if (const int result = openHidInterface(); result != 0) {
        DCLog("opening the HID interface of %s failed: %s", qUtf8Printable(device->name()),
              strerror(-result));
        noteHidFailure(result);
        return false;
    }
    return true;
}

int DCCameraKorva::openHidInterface() {
    const std::shared_ptr<UsbDevice> device = deviceObject();
    if (!device) return -ENODEV;
    int error = 0;
    std::shared_ptr<HidTransport> transport = device->openHid(&error);
    if (!transport) return error < 0 ? error : -EIO;
    DCLog("set up hidInterface ok");
    firmwareRleaseVersion_.store(transport->deviceReleaseNumber());
    DCLog("update firmware version: 0x%04x", firmwareRleaseVersion_.load());
    hidControlInterfaceNumber_.store(transport->interfaceNumber());
    return keepHid(std::move(transport), false) ? 0 : -ENODEV;
}

bool DCCameraKorva::setupHidNotification() {
    const std::shared_ptr<HidTransport> transport = hidInterface();
    if (!transport) {
        DCLog("IOCreatePlugInInterfaceForService failed");
        return false;
    }
    if (const int result = transport->seize(); result != 0) {
        DCLog("hidDeviceInterface open failed");
        DCLog("seizing the HID interface failed: %s", strerror(-result));
        noteHidFailure(result);
        return true;
    }
    if (keepHid(transport, true)) hidFindElements();
    return true;
}

bool DCCameraKorva::keepHid(std::shared_ptr<HidTransport> transport, bool seized) {
    {
        std::lock_guard lock(stateMutex_);
        if (!detached_) {
            (seized ? hidDeviceInterface_ : hidInterface_) = std::move(transport);
            return true;
        }
    }
    // Detached while this was being set up: nothing may stay claimed.
    transport->close();
    return false;
}

void DCCameraKorva::noteHidFailure(int error) {
    {
        std::lock_guard lock(stateMutex_);
        hidRetryArmed_ = mayHeal(error);
        hidRetryInterval_ = 1;
        hidRetryTicksLeft_ = 1;
    }
    // Once per camera: a missing permission does not go away by itself, the log must not fill up.
    if (hidFailureLogged_.exchange(true)) return;
    const std::shared_ptr<UsbDevice> device = deviceObject();
    const QByteArray name = device ? device->name().toUtf8() : QByteArray("the camera");
    if (error == -EACCES || error == -EPERM)
        DCLog("no access to the vendor HID interface of %s (%s): its buttons, focus and exposure steps are "
              "unavailable. Install the udev rule 70-korva-lectern.rules and replug the camera, or add the "
              "user to the group that owns its USB device node under /dev/bus/usb; access granted later is "
              "picked up",
              name.constData(), strerror(-error));
    else if (error == -EBUSY)
        DCLog("the vendor HID interface of %s is held by another program; trying again in the background",
              name.constData());
}

void DCCameraKorva::retryHidSetup() {
    {
        std::lock_guard lock(stateMutex_);
        if (!hidRetryArmed_ || detached_ || hidSetUpUnderWay_ || --hidRetryTicksLeft_ > 0) return;
        hidRetryInterval_ = std::min(hidRetryInterval_ * 2, kMaxHidRetryTicks);
        hidRetryTicksLeft_ = hidRetryInterval_;
    }
    const int result = claimHid();
    if (result != 0 && mayHeal(result)) return;
    {
        std::lock_guard lock(stateMutex_);
        hidRetryArmed_ = false;
    }
    const std::shared_ptr<UsbDevice> device = deviceObject();
    const QByteArray name = device ? device->name().toUtf8() : QByteArray("the camera");
    if (result != 0) {
        DCLog("giving up on the vendor HID interface of %s: %s", name.constData(), strerror(-result));
        return;
    }
    DCLog("the vendor HID interface of %s is usable now", name.constData());
    korvaCurrentFocusMode();
}

int DCCameraKorva::claimHid() {
    if (!hidInterface()) {
        if (const int result = openHidInterface(); result != 0) return result;
    }
    const std::shared_ptr<HidTransport> transport = hidInterface();
    if (!transport) return -ENODEV;
    if (const int result = transport->seize(); result != 0) return result;
    if (!keepHid(transport, true)) return -ENODEV;
    hidFindElements();
    return 0;
}

void DCCameraKorva::hidFindElements() {
    const std::shared_ptr<HidTransport> hid = hidDeviceInterface();
    if (!hid) return;
    {
        std::lock_guard lock(stateMutex_);
        if (!eventContext_) eventContext_ = new QObject;
    }
    // The transport outlives no camera: prepareToDetatch() closes it before the camera goes.
    const int result = hid->startEvents([this](std::span<const uint8_t> report) { handleCallBack(report); });
    if (result != 0) DCLog("starting the event reports failed: %s", strerror(-result));
}

void DCCameraKorva::prepareToDetatch() {
    std::shared_ptr<HidTransport> device;
    std::shared_ptr<HidTransport> interface;
    {
        std::lock_guard lock(stateMutex_);
        detached_ = true;
        hidRetryArmed_ = false;
        device = std::move(hidDeviceInterface_);
        interface = std::move(hidInterface_);
        // Freed here, where its thread (the device thread) still serves it; a camera that outlives
        // the controller keeps nothing bound to a thread that has ended.
        deleteOnItsThread(std::exchange(eventContext_, nullptr), deliveringEvents_);
    }
    // A report in flight on another thread finishes before the interface goes back to the kernel.
    if (device || interface) {
        std::lock_guard lock(cameraLock_);
        if (device) device->close();
        if (interface) {
            DCLog("gHardwareInfo.hidInterface ready for release");
            interface->close();
        }
    }
    DCUVCCamera::prepareToDetatch();
}

// Reports -----------------------------------------------------------------------------------------

std::shared_ptr<HidTransport> DCCameraKorva::waitForDevice() {
    std::unique_lock lock(stateMutex_);
    // Only a device still being set up is worth waiting for; anything else answers at once, so a
    // camera without access never holds up its caller (the main thread polls it).
    if (hidDeviceInterface_ || !hidSetUpUnderWay_) return hidDeviceInterface_;
    if (sleeper_) {
        const Sleeper sleeper = sleeper_;
        lock.unlock();
        sleeper(kDeviceWait);
        lock.lock();
    } else {
        hidSetUpEnded_.wait_for(lock, kDeviceWait, [this] { return !hidSetUpUnderWay_; });
    }
    if (auto hid = hidDeviceInterface_) return hid;
    lock.unlock();
    DCLog("device not init");
    return nullptr;
}

int DCCameraKorva::sendCommand(const std::shared_ptr<HidTransport> &hid, std::span<const uint8_t> report,
                               bool logOk) {
    int result = 0;
    {
        std::lock_guard lock(cameraLock_);
        result = hid->setReport(KorvaReport::kOutputReportId, report, kReportTimeout);
    }
    if (result != 0) {
        DCLog("setReport failed: %s", hex(result).constData());
        return -1;
    }
    if (logOk) DCLog("setReport ok");
    return 0;
}

int DCCameraKorva::query(const std::shared_ptr<HidTransport> &hid, std::span<const uint8_t> report,
                         std::span<uint8_t> input) {
    std::lock_guard lock(cameraLock_);
    const int sent = hid->setReport(KorvaReport::kOutputReportId, report, kReportTimeout);
    if (sent != 0) {
        // The device never saw the question: whatever input report it holds answers an older one.
        DCLog("setReport failed: %s", hex(sent).constData());
        return -1;
    }
    std::fill_n(input.begin(), 3, uint8_t{0});
    const int read = hid->getReport(KorvaReport::kInputReportId, input, kReportTimeout);
    if (read != 0) {
        DCLog("getReport failed: %s", hex(read).constData());
        return -1;
    }
    return 0;
}

int DCCameraKorva::korvaSetIris(int16_t value) {
    const auto report = KorvaReport::setIris(value);
    logReport("setReport", report);
    const auto hid = waitForDevice();
    if (!hid) return -1;
    return sendCommand(hid, report, false);
}

int DCCameraKorva::korvaSetPowerFrequency(int16_t value) {
    const auto report = KorvaReport::setPowerFrequency(value);
    logReport("setReport", report);
    const auto hid = waitForDevice();
    if (!hid) return -1;
    return sendCommand(hid, report, false);
}

int DCCameraKorva::korvaSetExposureLock(int16_t value) {
    if (!isAELockSupported()) return -1;
    if (value != 0 && value != 1) {
        DCLog("not valid exposureLock value");
        return -1;
    }
    const auto report = KorvaReport::setExposureLock(value);
    logReport("setReport", report);
    const auto hid = waitForDevice();
    if (!hid) return -1;
    if (sendCommand(hid, report, false) != 0) return -1;
    DCLog("finished");
    return 0;
}

int DCCameraKorva::korvaForceFocusAgain() {
    const auto hid = hidDeviceInterface();
    if (!hid) return -1;
    return sendCommand(hid, KorvaReport::forceFocusAgain(), true);
}

int DCCameraKorva::korvaResetImage() {
    const auto hid = hidDeviceInterface();
    if (!hid) return -1;
    return sendCommand(hid, KorvaReport::resetImage(), true);
}

int DCCameraKorva::korvaGetIris() {
    const auto hid = waitForDevice();
    if (!hid) return -1;
    KorvaReport::Report input{};
    if (query(hid, KorvaReport::getIris(), input) != 0) return -1;
    return KorvaReport::answer(input);
}

int DCCameraKorva::korvaGetPowerFrequency() {
    const auto hid = waitForDevice();
    if (!hid) return -1;
    KorvaReport::Report input{};
    if (query(hid, KorvaReport::getPowerFrequency(), input) != 0) return -1;
    const int value = KorvaReport::answer(input);
    DCLog("getReport: %s", hex(value).constData());
    return value;
}

int DCCameraKorva::korvaCurrentFocusMode() {
    if (const int32_t cached = isContinousFocusMode_.load(); cached != -1) return cached;
    const auto hid = hidDeviceInterface();
    if (!hid) return -1;
    const auto report = KorvaReport::currentFocusMode();
    KorvaReport::Report input{};
    int result = 0;
    {
        std::lock_guard lock(cameraLock_);
        result = hid->setReport(KorvaReport::kOutputReportId, report, kReportTimeout);
        if (result != 0) {
            DCLog("setReport failed: %s", hex(result).constData());
            return -1;
        }
        logReport("setReport", report);
        std::fill_n(input.begin(), 3, uint8_t{0});
        result = hid->getReport(KorvaReport::kInputReportId, input, kReportTimeout);
    }
    if (result != 0) {
        DCLog("getReport failed: %s", hex(result).constData());
        return -1;
    }
    logReport("getReport", input);
    const int32_t mode = KorvaReport::answer(input) == 1 ? 1 : 0;
    // An event that came meanwhile is newer than this answer.
    int32_t unknown = -1;
    isContinousFocusMode_.compare_exchange_strong(unknown, mode);
    return isContinousFocusMode_.load();
}

// Camera operations -------------------------------------------------------------------------------

int32_t DCCameraKorva::exposure() {
    const int value = korvaGetIris();
    return value < 0 ? kNotAvailable : value;
}

bool DCCameraKorva::setExposureLock(bool on) {
    if (korvaSetExposureLock(on ? 1 : 0) != 0) {
        DCLog("korvaSetExposureLock failed");
        return false;
    }
    return true;
}

bool DCCameraKorva::focusAgain() {
    if (!autoFocus()) setAutoFocus(true);
    if (korvaForceFocusAgain() != 0) return false;
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationCameraDidBeginAutoFocus,
                                                               selfVariant());
    return true;
}

int32_t DCCameraKorva::autoFocusMode() {
    return korvaCurrentFocusMode() == 0 ? 1 : 2;
}

bool DCCameraKorva::resetImageControl() {
    return korvaResetImage() == 0;
}

uint16_t DCCameraKorva::firmwareVersion() {
    return firmwareRleaseVersion_.load();
}

int DCCameraKorva::setExposureStep(int32_t step, int32_t first, int32_t last,
                                   const std::function<int32_t(int32_t)> &toIris) {
    if (step < first || step > last) {
        DCLog("invalid value of setIris: %hu", static_cast<unsigned short>(step));
        return -1;
    }
    if (korvaSetIris(static_cast<int16_t>(toIris(step))) != 0) {
        DCLog("korvaSetIris failed");
        return -1;
    }
    return 0;
}

// Events ------------------------------------------------------------------------------------------

void DCCameraKorva::handleCallBack(std::span<const uint8_t> report) {
    const auto value = KorvaReport::eventValue(report);
    if (!value) {
        logUnusableReport(report);
        return;
    }
    {
        std::lock_guard lock(stateMutex_);
        // Like the device's own queue, a full queue keeps the events it has and loses the new one.
        if (waitingEvents_.size() >= kMaxWaitingEvents) {
            DCLog("event queue full, event value:0x%x dropped", *value);
            return;
        }
        waitingEvents_.push_back(*value);
    }
    deliverWaitingEvents();
}

void DCCameraKorva::logUnusableReport(std::span<const uint8_t> report) {
    // A device that keeps sending such reports must not fill the log.
    const uint32_t count = unusableReports_.fetch_add(1) + 1;
    if (count > kMaxLoggedUnusableReports) return;
    if (KorvaReport::isForeignReport(report))
        DCLog("skipped input report %u (%d bytes): not an event report", unsigned{report[0]},
              static_cast<int>(report.size()));
    else
        DCLog("get unknow event: %d", static_cast<int>(report.size()));
    if (count == kMaxLoggedUnusableReports) DCLog("further unusable event reports are skipped silently");
}

void DCCameraKorva::deliverWaitingEvents() {
    // Runs on the device thread only, so the events keep their order.
    for (size_t i = 0; i <= kMaxWaitingEvents; ++i) {
        uint32_t value = 0;
        {
            std::lock_guard lock(stateMutex_);
            if (!active() || waitingEvents_.empty()) return;
            value = waitingEvents_.front();
            waitingEvents_.pop_front();
        }
        handleEvent(value);
    }
}

void DCCameraKorva::setActive(bool active) {
    DCUVCCamera::setActive(active);
    if (active) scheduleDelivery();
}

void DCCameraKorva::scheduleDelivery() {
    // Not a shared object (a test's camera): the context object, deleted with it, guards the call.
    const std::weak_ptr<DCCamera> weak = weak_from_this();
    const bool shared = !weak.expired();
    std::lock_guard lock(stateMutex_);
    if (!eventContext_ || waitingEvents_.empty()) return;
    QMetaObject::invokeMethod(
        eventContext_,
        [this, weak, shared] {
            std::shared_ptr<DCCamera> keep = weak.lock();
            if (shared && !keep) return;
            deliveringEvents_ = true;
            deliverWaitingEvents();
            deliveringEvents_ = false;
            // The camera must not go inside a call its own context object is running: a last
            // reference is released on the main thread's next turn instead.
            if (keep.use_count() == 1 && QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [last = std::move(keep)] {}, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

size_t DCCameraKorva::waitingEventCount() const {
    std::lock_guard lock(stateMutex_);
    return waitingEvents_.size();
}

void DCCameraKorva::handleEvent(uint32_t value) {
    auto post = [this](const QString &name) {
        DCNotificationCenter::defaultCenter().postNotificationName(name, selfVariant());
    };
    switch (value) {
    case 0x0001:
        DCLog("snapshot button");
        post(DCNote::DCNotificationSnapshot);
        return;
    case 0x0003:
        DCLog("to signal focus mode ");
        isContinousFocusMode_.store(0);
        post(DCNote::DCNotificationCameraSetToSingleFocus);
        return;
    case 0x0102:
        DCLog("Focus begin ");
        post(DCNote::DCNotificationCameraDidBeginAutoFocus);
        return;
    case 0x0103:
        DCLog("to continuous focus mode ");
        isContinousFocusMode_.store(1);
        post(DCNote::DCNotificationCameraSetToContinueFocus);
        return;
    case 0x0202:
        DCLog("Focus Done ");
        post(DCNote::DCNotificationCameraDidEndAutoFocus);
        return;
    case 0x0302:
        DCLog("custom button");
        post(DCNote::DCNotificationCameraCustomButton);
        return;
    default:
        break;
    }
    if ((value & 0xFF) == 0x06)
        DCLog("report exposure value: %d", static_cast<int>(value >> 8));
    else
        DCLog("error, unknow event value:0x%x", value);
}

// Accessors ---------------------------------------------------------------------------------------

std::shared_ptr<HidTransport> DCCameraKorva::hidInterface() const {
    std::lock_guard lock(stateMutex_);
    return hidInterface_;
}

void DCCameraKorva::setHidInterface(std::shared_ptr<HidTransport> transport) {
    std::lock_guard lock(stateMutex_);
    hidInterface_ = std::move(transport);
}

std::shared_ptr<HidTransport> DCCameraKorva::hidDeviceInterface() const {
    std::lock_guard lock(stateMutex_);
    return hidDeviceInterface_;
}

void DCCameraKorva::setHidDeviceInterface(std::shared_ptr<HidTransport> transport) {
    std::lock_guard lock(stateMutex_);
    hidDeviceInterface_ = std::move(transport);
}

void DCCameraKorva::setSleeper(Sleeper sleeper) {
    std::lock_guard lock(stateMutex_);
    sleeper_ = std::move(sleeper);
}
