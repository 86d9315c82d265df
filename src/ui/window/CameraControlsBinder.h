#pragma once

#include <map>

#include <QObject>

#include "ui/model/ToolbarControlSets.h"

class CameraToolbarModel;
class DCAFLockButton;
class DCExposureButton;
class DCPopUpButton;
class QAction;
class QToolBar;

// One set of camera controls (the main window's toolbar, or the full-screen overlay's) as pull-down
// buttons: each button mirrors its control in the toolbar model (items, selection, title, check marks,
// usable or not), and the user's picks go back to the model's actions. Only the controls the current
// camera admits are shown.
//
// Main thread only. The buttons live in `toolbar`, which owns them.
class CameraControlsBinder : public QObject {
    Q_OBJECT
public:
    using Set = ToolbarControlSets::Set;
    using Control = ToolbarControlSets::Control;

    CameraControlsBinder(CameraToolbarModel &model, Set set, QToolBar &toolbar);

    DCPopUpButton *button(Control control) const;

private:
    void addButton(Control control, DCPopUpButton *button);
    void mirror(Control control);
    void mirrorAFLock();
    void showAdmittedControls();
    void choose(Control control, int index);

    CameraToolbarModel &model_;
    const Set set_;
    std::map<Control, DCPopUpButton *> buttons_;
    std::map<Control, QAction *> actions_;
    DCExposureButton *exposure_ = nullptr;
    DCAFLockButton *afLock_ = nullptr;
};
