#include "ui/model/CameraToolbarModel.h"

#include <algorithm>
#include <utility>

#include <QPointer>

#include "capture/DCCamSettingController.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCamerasController.h"
#include "ui/model/CameraKind.h"
#include "ui/model/CameraToolbarValues.h"

namespace {

using Values = CameraToolbarValues;
using Control = ToolbarControlSets::Control;
using Set = ToolbarControlSets::Set;

constexpr Set kBothSets[] = {Set::Toolbar, Set::Overlay};

// The controls in toolbar order with the capability bit that admits each.
constexpr std::pair<uint32_t, Control> kAdmittedBy[] = {
    {DCCamera::kCapabilityZoom, Control::Zoom},
    {DCCamera::kCapabilityMirror, Control::Mirror},
    {DCCamera::kCapabilityTimer, Control::Timer},
    {DCCamera::kCapabilityResolution, Control::Resolution},
    {DCCamera::kCapabilityExposure, Control::Exposure},
    {DCCamera::kCapabilityExposureLock, Control::ExposureLock},
    {DCCamera::kCapabilityManualFocus, Control::Focus},
};

void post(const QString &name, const QVariantMap &userInfo) {
    DCNotificationCenter::defaultCenter().postNotificationName(name, {}, userInfo);
}

} // namespace

CameraToolbarModel::CameraToolbarModel(Dependencies dependencies, QObject *parent)
    : QObject(parent), deps_(std::move(dependencies)), settings_(*deps_.settings), observers_(this) {
    if (!deps_.currentCamera) deps_.currentCamera = [] { return DCCamerasController::sharedCurrentCamera(); };
    if (!deps_.schedule) deps_.schedule = ModelSchedule::onMainLoop(this);
    registerObservers();
}

CameraToolbarModel::~CameraToolbarModel() {
    observers_.stop();
}

void CameraToolbarModel::registerObservers() {
    const auto sync = [this](const DCNotification &note) { syncCameraModeToolbarSettings(note.name); };
    observers_.add(DCNote::DCCamSettingDidRestoreNotification, sync);
    observers_.add(DCNote::DCCamSettingDidSetToDefaultNotification, sync);
    observers_.add(DCNote::DCNotificationReportExposure, [this](const DCNotification &note) {
        updateExposureValue(note.object.value<DCCameraPtr>());
    });
    observers_.add(DCNote::DCNotificationReportFocusLength, [this](const DCNotification &note) {
        updateFocusLength(note.object.value<DCCameraPtr>());
    });
    observers_.add(DCNote::DCNotificationReportFocusAuto,
                   [this](const DCNotification &note) { updateFocusAuto(note.object.value<DCCameraPtr>()); });
    observers_.add(DCNote::DCCaptureDidTriggleTimerNotification,
                   [this](const DCNotification &) { lockToolbar(true); });
    observers_.add(DCNote::DCCaptureDidInvalidateTimerNotification,
                   [this](const DCNotification &) { lockToolbar(false); });
    observers_.add(DCNote::DCNotificationCameraDidBeginAutoFocus,
                   [this](const DCNotification &) { setSupressExposureOSD(true); });
    observers_.add(DCNote::DCNotificationCameraDidEndAutoFocus,
                   [this](const DCNotification &) { setSupressExposureOSD(false); });
}

DCCameraPtr CameraToolbarModel::camera() const {
    return deps_.currentCamera();
}

bool CameraToolbarModel::accepts(Set sender, Control control, int index) const {
    return controls_.isUsable(sender, control) && controls_.state(sender, control).hasItem(index);
}

// --- The user's choices ---

void CameraToolbarModel::setCameraModeZoom(Set sender, int index) {
    if (accepts(sender, Control::Zoom, index)) applyZoom(sender, index);
}

void CameraToolbarModel::toggleMirror(Set sender, int index) {
    if (accepts(sender, Control::Mirror, index)) applyMirror(sender, index);
}

void CameraToolbarModel::setTimer(Set sender, int index) {
    if (accepts(sender, Control::Timer, index)) applyTimer(sender, index);
}

void CameraToolbarModel::setResolution(Set sender, int index) {
    if (accepts(sender, Control::Resolution, index)) applyResolution(sender, index);
}

void CameraToolbarModel::setExposure(Set sender, int index) {
    if (accepts(sender, Control::Exposure, index)) applyExposure(sender, index, true);
}

void CameraToolbarModel::setExposureSliderPosition(Set sender, int position) {
    if (exposureStyle_ == 1) setExposure(sender, position + 1);
}

void CameraToolbarModel::setExposureLock(Set sender, int index) {
    if (accepts(sender, Control::ExposureLock, index)) applyExposureLock(sender, index);
}

