#include "devices/LibusbHidTransport.h"

#include <cerrno>

#include <gtest/gtest.h>
#include <libusb.h>

// Without the device nothing opens, and nothing is left half open.
TEST(LibusbHidTransport, AnAbsentDeviceFailsCleanly) {
    int error = 0;
    const auto transport = LibusbHidTransport::open({0x1778, 0x0206, 0xfe120000, 0x0102}, &error);
    EXPECT_EQ(transport, nullptr);
    EXPECT_LT(error, 0);
    EXPECT_EQ(LibusbHidTransport::open({0x1778, 0x0206, 0xfe120000, 0x0102}, nullptr), nullptr);
}

TEST(LibusbHidTransport, LibusbErrorsBecomeErrnoValues) {
    EXPECT_EQ(LibusbHidTransport::errnoOf(LIBUSB_SUCCESS), 0);
    EXPECT_EQ(LibusbHidTransport::errnoOf(LIBUSB_ERROR_PIPE), -EPIPE);
    EXPECT_EQ(LibusbHidTransport::errnoOf(LIBUSB_ERROR_TIMEOUT), -ETIMEDOUT);
    EXPECT_EQ(LibusbHidTransport::errnoOf(LIBUSB_ERROR_NO_DEVICE), -ENODEV);
    EXPECT_EQ(LibusbHidTransport::errnoOf(LIBUSB_ERROR_ACCESS), -EACCES);
    EXPECT_EQ(LibusbHidTransport::errnoOf(-9999), -EIO);
}
