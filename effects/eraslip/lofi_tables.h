// Parameters, labels, display ranges and factory programs of the lo-fi sampler emulator.
#pragma once

#include "framework/plugin_tables.h"

namespace qx {

enum LofiParam : int {
    kLofiPan = 0,
    kLofiOut,
    kLofiRate,
    kLofiBits,
    kLofiHighCut,
    kLofiCrosstalk,
    kLofiAd,
    kLofiDa,
    kLofiBypass,
    kLofiNumParams
};

constexpr int kLofiNumPrograms = 11;

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
