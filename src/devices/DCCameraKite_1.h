#pragma once

#include <memory>

#include "devices/DCCameraKorva.h"

class QTimer;

// The Kite-1 HD: fifteen exposure steps, exposure lock and the large picture sizes.
class DCCameraKite_1 : public DCCameraKorva {
    DC_RESOLUTION_CLASS_OPERATIONS
public:
    static constexpr uint32_t kProductId = 0x0207;

    DCCameraKite_1();
    static std::shared_ptr<DCCameraKite_1> camera();

    QString model() const override;
    QString shortModel() const override;
    int32_t exposureDef() override;
    bool setExposure(int32_t step) override;
    void updateStatus() override;
    // Part of the model's interface; nothing creates or starts it.
    QTimer *autoGetExposureTimer() const { return autoGetExposureTimer_; }

private:
    QTimer *autoGetExposureTimer_ = nullptr;
};
