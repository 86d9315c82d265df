#include "ui/model/SnapshotWindowModel.h"

#include <QPointer>

#include "core/DCVocabulary.h"
#include "devices/DCCameraKorva.h"
#include "ui/model/FocusRing.h"

SnapshotWindowModel::SnapshotWindowModel(Dependencies dependencies, QObject *parent)
    : QObject(parent), deps_(std::move(dependencies)), observers_(this) {
    if (!deps_.schedule) deps_.schedule = ModelSchedule::onMainLoop(this);
    observers_.add(DCNote::DCCaptureFocusDidSetSingleNotification,
                   [this](const DCNotification &) { setAFMode(1); });
    observers_.add(DCNote::DCCaptureFocusDidSetContinousNotification,
                   [this](const DCNotification &) { setAFMode(2); });
    observers_.add(DCNote::DCNotificationCameraDidBeginAutoFocus,
                   [this](const DCNotification &) { setTarget(QStringLiteral("Target-Red")); });
    observers_.add(DCNote::DCNotificationCameraDidEndAutoFocus, [this](const DCNotification &) {
        setTarget(QStringLiteral("Target-Green"));
        deps_.schedule(kTargetHold, [self = QPointer(this), generation = targetGeneration_] {
            if (self && self->targetGeneration_ == generation)
                self->setTarget(QStringLiteral("Target-White"));
        });
    });
}

QString SnapshotWindowModel::ringImage() const {
    return FocusRing::imageFor(afMode_, afLocked_);
}

void SnapshotWindowModel::windowWillAppear() {
    const DCCameraPtr camera = deps_.currentCamera ? deps_.currentCamera() : nullptr;
    focusControlsShown_ = std::dynamic_pointer_cast<DCCameraKorva>(camera) != nullptr;
    if (focusControlsShown_) {
        afMode_ = camera->autoFocusMode();
        afLocked_ = !camera->autoFocus();
    }
    Q_EMIT focusDisplayChanged();
}

void SnapshotWindowModel::setIsAFLocked(bool locked) {
    if (locked == afLocked_) return;
    afLocked_ = locked;
    Q_EMIT focusDisplayChanged();
}

void SnapshotWindowModel::setAFMode(int mode) {
    afMode_ = mode;
    Q_EMIT focusDisplayChanged();
}

void SnapshotWindowModel::setTarget(const QString &image) {
    ++targetGeneration_;
    target_ = image;
    Q_EMIT focusDisplayChanged();
}

void SnapshotWindowModel::snapshot() {
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationSnapshot);
}

void SnapshotWindowModel::zoom() {
    if (const DCCameraPtr camera = deps_.currentCamera ? deps_.currentCamera() : nullptr)
        camera->focusAgain();
}

void SnapshotWindowModel::close() {
    if (!visible_ || !deps_.shouldClose || !deps_.shouldClose()) return;
    visible_ = false;
    Q_EMIT closed();
}
