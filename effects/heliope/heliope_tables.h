// Parameters, labels, display ranges, hint kinds, menu texts, factory programs and
// identity of the stereo headphone renderer, and the value mappings its effect and editor
// share (the 5.1 renderer uses the same parameters and mappings).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "effects/heliope/heliope_params.h"
#include "framework/editor/hint_line.h"
#include "framework/plugin_tables.h"

namespace qx {

extern const EffectDescription kHeliopeDescription;

// Shared by both renderers: the thirteen parameters are the same.
extern const ParamName kHeliopeParamNames[kHeliopeNumParams];
extern const ParamLabel kHeliopeParamLabels[kHeliopeNumParams];
extern const ParameterDisplayRange kHeliopeDisplayRanges[kHeliopeNumParams];
extern const HintKind kHeliopeHintKinds[kHeliopeNumParams];
// canDo texts answered with 1 by both renderers, null-terminated.
extern const char* const kHeliopeCanDo[];

// Identity of a renderer: they differ in name, unique ID and input count only.
constexpr EffectIdentity heliopeIdentity(const char* name, std::int32_t uniqueId, int numInputs) {
    return {
        .generation = Generation::Current,
        .effectName = name,
        .productString = name,
        .vendorString = "QX",
        .uniqueId = uniqueId,
        .vendorVersion = 1010,
        .numInputs = numInputs,
        .numOutputs = kHeliopeNumOutputs,
        .initialDelay = 0,
        .flags = vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing,
        .canDoYes = kHeliopeCanDo,
        .bypassParameter = -1,  // no host bypass: the VST default answers
    };
}

// --- Value mappings (stored value v -> engine setting) ---

// "Distance": 1 + 3 v metres.
inline float heliopeDistanceMetres(float v) {
    return 1.0f + 3.0f * v;
}
// "Reverb time": 0.2 + 0.4 v seconds.
inline float heliopeReverbSeconds(float v) {
    return 0.2f + 0.4f * v;
}
// Menu parameters store the index itself, rounded half up: 2.4 selects 2, 2.5 selects 3.
// Not a number selects 0.
inline int heliopeMenuIndex(float v) {
    if (!(v > -1.0e6f)) return 0;
    return static_cast<int>(std::floor(std::min(v, 1.0e6f) + 0.5f));
}
// Switches are on above one half.
inline bool heliopeSwitch(float v) {
    return v > 0.5f;
}

// --- Level scale of the meters and the trim slider ---

// dB at slider or meter position p in 0..1: -72 at 0, -36 at 1/7, 0 at 1.
float heliopeScaleDb(float position);
// Linear gain the trim slider writes at position p: 10^(dB/20).
float heliopeScaleGain(float position);
// Position 0..1 of a linear level: 1 from 0.99 up, 0 below -72 dB.
float heliopeScalePosition(float levelLinear);

// Applies stored value v of parameter `index` to a renderer engine (stereo or 5.1: they
// have the same setters). Unknown indices are ignored.
template <class Engine>
void applyHeliopeParameter(Engine& engine, int index, float v) {
    switch (index) {
        case kHeliopeOutputTrim:
            engine.setOutputGain(v);
            break;
        case kHeliopeBypass:
            engine.setBypassed(heliopeSwitch(v));
            break;
        case kHeliopeCueStrength:
            engine.setCueStrength(v);
            break;
        case kHeliopeHeadSize:
            engine.setHeadSize(v);
            break;
        case kHeliopeEarSize:
            engine.setEarSize(v);
            break;
        case kHeliopeDistance:
            engine.setDistance(heliopeDistanceMetres(v));
            break;
        case kHeliopeReverbTime:
            engine.setReverbTime(heliopeReverbSeconds(v));
            break;
        case kHeliopeRoomSize:
            engine.setRoomSize(v);
            break;
        case kHeliopeChannelMode:
            engine.setChannelMode(heliopeMenuIndex(v));
            break;
        case kHeliopeCabinet:
            engine.setCabinet(heliopeMenuIndex(v));
            break;
        case kHeliopeItds:
            engine.setItdEnabled(heliopeSwitch(v));
            break;
        case kHeliopeNextDoor:
            engine.setNextDoor(heliopeSwitch(v));
            break;
        case kHeliopeEnableRoom:
            engine.setRoomEnabled(heliopeSwitch(v));
            break;
        default:
            break;
    }
}

}  // namespace qx
