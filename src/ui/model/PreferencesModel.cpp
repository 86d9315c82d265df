#include "ui/model/PreferencesModel.h"

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "capture/DCCamSettingController.h"
#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "ui/model/AboutInfo.h"
#include "ui/model/CameraKind.h"

namespace {

struct PictureControl {
    int32_t (DCCamera::*current)();
    int32_t (DCCamera::*minimum)();
    int32_t (DCCamera::*maximum)();
    int32_t (DCCamera::*defaultValue)();
};

// In the order of PreferencesModel::Picture.
constexpr PictureControl kPictureControls[] = {
    {&DCCamera::brightness, &DCCamera::brightnessMin, &DCCamera::brightnessMax, &DCCamera::brightnessDef},
    {&DCCamera::contrast, &DCCamera::contrastMin, &DCCamera::contrastMax, &DCCamera::contrastDef},
    {&DCCamera::gamma, &DCCamera::gammaMin, &DCCamera::gammaMax, &DCCamera::gammaDef},
    {&DCCamera::hue, &DCCamera::hueMin, &DCCamera::hueMax, &DCCamera::hueDef},
    {&DCCamera::saturation, &DCCamera::saturationMin, &DCCamera::saturationMax, &DCCamera::saturationDef},
    {&DCCamera::sharpness, &DCCamera::sharpnessMin, &DCCamera::sharpnessMax, &DCCamera::sharpnessDef},
};

bool known(int32_t value) {
    return value != DCCamera::kNotAvailable;
}

// A whole number as the defaults file may hold it (JSON numbers arrive as doubles).
std::optional<qint64> wholeNumber(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) return static_cast<qint64>(d);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QString textOf(const QVariant &value) {
    return value.canConvert<QString>() ? value.toString() : QString::fromLatin1(value.typeName());
}

const QString kPaneIdentifiers[] = {QStringLiteral("GeneralPreferencesToolbarItem"),
                                    QStringLiteral("ImagePreferencesToolbarItem"),
                                    QStringLiteral("SystemPreferencesToolbarItem")};

} // namespace

QString PreferencesModel::identifier(Pane pane) {
    return kPaneIdentifiers[static_cast<int>(pane)];
}

QString PreferencesModel::functionDescription(int index) {
    switch (index) {
    case 0:
        return tr("Brings the camera into focus once.");
    case 1:
        return tr("Zooms into the image for one level.");
    case 2:
        return tr("Increases exposure for one level.");
    case 3:
        return tr("Flips the current view horizontally.");
    default:
        return {};
    }
}

QString PreferencesModel::libraryFolderProblem(const QString &folder) {
    if (folder.trimmed().isEmpty()) return tr("No folder was chosen.");
    const QFileInfo info(folder);
    if (!info.exists()) return tr("The folder “%1” does not exist.").arg(folder);
    if (!info.isDir()) return tr("“%1” is not a folder.").arg(folder);
    // Permission bits say too little (an administrator, a read-only disk): try it.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".korva-lectern-XXXXXX")));
    if (!probe.open())
        return tr("The folder “%1” cannot be written to, so no photo could be saved there.").arg(folder);
    return {};
}

PreferencesModel::PreferencesModel(Dependencies dependencies, QObject *parent)
    : QObject(parent), deps_(std::move(dependencies)), settings_(*deps_.settings), defaults_(*deps_.defaults),
      observers_(this) {
    observers_.add(DCNote::DCCameraDidChange, [this](const DCNotification &note) {
        cameraDidChange(note.userInfo.value(DCKey::NewCamera).value<DCCameraPtr>());
        adjustControls();
    });
    observers_.add(DCNote::DCCameraDidAdd, [this](const DCNotification &) { adjustControls(); });
    observers_.add(DCNote::DCCameraDidRemove, [this](const DCNotification &) { adjustControls(); });
    observers_.add(DCNote::VideoStreamServerDidStart,
                   [this](const DCNotification &) { updateServerAddress(); });
    observers_.add(DCNote::VideoStreamServerDidStop,
                   [this](const DCNotification &) { updateServerAddress(); });
}

