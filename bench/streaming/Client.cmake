# The MJPEG stream client: splitting throughput against plain memmem, and receiving plus decoding a
# 1600 x 1200 stream against ffmpeg decoding the same bytes.
kl_add_bench(bench_mjpeg_client
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamBenchSupport.cpp
            ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamSplitterBench.cpp
            ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamReceiveBench.cpp
    LIBS streaming Boost::headers PkgConfig::TurboJPEG Threads::Threads)
