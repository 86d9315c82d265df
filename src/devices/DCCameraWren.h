#pragma once

#include "devices/DCCameraKorvaModel.h"

// The Wren: fifteen exposure steps sent as they are, exposure lock; it focuses by itself.
class DCCameraWren final : public DCCameraKorvaModelOf<DCCameraWren, KorvaModels::kWren> {};
