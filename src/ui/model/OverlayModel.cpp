#include "ui/model/OverlayModel.h"

#include <cmath>

#include <QPointer>

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/FocusRing.h"
#include "ui/model/MainWindowModel.h"
#include "ui/model/MainWindowReactions.h"

OverlayModel::OverlayModel(Dependencies deps, QObject *parent)
    : QObject(parent), schedule_(deps.schedule ? std::move(deps.schedule) : ModelSchedule::onMainLoop(this)),
      zoomArea_(QRectF(), deps.center),
      observers_(this, deps.center ? *deps.center : DCNotificationCenter::defaultCenter()) {
    connect(&zoomArea_, &DCZoomAreaModel::changed, this, &OverlayModel::changed);
    registerObservers();
}

OverlayModel::~OverlayModel() {
    observers_.stop();
}

void OverlayModel::registerObservers() {
    observers_.add(DCNote::DCCameraModeZoomDidChange, [this](const DCNotification &note) {
        bool ok = false;
        const float zoom = note.userInfo.value(DCKey::Zoom).toFloat(&ok);
        if (ok) setCaptureZoomFactor(zoom);
    });
    observers_.add(DCNote::DCNotificationCameraWillBeginSelfAutoFocus,
                   [this](const DCNotification &) { cameraWillBeginSelfAutoFocus(); });
    observers_.add(DCNote::DCNotificationCameraDidBeginAutoFocus,
                   [this](const DCNotification &) { cameraDidBeginAutoFocus(); });
    observers_.add(DCNote::DCNotificationCameraDidEndAutoFocus,
                   [this](const DCNotification &) { cameraDidEndAutoFocus(); });
    observers_.add(DCNote::DCNotificationCameraDidCancelAutoFocus,
                   [this](const DCNotification &) { endFocus(); });
}

void OverlayModel::follow(MainWindowModel &window, MainWindowReactions &reactions,
                          CameraToolbarModel &toolbar) {
    connect(&window, &MainWindowModel::overlayVisibleChanged, this, &OverlayModel::setIsVisable);
    connect(&window, &MainWindowModel::launched, this, [this, &window] {
        if (window.currentView() == MainWindowModel::View::Camera) setIsVisable(true);
    });
    // Entering and leaving full screen both end with the floaters shown on the new parent.
    connect(&window, &MainWindowModel::fullScreenRequested, this, [this](bool fullScreen) {
        setIsFullScreen(fullScreen);
        setIsVisable(true);
    });
    connect(&reactions, &MainWindowReactions::timerTickChanged, this, &OverlayModel::toogleTimerTick);
    connect(&reactions, &MainWindowReactions::focusModeChanged, this, &OverlayModel::toogleFocusMode);
    connect(&reactions, &MainWindowReactions::focusFunctionsHiddenChanged, this,
            &OverlayModel::setShouldHideFocusFunctions);
    connect(&reactions, &MainWindowReactions::overlayEndFocusRequested, this, &OverlayModel::endFocus);
    connect(&toolbar, &CameraToolbarModel::exposureBadgeRequested, this,
            &OverlayModel::toggleIndicatorForExposure);
    connect(&toolbar, &CameraToolbarModel::afLockedChanged, this, &OverlayModel::setIsAFLocked);
    // Made after start-up, the overlay takes the window as it is now.
    setIsFullScreen(window.isFullScreen());
    setIsVisable(window.isLaunched() && window.currentView() == MainWindowModel::View::Camera);
    setIsAFLocked(toolbar.isAFLocked());
}

void OverlayModel::setIsVisable(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Q_EMIT changed();
}

void OverlayModel::setIsFullScreen(bool fullScreen) {
    if (fullScreen == fullScreen_) return;
    fullScreen_ = fullScreen;
    Q_EMIT changed();
}

void OverlayModel::toggleControl() {
    setIsVisable(!visible_);
}

void OverlayModel::windowWillMove() {
    if (fullScreen_) setIsVisable(false);
}

void OverlayModel::setShouldHideFocusFunctions(bool hide) {
    hideFocusFunctions_ = hide;
    Q_EMIT changed();
}

void OverlayModel::toogleFocusColor(int color) {
    focusValue_ = color;
    Q_EMIT changed();
}

void OverlayModel::toogleFocusMode(int mode) {
    cameraAFMode_ = mode;
    Q_EMIT changed();
}

