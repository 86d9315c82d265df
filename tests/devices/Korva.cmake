kl_add_gtest(devices_korva_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DCCameraKorvaTest.cpp ${CMAKE_CURRENT_LIST_DIR}/KorvaModelsTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/LibusbHidTransportTest.cpp
    LIBS devices PkgConfig::LibUSB Qt6::Core)
