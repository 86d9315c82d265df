#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "devices/DCCamera.h"
#include "ui/model/MainThreadObservers.h"
#include "ui/model/ModelSchedule.h"
#include "ui/model/ToolbarControlSets.h"

class DCCamSettingController;
class DCCaptureViewController;

// The rules of the camera controls (zoom, mirror, timer, resolution, exposure, exposure lock, AF lock)
// in the main window's toolbar and in the full-screen overlay. A choice on either set goes to the
// settings store, the capture pipeline and the camera, shows on the other set too, and is announced as
// a device-cache notification for the snapshot side. The controls follow the store when it restores or
// resets its values, follow the camera's exposure and focus reports, and are locked while a self-timer
// counts down. The widgets mirror controls() and call the actions below.
//
// Main thread only; the notifications it observes are handed to the main thread.
class CameraToolbarModel : public QObject {
    Q_OBJECT
public:
    using Set = ToolbarControlSets::Set;
    using Control = ToolbarControlSets::Control;

    struct Dependencies {
        DCCamSettingController *settings = nullptr; // required
        DCCaptureViewController *capture = nullptr; // null: no live picture to keep in line
        std::function<DCCameraPtr()> currentCamera; // null: the shared camera controller's
        ModelSchedule::Function schedule;           // null: the main event loop
    };

    // How long auto-brightness stays off when a locked exposure changes, so the camera meters again.
    static constexpr std::chrono::milliseconds kAutoBrightnessPulse{200};
    static constexpr int kInitialExposureItem = 12;

    explicit CameraToolbarModel(Dependencies dependencies, QObject *parent = nullptr);
    ~CameraToolbarModel() override;

    const ToolbarControlSets &controls() const { return controls_; }
    int exposureStyle() const { return exposureStyle_; } // 0 the five fixed steps, 1 the slider
    int indexOfZoomItem() const { return indexOfZoomItem_; }
    int indexOfExposureItem() const { return indexOfExposureItem_; }
    int indexOfTimerItem() const { return indexOfTimerItem_; }
    int indexOfResolutionItem() const { return indexOfResolutionItem_; }
    int indexOfExposureLockItem() const { return indexOfExposureLockItem_; }
    bool lockae() const { return lockae_; }
    bool supressExposureOSD() const { return supressExposureOSD_; }
    // The AF lock state that the overlay and the snapshot window show.
    bool isAFLocked() const { return isAFLocked_; }

    // The user's choices. `sender` is the set whose control changed, `index` the item chosen. Refused
    // while the controls are locked, for a control the set does not offer, and for an item it lacks.
    void setCameraModeZoom(Set sender, int index);
    void toggleMirror(Set sender, int index);
    void setTimer(Set sender, int index);
    void setResolution(Set sender, int index);
    void setExposure(Set sender, int index);
    // The exposure slider counts from 0; its items from 1.
    void setExposureSliderPosition(Set sender, int position);
    void setExposureLock(Set sender, int index);
    // The AF lock check box (0 off: automatic focus) and the manual focus slider.
    void afLockButtonDidSetLockState(Set sender, unsigned state);
    void afLockButtonDidSetFocusLength(Set sender, int value);

    // The same steps without the user's checks, for the window's own reactions.
    void applyZoom(Set sender, int index);
    void applyMirror(Set sender, int index);
    void applyTimer(Set sender, int index);
    void applyResolution(Set sender, int index);
    void applyExposure(Set sender, int index, bool withOSD);
    void applyExposureLock(Set sender, int index);
    void setResolutionIndex(int resolutionIndex, Set sender);
    void setAutoBrightness(bool on, Set sender);
    void setLockAE(bool locked);

    // Camera changes: the exposure control's style, the controls the camera admits (with the focus
    // range), and the table of enabled and unavailable controls the window applies per kind.
    void setExposureScrope(const DCCameraPtr &camera);
    void adjustCameraModeToolbarItems(const DCCameraPtr &camera);
    void setControlEnabled(Control control, bool enabled);
    // "Label: --" and disabled, in both sets.
    void showControlUnavailable(Control control);
    // The toolbar's resolution title kept, then one "WxH" item per size of the camera's class.
    void setResolutionItems(const DCCameraPtr &camera);
    // `title` replaces the kept title; an empty one keeps it.
    void clearResolutionItems(const QString &title = {});
    void setIsAFLocked(bool locked);

    void lockToolbar(bool lock);
    void syncCameraModeToolbarSettings(const QString &notificationName);
    void updateExposureValue(const DCCameraPtr &sender);
    void updateFocusLength(const DCCameraPtr &sender);
    void updateFocusAuto(const DCCameraPtr &sender);
    void setSupressExposureOSD(bool suppress) { supressExposureOSD_ = suppress; }

    // Select the item in the toolbar's control, title it from the item, and give the overlay's the same.
    void setIndexOfZoomItem(int index);
    void setIndexOfExposureItem(int index);
    void setIndexOfTimerItem(int index);
    void setIndexOfResolutionItem(int index);
    void setIndexOfExposureLockItem(int index);

Q_SIGNALS:
    // The overlay shows the exposure badge: the value, with its sign when `showSigned`.
    void exposureBadgeRequested(int value, bool showSigned);
    void afLockedChanged(bool locked);
    // A new picture size on a camera that refocuses only when asked.
    void autoFocusRequested();

private:
    bool accepts(Set sender, Control control, int index) const;
    DCCameraPtr camera() const;
    void selectBoth(Set sender, Control control, int index);
    void setIndexOf(Control control, int index);
    void setMirrorTitles();
    void postMirrorState();
    void setFocusLengthOfBoth(int value);
    void registerObservers();

    Dependencies deps_;
    DCCamSettingController &settings_;
    ToolbarControlSets controls_;
    int exposureStyle_ = 1;
    int indexOfZoomItem_ = 0;
    int indexOfExposureItem_ = kInitialExposureItem;
    int indexOfTimerItem_ = 0;
    int indexOfResolutionItem_ = 0;
    int indexOfExposureLockItem_ = 1;
    bool lockae_ = false;
    bool lockAutoGetExposure_ = false;
    bool supressExposureOSD_ = false;
    bool isAFLocked_ = false;
    MainThreadObservers observers_;
};