void OverlayModel::setIsAFLocked(bool locked) {
    if (locked == isAFLocked_) return;
    isAFLocked_ = locked;
    Q_EMIT changed();
}

void OverlayModel::toogleTimerTick(int seconds) {
    countdown_ = seconds;
    Q_EMIT changed();
}

void OverlayModel::toggleIndicatorForExposure(int value, bool showSigned) {
    exposureImage_ =
        showSigned && value > 0 ? QStringLiteral("Exp-+%1").arg(value) : QStringLiteral("Exp-%1").arg(value);
    const quint64 badge = ++badgeGeneration_;
    schedule_(kExposureBadgeTime, [self = QPointer<OverlayModel>(this), badge] {
        if (!self || self->badgeGeneration_ != badge) return;
        self->exposureImage_.clear();
        Q_EMIT self->changed();
    });
    Q_EMIT changed();
}

void OverlayModel::cameraDidBeginAutoFocus() {
    // A focus display still waiting to end belongs to the run before this one.
    ++focusGeneration_;
    sightIsRed_ = true;
    if (!isSelfAutoFocusing_) {
        zoomArea_.setShouldHideZoomedArea(true);
        focusValue_ = Focusing;
    }
    Q_EMIT changed();
}

void OverlayModel::cameraDidEndAutoFocus() {
    sightIsRed_ = false;
    if (isSelfAutoFocusing_)
        isSelfAutoFocusing_ = false;
    else
        focusValue_ = FocusDone;
    const quint64 run = ++focusGeneration_;
    schedule_(kFocusTargetTime, [self = QPointer<OverlayModel>(this), run] {
        if (self && self->focusGeneration_ == run) self->endFocus();
    });
    Q_EMIT changed();
}

void OverlayModel::endFocus() {
    // A self-started run that was cancelled never reached its end: the next run is the user's again.
    isSelfAutoFocusing_ = false;
    zoomArea_.setShouldHideZoomedArea(false);
    focusValue_ = NoTarget;
    Q_EMIT changed();
}

void OverlayModel::setCaptureZoomFactor(float zoom) {
    captureZoomFactor_ = std::isfinite(zoom) ? zoom : 1.0f;
    if (captureZoomFactor_ > 1.0f) zoomArea_.setRatio(captureZoomFactor_);
    Q_EMIT changed();
}

bool OverlayModel::shows(Floater floater) const {
    const bool counting = isCountingDown();
    // The badge comes up on every exposure change, whether or not the other floaters are shown.
    if (floater == Floater::Exposure) return !exposureImage_.isEmpty() && !counting;
    if (!visible_) return false;
    switch (floater) {
    case Floater::FocusTarget:
        return focusValue_ == FocusDone || focusValue_ == Focusing;
    case Floater::FocusIndicator:
    case Floater::FocusButton:
        return !counting && !hideFocusFunctions_;
    case Floater::Snapshot:
        return !counting;
    case Floater::Timer:
        return counting;
    case Floater::Navigator:
        return captureZoomFactor_ > 1.0f;
    case Floater::ToolbarContainer:
    case Floater::Close:
        return fullScreen_;
    case Floater::Exposure:
        break;
    }
    return false;
}

QString OverlayModel::ringImage() const {
    return FocusRing::imageFor(cameraAFMode_, isAFLocked_);
}

QString OverlayModel::image(Floater floater) const {
    switch (floater) {
    case Floater::FocusTarget:
        return focusValue_ == FocusDone  ? QStringLiteral("Target-Green")
               : focusValue_ == Focusing ? QStringLiteral("Target-Red")
                                         : QString();
    case Floater::FocusIndicator:
        return ringImage();
    case Floater::Snapshot:
        return QStringLiteral("Snapshot-Down");
    case Floater::FocusButton:
        return QStringLiteral("Put-On-Focus-Down");
    case Floater::Timer:
        return isCountingDown() ? QString::number(countdown_) : QString();
    case Floater::Exposure:
        return exposureImage_;
    case Floater::Close:
        return QStringLiteral("Esc-Down");
    case Floater::Navigator:
    case Floater::ToolbarContainer:
        break;
    }
    return {};
}

QString OverlayModel::enterImage(Floater floater) const {
    switch (floater) {
    case Floater::Snapshot:
        return QStringLiteral("Snapshot-Up");
    case Floater::FocusButton:
        return QStringLiteral("Put-On-Focus-Up");
    case Floater::Close:
        return QStringLiteral("Esc-Up");
    default:
        return image(floater);
    }
}
