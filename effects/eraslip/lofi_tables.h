// Parameters, labels, display ranges and factory programs of the lo-fi sampler emulator.
#pragma once

#include "effects/eraslip/eraslip_params.h"
#include "framework/plugin_tables.h"

namespace qx {

extern const EffectDescription kLofiDescription;

// Physical values of the normalised parameters, as the engine receives them.
float lofiOutDb(float x);
float lofiRateHz(float x);
int lofiBits(float x);
float lofiHighCutHz(float x);

// The editor's text for a parameter value ("C", "L50", "-4dB", "44100Hz", "16bits", "50%");
// empty for Bypass. `text` holds at least 32 bytes.
void lofiParameterText(int index, float value, char* text);

}  // namespace qx
