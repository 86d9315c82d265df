#include "DCCameraWren.h"

#include "core/DCVocabulary.h"

DCCameraWren::DCCameraWren() {
    setProductId(kProductId);
    setIsAELockSupported(true);
    setIsWhiteBalanceAdjustable(false);
    addCapabilities(kCapabilityExposureLock);
}

std::shared_ptr<DCCameraWren> DCCameraWren::camera() {
    return std::make_shared<DCCameraWren>();
}

QString DCCameraWren::model() const {
    return QStringLiteral("Korva Wren");
}

QString DCCameraWren::shortModel() const {
    return QStringLiteral("Wren");
}

int32_t DCCameraWren::exposureDef() {
    return 8;
}

bool DCCameraWren::setExposure(int32_t step) {
    return setExposureStep(step, 1, 15, [](int32_t s) { return s; }) == 0;
}

bool DCCameraWren::autoFocus() {
    // This model focuses by itself.
    return true;
}

void DCCameraWren::updateStatus() {
    notifyOnMainThread(DCNote::DCNotificationReportExposure);
}
