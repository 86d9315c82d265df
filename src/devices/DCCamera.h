#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <QMetaType>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "devices/DCResolutionList.h"

// The abstract camera: every USB document camera and every network stream the program can show.
// The rest of the program talks to the current camera only through this interface. The base answers
// every control "not supported" (NO, kNotAvailable); subclasses override what their device does and
// advertise it in capabilities(). Cameras live in std::shared_ptr (DCCameraPtr) and travel in
// notifications as QVariant::fromValue(DCCameraPtr).
//
// Thread-safety: the plain fields are atomic; subclasses document their own state.
class DCCamera : public std::enable_shared_from_this<DCCamera> {
public:
    // What an integer getter answers for a control the device lacks, or a read that failed.
    static constexpr int32_t kNotAvailable = 0x7FFFFFFF;

    // Capability bits: which camera-mode controls the user interface offers.
    static constexpr uint32_t kCapabilityZoom = 0x01;
    static constexpr uint32_t kCapabilityMirror = 0x02;
    static constexpr uint32_t kCapabilityTimer = 0x04;
    static constexpr uint32_t kCapabilityResolution = 0x08;
    static constexpr uint32_t kCapabilityExposure = 0x10;
    static constexpr uint32_t kCapabilityExposureLock = 0x20;
    static constexpr uint32_t kCapabilityManualFocus = 0x40;
    // What every source can do on the picture side.
    static constexpr uint32_t kCapabilitiesOfEverySource =
        kCapabilityZoom | kCapabilityMirror | kCapabilityTimer;

    virtual ~DCCamera() = default;
    DCCamera(const DCCamera &) = delete;
    DCCamera &operator=(const DCCamera &) = delete;

    // Resolution class operations of the base: no list.
    static QStringList supportedResolutions() { return {}; }
    static QSizeF resolutionAtIndex(int32_t) { return {0, 0}; }
    static int32_t indexOfResolution(QSizeF) { return kNotAvailable; }
    static int32_t indexOfDefaultResolution() { return kNotAvailable; }
    // The same operations of the object's own class, for callers that hold an instance.
    virtual QStringList classSupportedResolutions() const { return supportedResolutions(); }
    virtual QSizeF classResolutionAtIndex(int32_t index) const { return resolutionAtIndex(index); }
    virtual int32_t classIndexOfResolution(QSizeF size) const { return indexOfResolution(size); }
    virtual int32_t classIndexOfDefaultResolution() const { return indexOfDefaultResolution(); }

    virtual QString model() const { return {}; }
    virtual QString shortModel() const { return {}; }
    virtual QString description() const { return model(); }

    virtual bool focusAgain() { return false; }

    virtual bool setBrightness(int32_t) { return false; }
    virtual int32_t brightness() { return kNotAvailable; }
    virtual int32_t brightnessMax() { return kNotAvailable; }
    virtual int32_t brightnessDef() { return kNotAvailable; }
    virtual int32_t brightnessMin() { return kNotAvailable; }

    virtual bool setContrast(int32_t) { return false; }
    virtual int32_t contrast() { return kNotAvailable; }
    virtual int32_t contrastMax() { return kNotAvailable; }
    virtual int32_t contrastDef() { return kNotAvailable; }
    virtual int32_t contrastMin() { return kNotAvailable; }

    virtual bool setGamma(int32_t) { return false; }
    virtual int32_t gamma() { return kNotAvailable; }
    virtual int32_t gammaMax() { return kNotAvailable; }
    virtual int32_t gammaDef() { return kNotAvailable; }
    virtual int32_t gammaMin() { return kNotAvailable; }

    virtual bool setHue(int32_t) { return false; }
    virtual int32_t hue() { return kNotAvailable; }
    virtual int32_t hueMax() { return kNotAvailable; }
    virtual int32_t hueDef() { return kNotAvailable; }
    virtual int32_t hueMin() { return kNotAvailable; }

    virtual bool setSaturation(int32_t) { return false; }
    virtual int32_t saturation() { return kNotAvailable; }
    virtual int32_t saturationMax() { return kNotAvailable; }
    virtual int32_t saturationDef() { return kNotAvailable; }
    virtual int32_t saturationMin() { return kNotAvailable; }

