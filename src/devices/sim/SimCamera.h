#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "devices/UsbDevice.h"
#include "devices/UvcRequest.h"
#include "devices/sim/SimHidDevice.h"

// A simulated document camera: the device side of the transports, shared by them (and, later, by the
// HID transport and a frame source). It answers UVC control requests from its own per-control state
// and the probe/commit exchange byte for byte, records every request, and can be told to stall
// requests or to vanish. Thread-safe.
class SimCamera {
public:
    static constexpr uint8_t kVideoControlInterface = 0;
    static constexpr uint8_t kStreamingInterface = 1;
    static constexpr size_t kMaxRecords = 10000; // oldest records are dropped beyond this

    struct Control {
        uint16_t size; // bytes on the wire
        int32_t current;
        int32_t minimum;
        int32_t maximum;
        int32_t defaultValue;
    };
    // One request as the device saw it. `data` holds the bytes sent (SET) or answered (GET); empty
    // when the request failed.
    struct Record {
        UvcRequest::SetupPacket setup;
        std::vector<uint8_t> data;
        int result;
    };
    // A request stalls when every given field matches.
    struct StallRule {
        std::optional<uint8_t> request;
        std::optional<uint8_t> selector;
        std::optional<uint8_t> entity;
    };
    using ProbeCommit = std::array<uint8_t, UvcRequest::kProbeCommitLength>;

    // A document camera with the maker's entity IDs (1 camera terminal, 3 processing unit).
    SimCamera();
    SimCamera(const SimCamera &) = delete;
    SimCamera &operator=(const SimCamera &) = delete;

    // Identity.
    UsbDeviceProperties properties() const;
    void setProperties(const UsbDeviceProperties &properties);
    // When false, reading the properties fails as it does for a device in the middle of going away.
    void setPropertiesReadable(bool readable);
    bool propertiesReadable() const;

    // Controls, by (entity, selector).
    void setControl(uint8_t entity, uint8_t selector, const Control &control);
    void removeControl(uint8_t entity, uint8_t selector);
    std::optional<Control> control(uint8_t entity, uint8_t selector) const;

    // One of the maker's models by its short name ("Orb", "Orb-R", "Wren", "Wren-HD", "Kite-1 HD"):
    // sets the product ID. False for an unknown name.
    bool setModel(const QString &shortModel);
    // The vendor HID side.
    SimHidDevice &hid() { return hid_; }

    // Faults.
    void stall(const StallRule &rule);
    void stallAll() { stall(StallRule{}); }
    void clearStalls();
    // From now on every request, report and open answers -ENODEV.
    void vanish();
    bool vanished() const;

    // What the host sent.
    std::vector<Record> records() const;
    void clearRecords();

    ProbeCommit probe() const;
    ProbeCommit committed() const;

    // The device side of one control transfer (called by the transport).
    int controlRequest(const UvcRequest::SetupPacket &setup, std::span<uint8_t> data);

private:
    int answer(const UvcRequest::Fields &f, std::span<uint8_t> data);
    int answerControl(const UvcRequest::Fields &f, std::span<uint8_t> data);
    int answerStream(const UvcRequest::Fields &f, std::span<uint8_t> data);
    bool stalls(const UvcRequest::Fields &f) const;

    mutable std::mutex mutex_;
    UsbDeviceProperties properties_;
    bool propertiesReadable_ = true;
    std::map<std::pair<uint8_t, uint8_t>, Control> controls_;
    std::vector<StallRule> stallRules_;
    bool vanished_ = false;
    std::vector<Record> records_;
    ProbeCommit default_{};
    ProbeCommit probe_{};
    ProbeCommit committed_{};
    SimHidDevice hid_;
};
