// Parameters, labels, display ranges, factory programs and identity of the triggered
// spectral effect, and the mappings and texts shared by the effect and its editor.
#include "effects/trigwave/trigwave_tables.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "effects/trigwave/trigwave_engine.h"

namespace qx {

namespace {

constexpr ParamName kNames[kTrigwaveNumParams] = {
    "Output trim    ", "Bypass         ", "Dry wet mix    ", "Threshold      ", "Env attack     ",
    "Env decay      ", "Env sustain    ", "Env sus level  ", "Env release    ", "Randomize      ",
    "Filter freq    ", "F env attack   ", "F env decay    ", "F env sustain  ", "F env sus level",
    "F env release  ", "F envelope     ", "Stereo width   ", "Filter resnance", "Analog         ",
    "Mono           ", "Reverb level   ", "Reverb time    ", "Reverb roomsize", "Reverb         ",
};

// A label starting with a blank marks a switch.
constexpr ParamLabel kLabels[kTrigwaveNumParams] = {
    "dB", "  ", "% ", "- ", "s ", "s ", "s ", "dB", "s ", "% ", "Hz", "s ", "s ",
    "s ", "% ", "s ", "% ", "% ", "% ", "  ", "  ", "% ", "s ", "% ", "  ",
};

constexpr ParameterDisplayRange kRanges[kTrigwaveNumParams] = {
    {-72.0f, 0.0f},   {0.0f, 1.0f},      {0.0f, 100.0f},  {1.1f, 10.0f},  {0.0f, 1.0f},
    {0.0f, 1.0f},     {0.0f, 2.0f},      {-20.0f, -1.0f}, {0.0f, 2.0f},   {0.0f, 100.0f},
    {1.0f, 20000.0f}, {0.0f, 1.0f},      {0.0f, 1.0f},    {0.0f, 2.0f},   {0.0f, 100.0f},
    {0.0f, 2.0f},     {-100.0f, 100.0f}, {0.0f, 100.0f},  {0.0f, 100.0f}, {0.0f, 1.0f},
    {0.0f, 1.0f},     {0.0f, 100.0f},    {0.1f, 5.0f},    {0.0f, 100.0f}, {0.0f, 1.0f},
};

// Columns: trim, bypass, mix, threshold, env attack, decay, sustain, sustain level,
// release, randomize, filter freq, f env attack, decay, sustain, sustain level, release,
// f envelope, width, resonance, analog, mono, reverb level, time, room size, reverb.
// clang-format off
#define QX_TRIGWAVE_DEFAULT_ROW \
    1, 0, 0.5f, 0.3f, 0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 1,    0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 0.5f, 0.3f, 1, 0, 0.3f, 0.3f, 0.5f, 1
constexpr float kFactoryValues[kTrigwaveNumPrograms * kTrigwaveNumParams] = {
    QX_TRIGWAVE_DEFAULT_ROW,
    1, 0, 1,    0.3f, 0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 0.1f, 0,    0.1f, 0.1f, 0.5f, 0.05f, 0.8f, 0.5f, 0.3f, 1, 0, 0.3f, 0.3f, 0.5f, 1,
    1, 0, 1,    0.3f, 0,    0.1f, 0.1f, 0.8f, 0.9f,  0.5f, 1,    0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 0.5f, 0.3f, 1, 0, 0.3f, 0.3f, 0.5f, 1,
    1, 0, 1,    0.3f, 0,    0.1f, 0.1f, 0.8f, 0.9f,  0.5f, 1,    0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 0.5f, 0.3f, 1, 1, 0.3f, 0.3f, 0.5f, 1,
    1, 0, 1,    0.3f, 0,    0.1f, 0.1f, 0.8f, 0.9f,  0.5f, 1,    0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 0,    0.3f, 1, 1, 0,    0.3f, 0.5f, 1,
    1, 0, 0.8f, 0.3f, 0.3f, 0,    0,    0,    0,     0.5f, 1,    0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 0.5f, 0.3f, 1, 0, 0.3f, 0.3f, 0.5f, 1,
    1, 0, 0.8f, 0.3f, 0.3f, 0,    0,    0,    0,     0.9f, 0,    0.3f, 0.1f, 0.1f, 0.5f, 0.05f, 0.8f, 0.5f, 0.7f, 1, 0, 0.3f, 0.3f, 0.5f, 1,
    1, 0, 0.8f, 0.3f, 0.3f, 0,    0,    0,    0,     0.9f, 0,    0.3f, 0.1f, 0.1f, 0.5f, 0.05f, 0.8f, 0.5f, 0.7f, 0, 0, 0.3f, 0.3f, 0.5f, 1,
    1, 0, 0.8f, 0.3f, 0,    0.2f, 0.1f, 0.5f, 0.05f, 0.5f, 1,    0,    0.1f, 0.1f, 0.5f, 0.05f, 0.5f, 0.5f, 0.3f, 1, 1, 0.3f, 0.1f, 0.5f, 1,
    1, 0, 1,    0.5f, 0.7f, 1,    1,    1,    1,     1,    0,    0.6f, 1,    1,    0.1f, 1,     1,    1,    0.6f, 1, 0, 1,    1,    1,    1,
    1, 0, 1,    0.5f, 0.7f, 1,    1,    1,    1,     1,    1,    0.6f, 1,    1,    0.1f, 1,     0,    1,    0.8f, 1, 0, 1,    1,    1,    1,
    QX_TRIGWAVE_DEFAULT_ROW, QX_TRIGWAVE_DEFAULT_ROW, QX_TRIGWAVE_DEFAULT_ROW, QX_TRIGWAVE_DEFAULT_ROW,
    QX_TRIGWAVE_DEFAULT_ROW, QX_TRIGWAVE_DEFAULT_ROW, QX_TRIGWAVE_DEFAULT_ROW, QX_TRIGWAVE_DEFAULT_ROW,
    QX_TRIGWAVE_DEFAULT_ROW, QX_TRIGWAVE_DEFAULT_ROW,
};
// clang-format on
#undef QX_TRIGWAVE_DEFAULT_ROW

constexpr ProgramName kProgramNames[kTrigwaveNumPrograms] = {
    "Default                ", "Triggered lowpass      ", "Sample and hold (poly) ",
    "Sample and hold (mono) ", "Sample and hold (dry)  ", "Reverse                ",
    "Reverse (filtered)     ", "Reverse (digital)      ", "Drumloop mangler       ",
    "Deep space 9           ", "Deep space 10          ", "Default                ",
    "Default                ", "Default                ", "Default                ",
    "Default                ", "Default                ", "Default                ",
    "Default                ", "Default                ", "Default                ",
};

// Hosts show these fields as they are, so the padding is part of the text.
template <int N, int Size>
constexpr bool allPaddedTo(const char (&texts)[N][Size], std::size_t length) {
    for (int i = 0; i < N; ++i)
        if (std::string_view(texts[i]).size() != length) return false;
    return true;
}
static_assert(allPaddedTo(kNames, kParamNameSize - 1));
static_assert(allPaddedTo(kLabels, 2));
static_assert(allPaddedTo(kProgramNames, kProgramNameSize - 1));
static_assert(sizeof(kRanges) / sizeof(kRanges[0]) == kTrigwaveNumParams);
static_assert(sizeof(kFactoryValues) / sizeof(float) == kTrigwaveNumPrograms * kTrigwaveNumParams);

constexpr float kKnee = 1.0f / 7.0f;  // Output trim value of -36 dB

bool validIndex(int index) {
    return index >= 0 && index < kTrigwaveNumParams;
}

}  // namespace

constexpr EffectDescription kTrigwaveDescription = {
    .identity =
        {
            .generation = Generation::Current,
            .effectName = "QX Trigwave Pro",
            .productString = "QX Trigwave Pro",
            .vendorString = "QX",
            .uniqueId = vst::fourCC('Q', 'X', 'T', 'W'),
            .vendorVersion = 102,
            .numInputs = 2,
            .numOutputs = 2,
            .initialDelay = kTrigwaveLatency,
            .flags = vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing |
                     vst::effFlagsNoSoundInStop,
            .canDoYes = kCanDoEveryLayoutAndBypass,
            .bypassParameter = kTrigwaveBypass,
        },
    .parameters = {kTrigwaveNumParams, kNames, kLabels, kRanges},
    .factory = {kTrigwaveNumPrograms, kTrigwaveNumParams, kFactoryValues, kProgramNames},
    .numCommands = kTrigwaveNumCommands,
};
// GCC's AddressSanitizer keeps the addresses of the shared canDo lists out of constant
// expressions; the plug-in's table test checks the same at run time.
#ifndef __SANITIZE_ADDRESS__
static_assert(checkTables(kTrigwaveDescription).ok());
#endif

float trigwaveOutputGain(float v) {
    const float db = v < kKnee ? v * 252.0f - 72.0f : (v - kKnee) * 42.0f - 36.0f;
    const float gain = static_cast<float>(std::pow(10.0, db / 20.0));
    return gain >= 1e-6f ? gain : 1e-6f;
}

bool trigwaveSwitch(float v) {
    return v > 0.5f;
}

float trigwaveThreshold(float v) {
    return v * 8.9f + 1.1f;
}

float trigwaveSustainLevelDb(float v) {
    return 19.0f * v - 20.0f;
}

float trigwaveFilterFrequency(float v) {
    return 19999.0f * v + 1.0f;
}

float trigwaveFilterEnvAmount(float v) {
    return (200.0f * v - 100.0f) * 0.01f;
}

float trigwaveReverbTime(float v) {
    return 4.9f * v + 0.1f;
}

void applyTrigwaveParameter(TrigwaveEngine& e, int index, float value) {
    const float v = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    switch (index) {
        case kTrigwaveOutputTrim:
            e.setOutputGain(trigwaveOutputGain(v));
            break;
        case kTrigwaveBypass:
            e.setBypassed(trigwaveSwitch(v));
            break;
        case kTrigwaveDryWetMix:
            e.setMix(v);
            break;
        case kTrigwaveThreshold:
            e.setThreshold(trigwaveThreshold(v));
            break;
        case kTrigwaveEnvAttack:
            e.setAmpAttack(v);
            break;
        case kTrigwaveEnvDecay:
            e.setAmpDecay(v);
            break;
        case kTrigwaveEnvSustain:
            e.setAmpSustainTime(2.0f * v);
            break;
        case kTrigwaveEnvSustainLevel:
            e.setAmpSustainLevelDb(trigwaveSustainLevelDb(v));
            break;
        case kTrigwaveEnvRelease:
            e.setAmpRelease(2.0f * v);
            break;
        case kTrigwaveRandomize:
            e.setRandomize(v);
            break;
        case kTrigwaveFilterFreq:
            e.setFilterFrequency(trigwaveFilterFrequency(v));
            break;
        case kTrigwaveFilterEnvAttack:
            e.setFilterAttack(v);
            break;
        case kTrigwaveFilterEnvDecay:
            e.setFilterDecay(v);
            break;
        case kTrigwaveFilterEnvSustain:
            e.setFilterSustainTime(2.0f * v);
            break;
        case kTrigwaveFilterEnvSustainLevel:
            e.setFilterSustainLevel(v);
            break;
        case kTrigwaveFilterEnvRelease:
            e.setFilterRelease(2.0f * v);
            break;
        case kTrigwaveFilterEnvelope:
            e.setFilterEnvAmount(trigwaveFilterEnvAmount(v));
            break;
        case kTrigwaveStereoWidth:
            e.setWidth(v);
            break;
        case kTrigwaveFilterResonance:
            e.setResonance(v);
            break;
        case kTrigwaveAnalog:
            e.setAnalog(trigwaveSwitch(v));
            break;
        case kTrigwaveMono:
            e.setMono(trigwaveSwitch(v));
            break;
        case kTrigwaveReverbLevel:
            e.setReverbLevel(v);
            break;
        case kTrigwaveReverbTime:
            e.setReverbTime(trigwaveReverbTime(v));
            break;
        case kTrigwaveReverbRoomSize:
            e.setReverbSize(v);
            break;
        case kTrigwaveReverb:
            e.setReverbOn(trigwaveSwitch(v));
            break;
        default:
            break;
    }
}

float trigwaveDisplayValue(int index, float v) {
    if (!validIndex(index)) return 0.0f;
    return kRanges[index].minimum * (1.0f - v) + v * kRanges[index].maximum;
}

void trigwaveHostDisplay(int index, float v, char* text) {
    if (!validIndex(index) || !text) return;
    std::snprintf(text, kParamNameSize, "%3.3f",
                  static_cast<double>(trigwaveDisplayValue(index, v)));
}

void trigwaveHintText(int index, float v, char* text) {
    if (!validIndex(index) || !text) return;
    const char* name = kNames[index];
    const char* label = kLabels[index];
    if (index == kTrigwaveOutputTrim) {
        std::snprintf(text, kTrigwaveTextSize, "%s %3.2f %s", name,
                      20.0 * std::log10(static_cast<double>(trigwaveOutputGain(v))), label);
    } else if (label[0] == ' ') {
        std::snprintf(text, kTrigwaveTextSize,
                      trigwaveDisplayValue(index, v) > 0.5f ? "%s On" : "%s Off", name);
    } else {
        std::snprintf(text, kTrigwaveTextSize, "%s %3.3f %s", name,
                      static_cast<double>(trigwaveDisplayValue(index, v)), label);
    }
}

void trigwaveReadoutText(int index, float v, char* text) {
    if (!validIndex(index) || !text) return;
    const std::string_view label = kLabels[index];
    const double d = trigwaveDisplayValue(index, v);
    if (index == kTrigwaveOutputTrim) {
        std::snprintf(text, kTrigwaveTextSize, "%.1f dB",
                      20.0 * std::log10(static_cast<double>(trigwaveOutputGain(v))));
    } else if (label[0] == ' ') {
        std::snprintf(text, kTrigwaveTextSize, "%s", d > 0.5 ? "On" : "Off");
    } else if (label == "% ") {
        const bool signed_ = kRanges[index].minimum < 0.0f;
        std::snprintf(text, kTrigwaveTextSize, signed_ ? "%+.0f %%" : "%.0f %%", d);
    } else if (label == "s ") {
        std::snprintf(text, kTrigwaveTextSize, "%.2f s", d);
    } else if (label == "Hz") {
        if (d >= 1000.0)
            std::snprintf(text, kTrigwaveTextSize, "%.2f kHz", d / 1000.0);
        else
            std::snprintf(text, kTrigwaveTextSize, "%.0f Hz", d);
    } else if (label == "dB") {
        std::snprintf(text, kTrigwaveTextSize, "%.1f dB", d);
    } else {
        std::snprintf(text, kTrigwaveTextSize, "%.2f", d);
    }
}

void trigwavePeakReadout(float leftDb, float rightDb, char* text) {
    std::snprintf(text, kTrigwaveTextSize, "%2.1f dB %2.1f", static_cast<double>(leftDb),
                  static_cast<double>(rightDb));
}

float trigwaveMeterPosition(float level) {
    if (level >= 0.99f) return 1.0f;
    const float db = 20.0f * std::log10(level + 1e-8f);
    if (db >= -36.0f) return (db + 36.0f) * 0.023809524f + 0.14285715f;
    if (db >= -72.0f) return (db + 72.0f) * 0.003968254f;
    return 0.0f;
}

}  // namespace qx
