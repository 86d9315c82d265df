# The MJPEG stream client: HTTP reception, the multipart splitter and JPEG decoding.
target_sources(streaming PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamClient.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MJPEGStreamSplitter.cpp)
# The network camera's live picture: the capture pipeline's branch for streams of other instances.
target_sources(streaming PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/InfoViewPresenter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetCameraStreamLocation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkCameraView.cpp)
