// Parameters, labels, display ranges, factory programs and identity of the multiband
// compressor, and the value mappings and control texts shared by the effect and its editor.
#pragma once

#include "effects/quassel/quassel_params.h"
#include "framework/plugin_tables.h"

namespace qx {

extern const EffectDescription kQuasselDescription;

// How the editor's text line shows a parameter.
enum class QuasselDisplayKind { Decibels, Switch, Integer, Plain };
QuasselDisplayKind quasselDisplayKind(int index);

// Family 0 .. 5 (page order) and band 0 .. 19 of a per-band parameter; -1 for the others.
int quasselFamily(int index);
int quasselBand(int index);

// --- Normalised value x (0 .. 1) to the engine's physical value ---
inline float quasselMakeupGain(float x) {
    return 10.0f * x;
}  // linear 0 .. 10
inline float quasselThreshold(float x) {
    return x;
}  // linear 0 .. 1
inline float quasselRatio(float x) {
    return 1.0f + 9.0f * x;
}  // 1 .. 10
inline float quasselAttackSeconds(float x) {
    return (0.1f + 99.9f * x) * 0.001f;
}
inline float quasselReleaseSeconds(float x) {
    return (0.1f + 999.9f * x) * 0.001f;
}
inline float quasselPreGain(float x) {
    return 10.0f * x;
}  // linear 0 .. 10
inline bool quasselSwitchOn(float x) {
    return x > 0.5f;
}  // bypass, warmth
// 9 + 11x truncated, below 10 a single band: 1 or 10 .. 20.
int quasselBandCount(float x);
// 3 + 2.9x truncated: 3, 4 or 5 stages.
int quasselFilterOrder(float x);

// Hands parameter `index` at normalised value x to the engine (MultibandEngine, or any
// class with its setters), as the effect does; "GUI mode", "Display release" and indices
// out of range change nothing.
template <class Engine>
void applyQuasselParameter(Engine& e, int index, float x) {
    const int band = quasselBand(index);
    switch (quasselFamily(index)) {
        case 0:
            e.setMakeup(band, quasselMakeupGain(x));
            return;
        case 1:
            e.setThreshold(band, quasselThreshold(x));
            return;
        case 2:
            e.setRatio(band, quasselRatio(x));
            return;
        case 3:
            e.setAttack(band, quasselAttackSeconds(x));
            return;
        case 4:
            e.setRelease(band, quasselReleaseSeconds(x));
            return;
        case 5:
            e.setWarmth(band, x);
            return;
        default:
            break;
    }
    switch (index) {
        case kQuasselOutputTrim:
            e.setOutputTrim(x);
            break;
        case kQuasselBypass:
            e.setBypass(quasselSwitchOn(x));
            break;
        case kQuasselPreGain:
            e.setPreGain(quasselPreGain(x));
            break;
        case kQuasselDryWet:
            e.setDryWet(x);
            break;
        case kQuasselNumberOfBands:
            e.setBandCount(quasselBandCount(x));
            break;
        case kQuasselFilterOrder:
            e.setFilterOrder(quasselFilterOrder(x));
            break;
        case kQuasselWarmthSwitch:
            e.setWarmthEnabled(quasselSwitchOn(x));
            break;
        default:
            break;  // "GUI mode", "Display release": the editor's own
    }
}

// --- Editor mappings ---
// Family 0 .. 5 shown for a "GUI mode" value; 0.6 and above keep `currentFamily`.
int quasselPageFamily(float guiMode, int currentFamily);
// The "GUI mode" value a page button sets: 0.05, 0.15, .. 0.55.
float quasselPageValue(int family);
// Fall (and rise) step of the band display's bars per refresh.
inline float quasselBarStep(float displayRelease) {
    return 0.5f * displayRelease;
}
// dB travel of faders and meters: 0 dB at the top, -36 dB at 1/7, -72 dB at the bottom.
float quasselTravelGain(float position);  // position 0 .. 1 to linear gain
float quasselTravelPosition(float gain);  // linear gain to position 0 .. 1

// The editor's text line for parameter `index` at normalised value x: the padded name, a
// space and the value as its kind shows it. Writes at most `size` bytes (terminated) and
// returns the length, or writes "" and returns 0 for an index out of range.
int quasselControlText(int index, float x, char* text, int size);

}  // namespace qx
