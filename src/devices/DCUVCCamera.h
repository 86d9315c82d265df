#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "devices/DCCamera.h"

class UsbDevice;
class UvcTransport;

// A USB Video Class camera driven by class-specific control requests on its video-control side.
// The picture comes through the capture pipeline, which finds the device by captureDeviceLocationId().
//
// Thread-safety: control operations run on the main thread and on the device thread. The fields are
// guarded; a transfer runs outside the lock on a shared reference to the transport, so a detach on
// another thread never pulls the transport from under a transfer in flight.
class DCUVCCamera : public DCCamera {
    DC_RESOLUTION_CLASS_OPERATIONS
public:
    static std::shared_ptr<DCUVCCamera> camera();

    // Completion time-out of one control transfer.
    static constexpr std::chrono::milliseconds kTransferTimeout{100};

    virtual void prepareToWorkWithDevice(std::shared_ptr<UsbDevice> device);
    void prepareToDetatch() override;
    bool setupVideoControlInterface();
    void setupCaptureDevice();
    // Posts `name` with this camera as the object on the main thread (at once when called there).
    void notifyOnMainThread(const QString &name);

    bool sendUVCInterfaceCommand(uint8_t request, uint8_t toControlSelector, uint8_t ofInterfaceSubclass,
                                 uint8_t *withData, uint16_t andSize);
    // `data` holds at least the row's size.
    bool uvcControlCommand(uint8_t request, int index, uint8_t *data);
    bool setResolution(uint32_t framesPerSecond, uint32_t width, uint32_t height);
    bool getResolution();

    QString model() const override;
    QString shortModel() const override { return model(); }

    bool setBrightness(int32_t value) override;
    int32_t brightness() override;
    int32_t brightnessMax() override;
    int32_t brightnessDef() override;
    int32_t brightnessMin() override;
    bool setContrast(int32_t value) override;
    int32_t contrast() override;
    int32_t contrastMax() override;
    int32_t contrastDef() override;
    int32_t contrastMin() override;
    bool setGamma(int32_t value) override;
    int32_t gamma() override;
    int32_t gammaMax() override;
    int32_t gammaDef() override;
    int32_t gammaMin() override;
    bool setHue(int32_t value) override;
    int32_t hue() override;
    int32_t hueMax() override;
    int32_t hueDef() override;
    int32_t hueMin() override;
    bool setSaturation(int32_t value) override;
    int32_t saturation() override;
    int32_t saturationMax() override;
    int32_t saturationDef() override;
    int32_t saturationMin() override;
    bool setSharpness(int32_t value) override;
    int32_t sharpness() override;
    int32_t sharpnessMax() override;
    int32_t sharpnessDef() override;
    int32_t sharpnessMin() override;
    bool setWhiteBalance(int32_t value) override;
    int32_t whiteBalance() override;
    int32_t whiteBalanceMax() override;
    int32_t whiteBalanceMin() override;
    int32_t whiteBalanceDef() override;
    bool setAutoWhiteBalance(bool on) override;
    bool autoWhiteBalance() override;
    bool setFrequency(uint8_t value) override;
    int32_t frequency() override;
    bool setAutoExposure(bool on) override;
    bool autoExposure() override;
    bool setIris(uint16_t value) override;
    int32_t iris() override;
    int32_t irisMin() override;
    int32_t irisMax() override;
    bool setFocus(uint16_t value) override;
    int32_t focus() override;
    int32_t focusMin() override;
    int32_t focusMax() override;
    int32_t focusDef() override;
    bool setAutoFocus(bool on) override;
    bool autoFocus() override;

    uint32_t vendorId() const;
    void setVendorId(uint32_t id);
    uint32_t productId() const;
    void setProductId(uint32_t id);
    uint32_t locationId() const;
    void setLocationId(uint32_t id);
    std::shared_ptr<UvcTransport> streamControlInterface() const;
    void setStreamControlInterface(std::shared_ptr<UvcTransport> transport);
    std::shared_ptr<UsbDevice> deviceObject() const;
    QString captureDeviceLocationId() const;
    void setCaptureDeviceLocationId(const QString &identifier);
    uint32_t videoControlInterfaceNumber() const;
    void setVideoControlInterfaceNumber(uint32_t number);
    QString productString() const;
    void setProductString(const QString &product);

protected:
    DCUVCCamera();

private:
    bool setSigned16(int row, int32_t value);
    int32_t readSigned16(uint8_t request, int row);
    // One query on the video-streaming interface: 0, or -1 on failure.
    int streamQuery(uint8_t request, uint8_t selector, uint8_t *data, uint16_t length);
    int controlTransfer(const std::shared_ptr<UvcTransport> &transport, uint8_t request, uint8_t selector,
                        uint16_t wIndex, uint8_t *data, uint16_t length);

    mutable std::mutex mutex_;
    std::atomic<bool> detached_{false}; // status announcements still on their way are dropped
    uint32_t vendorId_ = 0;
    uint32_t productId_ = 0;
    uint32_t locationId_ = 0;
    std::shared_ptr<UvcTransport> streamControlInterface_;
    std::shared_ptr<UsbDevice> deviceObject_;
    QString captureDeviceLocationId_;
    uint32_t videoControlInterfaceNumber_ = 0;
    QString productString_;
};
