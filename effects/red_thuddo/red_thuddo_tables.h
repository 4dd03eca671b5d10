// Identity, parameters, labels, display ranges and factory programs of both compressor
// builds, and the value mappings and texts the effect and its editor share.
#pragma once

#include <cstddef>

#include "effects/red_thuddo/red_thuddo_params.h"
#include "framework/plugin_tables.h"

namespace qx {

// Four inputs (programme 1-2, side chain 3-4) and two inputs (side chain on input 2);
// the parameters and programs are the same.
extern const EffectDescription kRedThuddoDescription;
extern const EffectDescription kRedThuddoAltDescription;

// --- Normalised value -> engine value. x is held to 0..1 (NaN as 0) first. Any thread. ---
bool redThuddoSwitch(float x);           // on above 0.5
float redThuddoGainDb(float x);          // post and pre gain: -20..20 dB
float redThuddoHighPassHz(float x);      // 10..10000 Hz
float redThuddoLowPassHz(float x);       // 100..20000 Hz
float redThuddoHysteresis(float x);      // 0..1
float redThuddoAttackSeconds(float x);   // 0.1..300 ms, in seconds
float redThuddoHoldSeconds(float x);     // 0..500 ms, in seconds
float redThuddoReleaseSeconds(float x);  // 1..1000 ms, in seconds
float redThuddoRatio(float x);           // 0.1..10, then 20 (infinite) above 10
float redThuddoThresholdDb(float x);     // -50..0 dB
float redThuddoDryWet(float x);          // 0..1 wet fraction
float redThuddoMaxGainDb(float x);       // 0..40 dB
// The ratio the transfer curve draws: as redThuddoRatio, but 1000 when infinite.
float redThuddoDisplayRatio(float x);

// --- Texts ---
enum class RedThuddoKind { Plain, Switch };
RedThuddoKind redThuddoKind(int index);
// The editor's text line for parameter `index` at normalised x: "<name> <value> <label>"
// with the blank-padded name and "%3.2f", "<name> inf" for a ratio above 10, "<name> On"
// or "<name> Off" for a switch. Empty for an index out of range. Any thread.
void redThuddoParameterText(int index, float x, char* text, std::size_t size);
// A number drawn in the transfer-curve display: "%2.0f" from 10 up, "%1.1f" below.
void redThuddoCurveNumberText(float value, char* text, std::size_t size);

// --- Transfer curve of the editor (static curve, no time behaviour) ---
struct TransferCurveSettings {
    float thresholdDb = -26.0f;
    float ratio1 = 1.0f;  // display ratios: 1000 stands for infinite
    float ratio2 = 1.0f;
    bool softKnee = false;
    float maxGainDb = 40.0f;
    float dryWet = 1.0f;
    float postGainDb = 0.0f;
};

// Applies a parameter change to the curve settings; true when the curve may change
// (post gain, soft knee, ratios, threshold, dry/wet, max gain).
bool applyTransferCurveParameter(TransferCurveSettings& settings, int index, float x);
// Output level in dB of the compressor for an input level in dB: the two slopes meet at
// the threshold, the soft knee blends them over +-6 dB, the gain stays within +-max gain,
// and the post gain lifts the result.
float transferCurveDb(const TransferCurveSettings& settings, float inputDb);
// The same after the dry/wet mix (the compressor curve when the mix is fully wet).
float transferMixCurveDb(const TransferCurveSettings& settings, float inputDb);
// The live operating point: the engine's detector display level (mean square) as an
// input level in dB on the plotted range, and a linear gain meter in dB (at least -200).
float transferInputDb(float meanSquare);
float gainMeterDb(float gainLinear);

}  // namespace qx
