#include "ui/model/CameraKind.h"

#include "devices/DCCameraKorva.h"
#include "devices/DCCameraKorvaModel.h"
#include "devices/DCCameraOrb.h"
#include "devices/DCCameraOrb_R.h"
#include "devices/DCCameraWren.h"
#include "devices/DCUVCCamera.h"

CameraKind::Kind CameraKind::of(const DCCameraPtr &camera) {
    if (!camera) return None;
    if (dynamic_cast<const DCCameraKorva *>(camera.get())) return Korva;
    if (dynamic_cast<const DCUVCCamera *>(camera.get())) return Uvc;
    return Other;
}

bool CameraKind::hasFixedExposureSteps(const DCCameraPtr &camera) {
    return dynamic_cast<const DCCameraOrb *>(camera.get()) ||
           dynamic_cast<const DCCameraOrb_R *>(camera.get());
}

bool CameraKind::isOrb(const DCCameraPtr &camera) {
    return dynamic_cast<const DCCameraOrb *>(camera.get());
}

bool CameraKind::refocusesAfterPictureChange(const DCCameraPtr &camera) {
    return dynamic_cast<const DCCameraOrb *>(camera.get()) ||
           dynamic_cast<const DCCameraWren *>(camera.get());
}

int32_t CameraKind::exposureStep(const DCCameraPtr &camera) {
    if (!camera) return DCCamera::kNotAvailable;
    const int32_t value = camera->exposure();
    const auto *model = dynamic_cast<const DCCameraKorvaModel *>(camera.get());
    if (value == DCCamera::kNotAvailable || !model || model->traits().irisOfIndex.empty()) return value;
    const int32_t index = model->traits().exposureValueToIndex(value);
    return index < 0 ? 0 : index + 1;
}
