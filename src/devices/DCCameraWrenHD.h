#pragma once

#include "devices/DCCameraKorvaModel.h"

// The Wren-HD: fifteen exposure steps, exposure lock, adjustable white balance and the large picture
// sizes.
class DCCameraWrenHD final : public DCCameraKorvaModelOf<DCCameraWrenHD, KorvaModels::kWrenHD> {};
