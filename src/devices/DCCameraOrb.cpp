#include "DCCameraOrb.h"

#include <array>

#include "core/DCVocabulary.h"

namespace {

constexpr std::array<int32_t, 5> kIrisOfIndex{9, 7, 5, 4, 3};

} // namespace

DCCameraOrb::DCCameraOrb() {
    setProductId(kProductId);
    setIsAELockSupported(false);
    setIsWhiteBalanceAdjustable(false);
}

std::shared_ptr<DCCameraOrb> DCCameraOrb::camera() {
    return std::make_shared<DCCameraOrb>();
}

QString DCCameraOrb::model() const {
    return QStringLiteral("Korva Orbit");
}

QString DCCameraOrb::shortModel() const {
    return QStringLiteral("Orb");
}

int32_t DCCameraOrb::exposureDef() {
    return 3;
}

bool DCCameraOrb::setExposure(int32_t step) {
    return setExposureStep(step, 1, 5, [](int32_t s) { return exposureIndexToValue(s - 1); }) == 0;
}

int32_t DCCameraOrb::exposureIndexToValue(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(kIrisOfIndex.size())) return 5;
    return kIrisOfIndex[static_cast<size_t>(index)];
}

int32_t DCCameraOrb::exposureValueToIndex(int32_t value) {
    for (size_t i = 0; i < kIrisOfIndex.size(); ++i)
        if (kIrisOfIndex[i] == value) return static_cast<int32_t>(i);
    return -1;
}

bool DCCameraOrb::autoFocus() {
    // This model focuses by itself.
    return true;
}