void CameraToolbarModel::afLockButtonDidSetLockState(Set sender, unsigned state) {
    const DCCameraPtr current = camera();
    if (!controls_.isUsable(sender, Control::Focus) || !current) return;
    // Locking keeps the lens where automatic focus left it.
    const int32_t focus = current->focus();
    current->setAutoFocus(state == 0);
    if (focus != DCCamera::kNotAvailable) current->setFocus(static_cast<uint16_t>(focus & 0xFFFF));
    for (const Set set : kBothSets) {
        AFLockControlState afLock = controls_.afLock(set);
        afLock.locked = state != 0;
        controls_.setAFLock(set, afLock);
    }
}

void CameraToolbarModel::afLockButtonDidSetFocusLength(Set sender, int value) {
    const DCCameraPtr current = camera();
    if (!controls_.isUsable(sender, Control::Focus) || !current) return;
    const AFLockControlState &range = controls_.afLock(sender);
    if (range.maxValue > range.minValue) value = std::clamp(value, range.minValue, range.maxValue);
    current->setAutoFocus(false);
    current->setFocus(static_cast<uint16_t>(value & 0xFFFF));
    setFocusLengthOfBoth(value);
}

// --- The steps behind them ---

void CameraToolbarModel::selectBoth(Set sender, Control control, int index) {
    controls_.select(sender, control, index);
    controls_.copyToTwin(sender, control);
}

void CameraToolbarModel::applyZoom(Set sender, int index) {
    const float factor = Values::zoomFactorOfItem(index);
    settings_.setZoom(factor);
    selectBoth(sender, Control::Zoom, index);
    if (deps_.capture) deps_.capture->setZoom(factor);
    indexOfZoomItem_ = index;
    post(DCNote::DCDeviceCacheWillUpdateZoomFactorNotification,
         {{DCKey::DevZoomFactorValue, QVariant::fromValue(factor)}});
}

void CameraToolbarModel::applyMirror(Set sender, int index) {
    if (!controls_.state(sender, Control::Mirror).hasItem(index)) return;
    const bool flipped = !controls_.state(sender, Control::Mirror).isChecked(index);
    if (index == 1) {
        if (deps_.capture) deps_.capture->setHFlipped(flipped);
        settings_.setHFlipped(flipped);
    } else if (index == 2) {
        if (deps_.capture) deps_.capture->setVFlipped(flipped);
        settings_.setVFlipped(flipped);
    }
    for (const Set set : kBothSets)
        controls_.setChecked(set, Control::Mirror, index, flipped);
    setMirrorTitles();
    postMirrorState();
}

void CameraToolbarModel::setMirrorTitles() {
    const bool h = settings_.hFlipped();
    const bool v = settings_.vFlipped();
    const QString value = h && v ? QStringLiteral("V+H")
                          : h    ? QStringLiteral("H")
                          : v    ? QStringLiteral("V")
                                 : tr("Off");
    for (const Set set : kBothSets)
        controls_.setTitle(set, Control::Mirror, ToolbarControlSets::titled(Control::Mirror, value));
}

void CameraToolbarModel::postMirrorState() {
    const bool h = deps_.capture ? deps_.capture->hFlipped() : settings_.hFlipped();
    const bool v = deps_.capture ? deps_.capture->vFlipped() : settings_.vFlipped();
    post(DCNote::DCDeviceCacheWillUpdateMirrorNotification,
         {{DCKey::DevHorizontalValue, h}, {DCKey::DevVerticalValue, v}});
}

void CameraToolbarModel::applyTimer(Set sender, int index) {
    selectBoth(sender, Control::Timer, index);
    const int seconds = Values::timerSecondsOfItem(index);
    settings_.setTimer(seconds);
    post(DCNote::DCDeviceCacheWillUpdateTimerNotification, {{DCKey::DevTimerValue, seconds}});
    indexOfTimerItem_ = index;
}

void CameraToolbarModel::applyResolution(Set sender, int index) {
    indexOfResolutionItem_ = index;
    settings_.setResolution(Values::resolutionIndexOfItem(index));
    setResolutionIndex(Values::resolutionIndexOfItem(index), sender);
}

void CameraToolbarModel::setResolutionIndex(int resolutionIndex, Set sender) {
    selectBoth(sender, Control::Resolution, Values::itemOfResolutionIndex(resolutionIndex));
    const DCCameraPtr current = camera();
    if (!current) return;
    const QSize size = current->classResolutionAtIndex(resolutionIndex).toSize();
    // A camera without sizes of its own answers the zero size; the pipeline keeps what it has.
    if (deps_.capture && !size.isEmpty()) deps_.capture->setResolution(size);
    if (CameraKind::refocusesAfterPictureChange(current)) Q_EMIT autoFocusRequested();
}

