#pragma once

#include <atomic>
#include <memory>

#include "devices/HidTransport.h"

class HidEventRelay;
class SimCamera;

// The vendor HID transport of a simulated camera: hands the report bytes to its HID side.
class SimHidTransport : public HidTransport {
public:
    explicit SimHidTransport(std::shared_ptr<SimCamera> camera);
    ~SimHidTransport() override;

    uint16_t deviceReleaseNumber() const override;
    uint8_t interfaceNumber() const override;
    int seize() override;
    int setReport(uint8_t reportId, std::span<const uint8_t> data,
                  std::chrono::milliseconds timeout) override;
    int getReport(uint8_t reportId, std::span<uint8_t> out, std::chrono::milliseconds timeout) override;
    int startEvents(EventHandler handler) override;
    void close() override;

private:
    std::shared_ptr<SimCamera> camera_;
    std::shared_ptr<HidEventRelay> relay_;
    std::atomic<bool> seized_{false};
    std::atomic<bool> closed_{false};
};
