# The C libraries behind our transports and codecs. Each is linked PRIVATE by the one folder that
# needs it, so its headers stay inside that folder.
pkg_check_modules(TurboJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
# The classic libjpeg API of the same library: scanline skipping and cropping for partial decodes.
pkg_check_modules(LibJpeg REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(LibExif REQUIRED IMPORTED_TARGET libexif)
pkg_check_modules(LibUSB REQUIRED IMPORTED_TARGET libusb-1.0)
pkg_check_modules(LibUdev REQUIRED IMPORTED_TARGET libudev)
pkg_check_modules(Avahi REQUIRED IMPORTED_TARGET avahi-client)

# Debian's libyuv ships no pkg-config file.
find_path(LIBYUV_INCLUDE_DIR libyuv.h REQUIRED)
find_library(LIBYUV_LIBRARY yuv REQUIRED)
add_library(libyuv::libyuv UNKNOWN IMPORTED)
set_target_properties(libyuv::libyuv PROPERTIES
    IMPORTED_LOCATION ${LIBYUV_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${LIBYUV_INCLUDE_DIR})

find_package(Boost 1.74 REQUIRED)

# Sound effects (QSoundEffect); without an audio device they stay silent.
find_package(Qt6 6.4 REQUIRED COMPONENTS Multimedia)
