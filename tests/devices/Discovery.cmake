# Camera discovery: simulated bus, fake DNS-SD, and (in a network namespace) a real avahi-daemon.
kl_add_gtest(discovery_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DiscoveryTest.cpp ${CMAKE_CURRENT_LIST_DIR}/NetCameraDiscoveryTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/DiscoveryStormTest.cpp
    LIBS devices)

if(TARGET korva-lectern)
    kl_add_gtest(list_cameras_cli_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/ListCamerasCommandTest.cpp LIBS Qt6::Core)
    target_compile_definitions(list_cameras_cli_tests PRIVATE KL_PROGRAM="$<TARGET_FILE:korva-lectern>")
    add_dependencies(list_cameras_cli_tests korva-lectern)
endif()
