#pragma once

#include <memory>

#include "devices/DCCameraKorva.h"

// The Wren: fifteen exposure steps sent as they are, exposure lock; it focuses by itself.
class DCCameraWren : public DCCameraKorva {
public:
    static constexpr uint32_t kProductId = 0x0205;

    DCCameraWren();
    static std::shared_ptr<DCCameraWren> camera();

    QString model() const override;
    QString shortModel() const override;
    int32_t exposureDef() override;
    bool setExposure(int32_t step) override;
    void updateStatus() override;
    bool autoFocus() override;
};
