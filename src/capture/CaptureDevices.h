#pragma once

#include <memory>

#include "capture/CaptureSource.h"
#include "capture/SimCaptureSource.h"
#include "devices/DCCamera.h"

class SimUsbBus;

// Finds the video device of a USB camera by the camera's captureDeviceLocationId: first among the
// cameras of the simulated buses that were made capturable, then among the V4L2 nodes. Thread-safe.
namespace CaptureDevices {

// Null when no device with the camera's identifier is there (or the camera is not a USB camera).
std::unique_ptr<CaptureSource> find(const DCCameraPtr &camera);

// The cameras on `bus` deliver pictures from now on (the demo, tests).
void addSimulatedBus(const std::shared_ptr<SimUsbBus> &bus);
void addSimulatedBus(const std::shared_ptr<SimUsbBus> &bus, SimCaptureSource::Options options);
void removeSimulatedBus(const std::shared_ptr<SimUsbBus> &bus);

} // namespace CaptureDevices