    virtual bool setSharpness(int32_t) { return false; }
    virtual int32_t sharpness() { return kNotAvailable; }
    virtual int32_t sharpnessMax() { return kNotAvailable; }
    virtual int32_t sharpnessDef() { return kNotAvailable; }
    virtual int32_t sharpnessMin() { return kNotAvailable; }

    virtual bool setWhiteBalance(int32_t) { return false; }
    virtual int32_t whiteBalance() { return kNotAvailable; }
    virtual int32_t whiteBalanceMax() { return kNotAvailable; }
    virtual int32_t whiteBalanceMin() { return kNotAvailable; }
    virtual int32_t whiteBalanceDef() { return kNotAvailable; }

    virtual bool setAutoWhiteBalance(bool) { return false; }
    virtual bool autoWhiteBalance() { return false; }

    virtual bool setFocus(uint16_t) { return false; }
    virtual int32_t focus() { return kNotAvailable; }
    virtual int32_t focusMax() { return kNotAvailable; }
    virtual int32_t focusMin() { return kNotAvailable; }
    virtual int32_t focusDef() { return kNotAvailable; }

    virtual bool setAutoFocus(bool) { return false; }
    virtual bool autoFocus() { return false; }
    // 0 no automatic focus mode, 1 single-shot, 2 continuous.
    virtual int32_t autoFocusMode() { return 0; }

    virtual bool setAutoExposure(bool) { return false; }
    virtual bool autoExposure() { return true; }
    virtual bool setExposure(int32_t) { return false; }
    virtual int32_t exposure() { return kNotAvailable; }
    virtual int32_t exposureDef() { return kNotAvailable; }
    // The exposure steps setExposure() takes run from exposureMin() to exposureMax().
    virtual int32_t exposureMin() { return kNotAvailable; }
    virtual int32_t exposureMax() { return kNotAvailable; }

    virtual bool setIris(uint16_t) { return false; }
    virtual int32_t iris() { return kNotAvailable; }
    virtual int32_t irisMax() { return kNotAvailable; }
    virtual int32_t irisMin() { return kNotAvailable; }

    virtual bool setFrequency(uint8_t) { return false; }
    virtual int32_t frequency() { return kNotAvailable; }
    virtual int32_t frequencyMax() { return kNotAvailable; }
    virtual int32_t frequencyMin() { return kNotAvailable; }

    virtual uint16_t firmwareVersion() { return 0; }
    virtual bool setExposureLock(bool) { return false; }

    // Closes the device interfaces before the camera is released. The base has none.
    virtual void prepareToDetatch() {}
    // Called by the camera controller's status timer on the current camera.
    virtual void updateStatus() {}

    bool active() const { return active_.load(); }
    // Set by the camera controller; subclasses may act on becoming the current camera.
    virtual void setActive(bool active) { active_.store(active); }
    bool isAELockSupported() const { return isAELockSupported_.load(); }
    void setIsAELockSupported(bool supported) { isAELockSupported_.store(supported); }
    bool isWhiteBalanceAdjustable() const { return isWhiteBalanceAdjustable_.load(); }
    void setIsWhiteBalanceAdjustable(bool adjustable) { isWhiteBalanceAdjustable_.store(adjustable); }
    uint32_t capabilities() const { return capabilities_.load(); }
    void setCapabilities(uint32_t capabilities) { capabilities_.store(capabilities); }
    void addCapabilities(uint32_t bits) { capabilities_.fetch_or(bits); }

protected:
    DCCamera() = default;

    // This camera as a notification object; an empty pointer when it is not owned by a shared_ptr.
    QVariant selfVariant();

private:
    std::atomic<bool> active_{false};
    std::atomic<bool> isAELockSupported_{false};
    std::atomic<bool> isWhiteBalanceAdjustable_{false};
    std::atomic<uint32_t> capabilities_{kCapabilitiesOfEverySource};
};

using DCCameraPtr = std::shared_ptr<DCCamera>;
Q_DECLARE_METATYPE(DCCameraPtr)
