# The MJPEG stream client: HTTP reception, the multipart splitter and JPEG decoding.
target_sources(streaming PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/JPEGPictureDecoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamClient.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamSplitter.cpp)
