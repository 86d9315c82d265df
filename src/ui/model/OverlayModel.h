#pragma once

#include <chrono>

#include <QObject>
#include <QString>

#include "capture/DCZoomAreaModel.h"
#include "ui/model/FloaterGeometry.h"
#include "ui/model/MainThreadObservers.h"
#include "ui/model/ModelSchedule.h"

class CameraToolbarModel;
class DCNotificationCenter;
class MainWindowModel;
class MainWindowReactions;

// What the overlay over the live picture shows, without widgets: which floaters are up and with which
// image, the countdown, the exposure badge and its time, the focus target and ring, the zoom navigator
// (its zoom and focusing display), and the control bar and close button of full screen. DCAttachController
// mirrors it after every changed().
//
// Main thread only; the focus and zoom notifications it observes are handed to the main thread.
class OverlayModel : public QObject {
    Q_OBJECT
public:
    using Floater = FloaterGeometry::Floater;

    struct Dependencies {
        ModelSchedule::Function schedule;       // null: the main event loop
        DCNotificationCenter *center = nullptr; // null: the default centre
    };

    // Target colours of toogleFocusColor().
    enum FocusColor { FocusDone = 0, Focusing = 1, NoTarget = 2 };

    static constexpr std::chrono::milliseconds kExposureBadgeTime{3000};
    static constexpr std::chrono::milliseconds kFocusTargetTime{2000};
    // The focus target is drawn at this share of its image's size.
    static constexpr qreal kTargetScale = 0.5;

    explicit OverlayModel(Dependencies dependencies, QObject *parent = nullptr);
    ~OverlayModel() override;

    // Keeps in step with the window: shown in camera mode and full screen, the countdown, the focus
    // functions, the ring, the exposure badge and the AF lock.
    void follow(MainWindowModel &window, MainWindowReactions &reactions, CameraToolbarModel &toolbar);

    // The floaters are to be shown (camera mode, full screen); in full screen also the bar and close.
    void setIsVisable(bool visible);
    bool isVisable() const { return visible_; }
    void setIsFullScreen(bool fullScreen);
    bool isFullScreen() const { return fullScreen_; }
    // A click in the full-screen window shows or hides the floaters.
    void toggleControl();
    // Some window moves while in full screen: the floaters go until the next click.
    void windowWillMove();

    // Cameras without focus functions show neither the ring nor the focus button.
    void setShouldHideFocusFunctions(bool hide);
    void toogleFocusColor(int color);
    int focusValue() const { return focusValue_; }
    // 1 single-shot, 2 continuous, anything else draws no ring.
    void toogleFocusMode(int mode);
    void setIsAFLocked(bool locked);
    // Seconds left of the self-timer, 0 to 10; anything else ends the countdown display.
    void toogleTimerTick(int seconds);
    bool isCountingDown() const { return countdown_ >= 0 && countdown_ <= 10; }
    // The badge for exposure `value` for 3 s; a new one replaces it and starts the 3 s again.
    void toggleIndicatorForExposure(int value, bool showSigned);
    // The focus display is over: the navigator shows its area again and the target goes.
    void endFocus();
    // The capture pipeline's digital zoom; above 1.0 the navigator shows it.
    void setCaptureZoomFactor(float zoom);
    float captureZoomFactor() const { return captureZoomFactor_; }

    // The focus notifications.
    void cameraWillBeginSelfAutoFocus() { isSelfAutoFocusing_ = true; }
    void cameraDidBeginAutoFocus();
    void cameraDidEndAutoFocus();
    bool isSelfAutoFocusing() const { return isSelfAutoFocusing_; }

    bool shows(Floater floater) const;
    // The floater's image and the one under the pointer; empty: none.
    QString image(Floater floater) const;
    QString enterImage(Floater floater) const;
    // The snapshot button takes clicks (not during a countdown).
    bool snapshotResponds() const { return !isCountingDown(); }
    // The navigator's focusing sight: red while the camera focuses, else green.
    bool sightIsRed() const { return sightIsRed_; }
    DCZoomAreaModel &zoomArea() { return zoomArea_; }

Q_SIGNALS:
    void changed();

private:
    void registerObservers();
    QString ringImage() const;

    ModelSchedule::Function schedule_;
    DCZoomAreaModel zoomArea_;
    bool visible_ = false;
    bool fullScreen_ = false;
    bool hideFocusFunctions_ = false;
    int focusValue_ = NoTarget;
    int cameraAFMode_ = 0;
    bool isAFLocked_ = false;
    int countdown_ = -1;
    QString exposureImage_;
    float captureZoomFactor_ = 1.0f;
    bool isSelfAutoFocusing_ = false;
    bool sightIsRed_ = false;
    // Each badge and each focus run gets a number; a timer set for an older one does nothing.
    quint64 badgeGeneration_ = 0;
    quint64 focusGeneration_ = 0;
    MainThreadObservers observers_;
};
