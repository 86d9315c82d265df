#include "capture/DCCamSettingController.h"

#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/SharedInstance.h"
#include "core/UserDefaults.h"
#include "devices/DCCameraKite_1.h"
#include "devices/DCCameraKorva.h"
#include "devices/DCCamerasController.h"

namespace {
const QString kBrightness = QStringLiteral("Brightness");
const QString kContrast = QStringLiteral("Contrast");
const QString kGamma = QStringLiteral("Gamma");
const QString kHue = QStringLiteral("Hue");
const QString kSaturation = QStringLiteral("Saturation");
const QString kSharpness = QStringLiteral("Sharpness");
const QString kWhiteBalance = QStringLiteral("WhiteBalance");
const QString kAutoWhiteBalance = QStringLiteral("AutoWhiteBalance");
const QString kZoom = QStringLiteral("Zoom");
const QString kTimer = QStringLiteral("Timer");
const QString kHFlipped = QStringLiteral("HFlipped");
const QString kVFlipped = QStringLiteral("VFlipped");
const QString kResolution = QStringLiteral("Resolution");
const QString kExposure = QStringLiteral("Exposure");
const QString kAutoBrightness = QStringLiteral("AutoBrightness");

bool isNumber(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// A stored value as the log shows it: lists and dictionaries in JSON, so a value about to be replaced
// can still be read back from the log.
QString describe(const QVariant &value) {
    const QJsonValue json = QJsonValue::fromVariant(value);
    if (json.isArray())
        return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
    if (json.isObject())
        return QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact));
    return value.toString();
}

// A stored value that should be a dictionary, as one; a value of another type is logged and replaced.
QVariantMap storedDictionary(const QVariant &value, const QString &what) {
    if (!value.isValid() || value.isNull()) return {};
    if (value.typeId() != QMetaType::QVariantMap) {
        DCLog("stored %s is not a dictionary (%s \"%s\"); starting it afresh", qUtf8Printable(what),
              value.typeName(), qUtf8Printable(describe(value)));
        return {};
    }
    return value.toMap();
}
} // namespace

DCCamSettingController &DCCamSettingController::sharedInstance() {
    if (DCCamSettingController *store = SharedInstance<DCCamSettingController>::get()) return *store;
    qFatal("No camera settings store is installed; the application core makes and installs it");
}

DCCamSettingController::DCCamSettingController(UserDefaults &defaults, CameraProvider currentCamera,
                                               Sleeper sleep)
    : defaults_(defaults), currentCamera_(std::move(currentCamera)), sleep_(std::move(sleep)) {
    if (!currentCamera_) currentCamera_ = DCCamerasController::sharedCurrentCamera;
    if (!sleep_) sleep_ = [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); };
    restoreable_ = defaults_.integerForKey(DCDefaults::KeepCameraSet) == 0;
}

DCCameraPtr DCCamSettingController::camera() const {
    return currentCamera_();
}

QVariant DCCamSettingController::selfObject() {
    return QVariant::fromValue(this);
}

// ---- persistent store

void DCCamSettingController::setDeviceKey(const QString &key, const QVariant &value) {
    const DCCameraPtr current = camera();
    const QString model = current ? current->shortModel() : QString();
    if (model.isEmpty()) return;
    QVariantMap devices = storedDictionary(defaults_.objectForKey(DCDefaults::Devices), DCDefaults::Devices);
    QVariantMap entry =
        storedDictionary(devices.value(model), DCDefaults::Devices + QLatin1Char('/') + model);
    if (!key.isEmpty()) entry.insert(key, value);
    devices.insert(model, entry);
    defaults_.setObject(devices, DCDefaults::Devices);
    defaults_.synchronize();
}

QVariant DCCamSettingController::valueForDeviceKey(const QString &key) {
    const DCCameraPtr current = camera();
    const QString model = current ? current->shortModel() : QString();
    if (model.isEmpty() || !defaults_.hasKey(DCDefaults::Devices)) return {};
    return defaults_.dictionaryForKey(DCDefaults::Devices).value(model).toMap().value(key);
}

