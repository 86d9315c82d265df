#include "ui/model/MainWindowReactions.h"

#include <functional>
#include <optional>

#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include "capture/DCCamSettingController.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/MainThread.h"
#include "core/UserDefaults.h"
#include "devices/DCCameraKorva.h"
#include "devices/DCCamerasController.h"
#include "photos/FileItem.h"
#include "ui/model/CameraKind.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/MainWindowModel.h"
#include "ui/model/PhotoLibraryModel.h"

namespace {

using Set = ToolbarControlSets::Set;
using Control = ToolbarControlSets::Control;

MainWindowReactions::Dependencies withDefaults(MainWindowReactions::Dependencies deps, QObject *context) {
    if (!deps.currentCamera) deps.currentCamera = [] { return DCCamerasController::sharedCurrentCamera(); };
    if (!deps.schedule) deps.schedule = ModelSchedule::onMainLoop(context);
    if (!deps.defaults) deps.defaults = &UserDefaults::standardUserDefaults();
    return deps;
}

// An integer the notification carries under `key`; empty when it is absent or not a number.
std::optional<int> integerIn(const QVariantMap &userInfo, const QString &key) {
    bool ok = false;
    const int value = userInfo.value(key).toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// The item the overlay chose: its "value", else the notification's object.
std::optional<int> chosenItem(const DCNotification &note) {
    if (const auto value = integerIn(note.userInfo, DCKey::Value)) return value;
    bool ok = false;
    const int value = note.object.toInt(&ok);
    if (!ok) DCLog("%s without the chosen item ignored", qUtf8Printable(note.name));
    return ok ? std::optional<int>(value) : std::nullopt;
}

// The announcement on one log line: "{key = value; ...}".
QString describe(const QVariantMap &dictionary) {
    QStringList entries;
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
        const QVariant &value = it.value();
        const QString text = value.typeId() == QMetaType::QUrl ? value.toUrl().toString() : value.toString();
        entries << QStringLiteral("%1 = %2").arg(it.key(), text);
    }
    return QStringLiteral("{%1}").arg(entries.join(QStringLiteral("; ")));
}

} // namespace

MainWindowReactions::MainWindowReactions(Dependencies dependencies, QObject *parent)
    : QObject(parent), deps_(withDefaults(std::move(dependencies), this)), window_(*deps_.window),
      toolbar_(*deps_.toolbar), library_(*deps_.library), settings_(*deps_.settings),
      defaults_(*deps_.defaults), preview_(deps_.schedule), observers_(this) {
    connect(&toolbar_, &CameraToolbarModel::autoFocusRequested, this,
            &MainWindowReactions::doAutoFocusInMainThread);
    // The first photo is selected once the library is there, unless a new one was selected meanwhile.
    connect(&library_, &PhotoLibraryModel::loaded, this, [this] {
        if (library_.selectedRow() < 0) library_.selectRow(0);
    });
    registerObservers();
}

MainWindowReactions::~MainWindowReactions() {
    observers_.stop();
}

void MainWindowReactions::registerObservers() {
    observers_.add(DCNote::DCAppWillSnapshotNotification, [this](const DCNotification &note) {
        // Only while the live picture is in the camera view: review mode and a preview already showing
        // have none there.
        if (window_.currentView() == MainWindowModel::View::Camera)
            preview_.snapshotWillBeTaken(note.userInfo.value(DCKey::Image).value<FramePointer>());
    });
    observers_.addWaiting(DCNote::DCCameraDidChange, [this](const DCNotification &note) {
        cameraDidChange(note.userInfo.value(DCKey::NewCamera).value<DCCameraPtr>());
    });
    observers_.add(DCNote::DCFileDidCreateNotification,
                   [this](const DCNotification &note) { fileDidCreate(note.object.toMap()); });
    observers_.addWaiting(
        DCNote::DCPhotoLibraryLocationDidChangeNotification,
        [this](const DCNotification &note) { photoLibraryLocationDidChange(note.userInfo); });
    observers_.add(DCNote::DCInstantPreviewDidChangeNotification, [this](const DCNotification &note) {
        if (const auto setting = integerIn(note.userInfo, DCKey::InstantPreview))
            preview_.setInstantPreview(*setting);
    });
    observers_.add(DCNote::CameraFrequencyDidChangeNotification,
                   [this](const DCNotification &note) { cameraFrequencyDidChange(note.userInfo); });
    observers_.add(DCNote::DCNotificationAppExitFullScreen, [this](const DCNotification &) {
        if (window_.isFullScreenWindowActive()) window_.changeMode(MainWindowModel::ModeButton::None);
    });
    observers_.add(DCNote::DCNotificationMainWindowDoubleClicked, [this](const DCNotification &) {
        if (window_.mode() == WindowMode::Camera) window_.setMode(WindowMode::FullScreen);
    });
    observers_.add(DCNote::DCNotificationCommandRestartCaptureView,
                   [this](const DCNotification &) { restartCaptureView(); });
    observers_.add(DCNote::DCCaptureWillMirrorNotification, [this](const DCNotification &) {
        if (deps_.capture) deps_.capture->setHFlipped(!deps_.capture->hFlipped());
    });
    observers_.add(DCNote::DCCaptureViewWillUpdateExposureNotification, [this](const DCNotification &note) {
        if (const auto step = integerIn(note.userInfo, DCKey::DevExposureValue))
            toolbar_.setIndexOfExposureItem(*step);
    });
    observers_.add(DCNote::DCCamSettingWillSetOurValueNotification, [this](const DCNotification &) {
        if (!deps_.capture) return;
        deps_.capture->setHFlipped(settings_.hFlipped());
        deps_.capture->setVFlipped(settings_.vFlipped());
    });
    observers_.add(DCNote::DCCaptureFocusDidSetContinousNotification,
                   [this](const DCNotification &) { Q_EMIT focusModeChanged(2); });
    observers_.add(DCNote::DCCaptureFocusDidSetSingleNotification,
                   [this](const DCNotification &) { Q_EMIT focusModeChanged(1); });
    observers_.add(DCNote::DCCaptureWillUpdateTimerNotification, [this](const DCNotification &note) {
        if (const auto seconds = integerIn(note.userInfo, DCKey::DevTimerValue))
            Q_EMIT timerTickChanged(*seconds);
    });
    observers_.add(DCNote::DCCaptureDidInvalidateTimerNotification,
                   [this](const DCNotification &) { Q_EMIT timerTickChanged(-1); });
    relayOverlayChoices();
}