void PreferencesModel::loadDefaults() {
    const QString saved = storedText(DCDefaults::PreferencesItemSaved);
    shownPane_ = Pane::General;
    for (Pane pane : {Pane::ImageAdjustment, Pane::System})
        if (saved == identifier(pane)) shownPane_ = pane;
    adjustControls();
    libraryPath_ = QDir::toNativeSeparators(storedText(DCDefaults::PhotoLibraryLocation));
    prefix_ = storedText(DCDefaults::PhotoNameFormatSelPrefix);
    announcedNameFormat_ = std::make_pair(photoNameFormat(), prefix_);
    Q_EMIT libraryPathChanged();
    updateServerAddress();
    cameraDidChange(deps_.currentCamera ? deps_.currentCamera() : nullptr);
}

QList<PreferencesModel::Pane> PreferencesModel::panes() const {
    if (imagePaneOffered_) return {Pane::General, Pane::ImageAdjustment, Pane::System};
    return {Pane::General, Pane::System};
}

void PreferencesModel::changePreferenceView(Pane pane) {
    if (!panes().contains(pane)) return;
    if (pane == Pane::ImageAdjustment) adjustControls();
    shownPane_ = pane;
    store(DCDefaults::PreferencesItemSaved, identifier(pane));
    Q_EMIT panesChanged();
}

QString PreferencesModel::firmwareText() const {
    return AboutInfo::firmwareText(settings_.firmwareVersion());
}

// --- The camera ---

void PreferencesModel::adjustControls() {
    const QList<DCCameraPtr> cameras =
        deps_.availableCameras ? deps_.availableCameras() : QList<DCCameraPtr>();
    const DCCameraPtr current = deps_.currentCamera ? deps_.currentCamera() : nullptr;
    cameraItems_.clear();
    for (const DCCameraPtr &camera : cameras)
        cameraItems_ << camera->model();
    if (cameraItems_.isEmpty()) cameraItems_ << tr("No available cameras");
    selectedCamera_ = current ? static_cast<int>(cameras.indexOf(current)) : -1;
    camerasEnabled_ = current != nullptr;
    if (current) {
        setImageAdjustmentUI(*current);
    } else {
        for (Slider &slider : sliders_)
            slider.enabled = false;
        whiteBalance_.enabled = false;
    }
    Q_EMIT camerasChanged();
}

void PreferencesModel::setImageAdjustmentUI(DCCamera &camera) {
    for (int i = 0; i < kPictureCount; ++i) {
        const PictureControl &c = kPictureControls[i];
        Slider &slider = sliders_[i];
        const int32_t minimum = (camera.*c.minimum)();
        const int32_t maximum = (camera.*c.maximum)();
        slider.enabled = known(minimum) && known(maximum) && minimum <= maximum;
        if (!slider.enabled) continue;
        slider.minimum = minimum;
        slider.maximum = maximum;
        const int32_t value = (camera.*c.current)();
        slider.value = known(value) ? std::clamp(value, minimum, maximum) : minimum;
    }
    const int32_t wbMin = camera.whiteBalanceMin();
    const int32_t wbMax = camera.whiteBalanceMax();
    whiteBalance_.enabled = known(wbMin) && known(wbMax) && wbMin <= wbMax;
    if (!whiteBalance_.enabled) return;
    whiteBalance_.minimum = wbMin;
    whiteBalance_.maximum = wbMax;
    const int32_t wb = camera.whiteBalance();
    whiteBalance_.value = known(wb) ? std::clamp(wb, wbMin, wbMax) : wbMin;
    whiteBalance_.automatic = camera.autoWhiteBalance();
}

void PreferencesModel::cameraDidChange(const DCCameraPtr &camera) {
    switch (CameraKind::of(camera)) {
    case CameraKind::None:
        return;
    case CameraKind::Other:
        // A network camera has no picture controls and no mains frequency.
        imagePaneOffered_ = false;
        frequencyEnabled_ = false;
        if (shownPane_ == Pane::ImageAdjustment) shownPane_ = Pane::General;
        break;
    case CameraKind::Korva:
    case CameraKind::Uvc:
        imagePaneOffered_ = true;
        frequencyEnabled_ = true;
        break;
    }
    Q_EMIT panesChanged();
}

void PreferencesModel::selectCamera(int index) {
    const QList<DCCameraPtr> cameras =
        deps_.availableCameras ? deps_.availableCameras() : QList<DCCameraPtr>();
    if (index < 0 || index >= cameras.size()) return;
    const DCCameraPtr &chosen = cameras.at(index);
    if (deps_.currentCamera && chosen == deps_.currentCamera()) {
        // The same camera again: the user wants the live picture back.
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCNotificationCommandRestartCaptureView, QVariant::fromValue<QObject *>(this));
        return;
    }
    if (deps_.setCurrentCamera) deps_.setCurrentCamera(chosen);
}

