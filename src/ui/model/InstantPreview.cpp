#include "ui/model/InstantPreview.h"

#include <QPointer>

InstantPreview::InstantPreview(ModelSchedule::Function schedule, QObject *parent)
    : QObject(parent), schedule_(schedule ? std::move(schedule) : ModelSchedule::onMainLoop(this)) {}

void InstantPreview::setInstantPreview(int setting) {
    if (setting < 0 || setting > 2) return;
    holdTime_ = std::chrono::seconds(2 * setting);
}

void InstantPreview::snapshotWillBeTaken(FramePointer image) {
    if (showing_) return;
    showing_ = true;
    Q_EMIT previewShown(nullptr);
    schedule_(kFreezeDelay, [self = QPointer<InstantPreview>(this), image = std::move(image)] {
        if (self) self->timerToPreview(image);
    });
}

void InstantPreview::timerToPreview(const FramePointer &image) {
    if (holdTime_.count() < 1) {
        timerToResume();
        return;
    }
    Q_EMIT previewShown(image);
    schedule_(holdTime_, [self = QPointer<InstantPreview>(this)] {
        if (self) self->timerToResume();
    });
}

void InstantPreview::timerToResume() {
    showing_ = false;
    Q_EMIT previewEnded();
}
