#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

#include "devices/DCUVCCamera.h"

class HidTransport;
class QObject;

// The common class of the maker's cameras: a UVC camera with a vendor HID interface that carries the
// commands UVC lacks (iris step, power frequency, exposure lock, focus again, focus-mode query, image
// reset) and the device's events (buttons, focus begin/end, focus-mode changes, exposure reports).
//
// Thread-safety: commands run on any thread; each report transfer (output report, and the input
// report of a query) runs under cameraLock(), which the capture pipeline also takes while it changes
// the output size. Set-up, events and their notifications run on the device thread. Events that
// arrive while the camera is not active wait (at most kMaxWaitingEvents) and are handled on the
// device thread once it becomes active.
//
// A command waits for the HID interface only while the device's set-up is under way (it is known to
// be coming); otherwise a camera without it answers -1 at once. A HID interface that could not be
// claimed for want of access (or because another program holds it) is claimed again by
// retryHidSetup() on the device thread, so access granted later is picked up.
class DCCameraKorva : public DCUVCCamera {
    DC_RESOLUTION_CLASS_OPERATIONS
public:
    static constexpr uint32_t kVendorId = 0x1778;
    static constexpr std::chrono::milliseconds kReportTimeout{100};
    // How long a command waits at most for a HID interface whose set-up is under way.
    static constexpr std::chrono::milliseconds kDeviceWait{1000};
    // The back-off of the HID claim, in calls of retryHidSetup() (status ticks of 0.3 s): it doubles
    // from one tick up to this.
    static constexpr int kMaxHidRetryTicks = 16;
    static constexpr size_t kMaxWaitingEvents = 8;
    // Unusable event reports (another report ID, another length) logged per camera; the rest are not.
    static constexpr uint32_t kMaxLoggedUnusableReports = 16;
    using Sleeper = std::function<void(std::chrono::milliseconds)>;

    DCCameraKorva();
    ~DCCameraKorva() override;
    static std::shared_ptr<DCCameraKorva> camera();

    // UVC preparation, then the HID interface (firmware version), the seized HID device with its
    // events on this thread's event loop, then the focus-mode query.
    void prepareToWorkWithDevice(std::shared_ptr<UsbDevice> device) override;
    // Stops the events, releases the HID interface to its kernel driver, then the UVC side.
    void prepareToDetatch() override;
    bool setupHIDControlInterface();
    bool setupHidNotification();
    void hidFindElements();
    // Device thread, on every status tick: claims the HID interface again after a failure that may
    // heal (no access, busy), with a back-off. Logs once when it succeeds or gives up.
    void retryHidSetup();
    // One report from the event endpoint, on the device thread; only event reports count.
    void handleCallBack(std::span<const uint8_t> report);

    // Vendor reports: 0 (or the answer of a query), -1 on failure.
    int korvaSetIris(int16_t value);
    int korvaSetPowerFrequency(int16_t value);
    int korvaSetExposureLock(int16_t value);
    int korvaForceFocusAgain();
    int korvaResetImage();
    int korvaGetIris();
    int korvaGetPowerFrequency();
    // 1 continuous, 0 single-shot, -1 on failure; the cached mode when known.
    int korvaCurrentFocusMode();

    QString model() const override { return QStringLiteral("Korva"); }
    QString shortModel() const override { return model(); }
    // The iris value of the vendor query; kNotAvailable when the query fails.
    int32_t exposure() override;
    bool setExposureLock(bool on) override;
    bool focusAgain() override;
    // 1 single-shot, 2 continuous (also when unknown).
    int32_t autoFocusMode() override;
    bool resetImageControl();
    uint16_t firmwareVersion() override;
    // Becoming active hands the waiting events to the device thread.
    void setActive(bool active) override;

    std::mutex &cameraLock() { return cameraLock_; }
    int32_t isContinousFocusMode() const { return isContinousFocusMode_.load(); }
    // The opened HID interface (firmware version, interface number); null until set up.
    std::shared_ptr<HidTransport> hidInterface() const;
    void setHidInterface(std::shared_ptr<HidTransport> transport);
    // The same interface once seized: the reports and events go through it; null until then.
    std::shared_ptr<HidTransport> hidDeviceInterface() const;
    void setHidDeviceInterface(std::shared_ptr<HidTransport> transport);
    uint32_t hidControlInterfaceNumber() const { return hidControlInterfaceNumber_.load(); }
    void setHidControlInterfaceNumber(uint32_t number) { hidControlInterfaceNumber_.store(number); }
    size_t waitingEventCount() const;

    // Tests replace the wait for a device whose set-up is under way: called instead of waiting.
    void setSleeper(Sleeper sleeper);

protected:
    // Which exposure steps the model offers and what it sends for them.
    int setExposureStep(int32_t step, int32_t first, int32_t last,
                        const std::function<int32_t(int32_t)> &toIris);

private:
    // The HID device for a command: at once, or after waiting for a set-up under way; null when absent.
    std::shared_ptr<HidTransport> waitForDevice();
    // Opens the HID interface (firmware version, interface number). 0 or a negative errno value.
    int openHidInterface();
    // Opens (when needed) and seizes the HID interface, then starts its events; quiet on failure.
    int claimHid();
    // Keeps an opened (or seized) transport; false, with the transport closed, once detached.
    bool keepHid(std::shared_ptr<HidTransport> transport, bool seized);
    // Logs a failed claim once per camera, with what to do, and arms the retry where it may heal.
    void noteHidFailure(int error);
    int sendCommand(const std::shared_ptr<HidTransport> &hid, std::span<const uint8_t> report, bool logOk);
    // Sends a query and reads input report 1 into `input`. 0, or -1 when either report fails.
    int query(const std::shared_ptr<HidTransport> &hid, std::span<const uint8_t> report,
              std::span<uint8_t> input);
    void handleEvent(uint32_t value);
    void logUnusableReport(std::span<const uint8_t> report);
    void deliverWaitingEvents();
    void scheduleDelivery();

    std::mutex cameraLock_;
    mutable std::mutex stateMutex_;
    std::shared_ptr<HidTransport> hidInterface_;
    std::shared_ptr<HidTransport> hidDeviceInterface_;
    std::condition_variable hidSetUpEnded_;
    bool hidSetUpUnderWay_ = false;
    bool detached_ = false;
    bool hidRetryArmed_ = false;
    int hidRetryInterval_ = 1;
    int hidRetryTicksLeft_ = 1;
    std::atomic<bool> hidFailureLogged_{false};
    Sleeper sleeper_;
    QObject *eventContext_ = nullptr;           // lives on the device thread; carries queued deliveries
    std::atomic<bool> deliveringEvents_{false}; // a delivery through eventContext_ is running
    std::deque<uint32_t> waitingEvents_;
    std::atomic<uint32_t> unusableReports_{0};
    std::atomic<int32_t> isContinousFocusMode_{-1};
    std::atomic<uint16_t> firmwareRleaseVersion_{0};
    std::atomic<uint32_t> hidControlInterfaceNumber_{0};
};
