#include "DCCameraWrenHD.h"

#include <array>

#include "core/DCVocabulary.h"
#include "devices/UvcControlTable.h"
#include "devices/UvcRequest.h"

QStringList DCCameraWrenHD::supportedResolutions() {
    // The list of current systems.
    static const QList<QSizeF> sizes{{2592, 1944}, {2048, 1536}, {1920, 1080}, {1600, 1200},
                                     {1280, 720},  {1024, 768},  {800, 600},   {640, 480}};
    QStringList list;
    for (const QSizeF &size : sizes)
        list << DCResolutionList::stringFromSize(size);
    return list;
}

QSizeF DCCameraWrenHD::defaultResolution() {
    return {1600, 1200};
}

DCCameraWrenHD::DCCameraWrenHD() {
    setProductId(kProductId);
    setIsAELockSupported(true);
    setIsWhiteBalanceAdjustable(true);
    addCapabilities(kCapabilityExposureLock);
}

std::shared_ptr<DCCameraWrenHD> DCCameraWrenHD::camera() {
    return std::make_shared<DCCameraWrenHD>();
}

QString DCCameraWrenHD::model() const {
    return QStringLiteral("Korva Wren-HD");
}

QString DCCameraWrenHD::shortModel() const {
    return QStringLiteral("Wren-HD");
}

int32_t DCCameraWrenHD::exposureDef() {
    return 8;
}

bool DCCameraWrenHD::setExposure(int32_t step) {
    return setExposureStep(step, 1, 15, [](int32_t s) { return s; }) == 0;
}

bool DCCameraWrenHD::autoFocus() {
    // A request the device refuses counts as automatic focus on this model.
    std::array<uint8_t, 2> data{};
    if (!uvcControlCommand(UvcRequest::GET_CUR, UvcControlTable::kFocusAuto, data.data())) return true;
    return data[0] != 0;
}

void DCCameraWrenHD::updateStatus() {
    notifyOnMainThread(DCNote::DCNotificationReportExposure);
    notifyOnMainThread(DCNote::DCNotificationReportFocusLength);
    notifyOnMainThread(DCNote::DCNotificationReportFocusAuto);
}
