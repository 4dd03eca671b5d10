// Identity, parameters, display ranges and factory programs of the analyzer, and the
// mappings and texts its effect and editor share: switches, the output-scale choice, the
// meter and spectrum axes and the read-outs.
#pragma once

#include "effects/spectrel/spectrel_params.h"
#include "framework/plugin_tables.h"

namespace qx {

extern const EffectDescription kSpectrelDescription;

// Every parameter but Output scale is a switch: on above 0.5.
bool spectrelSwitch(float v);

// Display scale chosen by the Output scale value: below 0.125 peak, below 0.325 K12,
// below 0.625 K14, else K20.
enum class SpectrelOutputScale { Peak = 0, K12, K14, K20 };
SpectrelOutputScale spectrelOutputScale(float v);
// The value the editor's scale buttons write: 0, 0.25, 0.5, 0.75.
float spectrelOutputScaleValue(SpectrelOutputScale scale);
// Read-out offset K in dB: 0, 12, 14, 20.
float spectrelScaleOffsetDb(SpectrelOutputScale scale);
// Power factor of the spectrum display: 10^(K / 10).
float spectrelSpectrumGain(SpectrelOutputScale scale);

// Meter position 0..1 of a linear amplitude: two straight segments in dB (-72..-36 dB up
// to 1/7, -36..0 dB above); below -72 dB the dB value itself, which a meter shows empty.
float spectrelLevelPosition(float amplitude);
// Spectrum height 0..1 of a power (10 log10), on the same segments; 0 below -72 dB.
float spectrelPowerPosition(float power);
// Horizontal position 0..1 of a normalised frequency (1 = half the sample rate):
// logarithmic from 0.002 (position 0.02) to 1, linear below.
float spectrelFrequencyPosition(float normalisedFrequency);
// Inverse of spectrelFrequencyPosition.
float spectrelPositionFrequency(float position);

// Frequency grid of the spectrum view: the listed frequencies in Hz, drawn only below
// half the sample rate.
constexpr int kSpectrelGridLines = 10;
extern const float kSpectrelGridHz[kSpectrelGridLines];

// What the mouse read-out shows at a position 0..1 across the spectrum view.
struct SpectrelReadoutPoint {
    int bin;            // 0..1023
    float frequencyHz;  // position frequency times half the sample rate
};
SpectrelReadoutPoint spectrelReadoutPoint(float position, float sampleRateHz);

// Texts, written into `text` of `size` bytes:
// the peak-hold read-out "%2.1f dB %2.1f" of both holds in dB plus the scale offset;
void spectrelPeakHoldText(float holdDbLeft, float holdDbRight, SpectrelOutputScale scale,
                          char* text, int size);
// the mouse read-out of bin powers (already times the display gain), one summed level or
// both channels.
void spectrelReadoutText(float frequencyHz, bool sum, float powerLeft, float powerRight, char* text,
                         int size);

}  // namespace qx
