// Layout and pin answers of the 5.1 headphone renderer.
#include "effects/heliope/surround_effect.h"

#include <cstring>

namespace qx {

using namespace vst;

namespace {

struct Speaker {
    const char* label;
    const char* shortLabel;
    float azimuthDegrees;
    VstInt32 type;
};

// ITU-R BS.775 positions; the LFE has none of its own.
constexpr Speaker kInputSpeakers[kSurroundNumInputs] = {
    {"Left", "L", -30.0f, 1},
    {"Right", "R", 30.0f, 2},
    {"Center", "C", 0.0f, 3},
    {"LFE", "LFE", 0.0f, 4},
    {"Left surround", "Ls", -110.0f, 5},
    {"Right surround", "Rs", 110.0f, 6},
};
constexpr Speaker kOutputSpeakers[kSurroundNumOutputs] = {
    {"Left ear", "L", -30.0f, 1},
    {"Right ear", "R", 30.0f, 2},
};

template <int N>
void describe(speaker::Arrangement& a, VstInt32 type, const Speaker (&speakers)[N]) {
    a.type = type;
    a.numChannels = N;
    for (int i = 0; i < N; ++i) {
        speaker::Properties& p = a.speakers[i];
        p.azimuth = speakers[i].azimuthDegrees * 3.14159265f / 180.0f;
        p.radius = 2.0f;
        copyString(p.name, speakers[i].shortLabel, speaker::kMaxNameLength);
        p.type = speakers[i].type;
    }
}

bool fillPin(int index, const Speaker* speakers, int count, VstInt32 arrangement, void* ptr) {
    if (!ptr || index < 0 || index >= count) return false;
    auto* pin = static_cast<speaker::PinProperties*>(ptr);
    std::memset(pin, 0, sizeof *pin);
    copyString(pin->label, speakers[index].label, sizeof pin->label);
    copyString(pin->shortLabel, speakers[index].shortLabel, sizeof pin->shortLabel);
    pin->flags = 1 | 4;  // active, arrangement type given
    // The first channel of a left/right pair marks the pair.
    if (speakers[index].type == 1) pin->flags |= 2;
    pin->arrangementType = arrangement;
    return true;
}

}  // namespace

SurroundEffect::SurroundEffect(audioMasterCallback host)
    : RendererEffect(host, kHeliopeSurroundDescription) {
    describe(inputArrangement_, speaker::kArrangement51, kInputSpeakers);
    describe(outputArrangement_, speaker::kArrangementStereo, kOutputSpeakers);
}

VstIntPtr SurroundEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                     float opt) {
    switch (opcode) {
        case effSetSpeakerArrangement: {
            // The channel counts are fixed; a host offering the same counts in another
            // arrangement keeps the input order L, R, C, LFE, Ls, Rs.
            const auto* in = reinterpret_cast<const speaker::Arrangement*>(value);
            const auto* out = static_cast<const speaker::Arrangement*>(ptr);
            return in && out && in->numChannels == kSurroundNumInputs &&
                           out->numChannels == kSurroundNumOutputs
                       ? 1
                       : 0;
        }
        case effGetSpeakerArrangement: {
            auto** in = reinterpret_cast<speaker::Arrangement**>(value);
            auto** out = static_cast<speaker::Arrangement**>(ptr);
            if (!in || !out) return 0;
            *in = &inputArrangement_;
            *out = &outputArrangement_;
            return 1;
        }
        case effGetInputProperties:
            return fillPin(index, kInputSpeakers, kSurroundNumInputs, speaker::kArrangement51, ptr)
                       ? 1
                       : 0;
        case effGetOutputProperties:
            return fillPin(index, kOutputSpeakers, kSurroundNumOutputs, speaker::kArrangementStereo,
                           ptr)
                       ? 1
                       : 0;
        default:
            return RendererEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

}  // namespace qx