// The overlay's controls announce the user's choices; they take the toolbar's way from here.
void MainWindowReactions::relayOverlayChoices() {
    using Action = void (CameraToolbarModel::*)(Set, int);
    const std::pair<QString, Action> relays[] = {
        {DCNote::DCFullScreenSetZoomNotification, &CameraToolbarModel::setCameraModeZoom},
        {DCNote::DCFullScreenSetTimerNotification, &CameraToolbarModel::setTimer},
        {DCNote::DCFullScreenSetResolutionNotification, &CameraToolbarModel::setResolution},
        {DCNote::DCFullScreenSetExposureNotification, &CameraToolbarModel::setExposure},
        {DCNote::DCFullScreenSetExposureLockNotification, &CameraToolbarModel::setExposureLock},
        {DCNote::DCFullScreenSetMirrorNotification, &CameraToolbarModel::toggleMirror},
    };
    // std::invoke rather than (toolbar_.*action): g++ 12's vptr sanitizer misreads a pointer-to-member
    // call on a member reached through a lambda's captured this.
    for (const auto &relay : relays) {
        observers_.add(relay.first, [toolbar = &toolbar_, action = relay.second](const DCNotification &note) {
            if (const auto item = chosenItem(note)) std::invoke(action, toolbar, Set::Overlay, *item);
        });
    }
    observers_.add(DCNote::DCFullScreenSetAutoFocus, [this](const DCNotification &note) {
        if (const auto state = integerIn(note.userInfo, DCKey::Value))
            toolbar_.afLockButtonDidSetLockState(Set::Overlay, static_cast<unsigned>(*state));
    });
    observers_.add(DCNote::DCFullScreenSetFocusLength, [this](const DCNotification &note) {
        if (const auto value = integerIn(note.userInfo, DCKey::Value))
            toolbar_.afLockButtonDidSetFocusLength(Set::Overlay, *value);
    });
}

// --- Window and library ---

void MainWindowReactions::windowDidLoad() {
    if (!defaults_.hasKey(DCDefaults::InstantPreview)) {
        defaults_.setInteger(1, DCDefaults::InstantPreview);
        defaults_.synchronize();
    }
    preview_.setInstantPreview(static_cast<int>(defaults_.integerForKey(DCDefaults::InstantPreview)));
    baseDir_ = defaults_.stringForKey(DCDefaults::PhotoLibraryLocation);
    loadData();
}

void MainWindowReactions::loadData() {
    library_.loadFolderInBackground(baseDir_);
}

void MainWindowReactions::photoLibraryLocationDidChange(const QVariantMap &userInfo) {
    const QVariant folder = userInfo.value(DCKey::PhotoLibraryLocation);
    if (folder.typeId() != QMetaType::QString) {
        DCLog("photo library change without a folder ignored");
        return;
    }
    baseDir_ = folder.toString();
    loadData();
}

void MainWindowReactions::fileDidCreate(const QVariantMap &dictionary) {
    DCLog("Image Captured: %s", qUtf8Printable(describe(dictionary)));
    std::unique_ptr<FileItem> item = FileItem::fileItemWithDictionary(dictionary);
    if (item->path().isEmpty()) {
        DCLog("no photo file in the announcement; nothing added to the library");
        return;
    }
    item->imageRepresentation(); // reads the picture size from the header
    library_.append(std::move(item));
    const int row = library_.rowCount() - 1;
    Q_EMIT attentionRequested();
    if (window_.mode() == WindowMode::Review)
        library_.selectRow(row);
    else
        window_.setFileCreated(true);
    if (snapshotWindowVisible_) {
        Q_EMIT snapshotWindowCloseRequested();
        Q_EMIT uploadQueueAppendRequested(row);
    }
}