void PreferencesModel::setPicture(Picture picture, int value) {
    Slider &slider = sliders_[static_cast<int>(picture)];
    if (!slider.enabled) return;
    slider.value = std::clamp(value, slider.minimum, slider.maximum);
    applyPicture(picture, slider.value);
}

void PreferencesModel::applyPicture(Picture picture, int value) {
    switch (picture) {
    case Picture::Brightness:
        return settings_.setBrightness(static_cast<uint16_t>(value));
    case Picture::Contrast:
        return settings_.setContrast(static_cast<uint16_t>(value));
    case Picture::Gamma:
        return settings_.setGamma(static_cast<uint16_t>(value));
    case Picture::Hue:
        return settings_.setHue(static_cast<int16_t>(value));
    case Picture::Saturation:
        return settings_.setSaturation(static_cast<uint16_t>(value));
    case Picture::Sharpness:
        return settings_.setSharpness(static_cast<uint16_t>(value));
    }
}

void PreferencesModel::setDefaultImageAdjustment() {
    const DCCameraPtr camera = deps_.currentCamera ? deps_.currentCamera() : nullptr;
    if (!camera) return;
    // Controls the camera lacks stay as they are: their defaults would only be stored as garbage.
    DCCamera &device = *camera;
    for (int i = 0; i < kPictureCount; ++i) {
        const PictureControl &c = kPictureControls[i];
        Slider &slider = sliders_[i];
        if (!slider.enabled) continue;
        const int32_t def = (device.*c.defaultValue)();
        if (known(def)) slider.value = std::clamp(def, slider.minimum, slider.maximum);
        applyPicture(static_cast<Picture>(i), slider.value);
    }
    if (whiteBalance_.enabled) {
        const int32_t def = camera->whiteBalanceDef();
        if (known(def)) whiteBalance_.value = std::clamp(def, whiteBalance_.minimum, whiteBalance_.maximum);
        whiteBalance_.automatic = true;
        settings_.setWhiteBalance(static_cast<uint16_t>(whiteBalance_.value));
        settings_.setAutoWhiteBalance(1);
    }
    Q_EMIT camerasChanged();
}

// --- Stored choices ---

void PreferencesModel::store(const QString &key, const QVariant &value) {
    defaults_.setObject(value, key);
    defaults_.synchronize();
}

void PreferencesModel::post(const QString &name, const QVariantMap &userInfo) {
    DCNotificationCenter::defaultCenter().postNotificationName(name, {}, userInfo);
}

int PreferencesModel::storedChoice(const QString &key, int count, int fallback) const {
    const QVariant value = defaults_.objectForKey(key);
    if (!value.isValid()) return fallback;
    const auto number = wholeNumber(value);
    if (number && *number >= 0 && *number < count) return static_cast<int>(*number);
    DCLog("The stored %s (%s) is not one of the choices; the preferences show %d", qUtf8Printable(key),
          qUtf8Printable(textOf(value)), fallback);
    return fallback;
}

bool PreferencesModel::storedSwitch(const QString &key, bool fallback) const {
    return storedChoice(key, 2, fallback ? 1 : 0) != 0;
}

QString PreferencesModel::storedText(const QString &key) const {
    const QVariant value = defaults_.objectForKey(key);
    if (!value.isValid()) return {};
    if (value.typeId() == QMetaType::QString) return value.toString();
    DCLog("The stored %s is not a text; the preferences show none", qUtf8Printable(key));
    return {};
}

bool PreferencesModel::focusSoundEffect() const {
    return storedSwitch(DCDefaults::FocusSoundEffectSwitch, true);
}

bool PreferencesModel::snapshotSoundEffect() const {
    return storedSwitch(DCDefaults::SnapshotSoundEffectSwitch, true);
}

bool PreferencesModel::videoStreamer() const {
    return storedSwitch(DCDefaults::VideoStreamSet, false);
}

int PreferencesModel::frequency() const {
    return storedChoice(DCDefaults::Frequency, 2, 0);
}

