#pragma once

#include "devices/DCCameraKorvaModel.h"

// The Orb-R: five exposure steps through an iris table of its own, no exposure lock; focus as UVC
// reports it. It shares its short name, and so its stored settings, with the Orb.
class DCCameraOrb_R final : public DCCameraKorvaModelOf<DCCameraOrb_R, KorvaModels::kOrbR> {};
