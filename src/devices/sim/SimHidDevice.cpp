#include "SimHidDevice.h"

#include <algorithm>
#include <cerrno>

#include "devices/HidEventRelay.h"
#include "devices/KorvaReport.h"

namespace {
constexpr uint8_t kDefaultIris = 8;
}

std::vector<SimHidDevice::Record> SimHidDevice::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<std::vector<uint8_t>> SimHidDevice::outputReports() const {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<uint8_t>> out;
    for (const Record &r : records_)
        if (r.direction == Direction::Output) out.push_back(r.data);
    return out;
}

void SimHidDevice::clearRecords() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

// clang-format off
uint8_t SimHidDevice::iris() const { std::lock_guard lock(mutex_); return iris_; }
void SimHidDevice::setIris(uint8_t value) { std::lock_guard lock(mutex_); iris_ = value; }
uint8_t SimHidDevice::powerFrequency() const { std::lock_guard lock(mutex_); return powerFrequency_; }
void SimHidDevice::setPowerFrequency(uint8_t value) { std::lock_guard lock(mutex_); powerFrequency_ = value; }
uint8_t SimHidDevice::exposureLock() const { std::lock_guard lock(mutex_); return exposureLock_; }
uint8_t SimHidDevice::focusMode() const { std::lock_guard lock(mutex_); return focusMode_; }
void SimHidDevice::setFocusMode(uint8_t mode) { std::lock_guard lock(mutex_); focusMode_ = mode; }
int SimHidDevice::resetCount() const { std::lock_guard lock(mutex_); return resetCount_; }
int SimHidDevice::focusAgainCount() const { std::lock_guard lock(mutex_); return focusAgainCount_; }
bool SimHidDevice::seized() const { std::lock_guard lock(mutex_); return seized_; }
void SimHidDevice::failTransfers(int error) { std::lock_guard lock(mutex_); fault_ = error; }
void SimHidDevice::refuseClaim(int error) { std::lock_guard lock(mutex_); claimRefusal_ = error; }
int SimHidDevice::claimAttempts() const { std::lock_guard lock(mutex_); return claimAttempts_; }
void SimHidDevice::setGone() { std::lock_guard lock(mutex_); gone_ = true; }
// clang-format on

void SimHidDevice::record(Direction direction, uint8_t reportId, std::span<const uint8_t> data, int result) {
    if (records_.size() >= kMaxRecords) records_.erase(records_.begin());
    records_.push_back({direction, reportId, {data.begin(), data.end()}, result});
}

int SimHidDevice::setReport(uint8_t reportId, std::span<const uint8_t> data) {
    std::lock_guard lock(mutex_);
    int result = gone_ ? -ENODEV : fault_;
    if (result == 0) result = reportId == KorvaReport::kOutputReportId ? apply(data) : -EPIPE;
    record(Direction::Output, reportId, data, result);
    return result;
}

int SimHidDevice::apply(std::span<const uint8_t> d) {
    if (d.size() == KorvaReport::kResetLength && d[0] == 0xFF) {
        iris_ = kDefaultIris;
        ++resetCount_;
        return 0;
    }
    if (d.size() != KorvaReport::kReportLength) return -EPIPE;
    if (d[0] == 0x02 && d[1] == 0x06)
        iris_ = d[2];
    else if (d[0] == 0x02 && d[1] == 0x04)
        powerFrequency_ = d[2];
    else if (d[0] == 0x02 && d[1] == 0x05)
        exposureLock_ = d[2];
    else if (d[0] == 0x02 && d[1] == 0x4F)
        ++focusAgainCount_;
    else if (d[0] == 0x02 && d[1] == 0x00 && d[2] == 0x03)
        query_ = Query::FocusMode;
    else if (d[0] == 0x01 && d[1] == 0x00 && d[2] == 0x06)
        query_ = Query::Iris;
    else if (d[0] == 0x01 && d[1] == 0x00 && d[2] == 0x04)
        query_ = Query::Frequency;
    else
        return -EPIPE;
    return 0;
}

int SimHidDevice::getReport(uint8_t reportId, std::span<uint8_t> out) {
    std::lock_guard lock(mutex_);
    int result = gone_ ? -ENODEV : fault_;
    if (result == 0 && (reportId != KorvaReport::kInputReportId || out.size() != KorvaReport::kReportLength))
        result = -EPIPE;
    if (result == 0) {
        uint8_t value = 0;
        switch (query_) {
        case Query::Iris:
            value = iris_;
            break;
        case Query::Frequency:
            value = powerFrequency_;
            break;
        case Query::FocusMode:
            value = focusMode_;
            break;
        case Query::None:
            break;
        }
        std::fill(out.begin(), out.end(), uint8_t{0});
        out[0] = KorvaReport::kInputReportId;
        out[1] = value;
    }
    record(Direction::Input, reportId,
           result == 0 ? std::span<const uint8_t>(out) : std::span<const uint8_t>(), result);
    return result;
}

int SimHidDevice::seize() {
    std::lock_guard lock(mutex_);
    ++claimAttempts_;
    if (gone_) return -ENODEV;
    if (claimRefusal_) return claimRefusal_;
    if (seized_) return -EBUSY;
    seized_ = true;
    return 0;
}

void SimHidDevice::release() {
    std::lock_guard lock(mutex_);
    seized_ = false;
}

void SimHidDevice::addListener(const std::shared_ptr<HidEventRelay> &relay) {
    std::lock_guard lock(mutex_);
    listeners_.push_back(relay);
}

void SimHidDevice::removeListener(const std::shared_ptr<HidEventRelay> &relay) {
    std::lock_guard lock(mutex_);
    std::erase_if(listeners_, [&](const std::weak_ptr<HidEventRelay> &w) {
        const auto l = w.lock();
        return !l || l == relay;
    });
}

void SimHidDevice::injectEvent(uint32_t value) {
    const auto report = KorvaReport::eventReport(value);
    injectReport(report);
}

void SimHidDevice::injectReport(std::span<const uint8_t> report) {
    std::vector<std::shared_ptr<HidEventRelay>> listeners;
    {
        std::lock_guard lock(mutex_);
        if (gone_) return;
        for (const auto &w : listeners_)
            if (auto l = w.lock()) listeners.push_back(std::move(l));
    }
    for (const auto &l : listeners)
        HidEventRelay::deliver(l, report);
}
