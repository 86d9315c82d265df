kl_add_bench(bench_streaming_server
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ServerFanOutBench.cpp ${CMAKE_CURRENT_LIST_DIR}/JPEGCompressorBench.cpp
    LIBS streaming PkgConfig::TurboJPEG)
