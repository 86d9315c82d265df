#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "devices/HidTransport.h"
#include "devices/UsbDevice.h"

class HidEventRelay;
class QSocketNotifier;
struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

// The vendor HID interface of a real camera through libusb. Only the HID interface is touched: it is
// taken from its kernel driver and claimed by seize(), reports are HID class requests on the default
// pipe, and events are interrupt-IN transfers, handed on whole with their report ID byte (an interface
// may send input reports of several IDs there; which of them are events is the camera's to say). libusb's
// file descriptors are watched by socket notifiers on the thread that starts the events (the device thread),
// which services libusb's events without blocking; a completion that another thread's synchronous transfer
// happens to service is handed to the device thread by the relay.
class LibusbHidTransport : public HidTransport {
public:
    // Opens the device whose vendor, product and location ID (bus and port path) match; null with
    // `error` (a negative errno value) when there is none, it has no HID interface, or it cannot be
    // opened.
    static std::unique_ptr<LibusbHidTransport> open(const UsbDeviceProperties &device, int *error);
    ~LibusbHidTransport() override;

    uint16_t deviceReleaseNumber() const override { return releaseNumber_; }
    uint8_t interfaceNumber() const override { return interfaceNumber_; }
    int seize() override;
    int setReport(uint8_t reportId, std::span<const uint8_t> data,
                  std::chrono::milliseconds timeout) override;
    int getReport(uint8_t reportId, std::span<uint8_t> out, std::chrono::milliseconds timeout) override;
    int startEvents(EventHandler handler) override;
    void close() override;

    // libusb's error codes as negative errno values.
    static int errnoOf(int libusbError);

private:
    LibusbHidTransport() = default;
    int submitEventTransfer();
    void serviceEvents();
    void watchDescriptor(int fd, short events);
    void unwatchDescriptor(int fd);
    static void onTransfer(libusb_transfer *transfer);
    static void onDescriptorAdded(int fd, short events, void *self);
    static void onDescriptorRemoved(int fd, void *self);

    libusb_context *context_ = nullptr;
    libusb_device_handle *handle_ = nullptr;
    uint16_t releaseNumber_ = 0;
    uint8_t interfaceNumber_ = 0;
    uint8_t eventEndpoint_ = 0; // 0: the interface has no interrupt-IN endpoint
    uint16_t eventPacketSize_ = 0;
    bool claimed_ = false;
    bool driverDetached_ = false;
    std::atomic<bool> closed_{false};

    std::shared_ptr<HidEventRelay> relay_;
    libusb_transfer *eventTransfer_ = nullptr;
    std::vector<uint8_t> eventBuffer_;
    std::atomic<bool> eventTransferActive_{false};
    int failedTransfers_ = 0;
    struct Watch {
        int fd;
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };
    std::vector<Watch> watches_;
};