void CameraToolbarModel::applyExposure(Set sender, int index, bool withOSD) {
    selectBoth(sender, Control::Exposure, index);
    indexOfExposureItem_ = index;
    if (withOSD) {
        const Values::Badge badge = Values::exposureBadge(camera(), index);
        Q_EMIT exposureBadgeRequested(badge.value, badge.showSigned);
    }
    post(DCNote::DCDeviceCacheWillUpdateExposureNotification, {{DCKey::DevExposureValue, index}});
    // The camera may report the exposure while the store sets it; that report is not the user's news.
    lockAutoGetExposure_ = true;
    settings_.setExposure(static_cast<int16_t>(index));
    lockAutoGetExposure_ = false;
}

void CameraToolbarModel::applyExposureLock(Set, int index) {
    indexOfExposureLockItem_ = index;
    setAutoBrightness(index == Values::kAutoExposureOnItem, Set::Toolbar);
}

void CameraToolbarModel::setAutoBrightness(bool on, Set) {
    const QString title = ToolbarControlSets::titled(Control::ExposureLock, on ? tr("On") : tr("Off"));
    for (const Set set : kBothSets)
        controls_.select(set, Control::ExposureLock, Values::itemOfAutoBrightness(on), title);
    setLockAE(!on);
}

void CameraToolbarModel::setLockAE(bool locked) {
    lockae_ = locked;
    settings_.setAutoBrightness(!locked);
}

// --- Camera changes ---

void CameraToolbarModel::setExposureScrope(const DCCameraPtr &camera) {
    exposureStyle_ = CameraKind::hasFixedExposureSteps(camera) ? 0 : 1;
    if (exposureStyle_ == 0) {
        controls_.setItems(Control::Exposure,
                           {QStringLiteral("+2"), QStringLiteral("+1"), QStringLiteral("0"),
                            QStringLiteral("-1"), QStringLiteral("-2")});
        for (const Set set : kBothSets)
            controls_.setCheckedItems(set, Control::Exposure, {Values::kFixedStepZeroItem});
        return;
    }
    int32_t last = camera ? camera->exposureMax() : DCCamera::kNotAvailable;
    if (last < Values::kFirstReportedExposure || last > Values::kLastReportedExposure)
        last = Values::kLastReportedExposure;
    QStringList steps;
    for (int step = 1; step <= last; ++step)
        steps << QString::number(step);
    controls_.setItems(Control::Exposure, steps);
}

void CameraToolbarModel::adjustCameraModeToolbarItems(const DCCameraPtr &camera) {
    const uint32_t capabilities = camera ? camera->capabilities() : 0;
    QList<Control> shown;
    for (const auto &[bit, control] : kAdmittedBy)
        if (capabilities & bit) shown << control;
    if (shown.contains(Control::Focus)) {
        for (const Set set : kBothSets) {
            AFLockControlState afLock = controls_.afLock(set);
            afLock.maxValue = camera->focusMax();
            afLock.minValue = camera->focusMin();
            controls_.setAFLock(set, afLock);
        }
    }
    controls_.setShownControls(shown);
}

void CameraToolbarModel::setControlEnabled(Control control, bool enabled) {
    controls_.setEnabled(control, enabled);
}

void CameraToolbarModel::showControlUnavailable(Control control) {
    for (const Set set : kBothSets)
        controls_.setTitle(set, control, ToolbarControlSets::titled(control, QStringLiteral("--")));
    controls_.setEnabled(control, false);
}

void CameraToolbarModel::setResolutionItems(const DCCameraPtr &camera) {
    QStringList sizes;
    if (camera) {
        const int count = static_cast<int>(camera->classSupportedResolutions().size());
        for (int i = 0; i < count; ++i) {
            const QSize size = camera->classResolutionAtIndex(i).toSize();
            sizes << QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        }
    }
    const QString kept = controls_.state(Set::Toolbar, Control::Resolution).title;
    controls_.setItems(Control::Resolution, sizes);
    for (const Set set : kBothSets)
        controls_.setTitle(set, Control::Resolution, kept);
}

void CameraToolbarModel::clearResolutionItems(const QString &title) {
    const QString kept = title.isEmpty() ? controls_.state(Set::Toolbar, Control::Resolution).title : title;
    controls_.setItems(Control::Resolution, {});
    for (const Set set : kBothSets)
        controls_.setTitle(set, Control::Resolution, kept);
}

void CameraToolbarModel::setIsAFLocked(bool locked) {
    isAFLocked_ = locked;
    Q_EMIT afLockedChanged(locked);
}

// --- Following the rest of the program ---

void CameraToolbarModel::lockToolbar(bool lock) {
    controls_.setLocked(lock);
}

