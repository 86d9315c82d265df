#pragma once

#include <memory>

#include "devices/DCCameraKorva.h"

// The Wren-HD: fifteen exposure steps, exposure lock, adjustable white balance and the large
// picture sizes.
class DCCameraWrenHD : public DCCameraKorva {
    DC_RESOLUTION_CLASS_OPERATIONS
public:
    static constexpr uint32_t kProductId = 0x0206;

    DCCameraWrenHD();
    static std::shared_ptr<DCCameraWrenHD> camera();

    QString model() const override;
    QString shortModel() const override;
    int32_t exposureDef() override;
    bool setExposure(int32_t step) override;
    void updateStatus() override;
    bool autoFocus() override;
};
