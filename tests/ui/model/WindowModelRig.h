#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <QTemporaryDir>

#include "capture/DCCamSettingController.h"
#include "capture/DCCaptureViewController.h"
#include "core/UserDefaults.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/MainWindowModel.h"
#include "ui/model/MainWindowReactions.h"
#include "ui/model/ModelSchedule.h"
#include "ui/model/PhotoLibraryModel.h"

using Ms = std::chrono::milliseconds;

// Timers under the test's hand: work is due at now + delay and runs only when the test advances time.
class ManualTimers {
public:
    ModelSchedule::Function function();
    // Runs, in order of due time, everything due within `by` (also work scheduled meanwhile).
    void advance(Ms by);
    Ms now() const { return now_; }

private:
    Ms now_{0};
    std::multimap<Ms, std::function<void()>> due_;
};

// The window's models over the real settings store (defaults in a temporary folder) and the real
// capture controller (no video device; its waits are not slept), with the current camera in the
// test's hand.
struct WindowModelRig {
    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> defaults = std::make_unique<UserDefaults>(dir.filePath("defaults.json"));
    DCCameraPtr current;
    ManualTimers timers;
    std::unique_ptr<DCCamSettingController> settings;
    std::unique_ptr<DCCaptureViewController> capture;
    std::unique_ptr<PhotoLibraryModel> library;
    std::unique_ptr<CameraToolbarModel> toolbar;
    std::unique_ptr<MainWindowModel> window;
    std::unique_ptr<MainWindowReactions> reactions;

    WindowModelRig();
    virtual ~WindowModelRig();

    std::function<DCCameraPtr()> currentCamera() {
        return [this] { return current; };
    }
    // Makes `camera` current as the camera controller announces it.
    void changeCamera(DCCameraPtr camera);
    const ToolbarControlState &control(ToolbarControlSets::Set set,
                                       ToolbarControlSets::Control control) const {
        return toolbar->controls().state(set, control);
    }
};
