// Identity, parameter and program tables of the stereo spreader, and the mappings and texts
// shared by its effect and editor.
#include "effects/spreadix/spreadix_tables.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace qx {

namespace {

constexpr ParamName kNames[kSpreadixNumParams] = {
    "PanL           ", "PanR           ", "Level          ", "Dipole mode    ",
    "Bypass         ", "Side Level     ", "Synth side mix ", "Synth character",
};

// The older generation's labels are 16 bytes, blank padded like the names.
constexpr ParamLabel kLabels[kSpreadixNumParams] = {
    "%              ", "%              ", "dB             ", "on/off         ",
    "on/off         ", "%              ", "%              ", "%              ",
};

constexpr ParameterDisplayRange kRanges[kSpreadixNumParams] = {
    {-200.0f, 200.0f}, {-200.0f, 200.0f}, {-60.0f, 20.0f}, {0.0f, 1.0f},
    {0.0f, 1.0f},      {0.0f, 400.0f},    {0.0f, 100.0f},  {0.0f, 100.0f},
};

// Columns: PanL, PanR, Level, Dipole mode, Bypass, Side Level, Synth side mix, Synth
// character. Level 0.7 is -4 dB; Side Level 0.25 keeps the width.
// clang-format off
#define QX_SPREADIX_DEFAULT_ROW 0.25f, 0.75f, 0.7f, 0, 0, 0.25f, 0, 0.5f
constexpr float kFactoryValues[kSpreadixNumPrograms * kSpreadixNumParams] = {
    QX_SPREADIX_DEFAULT_ROW,
    0,     1,     0.7f, 0, 0, 0.25f, 0,    0.5f,  // Extra pan (ITU)
    0,     1,     0.7f, 1, 0, 0.25f, 0,    0.5f,  // Extra pan (dipole)
    0.25f, 0.75f, 0.7f, 0, 0, 0.5f,  0,    0.5f,  // Side gain
    0.25f, 0.75f, 0.7f, 0, 0, 0.5f,  0.5f, 0.5f,  // Decorrelate
    0,     0,     0.7f, 0, 0, 0,     0,    0.5f,  // All left (ITU)
    0,     0,     0.7f, 1, 0, 0,     0,    0.5f,  // All left (dipole)
    1,     1,     0.7f, 0, 0, 0,     0,    0.5f,  // All right (ITU)
    1,     1,     0.7f, 1, 0, 0,     0,    0.5f,  // All right (dipole)
    QX_SPREADIX_DEFAULT_ROW, QX_SPREADIX_DEFAULT_ROW, QX_SPREADIX_DEFAULT_ROW,
    QX_SPREADIX_DEFAULT_ROW, QX_SPREADIX_DEFAULT_ROW, QX_SPREADIX_DEFAULT_ROW,
    QX_SPREADIX_DEFAULT_ROW, QX_SPREADIX_DEFAULT_ROW, QX_SPREADIX_DEFAULT_ROW,
    QX_SPREADIX_DEFAULT_ROW,
};
// clang-format on
#undef QX_SPREADIX_DEFAULT_ROW

constexpr ProgramName kProgramNames[kSpreadixNumPrograms] = {
    "Default                ", "Extra pan (ITU)        ", "Extra pan (dipole)     ",
    "Side gain              ", "Decorrelate            ", "All left (ITU)         ",
    "All left (dipole)      ", "All right (ITU)        ", "All right (dipole)     ",
    "Default                ", "Default                ", "Default                ",
    "Default                ", "Default                ", "Default                ",
    "Default                ", "Default                ", "Default                ",
    "Default                ",
};

// Hosts show these fields as they are, so the padding is part of the text.
template <int N, int Size>
constexpr bool paddedTo(const char (&texts)[N][Size], std::size_t length) {
    return std::all_of(texts, texts + N,
                       [length](const char* t) { return std::string_view(t).size() == length; });
}
static_assert(paddedTo(kNames, kParamNameSize - 1));
static_assert(paddedTo(kLabels, kParamLabelSize - 1));
static_assert(paddedTo(kProgramNames, kProgramNameSize - 1));
static_assert(sizeof(kRanges) / sizeof(kRanges[0]) == kSpreadixNumParams);
static_assert(sizeof(kFactoryValues) / sizeof(float) == kSpreadixNumPrograms * kSpreadixNumParams);

const char* const kCanDo[] = {"plugAsChannelInsert", "plugAsSend", "1in2out", "2in2out", nullptr};

// A stored value held to the range its mapping was designed for; NaN gives 0.
float unit(float v) {
    return v > 0.0f ? std::min(v, 1.0f) : 0.0f;
}

}  // namespace

const EffectDescription kSpreadixDescription = {
    {
        Generation::Older,
        "Spreadix",
        "QX VST PLUGIN",
        "QX",
        vst::fourCC('Q', 'X', 'S', 'X'),
        105,
        2,
        2,
        0,
        vst::effFlagsCanMono | vst::effFlagsCanReplacing | vst::effFlagsNoSoundInStop |
            vst::effFlagsHasVu | vst::effFlagsHasClip,
        kCanDo,
        -1,
    },
    {kSpreadixNumParams, kNames, kLabels, kRanges},
    {kSpreadixNumPrograms, kSpreadixNumParams, kFactoryValues, kProgramNames},
};

float spreadixPan(float v) {
    return unit(v);
}

float spreadixLevelDb(float v) {
    return 80.0f * unit(v) - 60.0f;
}

bool spreadixSwitch(float v) {
    return v > 0.5f;
}

float spreadixSideLevel(float v) {
    return 4.0f * unit(v);
}

float spreadixSynthMix(float v) {
    return unit(v);
}

float spreadixCharacter(float v) {
    return unit(v);
}

void spreadixParameterText(int index, float v, char* text) {
    constexpr int kSize = 32;
    // Held first, like the mappings, so every integer conversion below is defined.
    const float x = unit(v);
    switch (index) {
        case kSpreadixPanLeft:
        case kSpreadixPanRight:
            if (x < 0.495f)
                std::snprintf(text, kSize, "L%d", static_cast<int>(200.0f - 400.0f * x));
            else if (x <= 0.505f)
                std::snprintf(text, kSize, "C");
            else
                std::snprintf(text, kSize, "R%d", static_cast<int>(400.0f * x - 200.0f));
            break;
        case kSpreadixLevel:
            std::snprintf(text, kSize, "%ddB", static_cast<int>(spreadixLevelDb(x)));
            break;
        case kSpreadixSideLevel:
            std::snprintf(text, kSize, "%d%%", static_cast<int>(400.0f * x));
            break;
        case kSpreadixSynthMix:
        case kSpreadixSynthCharacter:
            std::snprintf(text, kSize, "%d%%", static_cast<int>(100.0f * x));
            break;
        default:
            text[0] = 0;
            break;
    }
}

}  // namespace qx
