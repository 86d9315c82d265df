#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include <QString>
#include <QVariant>

#include "devices/DCCamera.h"

class UserDefaults;

// The picture and camera-mode settings of the camera in use. Every change goes to the current camera
// (for the values the camera itself keeps) and into the user defaults under "DCDevices", one entry per
// camera model (its shortModel), written through at once, so a camera of the same model gets them back.
// It keeps no camera of its own: each call asks for the current one.
//
// Used on the main thread (the capture pipeline and the action controller only read the plain values).
// setExposure() in manual mode blocks its caller for 0.5 s, the Kite-1 restore for another 1.0 s.
class DCCamSettingController {
public:
    using CameraProvider = std::function<DCCameraPtr()>;
    using Sleeper = std::function<void(std::chrono::milliseconds)>;

    // Settle times the camera needs between exposure commands.
    static constexpr std::chrono::milliseconds kExposureSettle{250};
    static constexpr std::chrono::milliseconds kKiteAutoExposureSettle{1000};

    // The process-wide store, which the application core makes and installs
    // (SharedInstance<DCCamSettingController>); calling this while none is installed is a programming error.
    static DCCamSettingController &sharedInstance();

    // Null `currentCamera` asks the shared camera controller; null `sleep` sleeps for real.
    DCCamSettingController(UserDefaults &defaults, CameraProvider currentCamera = {}, Sleeper sleep = {});
    DCCamSettingController(const DCCamSettingController &) = delete;
    DCCamSettingController &operator=(const DCCamSettingController &) = delete;

    void setBrightness(uint16_t value);
    void setContrast(uint16_t value);
    void setGamma(uint16_t value);
    void setHue(int16_t value);
    void setSaturation(uint16_t value);
    void setSharpness(uint16_t value);
    void setWhiteBalance(uint16_t value);
    void setAutoWhiteBalance(uint16_t value);
    void setExposure(int16_t value);
    void setAutoBrightness(bool flag);
    void setZoom(float value);
    void setTimer(int32_t value);
    void setHFlipped(bool flag);
    void setVFlipped(bool flag);
    void setResolution(int32_t value);

    // The camera's own brightness as it reports it: signed, or DCCamera::kNotAvailable when the camera
    // cannot say (or there is none).
    int32_t brightness();
    // The camera's firmware version; 0 without a camera.
    uint16_t firmwareVersion();
    uint16_t contrast() const { return contrast_; }
    uint16_t gamma() const { return gamma_; }
    int16_t hue() const { return hue_; }
    uint16_t saturation() const { return saturation_; }
    uint16_t sharpness() const { return sharpness_; }
    uint16_t whiteBalance() const { return whiteBalance_; }
    uint16_t autoWhiteBalance() const { return autoWhiteBalance_; }
    float zoom() const { return zoom_; }
    int32_t timer() const { return timer_; }
    bool hFlipped() const { return hFlipped_; }
    bool vFlipped() const { return vFlipped_; }
    int32_t resolution() const { return resolution_; }
    int16_t exposure() const { return exposure_; }
    bool autoBrightness() const { return autoBrightness_; }
    bool restoreable() const { return restoreable_; }
    int16_t currentExposure() const { return currentExposure_; }
    // The stored brightness field (what setBrightness() last set).
    uint16_t brightnessField() const { return brightness_; }

    // The current model's entry: set `key` to `value` (an empty key only rewrites the entry) and flush.
    // Nothing happens when the camera has no short model.
    void setDeviceKey(const QString &key, const QVariant &value);
    QVariant valueForDeviceKey(const QString &key);

    void resetCameraParameters();
    void setImageAdjustments();
    void restoreCameraModeSetting();
    void setCameraModeToDefault();
    void saveCurrentValue();
    void setRestoreable(bool flag);
    void setToOurValues();
    void restoreExposure();
    void setCurrentExposure(int16_t value);
    void restoreCurrentExposure();

private:
    DCCameraPtr camera() const;
    // The stored number under `key`; empty when absent, or (logged) when it is not a number.
    std::optional<qint64> storedInteger(const QString &key);
    std::optional<double> storedNumber(const QString &key);
    int32_t defaultResolutionIndex(const DCCameraPtr &camera) const;
    void setImageAdjustment(const QString &key, const std::function<int32_t(DCCamera &)> &cameraDefault,
                            const std::function<void(int32_t)> &setter);
    QVariant selfObject();

    UserDefaults &defaults_;
    CameraProvider currentCamera_;
    Sleeper sleep_;

    uint16_t brightness_ = 0;
    uint16_t contrast_ = 0;
    uint16_t gamma_ = 0;
    int16_t hue_ = 0;
    uint16_t saturation_ = 0;
    uint16_t sharpness_ = 0;
    uint16_t whiteBalance_ = 0;
    uint16_t autoWhiteBalance_ = 0;
    float zoom_ = 0;
    int32_t timer_ = 0;
    bool hFlipped_ = false;
    bool vFlipped_ = false;
    int32_t resolution_ = 0;
    int16_t exposure_ = -1;
    bool autoBrightness_ = false;
    bool restoreable_ = true;
    int16_t currentExposure_ = 0;
};

Q_DECLARE_METATYPE(DCCamSettingController *)
