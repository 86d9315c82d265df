#pragma once

#include <functional>

#include <QObject>

#include "devices/DCCamera.h"

// What the overlay's buttons do: take a photo, focus again, leave full screen. Main thread.
class DCControlController : public QObject {
    Q_OBJECT
public:
    // `currentCamera` null: the shared camera controller's.
    explicit DCControlController(std::function<DCCameraPtr()> currentCamera = {}, QObject *parent = nullptr);

    // Posts "DCNotificationSnapshot".
    void snapshot();
    // The current camera focuses once more; nothing without a camera.
    void focus();
    // Posts "DCNotificationAppExitFullScreen".
    void fullScreenClose();

private:
    std::function<DCCameraPtr()> currentCamera_;
};
