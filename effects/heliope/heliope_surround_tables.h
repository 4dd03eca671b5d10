// Menu texts, factory programs and identity of the 5.1 headphone renderer. Its thirteen
// parameters, their display texts and mappings are the stereo renderer's
// (heliope_tables.h).
#pragma once

#include "effects/heliope/heliope_surround_params.h"
#include "effects/heliope/heliope_tables.h"

namespace qx {

extern const EffectDescription kHeliopeSurroundDescription;

}  // namespace qx
