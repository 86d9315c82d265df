#pragma once

#include <chrono>

#include <QObject>

#include "capture/FramePointer.h"
#include "ui/model/ModelSchedule.h"

// The pause in the live picture after a snapshot: black at once, the photo after half a second (when
// the user wants to see it) for the chosen hold time, then the live picture again. Main thread only.
class InstantPreview : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kFreezeDelay{500};

    explicit InstantPreview(ModelSchedule::Function schedule, QObject *parent = nullptr);

    // The preference: 0 shows no photo, 1 holds it 2 s, 2 holds it 4 s; any other value is ignored.
    void setInstantPreview(int setting);
    std::chrono::seconds holdTime() const { return holdTime_; }
    bool isShowing() const { return showing_; }

    // A snapshot of `image` starts while the live picture is on screen. Ignored while a preview shows.
    void snapshotWillBeTaken(FramePointer image);

Q_SIGNALS:
    // The live picture gives way to `image`; a null image is a black picture.
    void previewShown(FramePointer image);
    void previewEnded();

private:
    void timerToPreview(const FramePointer &image);
    void timerToResume();

    ModelSchedule::Function schedule_;
    std::chrono::seconds holdTime_{2};
    bool showing_ = false;
};
