#include "SimCamera.h"

#include <cerrno>

#include "devices/UvcControlTable.h"

using namespace UvcControlTable;

namespace {

void encode(int32_t value, std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// Signed on the wire when the control's range reaches below zero.
int32_t decode(std::span<const uint8_t> in, bool isSigned) {
    uint32_t raw = 0;
    for (size_t i = 0; i < in.size() && i < 4; ++i)
        raw |= uint32_t{in[i]} << (8 * i);
    if (in.size() == 1) return isSigned ? static_cast<int8_t>(raw) : static_cast<int32_t>(raw);
    if (in.size() == 2) return isSigned ? static_cast<int16_t>(raw) : static_cast<int32_t>(raw);
    return static_cast<int32_t>(raw);
}

} // namespace

SimCamera::SimCamera() {
    properties_ = {0x1778, 0x0206, 0xfa120000, 0x0102};
    // A document camera under office light, the values of the maker's devices.
    setControl(kProcessingUnit, 0x01, {2, 1, 0, 2, 1});             // backlight compensation
    setControl(kProcessingUnit, 0x02, {2, 0, -64, 64, 0});          // brightness
    setControl(kProcessingUnit, 0x03, {2, 32, 0, 64, 32});          // contrast
    setControl(kProcessingUnit, 0x05, {1, 1, 0, 2, 1});             // power line frequency: 50 Hz
    setControl(kProcessingUnit, 0x06, {2, 0, -40, 40, 0});          // hue
    setControl(kProcessingUnit, 0x07, {2, 64, 0, 128, 64});         // saturation
    setControl(kProcessingUnit, 0x08, {2, 3, 0, 7, 3});             // sharpness
    setControl(kProcessingUnit, 0x09, {2, 100, 72, 500, 100});      // gamma
    setControl(kProcessingUnit, 0x0A, {2, 4600, 2800, 6500, 4600}); // white balance temperature
    setControl(kProcessingUnit, 0x0B, {1, 1, 0, 1, 1});             // white balance auto
    setControl(kCameraTerminal, 0x02, {1, kAEModeAuto, kAEModeManual, kAEModeAperturePriority, kAEModeAuto});
    setControl(kCameraTerminal, 0x09, {2, 16, 0, 255, 16});  // iris
    setControl(kCameraTerminal, 0x06, {2, 68, 0, 1023, 68}); // focus
    setControl(kCameraTerminal, 0x08, {2, 1, 0, 1, 1});      // focus auto

    default_[2] = 2;                  // MJPEG
    default_[3] = 1;                  // 640 x 480
    const uint32_t interval = 333333; // 30 frames per second
    for (int i = 0; i < 4; ++i)
        default_[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(interval >> (8 * i));
    probe_ = default_;
    committed_ = default_;
}

UsbDeviceProperties SimCamera::properties() const {
    std::lock_guard lock(mutex_);
    return properties_;
}

void SimCamera::setProperties(const UsbDeviceProperties &properties) {
    std::lock_guard lock(mutex_);
    properties_ = properties;
}

void SimCamera::setPropertiesReadable(bool readable) {
    std::lock_guard lock(mutex_);
    propertiesReadable_ = readable;
}

bool SimCamera::propertiesReadable() const {
    std::lock_guard lock(mutex_);
    return propertiesReadable_ && !vanished_;
}

void SimCamera::setControl(uint8_t entity, uint8_t selector, const Control &control) {
    std::lock_guard lock(mutex_);
    controls_[{entity, selector}] = control;
}

void SimCamera::removeControl(uint8_t entity, uint8_t selector) {
    std::lock_guard lock(mutex_);
    controls_.erase({entity, selector});
}

std::optional<SimCamera::Control> SimCamera::control(uint8_t entity, uint8_t selector) const {
    std::lock_guard lock(mutex_);
    const auto it = controls_.find({entity, selector});
    if (it == controls_.end()) return std::nullopt;
    return it->second;
}

void SimCamera::stall(const StallRule &rule) {
    std::lock_guard lock(mutex_);
    stallRules_.push_back(rule);
}

void SimCamera::clearStalls() {
    std::lock_guard lock(mutex_);
    stallRules_.clear();
}

void SimCamera::vanish() {
    hid_.setGone();
    std::lock_guard lock(mutex_);
    vanished_ = true;
}

bool SimCamera::setModel(const QString &shortModel) {
    static const std::map<QString, uint32_t> kProductIds{{QStringLiteral("Orb"), 0x0204},
                                                         {QStringLiteral("Orb-R"), 0x0208},
                                                         {QStringLiteral("Wren"), 0x0205},
                                                         {QStringLiteral("Wren-HD"), 0x0206},
                                                         {QStringLiteral("Kite-1 HD"), 0x0207}};
    const auto it = kProductIds.find(shortModel);
    if (it == kProductIds.end()) return false;
    std::lock_guard lock(mutex_);
    properties_.idProduct = it->second;
    return true;
}

bool SimCamera::vanished() const {
    std::lock_guard lock(mutex_);
    return vanished_;
}

std::vector<SimCamera::Record> SimCamera::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

void SimCamera::clearRecords() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

SimCamera::ProbeCommit SimCamera::probe() const {
    std::lock_guard lock(mutex_);
    return probe_;
}

SimCamera::ProbeCommit SimCamera::committed() const {
    std::lock_guard lock(mutex_);
    return committed_;
}

int SimCamera::controlRequest(const UvcRequest::SetupPacket &setup, std::span<uint8_t> data) {
    const auto f = UvcRequest::decode(setup);
    std::lock_guard lock(mutex_);
    Record record{setup, {}, 0};
    if (data.size() < f.wLength) {
        record.result = -EINVAL;
    } else {
        const auto payload = data.first(f.wLength);
        if (!f.isGet()) record.data.assign(payload.begin(), payload.end());
        record.result = vanished_ ? -ENODEV : stalls(f) ? -EPIPE : answer(f, payload);
        if (f.isGet() && record.result == 0) record.data.assign(payload.begin(), payload.end());
    }
    if (records_.size() >= kMaxRecords) records_.erase(records_.begin());
    records_.push_back(std::move(record));
    return records_.back().result;
}

bool SimCamera::stalls(const UvcRequest::Fields &f) const {
    for (const StallRule &rule : stallRules_) {
        if (rule.request && *rule.request != f.bRequest) continue;
        if (rule.selector && *rule.selector != f.selector) continue;
        if (rule.entity && *rule.entity != f.entity()) continue;
        return true;
    }
    return false;
}

int SimCamera::answer(const UvcRequest::Fields &f, std::span<uint8_t> data) {
    // Only class requests to an interface reach the device side.
    if ((f.bmRequestType & 0x7F) != 0x21) return -EPIPE;
    if (f.wIndex == (uint16_t{kStreamingInterface})) return answerStream(f, data);
    if (f.interfaceNumber() == kVideoControlInterface) return answerControl(f, data);
    return -EPIPE;
}

int SimCamera::answerControl(const UvcRequest::Fields &f, std::span<uint8_t> data) {
    const auto it = controls_.find({f.entity(), f.selector});
    if (it == controls_.end()) return -EPIPE;
    Control &c = it->second;
    if (f.wLength != c.size) return -EPIPE;
    switch (f.bRequest) {
    case UvcRequest::GET_CUR:
        encode(c.current, data);
        return 0;
    case UvcRequest::GET_MIN:
        encode(c.minimum, data);
        return 0;
    case UvcRequest::GET_MAX:
        encode(c.maximum, data);
        return 0;
    case UvcRequest::GET_DEF:
        encode(c.defaultValue, data);
        return 0;
    case UvcRequest::SET_CUR: {
        const int32_t value = decode(data, c.minimum < 0);
        // Out of range is a protocol stall on a real device too; the value stays.
        if (value < c.minimum || value > c.maximum) return -EPIPE;
        c.current = value;
        return 0;
    }
    default:
        return -EPIPE;
    }
}

int SimCamera::answerStream(const UvcRequest::Fields &f, std::span<uint8_t> data) {
    if (f.selector != UvcRequest::VS_PROBE_CONTROL && f.selector != UvcRequest::VS_COMMIT_CONTROL)
        return -EPIPE;
    if (f.wLength > UvcRequest::kProbeCommitLength) return -EPIPE;
    ProbeCommit &state = f.selector == UvcRequest::VS_PROBE_CONTROL ? probe_ : committed_;
    if (f.bRequest == UvcRequest::SET_CUR) {
        if (f.wLength != UvcRequest::kProbeCommitLength) return -EPIPE;
        std::copy(data.begin(), data.end(), state.begin());
        return 0;
    }
    const ProbeCommit *source = nullptr;
    if (f.bRequest == UvcRequest::GET_CUR)
        source = &state;
    else if (f.bRequest == UvcRequest::GET_DEF)
        source = &default_;
    else
        return -EPIPE;
    std::copy_n(source->begin(), f.wLength, data.begin());
    return 0;
}
