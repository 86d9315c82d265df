kl_add_gtest(streaming_server_tests SOURCES ${PROJECT_SOURCE_DIR}/tests/capture/CaptureTestImages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HTTPServerTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ServerRequestTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamerTest.cpp ${CMAKE_CURRENT_LIST_DIR}/JPEGCompressorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StreamServiceAnnouncerTest.cpp
    LIBS streamtestsupport PkgConfig::TurboJPEG Qt6::Gui)

add_executable(streaming_netns_tests ${CMAKE_CURRENT_LIST_DIR}/StreamServiceAnnouncerNetnsTest.cpp)
target_link_libraries(streaming_netns_tests PRIVATE streamtestsupport)
kl_target_defaults(streaming_netns_tests)
kl_add_netns_test(streaming_netns.AnnouncedServicesSeenAndWithdrawn streaming_netns_tests 120)

# The program itself in headless mode, started and stopped as a user does.
if(TARGET korva-lectern)
    set(KL_HEADLESS_RUN ${CMAKE_CURRENT_LIST_DIR}/HeadlessRun.cpp ${PROJECT_SOURCE_DIR}/tests/support/ProgramRun.cpp)
    kl_add_gtest(streaming_headless_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/HeadlessModeTest.cpp ${KL_HEADLESS_RUN}
        LIBS streamtestsupport)
    # Real clients: ffmpeg (Debian ffmpeg) and headless Chromium (Debian chromium).
    kl_add_gtest(streaming_headless_client_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/HeadlessClientsTest.cpp
        ${KL_HEADLESS_RUN} LIBS streamtestsupport Qt6::Gui LABELS foreign)
    add_executable(streaming_headless_netns_tests ${CMAKE_CURRENT_LIST_DIR}/HeadlessNetnsTest.cpp ${KL_HEADLESS_RUN})
    target_link_libraries(streaming_headless_netns_tests PRIVATE streamtestsupport)
    kl_target_defaults(streaming_headless_netns_tests)
    kl_add_netns_test(streaming_netns.HeadlessAnnouncedAndWithdrawn streaming_headless_netns_tests 180)
    foreach(t streaming_headless_tests streaming_headless_client_tests streaming_headless_netns_tests)
        target_compile_definitions(${t} PRIVATE KL_PROGRAM="$<TARGET_FILE:korva-lectern>")
        add_dependencies(${t} korva-lectern)
    endforeach()
endif()