void CameraToolbarModel::syncCameraModeToolbarSettings(const QString &notificationName) {
    DCLog("Notification: %s", qUtf8Printable(notificationName));
    applyZoom(Set::Toolbar, Values::itemOfZoomFactor(settings_.zoom()));
    applyTimer(Set::Toolbar, Values::itemOfTimerSeconds(settings_.timer()));
    if (deps_.capture) {
        deps_.capture->setHFlipped(settings_.hFlipped());
        deps_.capture->setVFlipped(settings_.vFlipped());
    }
    for (const Set set : kBothSets) {
        controls_.setChecked(set, Control::Mirror, 1, settings_.hFlipped());
        controls_.setChecked(set, Control::Mirror, 2, settings_.vFlipped());
    }
    postMirrorState();
    setMirrorTitles();
    applyResolution(Set::Toolbar, Values::itemOfResolutionIndex(settings_.resolution()));
    applyExposure(Set::Toolbar, settings_.exposure(), false);
    applyExposureLock(Set::Toolbar, Values::itemOfAutoBrightness(settings_.autoBrightness()));
}

void CameraToolbarModel::updateExposureValue(const DCCameraPtr &sender) {
    if (lockAutoGetExposure_ || supressExposureOSD_) return;
    const DCCameraPtr current = camera();
    if (!current || sender != current) return;
    int exposure = CameraKind::exposureStep(current);
    if (exposure < Values::kFirstReportedExposure || exposure > Values::kLastReportedExposure) {
        // The camera meters by itself again.
        const QString title = ToolbarControlSets::titled(Control::ExposureLock, tr("On"));
        for (const Set set : kBothSets)
            controls_.select(set, Control::ExposureLock, Values::kAutoExposureOnItem, title);
        indexOfExposureLockItem_ = Values::kAutoExposureOnItem;
        exposure = Values::kExposureOutsideReports;
    }
    if (exposure == indexOfExposureItem_) return;
    indexOfExposureItem_ = exposure;
    const QString title = ToolbarControlSets::titled(Control::Exposure, QString::number(exposure));
    for (const Set set : kBothSets)
        controls_.select(set, Control::Exposure, exposure, title);
    const Values::Badge badge = Values::exposureBadge(current, exposure);
    Q_EMIT exposureBadgeRequested(badge.value, badge.showSigned);
    if (indexOfExposureLockItem_ != Values::kExposureLockedItem) return;
    // A locked exposure that moved: a short spell of automatic exposure lets the camera settle on the
    // new light, then the lock holds again.
    settings_.setAutoBrightness(false);
    deps_.schedule(kAutoBrightnessPulse, [self = QPointer<CameraToolbarModel>(this)] {
        if (self) self->settings_.setAutoBrightness(true);
    });
}

void CameraToolbarModel::updateFocusLength(const DCCameraPtr &sender) {
    const DCCameraPtr current = camera();
    if (!current || sender != current) return;
    const int32_t focus = current->focus();
    if (focus != DCCamera::kNotAvailable) setFocusLengthOfBoth(focus & 0xFFFF);
}

void CameraToolbarModel::setFocusLengthOfBoth(int value) {
    for (const Set set : kBothSets) {
        AFLockControlState afLock = controls_.afLock(set);
        afLock.focusLength = value;
        controls_.setAFLock(set, afLock);
    }
}

void CameraToolbarModel::updateFocusAuto(const DCCameraPtr &sender) {
    const DCCameraPtr current = camera();
    if (!current || sender != current) return;
    const bool locked = !current->autoFocus();
    for (const Set set : kBothSets) {
        AFLockControlState afLock = controls_.afLock(set);
        afLock.locked = locked;
        controls_.setAFLock(set, afLock);
    }
    setIsAFLocked(locked);
}

// --- The index setters ---

void CameraToolbarModel::setIndexOf(Control control, int index) {
    controls_.select(Set::Toolbar, control, index);
    controls_.copyToTwin(Set::Toolbar, control);
}

void CameraToolbarModel::setIndexOfZoomItem(int index) {
    indexOfZoomItem_ = index;
    setIndexOf(Control::Zoom, index);
}

void CameraToolbarModel::setIndexOfExposureItem(int index) {
    indexOfExposureItem_ = index;
    setIndexOf(Control::Exposure, index);
}

void CameraToolbarModel::setIndexOfTimerItem(int index) {
    indexOfTimerItem_ = index;
    setIndexOf(Control::Timer, index);
}

void CameraToolbarModel::setIndexOfResolutionItem(int index) {
    indexOfResolutionItem_ = index;
    setIndexOf(Control::Resolution, index);
}

void CameraToolbarModel::setIndexOfExposureLockItem(int index) {
    indexOfExposureLockItem_ = index;
    setIndexOf(Control::ExposureLock, index);
}