// --- Focus and capture ---

void MainWindowReactions::doAutoFocusInMainThread() {
    if (!MainThread::isCurrent()) {
        QMetaObject::invokeMethod(this, &MainWindowReactions::doAutoFocusInMainThread, Qt::QueuedConnection);
        return;
    }
    deps_.schedule(kAutoFocusDelay, [self = QPointer<MainWindowReactions>(this)] {
        if (self) self->doAutoFocus();
    });
}

void MainWindowReactions::doAutoFocus() {
    DCNotificationCenter::defaultCenter().postNotificationName(
        DCNote::DCNotificationCameraWillBeginSelfAutoFocus);
    if (const DCCameraPtr current = camera()) current->focusAgain();
}

void MainWindowReactions::restartCaptureView() {
    if (deps_.capture) deps_.capture->restart();
    if (CameraKind::refocusesAfterPictureChange(camera())) doAutoFocusInMainThread();
}

void MainWindowReactions::cameraFrequencyDidChange(const QVariantMap &userInfo) {
    auto *korva = dynamic_cast<DCCameraKorva *>(camera().get());
    const auto frequency = integerIn(userInfo, DCKey::CameraFrequencySet);
    if (korva && frequency) korva->korvaSetPowerFrequency(static_cast<int16_t>(*frequency));
}

// --- A new current camera ---

void MainWindowReactions::cameraDidChange(const DCCameraPtr &newCamera) {
    Q_EMIT snapshotWindowCloseRequested();
    Q_EMIT overlayEndFocusRequested();
    toolbar_.setIsAFLocked(false);
    toolbar_.adjustCameraModeToolbarItems(newCamera);
    toolbar_.setExposureScrope(newCamera);
    const CameraKind::Kind kind = CameraKind::of(newCamera);
    window_.setTitleForCamera(newCamera);
    Q_EMIT focusFunctionsHiddenChanged(kind != CameraKind::Korva);
    if (kind == CameraKind::Korva || kind == CameraKind::Uvc)
        toolbar_.setResolutionItems(newCamera);
    else if (kind == CameraKind::Other)
        toolbar_.clearResolutionItems();
    else
        toolbar_.clearResolutionItems(ToolbarControlSets::titled(Control::Resolution, QStringLiteral("--")));
    applyCameraSettings(newCamera);
    // Last, so that the titles of the controls the camera lacks are not replaced by the restore above.
    applyControlTable(newCamera);
}

void MainWindowReactions::applyCameraSettings(const DCCameraPtr &newCamera) {
    const QPointer<MainWindowReactions> self(this);
    switch (CameraKind::of(newCamera)) {
    case CameraKind::Korva: {
        settings_.resetCameraParameters();
        newCamera->setAutoFocus(true);
        auto &korva = static_cast<DCCameraKorva &>(*newCamera);
        korva.korvaSetPowerFrequency(static_cast<int16_t>(defaults_.integerForKey(DCDefaults::Frequency)));
        Q_EMIT focusModeChanged(newCamera->autoFocusMode());
        doAutoFocusInMainThread();
        deps_.schedule(kImageAdjustmentsDelay, [self] {
            if (self) self->settings_.setImageAdjustments();
        });
        break;
    }
    case CameraKind::Uvc:
        settings_.resetCameraParameters();
        // The picture values go out once more on a later turn of the event loop, after what the change
        // itself queued.
        deps_.schedule(std::chrono::milliseconds(0), [self] {
            if (self) self->settings_.setImageAdjustments();
        });
        break;
    case CameraKind::Other:
        if (deps_.capture) deps_.capture->setZoom(1.0f);
        settings_.resetCameraParameters();
        break;
    case CameraKind::None:
        if (deps_.capture) deps_.capture->setZoom(1.0f);
        break;
    }
}

void MainWindowReactions::applyControlTable(const DCCameraPtr &newCamera) {
    constexpr Control kPictureSide[] = {Control::Zoom, Control::Mirror, Control::Timer};
    constexpr Control kExposure[] = {Control::Exposure, Control::ExposureLock};
    switch (CameraKind::of(newCamera)) {
    case CameraKind::Korva:
        for (int c = 0; c < ToolbarControlSets::kControlCount; ++c)
            toolbar_.setControlEnabled(static_cast<Control>(c), true);
        break;
    case CameraKind::Uvc:
        for (const Control control : kPictureSide)
            toolbar_.setControlEnabled(control, true);
        toolbar_.setControlEnabled(Control::Resolution, true);
        for (const Control control : kExposure)
            toolbar_.showControlUnavailable(control);
        toolbar_.setControlEnabled(Control::Focus, false);
        break;
    case CameraKind::Other:
        for (const Control control : kPictureSide)
            toolbar_.setControlEnabled(control, true);
        break;
    case CameraKind::None:
        for (const Control control : {Control::Resolution, Control::Mirror, Control::Zoom, Control::Timer,
                                      Control::Exposure, Control::ExposureLock})
            toolbar_.showControlUnavailable(control);
        toolbar_.setControlEnabled(Control::Focus, false);
        break;
    }
}