int PreferencesModel::instantPreview() const {
    return storedChoice(DCDefaults::InstantPreview, 3, 1);
}

int PreferencesModel::keepCameraSet() const {
    return storedChoice(DCDefaults::KeepCameraSet, 2, 0);
}

int PreferencesModel::photoNameFormat() const {
    // Any non-zero value means the custom prefix.
    const auto number = wholeNumber(defaults_.objectForKey(DCDefaults::PhotoNameFormatSel));
    return number && *number != 0 ? 1 : 0;
}

int PreferencesModel::programKeyFunction() const {
    return storedChoice(DCDefaults::ProgramKeyFunction, 4, 0);
}

void PreferencesModel::toggleFocusSoundEffect(bool on) {
    store(DCDefaults::FocusSoundEffectSwitch, on);
    post(DCNote::DCFocusSoundEffectDidChangeNotification, {{DCKey::FocusSoundEffectSwitch, on}});
}

void PreferencesModel::toggleSnapshotSoundEffect(bool on) {
    store(DCDefaults::SnapshotSoundEffectSwitch, on);
    post(DCNote::DCSnapshotSoundEffectDidChangeNotification, {{DCKey::SnapshotSoundEffectSwitch, on}});
}

void PreferencesModel::toggleVideoStreamer(bool on) {
    // Read at start-up only: the server follows at the next start.
    store(DCDefaults::VideoStreamSet, on);
    post(DCNote::VideoStreamSetDidChangeNotification, {{DCKey::VideoStreamSet, on}});
}

void PreferencesModel::setFrequency(int column) {
    if (column < 0 || column > 1) return;
    store(DCDefaults::Frequency, column);
    post(DCNote::CameraFrequencyDidChangeNotification, {{DCKey::CameraFrequencySet, column != 0}});
}

void PreferencesModel::setInstantTimer(int column) {
    if (column < 0 || column > 2) return;
    store(DCDefaults::InstantPreview, column);
    post(DCNote::DCInstantPreviewDidChangeNotification, {{DCKey::InstantPreview, column}});
}

void PreferencesModel::setKeepCameraSet(int column) {
    if (column < 0 || column > 1) return;
    store(DCDefaults::KeepCameraSet, column);
    post(DCNote::DCKeepCameraSetDidChangeNotification, {{DCKey::KeepCameraSet, column}});
}

QString PreferencesModel::setPhotoLibraryLocation(const QString &folder) {
    const QString path = QDir::cleanPath(folder);
    if (const QString problem = libraryFolderProblem(path); !problem.isEmpty()) {
        DCLog("The photo library stays where it is: %s", qUtf8Printable(problem));
        return problem;
    }
    store(DCDefaults::PhotoLibraryLocation, path);
    libraryPath_ = QDir::toNativeSeparators(path);
    Q_EMIT libraryPathChanged();
    post(DCNote::DCPhotoLibraryLocationDidChangeNotification, {{DCKey::PhotoLibraryLocation, path}});
    return {};
}

void PreferencesModel::setPhotoNameFormat(std::optional<int> format, const QString &prefix) {
    if (format && (*format < 0 || *format > 1)) return;
    const int value = format ? *format : photoNameFormat();
    // Focus leaving an unchanged field is no change.
    if (announcedNameFormat_ == std::make_pair(value, prefix)) return;
    announcedNameFormat_ = std::make_pair(value, prefix);
    prefix_ = prefix;
    defaults_.setObject(prefix, DCDefaults::PhotoNameFormatSelPrefix);
    if (format) defaults_.setObject(*format, DCDefaults::PhotoNameFormatSel);
    defaults_.synchronize();
    post(DCNote::DCPhotoNameFormatSelDidChangeNotification,
         {{DCKey::PhotoNameFormatSel, value}, {DCKey::PhotoNameFormatSelPrefix, prefix}});
}

void PreferencesModel::setFunction(int index) {
    if (index < 0 || index > 3) return;
    store(DCDefaults::ProgramKeyFunction, index);
    post(DCNote::DCProgramKeyFunctionDidChangeNotification, {{DCKey::ProgramKeyFunction, index}});
}

void PreferencesModel::updateServerAddress() {
    const QString address = deps_.serverAddress ? deps_.serverAddress() : QString();
    if (address == serverAddress_) return;
    serverAddress_ = address;
    Q_EMIT serverAddressChanged();
}
