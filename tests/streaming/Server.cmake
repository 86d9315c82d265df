set(KL_STREAMING_SERVER_TEST_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ServerTestClient.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HTTPServerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServerRequestTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/JPEGCompressorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StreamServiceAnnouncerTest.cpp
)
kl_add_gtest(streaming_server_tests SOURCES ${KL_STREAMING_SERVER_TEST_SOURCES}
    LIBS streaming PkgConfig::TurboJPEG Qt6::Core)
