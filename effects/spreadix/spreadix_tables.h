// Identity, parameters, display ranges and factory programs of the stereo spreader, and
// the value mappings and editor texts its effect and editor share.
#pragma once

#include "effects/spreadix/spreadix_params.h"
#include "framework/plugin_tables.h"

namespace qx {

extern const EffectDescription kSpreadixDescription;

// Physical values of the stored parameter values, as the engine setters take them. Values
// are held to 0..1 first; a NaN maps like 0.
float spreadixPan(float v);        // stage position 0..1
float spreadixLevelDb(float v);    // 80 v - 60: -60 dB at 0, 0 dB at 0.75, +20 dB at 1
bool spreadixSwitch(float v);      // Dipole mode, Bypass: on above 0.5
float spreadixSideLevel(float v);  // 4 v: 0 mono, 1 unchanged (at 0.25), 4
float spreadixSynthMix(float v);   // v
float spreadixCharacter(float v);  // v (the engine keeps it at 0.05 or more)

// The editor's text for a parameter value: pans "L200" .. "C" .. "R200", the level "-4dB",
// the knobs "50%"; empty for the two switches. `text` holds at least 32 bytes.
void spreadixParameterText(int index, float value, char* text);

}  // namespace qx
