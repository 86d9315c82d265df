set(KL_STREAMING_SERVER_TEST_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ServerTestClient.cpp
    ${PROJECT_SOURCE_DIR}/tests/capture/CaptureTestImages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HTTPServerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServerRequestTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/JPEGCompressorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StreamServiceAnnouncerTest.cpp
)
kl_add_gtest(streaming_server_tests SOURCES ${KL_STREAMING_SERVER_TEST_SOURCES}
    LIBS streaming PkgConfig::TurboJPEG Qt6::Gui)

# The announcement against a real avahi-daemon inside a throw-away network namespace (root only; the
# script exits 77, "skipped", where it cannot make one). The binary itself is not run directly.
add_executable(streaming_netns_tests ${CMAKE_CURRENT_LIST_DIR}/StreamServiceAnnouncerNetnsTest.cpp)
target_link_libraries(streaming_netns_tests PRIVATE testsupport streaming)
kl_target_defaults(streaming_netns_tests)
add_test(NAME streaming_netns.AnnouncedServicesSeenAndWithdrawn
         COMMAND ${PROJECT_SOURCE_DIR}/tools/dnssd-netns.sh run --
                 $<TARGET_FILE:streaming_netns_tests>)
set_tests_properties(streaming_netns.AnnouncedServicesSeenAndWithdrawn PROPERTIES
    LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 120 ENVIRONMENT "${KL_TEST_ENV}")
