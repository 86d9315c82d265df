#include "DCCamera.h"

QVariant DCCamera::selfVariant() {
    return QVariant::fromValue(DCCameraPtr(weak_from_this().lock()));
}

#include <cerrno>

#include "devices/HidTransport.h"
#include "devices/UsbDevice.h"

std::unique_ptr<HidTransport> UsbDevice::openHid(int *error) {
    if (error) *error = -ENOTSUP;
    return nullptr;
}
