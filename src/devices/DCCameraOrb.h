#pragma once

#include "devices/DCCameraKorvaModel.h"

// The Orb: five exposure steps through its own iris table, no exposure lock; it focuses by itself.
class DCCameraOrb final : public DCCameraKorvaModelOf<DCCameraOrb, KorvaModels::kOrb> {};
