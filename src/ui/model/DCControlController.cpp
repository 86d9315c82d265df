#include "ui/model/DCControlController.h"

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCamerasController.h"

DCControlController::DCControlController(std::function<DCCameraPtr()> currentCamera, QObject *parent)
    : QObject(parent), currentCamera_(std::move(currentCamera)) {
    if (!currentCamera_) currentCamera_ = [] { return DCCamerasController::sharedCurrentCamera(); };
}

void DCControlController::snapshot() {
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationSnapshot);
}

void DCControlController::focus() {
    if (const DCCameraPtr camera = currentCamera_()) camera->focusAgain();
}

void DCControlController::fullScreenClose() {
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationAppExitFullScreen);
}
