#include "CameraControlsBinder.h"

#include <QToolBar>

#include "ui/controls/DCAFLockButton.h"
#include "ui/controls/DCExposureButton.h"
#include "ui/controls/DCPopUpButton.h"
#include "ui/model/CameraToolbarModel.h"

namespace {

constexpr ToolbarControlSets::Control kControls[] = {
    ToolbarControlSets::Control::Zoom,     ToolbarControlSets::Control::Mirror,
    ToolbarControlSets::Control::Timer,    ToolbarControlSets::Control::Resolution,
    ToolbarControlSets::Control::Exposure, ToolbarControlSets::Control::ExposureLock,
    ToolbarControlSets::Control::Focus};

QStringList itemsOf(const DCPopUpButton &button) {
    QStringList items;
    for (int i = 1; i < button.numberOfItems(); ++i)
        items << button.itemTitle(i);
    return items;
}

} // namespace

CameraControlsBinder::CameraControlsBinder(CameraToolbarModel &model, Set set, QToolBar &toolbar)
    : QObject(&toolbar), model_(model), set_(set) {
    for (const Control control : kControls) {
        DCPopUpButton *button = nullptr;
        if (control == Control::Exposure)
            button = exposure_ = new DCExposureButton(&toolbar);
        else if (control == Control::Focus)
            button = afLock_ = new DCAFLockButton(&toolbar);
        else
            button = new DCPopUpButton(&toolbar);
        button->setObjectName(ToolbarControlSets::identifier(control));
        button->setAccessibleName(ToolbarControlSets::label(control));
        button->setToolTip(ToolbarControlSets::label(control));
        actions_[control] = toolbar.addWidget(button);
        addButton(control, button);
    }
    const ToolbarControlSets &controls = model_.controls();
    connect(&controls, &ToolbarControlSets::controlChanged, this, [this](Set set, Control control) {
        if (set == set_) mirror(control);
    });
    connect(&controls, &ToolbarControlSets::itemsChanged, this, &CameraControlsBinder::showAdmittedControls);
    connect(&controls, &ToolbarControlSets::lockedChanged, this, [this] {
        for (const Control control : kControls)
            mirror(control);
    });
    showAdmittedControls();
}

DCPopUpButton *CameraControlsBinder::button(Control control) const {
    const auto it = buttons_.find(control);
    return it == buttons_.end() ? nullptr : it->second;
}

void CameraControlsBinder::addButton(Control control, DCPopUpButton *button) {
    buttons_[control] = button;
    if (button == afLock_) {
        connect(afLock_, &DCAFLockButton::lockStateChanged, this,
                [this](unsigned state) { model_.afLockButtonDidSetLockState(set_, state); });
        connect(afLock_, &DCAFLockButton::focusLengthChanged, this,
                [this](int focus) { model_.afLockButtonDidSetFocusLength(set_, focus); });
        return;
    }
    connect(button, &DCPopUpButton::itemChosen, this, [this, control](int index) { choose(control, index); });
}

void CameraControlsBinder::choose(Control control, int index) {
    switch (control) {
    case Control::Zoom:
        return model_.setCameraModeZoom(set_, index);
    case Control::Mirror:
        return model_.toggleMirror(set_, index);
    case Control::Timer:
        return model_.setTimer(set_, index);
    case Control::Resolution:
        return model_.setResolution(set_, index);
    case Control::Exposure:
        return model_.setExposure(set_, index);
    case Control::ExposureLock:
        return model_.setExposureLock(set_, index);
    case Control::Focus:
        return;
    }
}

void CameraControlsBinder::showAdmittedControls() {
    const QList<Control> admitted = model_.controls().items();
    for (const Control control : kControls) {
        actions_[control]->setVisible(admitted.contains(control));
        mirror(control);
    }
}

// The button shows what the model holds; its menu is rebuilt only when the choices themselves change.
void CameraControlsBinder::mirror(Control control) {
    DCPopUpButton *button = buttons_[control];
    const ToolbarControlSets &controls = model_.controls();
    button->setEnabled(controls.isUsable(set_, control));
    if (control == Control::Focus) return mirrorAFLock();
    const ToolbarControlState &state = controls.state(set_, control);
    if (control == Control::Exposure) {
        if (exposure_->style() != model_.exposureStyle()) exposure_->setStyle(model_.exposureStyle());
    } else if (itemsOf(*button) != state.items) {
        button->removeItemsAfterTitle();
        button->addItems(state.items);
    }
    button->selectItemAtIndex(state.selectedIndex);
    button->setTitle(state.title);
    for (int i = 1; i < button->numberOfItems(); ++i)
        button->setItemState(i, state.isChecked(i));
}

void CameraControlsBinder::mirrorAFLock() {
    const AFLockControlState &state = model_.controls().afLock(set_);
    if (afLock_->maxValue() != state.maxValue || afLock_->minValue() != state.minValue) {
        afLock_->setMaxValue(state.maxValue);
        afLock_->setMinValue(state.minValue);
    }
    afLock_->setFocusLength(state.focusLength);
    afLock_->setLocked(state.locked);
    afLock_->setTitle(model_.controls().state(set_, Control::Focus).title);
}