std::optional<double> DCCamSettingController::storedNumber(const QString &key) {
    const QVariant value = valueForDeviceKey(key);
    if (!value.isValid() || value.isNull()) return std::nullopt;
    if (!isNumber(value)) {
        // The entry is rewritten with the default next: say what it held, so nothing goes unnoticed.
        DCLog("stored %s is not a number (%s \"%s\"); using the default instead", qUtf8Printable(key),
              value.typeName(), qUtf8Printable(describe(value)));
        return std::nullopt;
    }
    // Every setting fits 32 bits; a number beyond that cannot have been written by us.
    const double number = value.toDouble();
    if (!(std::abs(number) <= double(std::numeric_limits<int32_t>::max()) + 1.0)) {
        DCLog("stored %s is out of range (%s); using the default instead", qUtf8Printable(key),
              qUtf8Printable(value.toString()));
        return std::nullopt;
    }
    return number;
}

std::optional<qint64> DCCamSettingController::storedInteger(const QString &key) {
    const auto number = storedNumber(key);
    if (!number) return std::nullopt;
    return static_cast<qint64>(*number);
}

// ---- setters

void DCCamSettingController::setBrightness(uint16_t value) {
    brightness_ = value;
    if (const auto c = camera()) c->setBrightness(value);
    setDeviceKey(kBrightness, qint64(value));
}

void DCCamSettingController::setContrast(uint16_t value) {
    contrast_ = value;
    if (const auto c = camera()) c->setContrast(value);
    setDeviceKey(kContrast, qint64(value));
}

void DCCamSettingController::setGamma(uint16_t value) {
    gamma_ = value;
    if (const auto c = camera()) c->setGamma(value);
    setDeviceKey(kGamma, qint64(value));
}

void DCCamSettingController::setHue(int16_t value) {
    hue_ = value;
    if (const auto c = camera()) c->setHue(value);
    setDeviceKey(kHue, qint64(value));
}

void DCCamSettingController::setSaturation(uint16_t value) {
    saturation_ = value;
    if (const auto c = camera()) c->setSaturation(value);
    setDeviceKey(kSaturation, qint64(value));
}

void DCCamSettingController::setSharpness(uint16_t value) {
    sharpness_ = value;
    if (const auto c = camera()) c->setSharpness(value);
    setDeviceKey(kSharpness, qint64(value));
}

void DCCamSettingController::setWhiteBalance(uint16_t value) {
    whiteBalance_ = value;
    if (const auto c = camera()) c->setWhiteBalance(value);
    setDeviceKey(kWhiteBalance, qint64(value));
}

void DCCamSettingController::setAutoWhiteBalance(uint16_t value) {
    autoWhiteBalance_ = value;
    // The camera takes a flag: the low byte decides.
    if (const auto c = camera()) c->setAutoWhiteBalance((value & 0xff) != 0);
    setDeviceKey(kAutoWhiteBalance, qint64(value));
}

void DCCamSettingController::setExposure(int16_t value) {
    const DCCameraPtr current = camera();
    if (std::dynamic_pointer_cast<DCCameraKorva>(current)) {
        exposure_ = value;
        if (autoBrightness_) {
            current->setExposure(exposure_);
        } else {
            // With the exposure locked the camera ignores a new step: unlock, let it settle, set, lock.
            current->setExposureLock(false);
            sleep_(kExposureSettle);
            current->setExposure(exposure_);
            sleep_(kExposureSettle);
            current->setExposureLock(true);
        }
    }
    setDeviceKey(kExposure, qint64(value));
}

void DCCamSettingController::setAutoBrightness(bool flag) {
    autoBrightness_ = flag;
    const DCCameraPtr current = camera();
    if (std::dynamic_pointer_cast<DCCameraKorva>(current)) current->setExposureLock(!flag);
    setDeviceKey(kAutoBrightness, flag);
}

void DCCamSettingController::setZoom(float value) {
    zoom_ = value;
    setDeviceKey(kZoom, double(value));
}

