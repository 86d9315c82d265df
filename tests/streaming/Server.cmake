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
add_executable(streaming_netns_tests ${CMAKE_CURRENT_LIST_DIR}/StreamServiceAnnouncerNetnsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AvahiBrowse.cpp)
target_link_libraries(streaming_netns_tests PRIVATE testsupport streaming)
kl_target_defaults(streaming_netns_tests)
add_test(NAME streaming_netns.AnnouncedServicesSeenAndWithdrawn
         COMMAND ${PROJECT_SOURCE_DIR}/tools/dnssd-netns.sh run --
                 $<TARGET_FILE:streaming_netns_tests>)
set_tests_properties(streaming_netns.AnnouncedServicesSeenAndWithdrawn PROPERTIES
    LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 120 ENVIRONMENT "${KL_TEST_ENV}")

# The program itself in headless mode, started and stopped as a user does.
if(TARGET korva-lectern)
    set(KL_HEADLESS_RUN ${CMAKE_CURRENT_LIST_DIR}/HeadlessRun.cpp ${CMAKE_CURRENT_LIST_DIR}/ServerTestClient.cpp)
    kl_add_gtest(streaming_headless_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/HeadlessModeTest.cpp ${KL_HEADLESS_RUN}
        LIBS Boost::headers Qt6::Core)
    # Real clients: ffmpeg (Debian ffmpeg) and headless Chromium (Debian chromium).
    kl_add_gtest(streaming_headless_client_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/HeadlessClientsTest.cpp
        ${KL_HEADLESS_RUN} LIBS Boost::headers Qt6::Gui LABELS foreign)
    add_executable(streaming_headless_netns_tests ${CMAKE_CURRENT_LIST_DIR}/HeadlessNetnsTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/AvahiBrowse.cpp ${KL_HEADLESS_RUN})
    target_link_libraries(streaming_headless_netns_tests PRIVATE testsupport Boost::headers Qt6::Core)
    kl_target_defaults(streaming_headless_netns_tests)
    add_test(NAME streaming_netns.HeadlessAnnouncedAndWithdrawn
             COMMAND ${PROJECT_SOURCE_DIR}/tools/dnssd-netns.sh run --
                     $<TARGET_FILE:streaming_headless_netns_tests>)
    set_tests_properties(streaming_netns.HeadlessAnnouncedAndWithdrawn PROPERTIES
        LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 180 ENVIRONMENT "${KL_TEST_ENV}")
    foreach(t streaming_headless_tests streaming_headless_client_tests streaming_headless_netns_tests)
        target_compile_definitions(${t} PRIVATE KL_PROGRAM="$<TARGET_FILE:korva-lectern>")
        add_dependencies(${t} korva-lectern)
    endforeach()
endif()
