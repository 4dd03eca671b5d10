// Parameters, labels, display ranges, factory programs and identity of the mastering
// limiter, and the value mappings shared with the editor.
#include "effects/palisor/limiter_tables.h"

#include <cmath>

namespace qx {

namespace {

constexpr ParamName kNames[kLimiterNumParams] = {
    "Output trim    ", "Output scale   ", "Bypass         ", "Input drive    ", "Side gain      ",
    "XCorr time     ", "XCorr threshold", "Env hysteresis ", "Env release    ", "Stereo link    ",
    "Softclip thresh", "Softclip amount", "RMS attack     ", "RMS release    ", "RMS threshold  ",
    "InterSamplePeak", "Dithering      ",
};

constexpr ParamLabel kLabels[kLimiterNumParams] = {
    "dB", "  ", "  ", "dB", "% ", "ms", "--", "ms", "ms",
    "% ", "dB", "% ", "ms", "ms", "dB", "  ", "Bt",
};

constexpr ParameterDisplayRange kRanges[kLimiterNumParams] = {
    {-72.0f, 0.0f},  {0.0f, 4.0f},   {0.0f, 1.0f},   {-52.0f, 20.0f}, {0.0f, 200.0f},
    {0.0f, 500.0f},  {-1.0f, 1.0f},  {0.0f, 200.0f}, {0.0f, 200.0f},  {0.0f, 100.0f},
    {-20.0f, 20.0f}, {0.0f, 100.0f}, {0.0f, 200.0f}, {0.0f, 200.0f},  {-20.0f, 20.0f},
    {0.0f, 1.0f},    {0.0f, 7.0f},
};

// Columns: trim, scale, bypass, drive, side, xcorr time, xcorr threshold, env hysteresis,
// env release, link, softclip threshold, softclip amount, rms attack, rms release,
// rms threshold, inter-sample peak, dithering. Rows 1 to 7 are the named programs.
// clang-format off
#define QX_LIMITER_DEFAULT_ROW \
    1, 0,     0, 0.52f, 0.5f, 1, 0,    0.5f, 0.4f, 0.5f, 0.5f, 0,    0.5f, 0.5f, 0.7f, 0, 0
constexpr float kFactoryValues[kLimiterNumPrograms * kLimiterNumParams] = {
    QX_LIMITER_DEFAULT_ROW,
    1, 0,     0, 0.66f, 0.5f, 1, 0,    0.5f, 0.4f, 0.5f, 0.5f, 0,    0.5f, 0.5f, 0.4f, 0, 0,
    1, 0,     0, 0.66f, 0.5f, 1, 0,    0.5f, 0.4f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.4f, 0, 0,
    1, 0,     0, 0.66f, 0.5f, 1, 0,    0.5f, 0.4f, 0.5f, 0.5f, 1,    0.5f, 0.5f, 0.4f, 0, 0,
    1, 0,     0, 0.52f, 0.7f, 1, 0.5f, 0.5f, 0.4f, 0.5f, 0.5f, 0,    0.5f, 0.5f, 0.4f, 0, 0,
    1, 0,     0, 0.66f, 0.5f, 1, 0,    0.5f, 0.4f, 0.5f, 0.5f, 0.2f, 0.5f, 0.5f, 0.4f, 0, 0,
    1, 0,     0, 0.66f, 0.5f, 1, 0,    0.5f, 0,    0.5f, 0.5f, 0.2f, 0.5f, 0.5f, 0.4f, 0, 0,
    1, 0.25f, 0, 0.66f, 0.7f, 1, 0.5f, 0.5f, 0.4f, 0.5f, 0.5f, 0.1f, 0.5f, 0.5f, 0.3f, 0, 0,
    QX_LIMITER_DEFAULT_ROW, QX_LIMITER_DEFAULT_ROW, QX_LIMITER_DEFAULT_ROW, QX_LIMITER_DEFAULT_ROW,
    QX_LIMITER_DEFAULT_ROW, QX_LIMITER_DEFAULT_ROW, QX_LIMITER_DEFAULT_ROW, QX_LIMITER_DEFAULT_ROW,
    QX_LIMITER_DEFAULT_ROW, QX_LIMITER_DEFAULT_ROW,
};
// clang-format on
#undef QX_LIMITER_DEFAULT_ROW

constexpr ProgramName kProgramNames[kLimiterNumPrograms] = {
    "Default                ", "+6dB (limiter only)    ", "+6dB (limiter+softclip)",
    "+6dB (softclip only)   ", "Widener                ", "Add warmth1            ",
    "Add warmth2            ", "Mix first aid          ", "Default                ",
    "Default                ", "Default                ", "Default                ",
    "Default                ", "Default                ", "Default                ",
    "Default                ", "Default                ", "Default                ",
};

// Dithering stores its menu index.
constexpr int kMenuEntries[kLimiterNumParams] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kLimiterDitheringEntries,
};

}  // namespace

constexpr EffectDescription kLimiterDescription = {
    .identity =
        {
            .generation = Generation::Current,
            .effectName = "QX Palisor Pro",
            .productString = "QX Palisor Pro",
            .vendorString = "QX",
            .uniqueId = vst::fourCC('P', 'L', 'S', 'R'),
            .vendorVersion = 103,
            .numInputs = 2,
            .numOutputs = 2,
            .initialDelay = kLimiterLatency,
            .flags = vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing |
                     vst::effFlagsNoSoundInStop,
            .canDoYes = kCanDoEveryLayoutAndBypass,
            .bypassParameter = kLimiterBypass,
        },
    .parameters = {kLimiterNumParams, kNames, kLabels, kRanges, kMenuEntries},
    .factory = {kLimiterNumPrograms, kLimiterNumParams, kFactoryValues, kProgramNames},
    .numCommands = kLimiterNumCommands,
};
static_assert(checkTables(kLimiterDescription).ok());

float limiterGainCurve(float v) {
    constexpr float kKnee = 1.0f / 7.0f;
    const float db = v < kKnee ? 252.0f * v - 72.0f : 42.0f * (v - kKnee) - 36.0f;
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

float limiterMeterPosition(float linear) {
    if (linear >= 0.99f) return 1.0f;
    const float db = static_cast<float>(20.0 * std::log10(static_cast<double>(linear) + 1e-30));
    if (db >= -36.0f) return (db + 36.0f) / 42.0f + 1.0f / 7.0f;
    if (db >= -72.0f) return (db + 72.0f) / 252.0f;
    return db;
}

int limiterWordLength(float menuIndex) {
    if (menuIndex > 5.5f) return 8;
    if (menuIndex > 4.5f) return 12;
    if (menuIndex > 3.5f) return 16;
    if (menuIndex > 2.5f) return 20;
    if (menuIndex > 1.5f) return 24;
    if (menuIndex > 0.5f) return 32;
    return 64;
}

LimiterOutputScale limiterOutputScale(float v) {
    if (v < 0.125f) return LimiterOutputScale::Peak;
    if (v < 0.325f) return LimiterOutputScale::K12;
    if (v < 0.625f) return LimiterOutputScale::K14;
    return LimiterOutputScale::K20;
}

float limiterOutputScaleOffsetDb(LimiterOutputScale scale) {
    switch (scale) {
        case LimiterOutputScale::K12:
            return 12.0f;
        case LimiterOutputScale::K14:
            return 14.0f;
        case LimiterOutputScale::K20:
            return 20.0f;
        default:
            return 0.0f;
    }
}

}  // namespace qx
