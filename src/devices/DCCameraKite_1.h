#pragma once

#include "devices/DCCameraKorvaModel.h"

// The Kite-1 HD: fifteen exposure steps, exposure lock and the large picture sizes.
class DCCameraKite_1 final : public DCCameraKorvaModelOf<DCCameraKite_1, KorvaModels::kKite1> {};
