// Parameters, labels, display ranges, factory programs and identity of the multiband
// compressor, and the value mappings shared with the editor.
#include "effects/quassel/quassel_tables.h"

#include <cmath>
#include <cstdio>
#include <string_view>

namespace qx {

namespace {

constexpr int kBands = kQuasselBandsPerFamily;
constexpr const char* kFamilyNames[kQuasselNumFamilies] = {"MakeupGain", "Threshold", "Ratio",
                                                           "Attack",     "Release",   "Warmth"};

// Copies `text` into a fixed field, blank padded to `width` characters and terminated.
template <int Size>
constexpr void padded(char (&field)[Size], std::string_view text, int width) {
    int i = 0;
    for (; i < width && i < static_cast<int>(text.size()); ++i) field[i] = text[i];
    for (; i < width; ++i) field[i] = ' ';
    for (; i < Size; ++i) field[i] = '\0';
}

struct NameTable {
    ParamName names[kQuasselNumParams];
    ParamLabel labels[kQuasselNumParams];
};

constexpr NameTable makeNames() {
    NameTable t{};
    for (ParamLabel& label : t.labels) padded(label, "", 2);
    padded(t.names[kQuasselOutputTrim], "Output trim", 15);
    padded(t.names[kQuasselBypass], "Bypass", 15);
    for (int f = 0; f < kQuasselNumFamilies; ++f) {
        for (int b = 0; b < kBands; ++b) {
            // "<family> 01" .. "<family> 20"
            char text[16] = {};
            const std::string_view family = kFamilyNames[f];
            int n = 0;
            for (char c : family) text[n++] = c;
            text[n++] = ' ';
            text[n++] = static_cast<char>('0' + (b + 1) / 10);
            text[n++] = static_cast<char>('0' + (b + 1) % 10);
            const int index = kQuasselFamilyFirst[f] + b;
            padded(t.names[index], std::string_view(text, static_cast<size_t>(n)), 15);
            if (kQuasselFamilyFirst[f] == kQuasselAttack ||
                kQuasselFamilyFirst[f] == kQuasselRelease)
                padded(t.labels[index], "ms", 2);
        }
    }
    padded(t.names[kQuasselGuiMode], "GUI mode", 15);
    padded(t.names[kQuasselPreGain], "Pre gain", 15);
    padded(t.names[kQuasselDryWet], "Dry wet", 15);
    padded(t.names[kQuasselNumberOfBands], "Number of bands", 15);
    padded(t.names[kQuasselFilterOrder], "Filter order", 15);
    padded(t.names[kQuasselDisplayRelease], "Display release", 15);
    padded(t.names[kQuasselWarmthSwitch], "Warmth", 15);
    padded(t.labels[kQuasselDryWet], "%", 2);
    padded(t.labels[kQuasselDisplayRelease], "%", 2);
    return t;
}

constexpr NameTable kNames = makeNames();

struct Family {
    float v[kBands];
};
constexpr Family all(float x) {
    Family f{};
    for (float& v : f.v) v = x;
    return f;
}

// The per-band values shared by the mix programs: a little more make-up at both ends.
constexpr Family kMixMakeup = {{0.3f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f,
                                0.2f, 0.2f, 0.2f, 0.3f, 0.4f, 0.4f, 0.4f, 0.4f, 0.4f, 0.4f}};
constexpr Family kDrumRamp = {{0.0f, 0.02f, 0.04f, 0.06f, 0.08f, 0.1f, 0.12f, 0.14f, 0.16f, 0.18f,
                               0.2f, 0.2f,  0.2f,  0.2f,  0.2f,  0.2f, 0.2f,  0.2f,  0.2f,  0.2f}};

struct ProgramRow {
    const char* name;
    float outputTrim, preGain, dryWet;
    Family makeup, threshold, ratio, attack, release, warmth;
};

constexpr ProgramRow kDefaultClean = {
    "Default clean", 0.5f,      0.1f,      1.0f,      all(0.1f),
    all(1.0f),       all(0.1f), all(0.1f), all(0.1f), all(0.0f),
};

// clang-format off
constexpr ProgramRow kPrograms[kQuasselNumPrograms] = {
    kDefaultClean,
    {"Mix: subtle", 0.5f, 0.1f, 1.0f, all(0.1f), all(0.1f), all(0.1f), all(0.1f), all(0.1f),
     all(0.01f)},
    {"Mix: first aid", 0.125f, 0.4f, 0.5f, kMixMakeup, all(0.1f), all(0.1f), all(0.5f),
     all(0.1f), all(0.01f)},
    {"Mix: first aid (warmer)", 0.125f, 0.4f, 0.5f, kMixMakeup, all(0.1f), all(0.1f), all(0.5f),
     all(0.1f), all(0.1f)},
    {"Mix: carefull, hot!", 0.125f, 0.4f, 0.8f, kMixMakeup, all(0.1f), all(0.2f), all(0.5f),
     all(0.1f), all(0.3f)},
    {"Mix: bass limiter", 0.5f, 0.1f, 1.0f, all(0.1f),
     {{0.1f, 0.1f, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
     {{1, 1, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f,
       0.1f, 0.1f, 0.1f, 0.1f}},
     {{0, 0, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f,
       0.1f, 0.1f, 0.1f, 0.1f}},
     all(0.1f), all(0.0f)},
    {"Drums: thuddo kitt", 0.125f, 1.0f, 1.0f, all(0.2f), all(0.1f), all(0.3f), all(0.1f),
     all(0.1f), all(0.2f)},
    {"Drums: multi-band comp", 0.125f, 1.0f, 1.0f, all(0.2f), all(0.1f), all(0.3f), all(0.1f),
     all(0.1f), all(0.0f)},
    {"Drums: distorted", 0.05f, 1.0f, 1.0f, all(0.2f), all(0.1f), all(0.3f), kDrumRamp, kDrumRamp,
     all(1.0f)},
    {"Drums: overdone", 0.02f, 0.5f, 1.0f, all(1.0f), all(0.02f), all(1.0f), all(0.0f), all(0.0f),
     all(1.0f)},
    {"FX: phone call", 0.125f, 0.5f, 1.0f,
     {{0, 0, 0, 0, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
     all(0.1f), all(1.0f), all(0.0f), all(0.01f), all(0.5f)},
    {"FX: public address spkr", 0.125f, 0.5f, 1.0f,
     {{0, 0, 0.1f, 0.2f, 0.2f, 0.3f, 0.4f, 0.4f, 0.3f, 0.2f, 0.2f, 0.2f, 0.1f, 0.1f, 0.1f, 0.1f,
       0.1f, 0.1f, 0.1f, 0.1f}},
     all(0.1f), all(1.0f), all(0.0f), all(0.01f), all(0.5f)},
    {"Speech: multi-band comp", 0.125f, 0.5f, 1.0f,
     {{0, 0.4f, 0.3f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.3f, 0.4f, 0.4f, 0.4f,
       0.4f, 0.4f, 0.4f, 0.4f}},
     all(0.1f), all(0.3f), all(0.0f), all(0.1f), all(0.0f)},
    kDefaultClean, kDefaultClean, kDefaultClean, kDefaultClean,
    kDefaultClean, kDefaultClean, kDefaultClean,
};
// clang-format on

struct ProgramTable {
    float values[kQuasselNumPrograms * kQuasselNumParams];
    ProgramName names[kQuasselNumPrograms];
};

constexpr ProgramTable makePrograms() {
    ProgramTable t{};
    for (int p = 0; p < kQuasselNumPrograms; ++p) {
        const ProgramRow& row = kPrograms[p];
        float* v = t.values + p * kQuasselNumParams;
        const Family* families[kQuasselNumFamilies] = {&row.makeup, &row.threshold, &row.ratio,
                                                       &row.attack, &row.release,   &row.warmth};
        v[kQuasselOutputTrim] = row.outputTrim;
        v[kQuasselBypass] = 0.0f;
        for (int f = 0; f < kQuasselNumFamilies; ++f)
            for (int b = 0; b < kBands; ++b) v[kQuasselFamilyFirst[f] + b] = families[f]->v[b];
        v[kQuasselGuiMode] = 0.0f;
        v[kQuasselPreGain] = row.preGain;
        v[kQuasselDryWet] = row.dryWet;
        v[kQuasselNumberOfBands] = 0.5f;  // 14 bands
        v[kQuasselFilterOrder] = 0.5f;    // 4 stages
        v[kQuasselDisplayRelease] = 0.5f;
        v[kQuasselWarmthSwitch] = 1.0f;
        padded(t.names[p], row.name, kProgramNameSize - 1);
    }
    return t;
}

constexpr ProgramTable kFactory = makePrograms();

struct RangeTable {
    ParameterDisplayRange r[kQuasselNumParams];
};

constexpr RangeTable makeRanges() {
    RangeTable t{};
    const ParameterDisplayRange family[kQuasselNumFamilies] = {
        {0.0f, 10.0f}, {0.0f, 10.0f}, {1.0f, 10.0f}, {0.1f, 100.0f}, {0.1f, 1000.0f}, {0.0f, 1.0f}};
    t.r[kQuasselOutputTrim] = {0.0f, 1.0f};
    t.r[kQuasselBypass] = {0.0f, 1.0f};
    for (int f = 0; f < kQuasselNumFamilies; ++f)
        for (int b = 0; b < kBands; ++b) t.r[kQuasselFamilyFirst[f] + b] = family[f];
    t.r[kQuasselGuiMode] = {0.0f, 3.0f};
    t.r[kQuasselPreGain] = {0.0f, 10.0f};
    t.r[kQuasselDryWet] = {0.0f, 100.0f};
    t.r[kQuasselNumberOfBands] = {9.0f, 20.0f};
    t.r[kQuasselFilterOrder] = {3.0f, 5.9f};
    t.r[kQuasselDisplayRelease] = {1.0f, 99.0f};
    t.r[kQuasselWarmthSwitch] = {0.0f, 1.0f};
    return t;
}

constexpr RangeTable kRanges = makeRanges();

// Hosts show these fields as they are, so the padding is part of the text.
template <int N, int Size>
constexpr bool allPaddedTo(const char (&texts)[N][Size], std::size_t length) {
    for (int i = 0; i < N; ++i)
        if (std::string_view(texts[i]).size() != length) return false;
    return true;
}
static_assert(allPaddedTo(kNames.names, kParamNameSize - 1));
static_assert(allPaddedTo(kNames.labels, 2));
static_assert(allPaddedTo(kFactory.names, kProgramNameSize - 1));
static_assert(sizeof(kPrograms) / sizeof(kPrograms[0]) == kQuasselNumPrograms);
static_assert(kQuasselFamilyFirst[kQuasselNumFamilies - 1] + kBands == kQuasselGuiMode);

const char* const kCanDo[] = {"plugAsChannelInsert",
                              "plugAsSend",
                              "mixDryWet",
                              "1in1out",
                              "1in2out",
                              "2in1out",
                              "2in2out",
                              nullptr};

float unit(float x) {
    return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
}

}  // namespace

const EffectDescription kQuasselDescription = {
    {
        Generation::Current, "QX Quassel Pro", "QX Quassel Pro", "QX",
        vst::fourCC('Q', 'X', 'Q', 'S'), 101, 2, 2, kQuasselLatency,
        vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing | vst::effFlagsNoSoundInStop,
        kCanDo,
        -1,  // no setBypass: the host bypasses through the parameter
    },
    {kQuasselNumParams, kNames.names, kNames.labels, kRanges.r},
    {kQuasselNumPrograms, kQuasselNumParams, kFactory.values, kFactory.names},
    kQuasselNumCommands,
};

QuasselDisplayKind quasselDisplayKind(int index) {
    switch (quasselFamily(index)) {
        case 0:  // make-up
        case 1:  // threshold
        case 5:  // warmth
            return QuasselDisplayKind::Decibels;
        case 2:  // ratio
        case 3:  // attack
        case 4:  // release
            return QuasselDisplayKind::Plain;
        default:
            break;
    }
    switch (index) {
        case kQuasselOutputTrim:
        case kQuasselPreGain:
            return QuasselDisplayKind::Decibels;
        case kQuasselBypass:
        case kQuasselWarmthSwitch:
            return QuasselDisplayKind::Switch;
        case kQuasselNumberOfBands:
        case kQuasselFilterOrder:
            return QuasselDisplayKind::Integer;
        default:
            return QuasselDisplayKind::Plain;
    }
}

int quasselFamily(int index) {
    if (index < kQuasselMakeupGain || index >= kQuasselGuiMode) return -1;
    return (index - kQuasselMakeupGain) / kBands;
}

int quasselBand(int index) {
    if (index < kQuasselMakeupGain || index >= kQuasselGuiMode) return -1;
    return (index - kQuasselMakeupGain) % kBands;
}

int quasselBandCount(float x) {
    const float n = 9.0f + 11.0f * unit(x);
    return n < 10.0f ? 1 : static_cast<int>(n);
}

int quasselFilterOrder(float x) {
    return static_cast<int>(3.0f + 2.9f * unit(x));
}

int quasselPageFamily(float guiMode, int currentFamily) {
    for (int f = 0; f < kQuasselNumFamilies; ++f)
        if (guiMode < 0.1f * static_cast<float>(f + 1)) return f;
    return currentFamily;
}

float quasselPageValue(int family) {
    return 0.05f + 0.1f * static_cast<float>(family);
}

float quasselTravelGain(float position) {
    constexpr float kKnee = 1.0f / 7.0f;
    const float db =
        position >= kKnee ? (position - kKnee) * 42.0f - 36.0f : position * 252.0f - 72.0f;
    return std::pow(10.0f, db / 20.0f);
}

float quasselTravelPosition(float gain) {
    if (gain >= 0.99f) return 1.0f;
    const float db = 20.0f * std::log10(gain + 1e-8f);
    if (db >= -36.0f) return (db + 36.0f) / 42.0f + 1.0f / 7.0f;
    if (db >= -72.0f) return (db + 72.0f) / 252.0f;
    return 0.0f;
}

int quasselControlText(int index, float x, char* text, int size) {
    if (size <= 0) return 0;
    if (index < 0 || index >= kQuasselNumParams) {
        text[0] = '\0';
        return 0;
    }
    const char* name = kNames.names[index];
    const char* label = kNames.labels[index];
    const ParameterDisplayRange& r = kRanges.r[index];
    const float c = r.minimum + unit(x) * (r.maximum - r.minimum);
    const auto n = static_cast<size_t>(size);
    int length = 0;
    switch (quasselDisplayKind(index)) {
        case QuasselDisplayKind::Decibels:
            length = std::snprintf(text, n, "%s %2.2f dB", name, 20.0 * std::log10(c));
            break;
        case QuasselDisplayKind::Switch:
            length = std::snprintf(text, n, c > 0.5f ? "%s On" : "%s Off", name);
            break;
        case QuasselDisplayKind::Integer: {
            // The band count below 10 is a single band.
            const int shown = index == kQuasselNumberOfBands && c < 10.0f ? 1 : static_cast<int>(c);
            length = std::snprintf(text, n, "%s %3d %s", name, shown, label);
            break;
        }
        case QuasselDisplayKind::Plain:
            length = std::snprintf(text, n, "%s %3.2f %s", name, c, label);
            break;
    }
    return length < size ? length : size - 1;
}

}  // namespace qx
