#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

class HidEventRelay;

// The vendor HID side of a simulated camera. It keeps the state the vendor reports act on (iris step,
// power frequency, exposure lock, focus mode), answers the queries from it, records every report,
// sends event reports injected by tests or by the demo, and fails transfers on request.
// Thread-safe.
class SimHidDevice {
public:
    static constexpr uint8_t kInterfaceNumber = 2;
    static constexpr size_t kMaxRecords = 10000; // oldest records are dropped beyond this

    enum class Direction { Output, Input };
    // One report as the device saw it: the bytes sent, or the bytes answered (empty on failure).
    struct Record {
        Direction direction;
        uint8_t reportId;
        std::vector<uint8_t> data;
        int result;
    };

    std::vector<Record> records() const;
    // The bytes of the output reports that reached the device.
    std::vector<std::vector<uint8_t>> outputReports() const;
    void clearRecords();

    // Device state.
    uint8_t iris() const;
    void setIris(uint8_t value);
    uint8_t powerFrequency() const;
    void setPowerFrequency(uint8_t value);
    uint8_t exposureLock() const;
    // 1 continuous, 0 single-shot.
    uint8_t focusMode() const;
    void setFocusMode(uint8_t mode);
    int resetCount() const;
    int focusAgainCount() const;
    bool seized() const;

    // Every transfer answers `error` (a negative errno value: -EPIPE stall, -ETIMEDOUT) until
    // failTransfers(0).
    void failTransfers(int error);
    // Claiming the interface answers `error` (-EACCES: no permission, -EBUSY: held elsewhere) until
    // refuseClaim(0).
    void refuseClaim(int error);
    int claimAttempts() const;
    // Sends the event report of `value` to every host that listens.
    void injectEvent(uint32_t value);
    // Sends raw bytes as an event report (reports of other lengths, garbage).
    void injectReport(std::span<const uint8_t> report);

    // The device side of the transport.
    int setReport(uint8_t reportId, std::span<const uint8_t> data);
    int getReport(uint8_t reportId, std::span<uint8_t> out);
    int seize();
    void release();
    void addListener(const std::shared_ptr<HidEventRelay> &relay);
    void removeListener(const std::shared_ptr<HidEventRelay> &relay);
    // Set by the owning camera when it vanishes: everything answers -ENODEV.
    void setGone();

private:
    enum class Query { None, Iris, Frequency, FocusMode };
    void record(Direction direction, uint8_t reportId, std::span<const uint8_t> data, int result);
    int apply(std::span<const uint8_t> data);

    mutable std::mutex mutex_;
    std::vector<Record> records_;
    std::vector<std::weak_ptr<HidEventRelay>> listeners_;
    int fault_ = 0;
    int claimRefusal_ = 0;
    int claimAttempts_ = 0;
    bool gone_ = false;
    bool seized_ = false;
    Query query_ = Query::None;
    uint8_t iris_ = 8;
    uint8_t powerFrequency_ = 1;
    uint8_t exposureLock_ = 0;
    uint8_t focusMode_ = 1;
    int resetCount_ = 0;
    int focusAgainCount_ = 0;
};
