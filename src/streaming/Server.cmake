# The HTTP server, its response handlers, the MJPEG stream and the stream's JPEG compressor.
set(KL_STREAMING_SERVER_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/HTTPResponseHandler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HTTPServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IncomingRequest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameJpegEncoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/JPEGCompressor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkInterfaces.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StreamPageResponder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StreamServiceAnnouncer.cpp
)
target_sources(streaming PRIVATE ${KL_STREAMING_SERVER_SOURCES})