void DCCamSettingController::setTimer(int32_t value) {
    timer_ = value;
    setDeviceKey(kTimer, qint64(value));
}

void DCCamSettingController::setHFlipped(bool flag) {
    hFlipped_ = flag;
    setDeviceKey(kHFlipped, flag);
}

void DCCamSettingController::setVFlipped(bool flag) {
    vFlipped_ = flag;
    setDeviceKey(kVFlipped, flag);
}

void DCCamSettingController::setResolution(int32_t value) {
    resolution_ = value;
    setDeviceKey(kResolution, qint64(value));
}

int32_t DCCamSettingController::brightness() {
    const auto c = camera();
    return c ? c->brightness() : DCCamera::kNotAvailable;
}

uint16_t DCCamSettingController::firmwareVersion() {
    const auto c = camera();
    return c ? c->firmwareVersion() : 0;
}

// ---- flows

void DCCamSettingController::setImageAdjustment(const QString &key,
                                                const std::function<int32_t(DCCamera &)> &cameraDefault,
                                                const std::function<void(int32_t)> &setter) {
    if (const auto stored = storedInteger(key)) {
        setter(static_cast<int32_t>(*stored));
        return;
    }
    const DCCameraPtr current = camera();
    const int32_t fallback = current ? cameraDefault(*current) : DCCamera::kNotAvailable;
    // A camera without the control has no default: storing 0xFFFF as if the user had chosen it would
    // only be sent back to the next camera of this model.
    if (fallback == DCCamera::kNotAvailable) return;
    setter(fallback);
}

void DCCamSettingController::setImageAdjustments() {
    setImageAdjustment(
        kBrightness, [](DCCamera &c) { return c.brightnessDef(); },
        [this](int32_t v) { setBrightness(static_cast<uint16_t>(v)); });
    setImageAdjustment(
        kContrast, [](DCCamera &c) { return c.contrastDef(); },
        [this](int32_t v) { setContrast(static_cast<uint16_t>(v)); });
    setImageAdjustment(
        kGamma, [](DCCamera &c) { return c.gammaDef(); },
        [this](int32_t v) { setGamma(static_cast<uint16_t>(v)); });
    setImageAdjustment(
        kHue, [](DCCamera &c) { return c.hueDef(); }, [this](int32_t v) { setHue(static_cast<int16_t>(v)); });
    setImageAdjustment(
        kSaturation, [](DCCamera &c) { return c.saturationDef(); },
        [this](int32_t v) { setSaturation(static_cast<uint16_t>(v)); });
    setImageAdjustment(
        kSharpness, [](DCCamera &c) { return c.sharpnessDef(); },
        [this](int32_t v) { setSharpness(static_cast<uint16_t>(v)); });
    setImageAdjustment(
        kWhiteBalance, [](DCCamera &c) { return c.whiteBalanceDef(); },
        [this](int32_t v) { setWhiteBalance(static_cast<uint16_t>(v)); });
    const auto autoWhite = storedInteger(kAutoWhiteBalance);
    setAutoWhiteBalance(static_cast<uint16_t>(autoWhite.value_or(1)));
}

int32_t DCCamSettingController::defaultResolutionIndex(const DCCameraPtr &current) const {
    const int32_t index = current ? current->classIndexOfDefaultResolution() : DCCamera::kNotAvailable;
    return index == DCCamera::kNotAvailable ? 1 : index;
}

