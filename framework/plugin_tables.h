// The constant tables that describe a deliverable: identity, parameter names, labels,
// display ranges and menus, factory programs. Each effect states them once; the program
// mechanism, the host display, the editor's hint line and the generic tests all read them.
#pragma once

#include <cstdint>
#include <string_view>

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
    // Per parameter: the number of entries of its option menu, whose index it stores
    // (0 .. n - 1); 0 for a plain value in 0..1. Null: no menus at all.
    const int* menuEntries = nullptr;

    constexpr int menuEntriesOf(int index) const { return menuEntries ? menuEntries[index] : 0; }
    // Largest value the parameter stores: 1, or its last menu index.
    constexpr float maximum(int index) const {
        const int entries = menuEntriesOf(index);
        return entries > 0 ? static_cast<float>(entries - 1) : 1.0f;
    }
};

struct FactoryProgramTable {
    int numPrograms;
    int numParams;
    const float* values;  // numPrograms rows of numParams values
    const ProgramName* names;

    constexpr const float* row(int program) const { return values + program * numParams; }
};

// canDo texts answered with 1; every other text gets -1. A deliverable points its identity
// at the list that holds its answers. Each pair of lists shares one array: the shorter
// list is the longer without its first entry. (Not inline: GCC's UndefinedBehaviorSanitizer
// would not let checkTables compare the address of an inline variable in a constant.)
namespace can_do_detail {
constexpr const char* const kEveryLayoutAndBypass[] = {"bypass",     "plugAsChannelInsert",
                                                       "plugAsSend", "mixDryWet",
                                                       "1in1out",    "1in2out",
                                                       "2in1out",    "2in2out",
                                                       nullptr};
constexpr const char* const kStereoOutput[] = {
    "mixDryWet", "plugAsChannelInsert", "plugAsSend", "1in2out", "2in2out", nullptr};
}  // namespace can_do_detail
// Every channel layout, insert and send, dry/wet mixing, and the host's bypass.
constexpr const char* const* kCanDoEveryLayoutAndBypass = can_do_detail::kEveryLayoutAndBypass;
// As above without the host's bypass.
constexpr const char* const* kCanDoEveryLayout = can_do_detail::kEveryLayoutAndBypass + 1;
// Stereo output only (1in2out, 2in2out), insert and send, dry/wet mixing.
constexpr const char* const* kCanDoStereoOutput = can_do_detail::kStereoOutput;
// As above without dry/wet mixing.
constexpr const char* const* kCanDoStereoOutputUnmixed = can_do_detail::kStereoOutput + 1;

// Host-visible identity of a deliverable, written with designated initialisers.
struct EffectIdentity {
    Generation generation = Generation::Current;
    const char* effectName = nullptr;
    const char* productString = nullptr;
    const char* vendorString = "QX";
    std::int32_t uniqueId = 0;
    int vendorVersion = 0;
    int numInputs = 2;
    int numOutputs = 2;
    int initialDelay = 0;
    std::int32_t flags = 0;                 // effFlags bits set by the constructor
    const char* const* canDoYes = nullptr;  // one of the kCanDo lists above
    int bypassParameter = -1;               // index setBypass drives; -1: no host bypass
};

struct EffectDescription {
    EffectIdentity identity;
    ParameterTable parameters;
    FactoryProgramTable factory;
    // Editor commands the engine carries out between blocks (ProgramEffect::postCommand).
    int numCommands = 0;
};

// The first thing wrong with a description, or nothing: `what` says which rule, `index`
// which parameter or program (-1 when none).
struct TableProblem {
    const char* what = nullptr;
    int index = -1;
    constexpr bool ok() const { return what == nullptr; }
};

namespace table_detail {

constexpr bool finite(float v) {
    return v - v == 0.0f;  // false for NaN and both infinities
}

constexpr bool listed(const char* const* list, std::string_view text) {
    for (; list && *list; ++list)
        if (text == *list) return true;
    return false;
}

constexpr std::size_t length(const char* text) {
    return text ? std::string_view(text).size() : 0;
}

}  // namespace table_detail

// Checks what hosts and the generic code rely on: names padded to 15 characters, labels to
// 2 (current generation) or 15 (older), program names to 23; counts that agree; finite
// display ranges; every factory value within its parameter's range (menu values whole
// indices); host bypass and the "bypass" canDo answer together. Usable in static_assert.
constexpr TableProblem checkTables(const EffectDescription& d) {
    using namespace table_detail;
    const EffectIdentity& id = d.identity;
    const ParameterTable& p = d.parameters;
    const FactoryProgramTable& f = d.factory;
    if (!id.effectName || length(id.effectName) > 31) return {"effect name missing or too long"};
    if (!id.productString || length(id.productString) > 63) return {"product string"};
    if (!id.vendorString || length(id.vendorString) > 63) return {"vendor string"};
    if (!id.canDoYes) return {"no canDo list"};
    if (id.numInputs < 1 || id.numOutputs < 1 || id.initialDelay < 0) return {"channel counts"};
    if (p.count < 1 || !p.names || !p.labels || !p.displayRanges) return {"parameter table"};
    if (f.numParams != p.count) return {"factory rows and parameter count differ"};
    if (f.numPrograms < 1 || !f.values || !f.names) return {"factory table"};
    if (d.numCommands < 0) return {"command count"};
    const std::size_t labelLength = id.generation == Generation::Current ? 2 : kParamLabelSize - 1;
    for (int i = 0; i < p.count; ++i) {
        if (length(p.names[i]) != kParamNameSize - 1) return {"name not padded to 15", i};
        if (length(p.labels[i]) != labelLength) return {"label not padded", i};
        const ParameterDisplayRange& r = p.displayRanges[i];
        if (!finite(r.minimum) || !finite(r.maximum)) return {"display range not finite", i};
        const int entries = p.menuEntriesOf(i);
        if (entries < 0 || entries == 1) return {"menu needs two entries or more", i};
    }
    for (int program = 0; program < f.numPrograms; ++program) {
        if (length(f.names[program]) != kProgramNameSize - 1)
            return {"program name not padded to 23", program};
        for (int i = 0; i < p.count; ++i) {
            const float v = f.row(program)[i];
            if (!finite(v) || v < 0.0f || v > p.maximum(i))
                return {"factory value out of range", program};
            if (p.menuEntriesOf(i) > 0 && v != static_cast<float>(static_cast<int>(v)))
                return {"factory menu value is not an index", program};
        }
    }
    if (id.bypassParameter < -1 || id.bypassParameter >= p.count) return {"bypass index"};
    if ((id.bypassParameter >= 0) != listed(id.canDoYes, "bypass"))
        return {"host bypass and the \"bypass\" canDo answer disagree"};
    return {};
}

}  // namespace qx
