# Camera discovery: simulated bus, fake DNS-SD, and (in a network namespace) a real avahi-daemon.
kl_add_gtest(discovery_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DiscoveryTest.cpp ${CMAKE_CURRENT_LIST_DIR}/NetCameraDiscoveryTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/DiscoveryStormTest.cpp
    LIBS devices)
