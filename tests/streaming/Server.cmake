kl_add_gtest(streaming_server_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/ServerTestClient.cpp
        ${CMAKE_CURRENT_LIST_DIR}/HTTPServerTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ServerRequestTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamerTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/JPEGCompressorTest.cpp
    LIBS streaming PkgConfig::TurboJPEG Qt6::Core)
