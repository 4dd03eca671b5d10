// Parameters, labels, display ranges, factory programs and identity of the mastering
// limiter, and the value mappings shared by the effect and its editor.
#pragma once

#include "effects/palisor/palisor_params.h"
#include "framework/plugin_tables.h"

namespace qx {

constexpr int kLimiterLatency = 512;

extern const EffectDescription kLimiterDescription;

// Output trim and input drive: two straight segments in dB, -72..-36 dB below v = 1/7 and
// -36..0 dB above, as a linear gain.
float limiterGainCurve(float v);

// Meter position of a linear level or gain, the inverse of limiterGainCurve: 1 from 0.99 up,
// -36 dB at 1/7, -72 dB at 0, and below -72 dB the dB value itself (negative: empty).
float limiterMeterPosition(float linear);

// Word length in bits of a Dithering value (menu index 0..6 gives 64, 32, 24, 20, 16,
// 12, 8), chosen by thresholds halfway between the indices.
int limiterWordLength(float menuIndex);

// Meter scale chosen by the Output scale value.
enum class LimiterOutputScale { Peak, K12, K14, K20 };
LimiterOutputScale limiterOutputScale(float v);
// Offset of the scale's reference level in dB: 0, 12, 14 or 20.
float limiterOutputScaleOffsetDb(LimiterOutputScale scale);

}  // namespace qx
