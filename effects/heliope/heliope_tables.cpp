// Parameters, display texts, factory programs and identity of the stereo headphone
// renderer, and the level scale shared with its editor.
#include "effects/heliope/heliope_tables.h"

#include <string_view>

#include "effects/heliope/heliope_program_rows.h"

namespace qx {

constexpr ParamName kHeliopeParamNames[kHeliopeNumParams] = {
    "Output trim    ", "Bypass         ", "Cue strength   ", "Head size      ", "Ear size       ",
    "Distance       ", "Reverb time    ", "Room size      ", "Channel mode   ", "Cabinet select ",
    "Generate ITDs  ", "Next door      ", "Enable room    ",
};

constexpr ParamLabel kHeliopeParamLabels[kHeliopeNumParams] = {
    "  ", "  ", "% ", "% ", "% ", "m ", "s ", "% ", "  ", "  ", "  ", "  ", "  ",
};

// The two menu parameters show their index (0..1 range, index stored as the value).
constexpr ParameterDisplayRange kHeliopeDisplayRanges[kHeliopeNumParams] = {
    {0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 100.0f}, {0.0f, 100.0f}, {0.0f, 100.0f},
    {1.0f, 4.0f}, {0.2f, 0.6f}, {0.0f, 100.0f}, {0.0f, 1.0f},   {0.0f, 1.0f},
    {0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 1.0f},
};

// The two menu parameters hold the entry index itself; the framework keeps host values
// within 0 .. n - 1 for them instead of 0..1.
constexpr int kHeliopeMenuEntries[kHeliopeNumParams] = {
    0, 0, 0, 0, 0, 0, 0, 0, kHeliopeChannelModeCount, kHeliopeCabinetCount, 0, 0, 0,
};

const HintKind kHeliopeHintKinds[kHeliopeNumParams] = {
    HintKind::Decibels,      HintKind::OnOff,         HintKind::ValueWithUnit,
    HintKind::ValueWithUnit, HintKind::ValueWithUnit, HintKind::ValueWithUnit,
    HintKind::ValueWithUnit, HintKind::ValueWithUnit, HintKind::Integer,
    HintKind::Integer,       HintKind::OnOff,         HintKind::OnOff,
    HintKind::OnOff,
};

const char* const kHeliopeCanDo[] = {
    "plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in2out", "2in2out", nullptr,
};

namespace {

constexpr heliope_rows::Programs kPrograms = heliope_rows::stereoPrograms();

// Hosts show these fields as they are, so the padding is part of the text.
template <int N, int Size>
constexpr bool allPaddedTo(const char (&texts)[N][Size], std::size_t length) {
    for (int i = 0; i < N; ++i)
        if (std::string_view(texts[i]).size() != length) return false;
    return true;
}
static_assert(sizeof(kHeliopeParamNames) / sizeof(kHeliopeParamNames[0]) == kHeliopeNumParams);
static_assert(sizeof(kHeliopeParamLabels) / sizeof(kHeliopeParamLabels[0]) == kHeliopeNumParams);
static_assert(allPaddedTo(kHeliopeParamNames, kParamNameSize - 1));
static_assert(allPaddedTo(kHeliopeParamLabels, 2));
static_assert(allPaddedTo(kPrograms.names, kProgramNameSize - 1));
static_assert(sizeof(kHeliopeDisplayRanges) / sizeof(kHeliopeDisplayRanges[0]) ==
              kHeliopeNumParams);
static_assert(sizeof(kPrograms.values) / sizeof(float) == kHeliopeNumPrograms * kHeliopeNumParams);

constexpr float kScaleKnee = 1.0f / 7.0f;  // -36 dB

}  // namespace

const EffectDescription kHeliopeDescription = {
    .identity =
        heliopeIdentity("QX Heliope Pro", vst::fourCC('Q', 'X', 'H', 'L'), kHeliopeNumInputs),
    .parameters = {kHeliopeNumParams, kHeliopeParamNames, kHeliopeParamLabels,
                   kHeliopeDisplayRanges, kHeliopeMenuEntries},
    .factory = {kHeliopeNumPrograms, kHeliopeNumParams, kPrograms.values, kPrograms.names},
    .numCommands = kHeliopeNumCommands,
};

float heliopeScaleDb(float position) {
    return position < kScaleKnee ? 252.0f * position - 72.0f
                                 : 42.0f * (position - kScaleKnee) - 36.0f;
}

float heliopeScaleGain(float position) {
    return static_cast<float>(std::pow(10.0, heliopeScaleDb(position) / 20.0));
}

float heliopeScalePosition(float levelLinear) {
    if (levelLinear >= 0.99f) return 1.0f;
    const float db = 20.0f * std::log10(levelLinear + 1e-8f);
    if (db >= -36.0f) return (db + 36.0f) / 42.0f + kScaleKnee;
    if (db >= -72.0f) return (db + 72.0f) / 252.0f;
    return 0.0f;  // also for a level that is not a number
}

}  // namespace qx
