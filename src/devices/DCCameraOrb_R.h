#pragma once

#include <memory>

#include "devices/DCCameraKorva.h"

// The Orb-R: five exposure steps of its own, no exposure lock; focus as UVC reports it.
// It shares its short name, and so its stored settings, with the Orb.
class DCCameraOrb_R : public DCCameraKorva {
public:
    static constexpr uint32_t kProductId = 0x0208;

    DCCameraOrb_R();
    static std::shared_ptr<DCCameraOrb_R> camera();

    QString model() const override;
    QString shortModel() const override;
    int32_t exposureDef() override;
    bool setExposure(int32_t step) override;
    void updateStatus() override;
    // The iris value of an exposure index 0 to 4; 5 for any other index.
    static int32_t exposureIndexToValue(int32_t index);
    // The index of an iris value of the table; -1 for any other value.
    static int32_t exposureValueToIndex(int32_t value);
};
