#include "DCCameraKite_1.h"

#include "core/DCVocabulary.h"
#include "devices/DCCameraWrenHD.h"

// The two newest models share one list of picture sizes and one default.
QStringList DCCameraKite_1::supportedResolutions() {
    return DCCameraWrenHD::supportedResolutions();
}

QSizeF DCCameraKite_1::defaultResolution() {
    return DCCameraWrenHD::defaultResolution();
}

DCCameraKite_1::DCCameraKite_1() {
    setProductId(kProductId);
    setIsAELockSupported(true);
    setIsWhiteBalanceAdjustable(false);
    addCapabilities(kCapabilityExposureLock);
}

std::shared_ptr<DCCameraKite_1> DCCameraKite_1::camera() {
    return std::make_shared<DCCameraKite_1>();
}

QString DCCameraKite_1::model() const {
    return QStringLiteral("Korva Kite-1 HD");
}

QString DCCameraKite_1::shortModel() const {
    return QStringLiteral("Kite-1 HD");
}

int32_t DCCameraKite_1::exposureDef() {
    return 8;
}

bool DCCameraKite_1::setExposure(int32_t step) {
    return setExposureStep(step, 1, 15, [](int32_t s) { return s; }) == 0;
}

void DCCameraKite_1::updateStatus() {
    notifyOnMainThread(DCNote::DCNotificationReportExposure);
    notifyOnMainThread(DCNote::DCNotificationReportFocusLength);
    notifyOnMainThread(DCNote::DCNotificationReportFocusAuto);
}
