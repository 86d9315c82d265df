# The HTTP server, its response handlers, the MJPEG stream and the stream's JPEG compressor.
set(KL_STREAMING_SERVER_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/HTTPResponseHandler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HTTPServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IncomingRequest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/JPEGCompressor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkInterfaces.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StreamPageResponder.cpp
)
target_sources(streaming PRIVATE ${KL_STREAMING_SERVER_SOURCES})
# g++ warns that ThreadSanitizer does not model the memory fences inside Boost.Asio's completion
# handlers; the handlers are still ordered by the io_context's own locks, which TSan does see.
if(KL_SANITIZE STREQUAL "thread" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties(${KL_STREAMING_SERVER_SOURCES} PROPERTIES COMPILE_OPTIONS -Wno-tsan)
endif()
