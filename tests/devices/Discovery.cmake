# Camera discovery: simulated bus, fake DNS-SD, and (in a network namespace) a real avahi-daemon.
kl_add_gtest(discovery_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DiscoveryTest.cpp ${CMAKE_CURRENT_LIST_DIR}/NetCameraDiscoveryTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/DiscoveryStormTest.cpp ${CMAKE_CURRENT_LIST_DIR}/DiscoveryStopTest.cpp
    LIBS devices)

if(TARGET korva-lectern)
    kl_add_gtest(list_cameras_cli_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/ListCamerasCommandTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/../support/ProgramRun.cpp LIBS Qt6::Core)
    target_compile_definitions(list_cameras_cli_tests PRIVATE KL_PROGRAM="$<TARGET_FILE:korva-lectern>")
    add_dependencies(list_cameras_cli_tests korva-lectern)
endif()

# Against a real avahi-daemon inside a throw-away network namespace (root only; the script exits 77,
# "skipped", where it cannot make one).
add_executable(discovery_netns_tests ${CMAKE_CURRENT_LIST_DIR}/NetCameraNetnsTest.cpp)
target_link_libraries(discovery_netns_tests PRIVATE testsupport devices)
kl_target_defaults(discovery_netns_tests)
add_test(NAME discovery_netns.TwoPublishedServicesMakeOneCamera
         COMMAND ${PROJECT_SOURCE_DIR}/tools/dnssd-netns.sh run --
                 $<TARGET_FILE:discovery_netns_tests> --gtest_filter=NetCameraNetns.*)
set_tests_properties(discovery_netns.TwoPublishedServicesMakeOneCamera PROPERTIES
    LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 120 ENVIRONMENT "${KL_TEST_ENV}")
