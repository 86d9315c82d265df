#include "DCCameraKorva.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/HidTransport.h"
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

} // namespace

QStringList DCCameraKorva::supportedResolutions() {
    return {DCResolutionList::stringFromSize({1600, 1200}), DCResolutionList::stringFromSize({1280, 1024}),
            DCResolutionList::stringFromSize({1024, 768}),  DCResolutionList::stringFromSize({800, 600}),
            DCResolutionList::stringFromSize({640, 480}),   DCResolutionList::stringFromSize({320, 240})};
}

QSizeF DCCameraKorva::defaultResolution() {
    return {1024, 768};
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
    if (eventContext_) {
        if (eventContext_->thread() == QThread::currentThread())
            delete eventContext_;
        else
            eventContext_->deleteLater();
    }
}

// Set-up ------------------------------------------------------------------------------------------

void DCCameraKorva::prepareToWorkWithDevice(std::shared_ptr<UsbDevice> device) {
    DCUVCCamera::prepareToWorkWithDevice(device);
    if (!device) return;
    if (!setupHIDControlInterface()) return;
    setupHidNotification();
    korvaCurrentFocusMode();
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
    int error = 0;
    std::shared_ptr<HidTransport> transport = device->openHid(&error);
    if (!transport) {
        DCLog("opening the HID interface of %s failed: %s", qUtf8Printable(device->name()), strerror(-error));
        return false;
    }
    DCLog("set up hidInterface ok");
    firmwareRleaseVersion_.store(transport->deviceReleaseNumber());
    DCLog("update firmware version: 0x%04x", firmwareRleaseVersion_.load());
    hidControlInterfaceNumber_.store(transport->interfaceNumber());
    setHidInterface(std::move(transport));
    return true;
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
        return true;
    }
    setHidDeviceInterface(transport);
    hidFindElements();
    return true;
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
        device = std::move(hidDeviceInterface_);
        interface = std::move(hidInterface_);
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
    if (auto hid = hidDeviceInterface()) return hid;
    Sleeper sleeper;
    {
        std::lock_guard lock(stateMutex_);
        sleeper = sleeper_;
    }
    if (sleeper)
        sleeper(kDeviceWait);
    else
        std::this_thread::sleep_for(kDeviceWait);
    if (auto hid = hidDeviceInterface()) return hid;
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
            deliverWaitingEvents();
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
