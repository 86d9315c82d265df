# Camera discovery: the controller, the product table, the udev source and the simulated bus.
target_sources(devices PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/DCCamerasController.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DCProductTable.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ThreadWorkQueue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UdevDeviceSource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim/SimUsbBus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim/SimUsbBusDeviceSource.cpp
)
target_link_libraries(devices PRIVATE PkgConfig::LibUdev)
