#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>

// The vendor HID interface of one of the maker's cameras. The real transport talks to the device
// through libusb; the simulated camera answers the bytes itself. No libusb types here.
//
// Thread-safety: setReport() and getReport() may be called from any thread (the camera serialises
// them under its own lock). startEvents() and close() belong to one thread, the one whose event loop
// delivers the events (the device thread).
class HidTransport {
public:
    // One input report read from the event endpoint, as it arrived (report ID byte first).
    using EventHandler = std::function<void(std::span<const uint8_t> report)>;

    virtual ~HidTransport() = default;

    // The device's release number (bcdDevice), read when the transport was opened.
    virtual uint16_t deviceReleaseNumber() const = 0;
    // bInterfaceNumber of the HID interface.
    virtual uint8_t interfaceNumber() const = 0;

    // Takes the HID interface from its kernel driver and claims it, so that nothing else acts on the
    // device's reports. 0, or a negative errno value.
    virtual int seize() = 0;
    // Sends `data` as output report `reportId`. 0, or a negative errno value: -EPIPE for a stalled
    // request, -ETIMEDOUT, -ENODEV once the device is gone.
    virtual int setReport(uint8_t reportId, std::span<const uint8_t> data,
                          std::chrono::milliseconds timeout) = 0;
    // Reads input report `reportId` into `out` (all of it). 0, or a negative errno value as above.
    virtual int getReport(uint8_t reportId, std::span<uint8_t> out, std::chrono::milliseconds timeout) = 0;
    // Starts reading event reports; `handler` runs on the calling thread's event loop. 0, or a negative
    // errno value (-ENOENT when the interface has no event endpoint).
    virtual int startEvents(EventHandler handler) = 0;
    // Stops the events, releases the interface and hands it back to its kernel driver. Idempotent;
    // reports fail with -ENODEV afterwards.
    virtual void close() = 0;
};
