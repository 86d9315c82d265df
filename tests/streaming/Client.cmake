# The MJPEG stream client: the splitter alone, then the client against loopback servers (replayed
# captures and a real encoder serving its own stream), then the network camera's capture branch.
kl_add_gtest(MJPEGStreamSplitterTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamSplitterTest.cpp
    LIBS streamtestsupport)
kl_add_gtest(MJPEGStreamClientTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamClientTest.cpp
    LIBS streamtestsupport)
kl_add_gtest(MJPEGStreamFFmpegTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamFFmpegTest.cpp
    LIBS streamtestsupport LABELS foreign)
kl_add_gtest(NetworkCameraViewTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/NetworkCameraViewTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetCameraStreamLocationTest.cpp LIBS streamtestsupport)

# The program with a network camera: --snapshot of a --stream-url camera on loopback, and two
# instances across two avahi-daemons in a network namespace (--peer).
if(TARGET korva-lectern)
    kl_add_gtest(StreamUrlSnapshotTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/StreamUrlSnapshotTest.cpp
        ${PROJECT_SOURCE_DIR}/tests/app/SnapshotRun.cpp ${PROJECT_SOURCE_DIR}/tests/support/ProgramRun.cpp LIBS streamtestsupport)
    add_executable(two_instances_netns_tests ${CMAKE_CURRENT_LIST_DIR}/TwoInstancesNetnsTest.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/HeadlessRun.cpp ${PROJECT_SOURCE_DIR}/tests/app/SnapshotRun.cpp ${PROJECT_SOURCE_DIR}/tests/support/ProgramRun.cpp)
    target_link_libraries(two_instances_netns_tests PRIVATE streamtestsupport)
    kl_target_defaults(two_instances_netns_tests)
    kl_add_netns_test(two_instances_netns.SnapshotAndRepublish two_instances_netns_tests 180 --peer)
    foreach(t StreamUrlSnapshotTest two_instances_netns_tests)
        target_compile_definitions(${t} PRIVATE KL_PROGRAM="$<TARGET_FILE:korva-lectern>")
        add_dependencies(${t} korva-lectern)
    endforeach()
endif()
