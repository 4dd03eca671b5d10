#include "effects/eraslip/lofi_tables.h"

#include <algorithm>
#include <cstdio>

namespace qx {

namespace {

constexpr ParamName kNames[eraslip::kNumParams] = {
    "Pan            ", "Out            ", "Rate           ", "Bits           ", "High cut       ",
    "Crosstalk      ", "AD             ", "DA             ", "Bypass         ",
};

constexpr ParamLabel kLabels[eraslip::kNumParams] = {
    "%              ", "dB             ", "Hz             ", "Bits           ", "Hz             ",
    "%              ", "%              ", "%              ", "-              ",
};

constexpr ParameterDisplayRange kRanges[eraslip::kNumParams] = {
    {-100.0f, 100.0f}, {-60.0f, 20.0f}, {2000.0f, 44100.0f}, {1.0f, 16.0f}, {0.0f, 1000.0f},
    {0.0f, 100.0f},    {0.0f, 100.0f},  {0.0f, 100.0f},      {0.0f, 1.0f},
};

// Pan, Out, Rate, Bits, High cut, Crosstalk, AD, DA, Bypass.
#define QX_LOFI_DEFAULT_ROW 0.5f, 0.7f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f
constexpr float kFactoryValues[eraslip::kNumPrograms * eraslip::kNumParams] = {
    QX_LOFI_DEFAULT_ROW,
    0.5f,
    0.7f,
    0.71259f,
    1.0f,
    0.03f,
    0.5f,
    0.1f,
    0.1f,
    0.0f,  // Akai S01
    0.5f,
    0.7f,
    0.09501f,
    0.25f,
    0.1f,
    1.0f,
    0.5f,
    1.0f,
    0.0f,  // C=64
    0.5f,
    0.7f,
    0.09501f,
    0.5f,
    0.7f,
    1.0f,
    0.5f,
    0.0f,
    0.0f,  // Telephone
    0.5f,
    0.7f,
    0.21378f,
    1.0f,
    0.0f,
    0.0f,
    0.0f,
    1.0f,
    0.0f,  // Synthetic highs
    0.5f,
    0.7f,
    0.47624704f,  // 22050 Hz exactly: each sample held twice at 44.1 kHz
    0.5f,
    0.1f,
    0.5f,
    0.5f,
    1.0f,
    0.0f,  // Amiga
    QX_LOFI_DEFAULT_ROW,
    QX_LOFI_DEFAULT_ROW,
    QX_LOFI_DEFAULT_ROW,
    QX_LOFI_DEFAULT_ROW,
    QX_LOFI_DEFAULT_ROW,
};
#undef QX_LOFI_DEFAULT_ROW

constexpr ProgramName kProgramNames[eraslip::kNumPrograms] = {
    "Default                ", "Akai S01               ", "C=64                   ",
    "Telephone              ", "Synthetic highs        ", "Amiga                  ",
    "Default                ", "Default                ", "Default                ",
    "Default                ", "Default                ",
};

}  // namespace

constexpr EffectDescription kLofiDescription = {
    .identity =
        {
            .generation = Generation::Older,
            .effectName = "Eraslip",
            .productString = "QX VST PLUGIN",
            .vendorString = "QX",
            .uniqueId = vst::fourCC('Q', 'X', 'E', 'S'),
            .vendorVersion = 102,
            .numInputs = 2,
            .numOutputs = 2,
            .initialDelay = 0,
            .flags = vst::effFlagsCanMono | vst::effFlagsCanReplacing | vst::effFlagsNoSoundInStop |
                     vst::effFlagsHasVu | vst::effFlagsHasClip,
            .canDoYes = kCanDoEveryLayout,
        },
    .parameters = {eraslip::kNumParams, kNames, kLabels, kRanges},
    .factory = {eraslip::kNumPrograms, eraslip::kNumParams, kFactoryValues, kProgramNames},
};
static_assert(checkTables(kLofiDescription).ok());

float lofiOutDb(float x) {
    return 80.0f * x - 60.0f;
}

float lofiRateHz(float x) {
    return 2000.0f + 42100.0f * x;
}

int lofiBits(float x) {
    // Clamped before the conversion so that no host value makes it undefined.
    return static_cast<int>(std::clamp(1.0f + 15.0f * x, 1.0f, 24.0f));
}

float lofiHighCutHz(float x) {
    return 1000.0f * x;
}

void lofiParameterText(int index, float x, char* text) {
    constexpr int kSize = 32;
    // Values are limited first so every integer conversion below is defined.
    x = std::clamp(x, -1.0f, 2.0f);
    switch (index) {
        case eraslip::kPan:
            if (x < 0.495f)
                std::snprintf(text, kSize, "L%d", static_cast<int>(100.0f - 200.0f * x));
            else if (x <= 0.505f)
                std::snprintf(text, kSize, "C");
            else
                std::snprintf(text, kSize, "R%d", static_cast<int>(200.0f * x - 100.0f));
            break;
        case eraslip::kOut:
            std::snprintf(text, kSize, "%ddB", static_cast<int>(lofiOutDb(x)));
            break;
        case eraslip::kRate:
            std::snprintf(text, kSize, "%dHz", static_cast<int>(lofiRateHz(x)));
            break;
        case eraslip::kBits:
            std::snprintf(text, kSize, "%dbits", static_cast<int>(1.0f + 15.0f * x));
            break;
        case eraslip::kHighCut:
            std::snprintf(text, kSize, "%dHz", static_cast<int>(lofiHighCutHz(x)));
            break;
        case eraslip::kCrosstalk:
        case eraslip::kAd:
        case eraslip::kDa:
            std::snprintf(text, kSize, "%d%%", static_cast<int>(100.0f * x));
            break;
        default:
            text[0] = 0;
            break;
    }
}

}  // namespace qx
