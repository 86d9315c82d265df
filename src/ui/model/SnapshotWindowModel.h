#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QString>

#include "devices/DCCamera.h"
#include "ui/model/MainThreadObservers.h"
#include "ui/model/ModelSchedule.h"

// The snapshot sheet's rules: the live picture with a shutter, and for a Korva camera its focus state
// (the mode ring and the focus target) and a focus button. The photo taken while the sheet shows goes
// to the upload queue; that hand-off, and what closing does to the main window, belong to its owner,
// which answers `shouldClose`.
//
// Main thread only.
class SnapshotWindowModel : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kTargetHold{2000};

    struct Dependencies {
        std::function<DCCameraPtr()> currentCamera;
        // Asked before the sheet closes; true lets it close.
        std::function<bool()> shouldClose;
        ModelSchedule::Function schedule; // unset: the main event loop
    };
    explicit SnapshotWindowModel(Dependencies dependencies, QObject *parent = nullptr);

    int cameraAFMode() const { return afMode_; }
    bool isAFLocked() const { return afLocked_; }
    bool focusControlsShown() const { return focusControlsShown_; }
    bool isVisible() const { return visible_; }
    // "Background-Single", "Background-Continuos" (with "-lock" while locked), or none.
    QString ringImage() const;
    // "Target-Red" while focusing, "Target-Green" when done, "Target-White" 2 s later.
    QString targetImage() const { return target_; }

    // The sheet is about to show: the focus displays follow the current camera.
    void windowWillAppear();
    void setVisible(bool visible) { visible_ = visible; }
    void setIsAFLocked(bool locked);

    // The user's actions.
    void snapshot();
    void zoom();
    void close();

Q_SIGNALS:
    void focusDisplayChanged();
    void closed();

private:
    void setAFMode(int mode);
    void setTarget(const QString &image);

    Dependencies deps_;
    int afMode_ = 0;
    bool afLocked_ = false;
    bool focusControlsShown_ = false;
    bool visible_ = false;
    QString target_;
    quint64 targetGeneration_ = 0; // a later focus outlives the previous one's reset timer
    MainThreadObservers observers_;
};