void DCCamSettingController::restoreCameraModeSetting() {
    auto &center = DCNotificationCenter::defaultCenter();
    center.postNotificationName(DCNote::DCCamSettingWillRestoreNotification, selfObject());

    // The zoom is stored but a new camera always starts unzoomed.
    setZoom(1.0f);
    if (const auto v = storedInteger(kTimer)) setTimer(static_cast<int32_t>(*v));
    if (const auto v = storedInteger(kHFlipped)) setHFlipped(*v != 0);
    if (const auto v = storedInteger(kVFlipped)) setVFlipped(*v != 0);

    const DCCameraPtr current = camera();
    const auto resolution = storedInteger(kResolution);
    setResolution(resolution ? static_cast<int32_t>(*resolution) : defaultResolutionIndex(current));

    if (const auto stored = storedInteger(kAutoBrightness)) {
        const bool flag = *stored != 0;
        if (!flag && std::dynamic_pointer_cast<DCCameraKite_1>(current)) {
            // The Kite-1 only takes manual exposure after it has run automatic exposure for a while.
            setAutoBrightness(true);
            sleep_(kKiteAutoExposureSettle);
        }
        setAutoBrightness(flag);
    } else {
        setAutoBrightness(true);
    }

    std::optional<qint64> exposure = storedInteger(kExposure);
    if (!exposure && current && current->exposureDef() != DCCamera::kNotAvailable)
        exposure = current->exposureDef();
    if (exposure) setExposure(static_cast<int16_t>(*exposure));

    center.postNotificationName(DCNote::DCCamSettingDidRestoreNotification, selfObject());
}

void DCCamSettingController::setCameraModeToDefault() {
    const DCCameraPtr current = camera();
    setZoom(1.0f);
    setResolution(defaultResolutionIndex(current));
    if (current && current->exposureDef() != DCCamera::kNotAvailable)
        setExposure(static_cast<int16_t>(current->exposureDef()));
    setAutoBrightness(true);
    DCNotificationCenter::defaultCenter().postNotificationName(
        DCNote::DCCamSettingDidSetToDefaultNotification, selfObject());
}

void DCCamSettingController::resetCameraParameters() {
    setImageAdjustments();
    if (restoreable_)
        restoreCameraModeSetting();
    else
        setCameraModeToDefault();
}

void DCCamSettingController::saveCurrentValue() {
    setDeviceKey(kBrightness, qint64(brightness_));
    setDeviceKey(kContrast, qint64(contrast_));
    setDeviceKey(kGamma, qint64(gamma_));
    setDeviceKey(kHue, qint64(hue_));
    setDeviceKey(kSaturation, qint64(saturation_));
    setDeviceKey(kSharpness, qint64(sharpness_));
    setDeviceKey(kZoom, double(zoom_));
    setDeviceKey(kTimer, qint64(timer_));
    setDeviceKey(kHFlipped, hFlipped_);
    setDeviceKey(kVFlipped, vFlipped_);
    setDeviceKey(kResolution, qint64(resolution_));
    setDeviceKey(kExposure, qint64(exposure_));
    setDeviceKey(kAutoBrightness, autoBrightness_);
}

void DCCamSettingController::setRestoreable(bool flag) {
    restoreable_ = flag;
    saveCurrentValue();
}

void DCCamSettingController::setToOurValues() {
    auto &center = DCNotificationCenter::defaultCenter();
    center.postNotificationName(DCNote::DCCamSettingWillSetOurValueNotification);
    if (const DCCameraPtr c = camera()) {
        c->setBrightness(brightness_);
        c->setContrast(contrast_);
        c->setGamma(gamma_);
        c->setHue(hue_);
        c->setSaturation(saturation_);
        c->setSharpness(sharpness_);
        c->setExposureLock(!autoBrightness_);
        c->setExposure(exposure_);
    }
    center.postNotificationName(DCNote::DCCamSettingDidSetOurValueNotification);
}

void DCCamSettingController::restoreExposure() {
    auto &center = DCNotificationCenter::defaultCenter();
    center.postNotificationName(DCNote::DCCamSettingWillSetOurValueNotification);
    if (const DCCameraPtr c = camera()) c->setExposure(exposure_);
    center.postNotificationName(DCNote::DCCamSettingDidSetOurValueNotification);
}

void DCCamSettingController::setCurrentExposure(int16_t value) {
    if (value == currentExposure_) return;
    currentExposure_ = value;
    setDeviceKey(kExposure, qint64(value));
}

void DCCamSettingController::restoreCurrentExposure() {
    if (const DCCameraPtr c = camera()) c->setExposure(currentExposure_);
}
