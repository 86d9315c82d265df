#include "UsbDevice.h"

#include <cerrno>

#include "devices/HidTransport.h"

std::unique_ptr<HidTransport> UsbDevice::openHid(int *error) {
    if (error) *error = -ENOTSUP;
    return nullptr;
}
