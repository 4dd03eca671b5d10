// The constant tables that describe a deliverable: identity, parameter names, labels and
// display ranges, factory programs. Each effect states them once; the program mechanism,
// the host display, the editor's hint line and the generic tests all read them.
#pragma once

#include <cstdint>

#include "framework/audio_effect.h"

namespace qx {

constexpr int kParamNameSize = 16;    // 15 characters, blank padded, plus terminator
constexpr int kParamLabelSize = 16;   // the current generation uses only the first 3 bytes
constexpr int kProgramNameSize = 24;  // 23 characters plus terminator

using ParamName = char[kParamNameSize];
using ParamLabel = char[kParamLabelSize];
using ProgramName = char[kProgramNameSize];

// Display minimum and maximum of a parameter: shown value = lo (1 - v) + v hi.
struct ParameterDisplayRange {
    float minimum;
    float maximum;
};

struct ParameterTable {
    int count;
    const ParamName* names;
    const ParamLabel* labels;
    const ParameterDisplayRange* displayRanges;
};

struct FactoryProgramTable {
    int numPrograms;
    int numParams;
    const float* values;  // numPrograms rows of numParams values
    const ProgramName* names;

    const float* row(int program) const { return values + program * numParams; }
};

// Host-visible identity of a deliverable.
struct EffectIdentity {
    Generation generation;
    const char* effectName;
    const char* productString;
    const char* vendorString;
    std::int32_t uniqueId;
    int vendorVersion;
    int numInputs;
    int numOutputs;
    int initialDelay;
    std::int32_t flags;           // effFlags bits set by the constructor (besides the base's)
    const char* const* canDoYes;  // null-terminated list of canDo texts answered with 1
    int bypassParameter;          // index that setBypass drives, or -1 when bypass is unsupported
};

struct EffectDescription {
    EffectIdentity identity;
    ParameterTable parameters;
    FactoryProgramTable factory;
};

}  // namespace qx
