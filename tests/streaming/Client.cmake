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
