// Parameters, labels, display ranges, factory programs and identity of the triggered
// spectral effect, the mappings from normalised values to engine settings, and the texts
// and meter scale its editor shows.
#pragma once

#include "effects/trigwave/trigwave_params.h"
#include "framework/plugin_tables.h"

namespace qx {

class TrigwaveEngine;

extern const EffectDescription kTrigwaveDescription;

// --- Value mappings (v is the stored normalised value, 0..1) ---

// Output trim: -72..-36 dB over v = 0..1/7, -36..0 dB over the rest, as a linear gain of
// at least 1e-6.
float trigwaveOutputGain(float v);
// Switches (bypass, analog, mono, reverb): on above 0.5.
bool trigwaveSwitch(float v);
// Onset energy ratio 1.1..10.
float trigwaveThreshold(float v);
// Amplitude sustain level, -20..-1 dB.
float trigwaveSustainLevelDb(float v);
// Filter cutoff with the filter envelope at 0, 1..20000 Hz.
float trigwaveFilterFrequency(float v);
// Filter envelope depth, -1..1.
float trigwaveFilterEnvAmount(float v);
// Reverb decay time, 0.1..5 s.
float trigwaveReverbTime(float v);

// Hands parameter `index` at stored value `value` to the engine's setter. Values outside
// 0..1 are held to it, NaN counts as 0; an unknown index does nothing. Runs wherever the
// engine's setters may run.
void applyTrigwaveParameter(TrigwaveEngine& engine, int index, float value);

// --- Texts ---

// lo (1 - v) + v hi of the parameter's display range; 0 for an unknown index.
float trigwaveDisplayValue(int index, float v);
// The host's text: "%3.3f" of the display value (kParamNameSize bytes). Unknown index:
// the buffer is left alone.
void trigwaveHostDisplay(int index, float v, char* text);
// The editor's hint line (kTrigwaveTextSize bytes): the padded name and, for Output trim,
// the gain in dB ("%3.2f dB"); "On"/"Off" for the switches; otherwise the display value
// "%3.3f" and the label. Unknown index: the buffer is left alone.
void trigwaveHintText(int index, float v, char* text);
// The short read-out under a control (kTrigwaveTextSize bytes), in the unit of its label:
// "-36.0 dB", "50 %", "-20 %" (the filter envelope is signed), "0.20 s", "1.57 s",
// "440 Hz", "2.50 kHz", "3.77" (the threshold), "On" / "Off". Unknown index: the buffer is
// left alone.
void trigwaveReadoutText(int index, float v, char* text);
// The peak read-out: "%2.1f dB %2.1f" of the left and right peak holds in dB
// (kTrigwaveTextSize bytes).
void trigwavePeakReadout(float leftDb, float rightDb, char* text);

// Position 0..1 of a linear level on the output meters: the inverse of the Output trim
// curve, 1 from 0.99 up and 0 below -72 dB.
float trigwaveMeterPosition(float level);

}  // namespace qx
