# The maker's cameras: the vendor HID channel, the model family and the simulated HID side.
target_sources(devices PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/DCCameraKorva.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DCCameraKorvaModel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HidEventRelay.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KorvaReport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LibusbHidTransport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UsbDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim/SimHidDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim/SimHidTransport.cpp
)
target_link_libraries(devices PRIVATE PkgConfig::LibUSB)
