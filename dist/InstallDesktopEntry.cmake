# Runs at install time (see CMakeLists.txt): writes the menu entry for the prefix being installed to.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
    set(KL_EXEC korva-lectern)
    set(KL_TRYEXEC korva-lectern)
else()
    # Quoted, as the menu entry's rules ask for a path with spaces.
    set(KL_TRYEXEC "${CMAKE_INSTALL_PREFIX}/${KL_BINDIR}/korva-lectern")
    set(KL_EXEC "\"${KL_TRYEXEC}\"")
endif()
set(entry "${CMAKE_INSTALL_PREFIX}/${KL_DATADIR}/applications/${KL_APP_ID}.desktop")
message(STATUS "Installing: $ENV{DESTDIR}${entry}")
configure_file("${KL_DESKTOP_TEMPLATE}" "$ENV{DESTDIR}${entry}" @ONLY)
file(CHMOD "$ENV{DESTDIR}${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
