// Identity, parameter and program tables of the analyzer, and the mappings and texts
// shared by its effect and editor.
#include "effects/spectrel/spectrel_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace qx {

namespace {

constexpr ParamName kNames[kSpectrelNumParams] = {
    "Bypass         ", "Output scale   ", "Slow spectrogrm", "ISP            ",
    "AES17          ", "Sum spectrogram", "Spectrum on/off",
};

constexpr ParamLabel kLabels[kSpectrelNumParams] = {"  ", "  ", "  ", "  ", "  ", "  ", "  "};

constexpr ParameterDisplayRange kRanges[kSpectrelNumParams] = {
    {0.0f, 1.0f}, {0.0f, 4.0f}, {0.0f, 1.0f}, {0.0f, 1.0f},
    {0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 1.0f},
};

// Columns: bypass, output scale, slow spectrum, ISP, AES17, sum spectrum, spectrum on.
// clang-format off
#define QX_SPECTREL_DEFAULT_ROW 0, 0, 0, 0, 0, 0, 1
constexpr float kFactoryValues[kSpectrelNumPrograms * kSpectrelNumParams] = {
    QX_SPECTREL_DEFAULT_ROW,
    0, 0.25f, 0, 1, 0, 0, 1,  // K12
    0, 0.5f,  0, 1, 0, 0, 1,  // K14
    0, 0.75f, 0, 1, 0, 0, 1,  // K20
    QX_SPECTREL_DEFAULT_ROW, QX_SPECTREL_DEFAULT_ROW, QX_SPECTREL_DEFAULT_ROW,
    QX_SPECTREL_DEFAULT_ROW,
};
// clang-format on
#undef QX_SPECTREL_DEFAULT_ROW

constexpr ProgramName kProgramNames[kSpectrelNumPrograms] = {
    "Default                ", "Broadcast master       ", "CD master              ",
    "DVD / movie master     ", "Default                ", "Default                ",
    "Default                ", "Default                ",
};

// Hosts show these fields as they are, so the padding is part of the text.
template <int N, int Size>
constexpr bool paddedTo(const char (&texts)[N][Size], std::size_t length) {
    return std::all_of(texts, texts + N,
                       [length](const char* t) { return std::string_view(t).size() == length; });
}
static_assert(paddedTo(kNames, kParamNameSize - 1));
static_assert(paddedTo(kLabels, 2));
static_assert(paddedTo(kProgramNames, kProgramNameSize - 1));
static_assert(sizeof(kRanges) / sizeof(kRanges[0]) == kSpectrelNumParams);
static_assert(sizeof(kFactoryValues) / sizeof(float) == kSpectrelNumPrograms * kSpectrelNumParams);

const char* const kCanDo[] = {"plugAsChannelInsert",
                              "plugAsSend",
                              "mixDryWet",
                              "1in1out",
                              "1in2out",
                              "2in1out",
                              "2in2out",
                              "bypass",
                              nullptr};

// Meter and spectrum axes: -72..-36 dB fill the lowest seventh, -36..0 dB the rest.
constexpr float kUpperSlope = 0.023699295f;  // (1 - 1/7) / 36
constexpr float kLowerSlope = 0.003968254f;  // (1/7) / 36
constexpr float kKnee = 0.14285715f;         // 1/7

// Position of a level in dB on those segments, or `below` under -72 dB.
float segmentPosition(float db, float below) {
    if (db >= -36.0f) return (db + 36.0f) * kUpperSlope + kKnee;
    if (db >= -72.0f) return (db + 72.0f) * kLowerSlope;
    return below;
}

}  // namespace

const EffectDescription kSpectrelDescription = {
    {
        Generation::Current,
        "Spectrel Pro",
        "Spectrel Pro",
        "QX",
        vst::fourCC('S', 'P', 'T', 'L'),
        105,
        2,
        2,
        0,
        vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing | vst::effFlagsNoSoundInStop,
        kCanDo,
        kSpectrelBypass,
    },
    {kSpectrelNumParams, kNames, kLabels, kRanges},
    {kSpectrelNumPrograms, kSpectrelNumParams, kFactoryValues, kProgramNames},
    kSpectrelNumCommands,
};

