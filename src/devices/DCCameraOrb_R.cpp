#include "DCCameraOrb_R.h"

#include <array>

#include "core/DCVocabulary.h"

namespace {

constexpr std::array<int32_t, 5> kIrisOfIndex{15, 12, 10, 6, 3};

} // namespace

DCCameraOrb_R::DCCameraOrb_R() {
    setProductId(kProductId);
    setIsAELockSupported(false);
    setIsWhiteBalanceAdjustable(false);
}

std::shared_ptr<DCCameraOrb_R> DCCameraOrb_R::camera() {
    return std::make_shared<DCCameraOrb_R>();
}

QString DCCameraOrb_R::model() const {
    return QStringLiteral("Korva Orbit");
}

QString DCCameraOrb_R::shortModel() const {
    return QStringLiteral("Orb");
}

int32_t DCCameraOrb_R::exposureDef() {
    return 3;
}

bool DCCameraOrb_R::setExposure(int32_t step) {
    return setExposureStep(step, 1, 5, [](int32_t s) { return exposureIndexToValue(s - 1); }) == 0;
}

int32_t DCCameraOrb_R::exposureIndexToValue(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(kIrisOfIndex.size())) return 5;
    return kIrisOfIndex[static_cast<size_t>(index)];
}

int32_t DCCameraOrb_R::exposureValueToIndex(int32_t value) {
    for (size_t i = 0; i < kIrisOfIndex.size(); ++i)
        if (kIrisOfIndex[i] == value) return static_cast<int32_t>(i);
    return -1;
}

void DCCameraOrb_R::updateStatus() {
    notifyOnMainThread(DCNote::DCNotificationReportFocusLength);
    notifyOnMainThread(DCNote::DCNotificationReportFocusAuto);
}
