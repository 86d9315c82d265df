#include "DCCameraKorvaModel.h"

#include <array>

#include "core/DCVocabulary.h"
#include "devices/UvcControlTable.h"
#include "devices/UvcRequest.h"

DCCameraKorvaModel::DCCameraKorvaModel(const KorvaModelTraits &traits) : traits_(traits) {
    setProductId(traits.productId);
    setIsAELockSupported(traits.aeLockSupported);
    setIsWhiteBalanceAdjustable(traits.whiteBalanceAdjustable);
    if (traits.aeLockSupported) addCapabilities(kCapabilityExposureLock);
}

QString DCCameraKorvaModel::model() const {
    return QString::fromLatin1(traits_.model);
}

QString DCCameraKorvaModel::shortModel() const {
    return QString::fromLatin1(traits_.shortModel);
}

bool DCCameraKorvaModel::setExposure(int32_t step) {
    return setExposureStep(step, 1, traits_.lastStep, [this](int32_t s) { return traits_.irisOfStep(s); }) ==
           0;
}

bool DCCameraKorvaModel::autoFocus() {
    switch (traits_.focus) {
    case KorvaModelTraits::Focus::ByItself:
        return true;
    case KorvaModelTraits::Focus::UvcElseAuto: {
        std::array<uint8_t, 2> data{};
        if (!uvcControlCommand(UvcRequest::GET_CUR, UvcControlTable::kFocusAuto, data.data())) return true;
        return data[0] != 0;
    }
    case KorvaModelTraits::Focus::Uvc:
        break;
    }
    return DCCameraKorva::autoFocus();
}

void DCCameraKorvaModel::updateStatus() {
    if (traits_.reports & KorvaModelTraits::kReportExposure)
        notifyOnMainThread(DCNote::DCNotificationReportExposure);
    if (traits_.reports & KorvaModelTraits::kReportFocusLength)
        notifyOnMainThread(DCNote::DCNotificationReportFocusLength);
    if (traits_.reports & KorvaModelTraits::kReportFocusAuto)
        notifyOnMainThread(DCNote::DCNotificationReportFocusAuto);
}

QStringList DCCameraKorvaModel::resolutionsOf(const KorvaModelTraits &traits) {
    QStringList list;
    for (const QSize &size : traits.resolutions)
        list << DCResolutionList::stringFromSize(size);
    return list;
}

int32_t DCCameraKorvaModel::indexOfDefaultResolutionOf(const KorvaModelTraits &traits) {
    return DCResolutionList::defaultIndex(resolutionsOf(traits), traits.defaultResolution);
}

QSizeF DCCameraKorvaModel::classResolutionAtIndex(int32_t index) const {
    return DCResolutionList::at(resolutionsOf(traits_), index);
}

int32_t DCCameraKorvaModel::classIndexOfResolution(QSizeF size) const {
    return DCResolutionList::indexOf(resolutionsOf(traits_), size);
}

int32_t DCCameraKorvaModel::classIndexOfDefaultResolution() const {
    return indexOfDefaultResolutionOf(traits_);
}