const float kSpectrelGridHz[kSpectrelGridLines] = {100.0f,  200.0f,  500.0f,   1000.0f,  2000.0f,
                                                   4000.0f, 8000.0f, 16000.0f, 32000.0f, 64000.0f};

bool spectrelSwitch(float v) {
    return v > 0.5f;
}

SpectrelOutputScale spectrelOutputScale(float v) {
    if (!(v >= 0.125f)) return SpectrelOutputScale::Peak;  // NaN included
    if (v < 0.325f) return SpectrelOutputScale::K12;
    if (v < 0.625f) return SpectrelOutputScale::K14;
    return SpectrelOutputScale::K20;
}

float spectrelOutputScaleValue(SpectrelOutputScale scale) {
    return 0.25f * static_cast<float>(scale);
}

float spectrelScaleOffsetDb(SpectrelOutputScale scale) {
    constexpr float kOffsetDb[kSpectrelNumOutputScales] = {0.0f, 12.0f, 14.0f, 20.0f};
    return kOffsetDb[static_cast<int>(scale)];
}

float spectrelSpectrumGain(SpectrelOutputScale scale) {
    constexpr float kGain[kSpectrelNumOutputScales] = {1.0f, 15.8489f, 25.1189f, 100.0f};
    return kGain[static_cast<int>(scale)];
}

float spectrelLevelPosition(float amplitude) {
    if (amplitude >= 0.99f) return 1.0f;
    const float db = 20.0f * std::log10(amplitude + 1e-8f);
    return segmentPosition(db, db);
}

float spectrelPowerPosition(float power) {
    if (power >= 0.99f) return 1.0f;
    return segmentPosition(10.0f * std::log10(power + 1e-16f), 0.0f);
}

float spectrelFrequencyPosition(float fn) {
    if (fn >= 0.002f) return (std::log10(fn) + 2.699f) * 0.36309f + 0.02f;
    return fn * 10.0f;
}

float spectrelPositionFrequency(float p) {
    if (p >= 0.02f) return std::pow(10.0f, (p - 0.02f) * 2.754138f - 2.699f);
    return p * 0.1f;
}

SpectrelReadoutPoint spectrelReadoutPoint(float position, float sampleRateHz) {
    float fn = spectrelPositionFrequency(position);
    if (!(fn > 0.0f)) fn = 0.0f;
    // Held before the conversion so that no position makes it undefined.
    const float bin = std::min(fn * static_cast<float>(kSpectrelSpectrumBins),
                               static_cast<float>(kSpectrelSpectrumBins - 1));
    return {static_cast<int>(bin), fn * sampleRateHz * 0.5f};
}

void spectrelPeakHoldText(float holdDbLeft, float holdDbRight, SpectrelOutputScale scale,
                          char* text, int size) {
    const float k = spectrelScaleOffsetDb(scale);
    std::snprintf(text, static_cast<std::size_t>(size), "%2.1f dB %2.1f",
                  static_cast<double>(holdDbLeft + k), static_cast<double>(holdDbRight + k));
}

void spectrelReadoutText(float frequencyHz, bool sum, float powerLeft, float powerRight, char* text,
                         int size) {
    const auto n = static_cast<std::size_t>(size);
    const double f = frequencyHz;
    if (sum) {
        std::snprintf(text, n, "Frequency:%3.0fHz; Spectrum level:%2.1fdB", f,
                      10.0 * std::log10(static_cast<double>(powerLeft + powerRight)));
    } else {
        std::snprintf(text, n,
                      "Frequency:%3.0fHz; Spectrum level L:%2.1fdB; Spectrum level R:%2.1fdB", f,
                      10.0 * std::log10(static_cast<double>(powerLeft)),
                      10.0 * std::log10(static_cast<double>(powerRight)));
    }
}

}  // namespace qx
