#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "devices/HidTransport.h"

class QObject;

// Hands event reports to the thread that started the events (the device thread), whichever thread
// read them: a libusb completion can run on any thread that happens to service libusb's events.
// On the bound thread the handler runs at once; from other threads the report is copied and queued
// to that thread's event loop. After stop() no handler call starts.
class HidEventRelay {
public:
    // Reports longer than this are cut; the handler sees the cut length and rejects the report.
    static constexpr size_t kMaxReportLength = 1024;

    // Binds to the calling thread.
    explicit HidEventRelay(HidTransport::EventHandler handler);
    ~HidEventRelay();
    HidEventRelay(const HidEventRelay &) = delete;
    HidEventRelay &operator=(const HidEventRelay &) = delete;

    // Any thread. `self` keeps the relay alive for a queued delivery.
    static void deliver(const std::shared_ptr<HidEventRelay> &self, std::span<const uint8_t> report);
    // Call on the bound thread.
    void stop();

private:
    void run(std::span<const uint8_t> report);

    std::mutex mutex_;
    HidTransport::EventHandler handler_;
    QObject *context_;
    bool running_ = false; // bound thread only
};
