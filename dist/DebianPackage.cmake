# `cmake --build build --target package` makes korva-lectern_<version>_<arch>.deb in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korva-lectern)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Korva Lectern developers <dev@korvalectern.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "document camera viewer for the classroom")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows the live picture of a USB document camera in a window or full screen on\n"
    "a projector, drives the camera's own controls and buttons, adds digital zoom,\n"
    "mirroring and a self-timer, saves numbered JPEG photos into a photo library\n"
    "and republishes the live picture on the local network as an MJPEG stream.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debian installs nothing with debug symbols left in (lintian: unstripped-binary-or-object).
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KL_HOMEPAGE})
# Depends: the packages of the libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so no link names them: the Wayland platform (X11's ships with Qt's GUI library)
# and the daemon that announces the stream and finds cameras on the network.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, avahi-daemon")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/postinst ${CMAKE_CURRENT_SOURCE_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
