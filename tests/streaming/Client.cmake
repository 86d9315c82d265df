# The MJPEG stream client: the splitter alone, then the client against loopback servers (our replayed
# captures and a real encoder serving its own stream).
add_library(mjpegstreamtestsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamTestSupport.cpp)
target_link_libraries(mjpegstreamtestsupport PUBLIC Boost::headers Threads::Threads PRIVATE PkgConfig::TurboJPEG)
kl_target_defaults(mjpegstreamtestsupport)

kl_add_gtest(MJPEGStreamSplitterTest
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamSplitterTest.cpp
    LIBS streaming mjpegstreamtestsupport)
kl_add_gtest(MJPEGStreamClientTest
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamClientTest.cpp
    LIBS streaming mjpegstreamtestsupport)
kl_add_gtest(MJPEGStreamFFmpegTest
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamFFmpegTest.cpp
    LIBS streaming Boost::headers
    LABELS foreign)
# The network camera's branch of the capture pipeline, over the fake DNS-SD and loopback streams.
kl_add_gtest(NetworkCameraViewTest
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/NetworkCameraViewTest.cpp ${CMAKE_CURRENT_LIST_DIR}/NetCameraStreamLocationTest.cpp
    LIBS streaming mjpegstreamtestsupport)

# The program itself with a network camera: --snapshot of a --stream-url camera on loopback, and two
# instances across two avahi-daemons in a network namespace (root only; exit 77, "skipped", elsewhere).
if(TARGET korva-lectern)
    add_library(picturecomparison STATIC ${CMAKE_CURRENT_LIST_DIR}/PictureComparison.cpp)
    target_link_libraries(picturecomparison PUBLIC streaming PRIVATE PkgConfig::TurboJPEG)
    kl_target_defaults(picturecomparison)

    kl_add_gtest(StreamUrlSnapshotTest
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/StreamUrlSnapshotTest.cpp ${PROJECT_SOURCE_DIR}/tests/app/SnapshotRun.cpp
        LIBS picturecomparison mjpegstreamtestsupport)
    target_compile_definitions(StreamUrlSnapshotTest PRIVATE KL_PROGRAM="$<TARGET_FILE:korva-lectern>")
    add_dependencies(StreamUrlSnapshotTest korva-lectern)

    add_executable(two_instances_netns_tests ${CMAKE_CURRENT_LIST_DIR}/TwoInstancesNetnsTest.cpp
                   ${PROJECT_SOURCE_DIR}/tests/app/SnapshotRun.cpp)
    target_link_libraries(two_instances_netns_tests PRIVATE testsupport picturecomparison)
    target_compile_definitions(two_instances_netns_tests PRIVATE KL_PROGRAM="$<TARGET_FILE:korva-lectern>")
    add_dependencies(two_instances_netns_tests korva-lectern)
    kl_target_defaults(two_instances_netns_tests)
    add_test(NAME two_instances_netns.SnapshotAndRepublish
             COMMAND ${PROJECT_SOURCE_DIR}/tools/dnssd-netns.sh run --peer --
                     $<TARGET_FILE:two_instances_netns_tests>)
    set_tests_properties(two_instances_netns.SnapshotAndRepublish PROPERTIES
        LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 180 ENVIRONMENT "${KL_TEST_ENV}")
endif()
