// Identity, parameters, factory programs, mappings, texts and transfer curve of the
// side-chain compressor.
#include "effects/red_thuddo/red_thuddo_tables.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace qx {

namespace {

constexpr int kNumParams = kRedThuddoNumParams;
constexpr int kNumPrograms = kRedThuddoNumPrograms;

// Texts padded with blanks to Size - 1 characters, as hosts receive them.
template <int N, int Size>
struct PaddedTexts {
    char text[N][Size] = {};
};

template <int Size, int N>
constexpr PaddedTexts<N, Size> padded(const std::string_view (&texts)[N]) {
    PaddedTexts<N, Size> t;
    for (int i = 0; i < N; ++i) {
        for (int c = 0; c < Size - 1; ++c)
            t.text[i][c] = c < static_cast<int>(texts[i].size()) ? texts[i][c] : ' ';
        t.text[i][Size - 1] = '\0';
    }
    return t;
}

constexpr std::string_view kNameTexts[kNumParams] = {
    "Post gain", "Bypass",         "Limiter",       "Mono",          "Sidechain",
    "Listen",    "High pass freq", "Low pass freq", "Hysteresis",    "Attack time",
    "Hold time", "Release time",   "Soft knee",     "Ratio 1",       "Ratio 2",
    "Threshold", "Release curve",  "Pre gain",      "Dry wet ratio", "Max gain",
};
constexpr auto kNames = padded<kParamNameSize>(kNameTexts);

constexpr ParamLabel kLabels[kNumParams] = {
    "dB", "  ", "  ", "  ", "  ", "  ", "Hz", "Hz", "% ", "ms",
    "ms", "ms", "  ", "  ", "  ", "dB", "  ", "dB", "% ", "dB",
};

constexpr ParameterDisplayRange kRanges[kNumParams] = {
    {-20.0f, 20.0f}, {0.0f, 1.0f},      {0.0f, 1.0f},       {0.0f, 1.0f},   {0.0f, 1.0f},
    {0.0f, 1.0f},    {10.0f, 10000.0f}, {100.0f, 20000.0f}, {0.0f, 100.0f}, {0.1f, 300.0f},
    {0.0f, 500.0f},  {1.0f, 1000.0f},   {0.0f, 1.0f},       {0.1f, 10.1f},  {0.1f, 10.1f},
    {-50.0f, 0.0f},  {1.0f, 2.0f},      {-20.0f, 20.0f},    {0.0f, 100.0f}, {0.0f, 40.0f},
};

constexpr RedThuddoKind kKinds[kNumParams] = {
    RedThuddoKind::Plain,  RedThuddoKind::Switch, RedThuddoKind::Switch, RedThuddoKind::Switch,
    RedThuddoKind::Switch, RedThuddoKind::Switch, RedThuddoKind::Plain,  RedThuddoKind::Plain,
    RedThuddoKind::Plain,  RedThuddoKind::Plain,  RedThuddoKind::Plain,  RedThuddoKind::Plain,
    RedThuddoKind::Switch, RedThuddoKind::Plain,  RedThuddoKind::Plain,  RedThuddoKind::Plain,
    RedThuddoKind::Plain,  RedThuddoKind::Plain,  RedThuddoKind::Plain,  RedThuddoKind::Plain,
};

// The columns a factory program sets; Bypass, Mono and Listen are off and Max gain is
// 40 dB in every one of them.
struct FactoryRow {
    std::string_view name;
    float postGain, limiter, sidechain, highPass, lowPass, hysteresis, attack, hold, release,
        softKnee, ratio1, ratio2, threshold, releaseCurve, preGain, dryWet;
};

// clang-format off
constexpr FactoryRow kCleanRow =
    {"Default: clean",          0.5f, 0, 0, 0.022f, 0.25f, 0.25f, 0.05f, 0,     0.12f,  0, 0.09f, 0.09f, 0.6f, 0, 0.5f, 1};
constexpr FactoryRow kRows[kNumPrograms] = {
    kCleanRow,
    {"Default: gate",           0.5f, 0, 0, 0.02f,  0.5f,  0,     0.1f,  0,     0.01f,  1, 0.09f, 0,     0.1f, 1, 0.5f, 1},
    {"Default: classic comp",   0.5f, 0, 0, 0,      1,     0,     0.05f, 0,     0.12f,  0, 0.2f,  0.09f, 0.6f, 0, 0.5f, 1},
    {"Default: smooth comp",    0.5f, 0, 0, 0.03f,  0.3f,  0.5f,  0.05f, 0,     0.15f,  1, 0.2f,  0.09f, 0.6f, 0, 0.5f, 1},
    {"Default: upward comp",    0.5f, 0, 0, 0.005f, 0.25f, 0.25f, 0.05f, 0,     0.12f,  1, 0.09f, 0.3f,  0.8f, 0, 0.5f, 0.5f},
    {"Default: parallel comp",  0.5f, 0, 0, 0.005f, 0.25f, 0.25f, 0.05f, 0,     0.12f,  1, 1,     0.09f, 0.5f, 0, 0.5f, 0.5f},
    {"Default: hybrid comp",    0.5f, 0, 0, 0.03f,  0.25f, 0.25f, 0.05f, 0,     0.12f,  1, 1,     0.16f, 0.8f, 0, 0.5f, 0.5f},
    {"Default: peak limiter",   0.5f, 1, 0, 0.022f, 0.25f, 0.25f, 0.05f, 0.01f, 0.13f,  0, 0.09f, 0.09f, 0.6f, 0, 0.5f, 1},
    {"Default: peak expansion", 0.5f, 0, 0, 0.022f, 0.25f, 0.25f, 0.1f,  0,     0,      0, 0.06f, 0.09f, 0.8f, 0, 0.5f, 1},
    {"Drums: add punch",        0.5f, 0, 0, 0.05f,  0.25f, 0.25f, 1,     0,     0.05f,  1, 1,     0.09f, 0.5f, 0, 0.7f, 1},
    {"Drums: fat kit",          0.5f, 0, 0, 0.05f,  0.25f, 0.25f, 0.07f, 0,     0.05f,  1, 0.9f,  0.09f, 0.5f, 0, 0.7f, 1},
    {"Drums: extreme",          0.5f, 0, 0, 0.09f,  0.25f, 0,     0.08f, 0,     0.08f,  1, 1,     0.09f, 0.4f, 0, 0.9f, 1},
    {"Drums: New York comp",    0.5f, 0, 0, 0.09f,  0.25f, 0,     0,     0,     0.1f,   1, 1,     0.09f, 0.4f, 0, 0.9f, 0.9f},
    {"Drums: distorted kick",   0.5f, 0, 0, 0,      0.02f, 0.2f,  0,     0,     0,      1, 1,     0.09f, 0.6f, 0, 0.9f, 1},
    {"Drums: pumping",          0.7f, 0, 0, 0,      0.25f, 0,     0,     0,     0.1f,   0, 1,     0.09f, 0.3f, 1, 1,    1},
    {"Drums: limiter echos",    0.5f, 1, 0, 0.022f, 0.25f, 0,     0,     0.3f,  0.005f, 0, 0.09f, 0.09f, 1,    0, 1,    1},
    {"Drums: release me!",      0.5f, 1, 0, 0.022f, 0.25f, 0,     0.01f, 0,     0.05f,  0, 0.09f, 0.09f, 1,    0, 0.8f, 1},
    {"Vocals: top end comp",    0.5f, 0, 0, 0.01f,  0.1f,  0.5f,  0.2f,  0,     0.05f,  1, 1,     0.09f, 0.6f, 0, 0.5f, 1},
    {"Vocals: de-essing",       0.5f, 0, 0, 1,      0.75f, 0.1f,  0,     0,     0.02f,  1, 0.4f,  0.09f, 0.4f, 0, 0.5f, 1},
    {"Vocals: compact voice",   0.5f, 0, 0, 0.02f,  0.1f,  0.5f,  0.01f, 0,     0.02f,  1, 0.5f,  0.09f, 0.5f, 0, 0.5f, 1},
    {"Vocals: compact w/gate",  0.9f, 0, 0, 0.02f,  0.1f,  0.5f,  0.01f, 0,     0.04f,  1, 0.5f,  0.01f, 0.1f, 0, 0.5f, 1},
    {"Bass: add punch",         0.6f, 1, 0, 0.001f, 0.25f, 0,     0.5f,  0,     0.19f,  0, 1,     0.09f, 0.5f, 1, 0.6f, 1},
    {"Bass: limiter",           0.5f, 1, 0, 0.001f, 0.25f, 0,     0.01f, 0,     0.12f,  0, 1,     0.09f, 0.7f, 1, 0.6f, 1},
    {"Bass: tight",             0.6f, 1, 0, 0.001f, 0.04f, 0,     0.02f, 0,     0.28f,  0, 1,     0.09f, 0.5f, 1, 0.7f, 1},
    {"Mix: gentle compression", 0.5f, 0, 0, 0.002f, 1,     0.5f,  0.05f, 0.05f, 0.08f,  1, 0.15f, 0.09f, 0.8f, 1, 0.5f, 1},
    {"Mix: smooth compression", 0.5f, 0, 0, 0.03f,  0.3f,  0.5f,  0.05f, 0,     0.15f,  1, 0.2f,  0.09f, 0.7f, 0, 0.5f, 1},
    {"Mix: subtle pumping",     0.5f, 0, 0, 0.003f, 0.01f, 0.5f,  0.05f, 0,     0.15f,  1, 0.4f,  0.09f, 0.8f, 1, 0.5f, 1},
    {"Mix: heavy pumping",      0.7f, 0, 0, 0.003f, 0.01f, 0.5f,  0.08f, 0,     0.15f,  1, 0.4f,  0.09f, 0.6f, 1, 0.5f, 1},
    {"Mix: add pressure w/lim", 0.5f, 1, 0, 0.003f, 0.3f,  0.5f,  0.08f, 0,     0.15f,  1, 0.2f,  0.09f, 0.9f, 0, 0.6f, 1},
    {"Mix: parallel comp",      0.5f, 0, 0, 0.022f, 0.25f, 0.25f, 0.05f, 0,     0.12f,  1, 1,     0.09f, 0.6f, 0, 0.5f, 0.5f},
    {"Mix: upward compression", 0.5f, 0, 0, 0.022f, 0.25f, 0.25f, 0.05f, 0,     0.12f,  1, 0.09f, 0.2f,  0.8f, 0, 0.5f, 0.5f},
    {"Mix: squeeze transients", 0.5f, 1, 0, 0.002f, 1,     0.25f, 0,     0,     0.05f,  1, 1,     0.09f, 0.9f, 0, 0.5f, 1},
    {"SCh: music+voice stereo", 0.5f, 0, 1, 0.022f, 0.25f, 0.3f,  0.3f,  0.15f, 0.1f,   1, 0.9f,  0.09f, 0.5f, 0, 0.5f, 1},
    kCleanRow, kCleanRow, kCleanRow, kCleanRow, kCleanRow, kCleanRow, kCleanRow,
};
// clang-format on

constexpr std::array<float, kNumPrograms * kNumParams> factoryValues() {
    std::array<float, kNumPrograms * kNumParams> v{};
    for (int p = 0; p < kNumPrograms; ++p) {
        const FactoryRow& r = kRows[p];
        float* row = v.data() + p * kNumParams;
        row[kRedThuddoPostGain] = r.postGain;
        row[kRedThuddoBypass] = 0.0f;
        row[kRedThuddoLimiter] = r.limiter;
        row[kRedThuddoMono] = 0.0f;
        row[kRedThuddoSidechain] = r.sidechain;
        row[kRedThuddoListen] = 0.0f;
        row[kRedThuddoHighPassFreq] = r.highPass;
        row[kRedThuddoLowPassFreq] = r.lowPass;
        row[kRedThuddoHysteresis] = r.hysteresis;
        row[kRedThuddoAttackTime] = r.attack;
        row[kRedThuddoHoldTime] = r.hold;
        row[kRedThuddoReleaseTime] = r.release;
        row[kRedThuddoSoftKnee] = r.softKnee;
        row[kRedThuddoRatio1] = r.ratio1;
        row[kRedThuddoRatio2] = r.ratio2;
        row[kRedThuddoThreshold] = r.threshold;
        row[kRedThuddoReleaseCurve] = r.releaseCurve;
        row[kRedThuddoPreGain] = r.preGain;
        row[kRedThuddoDryWet] = r.dryWet;
        row[kRedThuddoMaxGain] = 1.0f;
    }
    return v;
}
constexpr auto kFactoryValues = factoryValues();

constexpr PaddedTexts<kNumPrograms, kProgramNameSize> programNames() {
    std::string_view texts[kNumPrograms];
    for (int p = 0; p < kNumPrograms; ++p) texts[p] = kRows[p].name;
    return padded<kProgramNameSize>(texts);
}
constexpr auto kProgramNames = programNames();

template <int N, int Size>
constexpr bool allFit(const std::string_view (&texts)[N]) {
    for (const std::string_view& t : texts)
        if (t.size() > Size - 1) return false;
    return true;
}
static_assert(allFit<kNumParams, kParamNameSize>(kNameTexts));
static_assert([] {
    for (const FactoryRow& r : kRows)
        if (r.name.size() > kProgramNameSize - 1) return false;
    return true;
}());
static_assert(sizeof(kLabels) / sizeof(kLabels[0]) == kNumParams);
static_assert(sizeof(kRanges) / sizeof(kRanges[0]) == kNumParams);
static_assert(sizeof(kKinds) / sizeof(kKinds[0]) == kNumParams);
static_assert(sizeof(kRows) / sizeof(kRows[0]) == kNumPrograms);

const char* const kCanDo[] = {"plugAsChannelInsert",
                              "plugAsSend",
                              "mixDryWet",
                              "1in1out",
                              "1in2out",
                              "2in1out",
                              "2in2out",
                              nullptr};

constexpr std::int32_t kFlags =
    vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing | vst::effFlagsNoSoundInStop;

constexpr EffectIdentity identity(const char* name, int numInputs) {
    return {Generation::Current,
            name,
            name,
            "QX",
            vst::fourCC('Q', 'X', 'R', 'T'),
            103,
            numInputs,
            kRedThuddoOutputs,
            0,
            kFlags,
            kCanDo,
            -1};
}

// Held to 0..1, NaN as 0: host values outside the range map like its nearer end.
float unit(float x) {
    return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
}

float ratioOf(float x, float infinite) {
    const float r = 0.1f + 10.0f * unit(x);
    return r > kRedThuddoRatioInfAbove ? infinite : r;
}

}  // namespace

const EffectDescription kRedThuddoDescription = {
    identity("QX Red Thuddo Pro", kRedThuddoInputs),
    {kNumParams, kNames.text, kLabels, kRanges},
    {kNumPrograms, kNumParams, kFactoryValues.data(), kProgramNames.text},
    kRedThuddoNumCommands,
};

const EffectDescription kRedThuddoAltDescription = {
    identity("QX Red Thuddo Pro alt", kRedThuddoAltInputs),
    {kNumParams, kNames.text, kLabels, kRanges},
    {kNumPrograms, kNumParams, kFactoryValues.data(), kProgramNames.text},
    kRedThuddoNumCommands,
};

bool redThuddoSwitch(float x) {
    return unit(x) > 0.5f;
}
float redThuddoGainDb(float x) {
    return 40.0f * unit(x) - 20.0f;
}
float redThuddoHighPassHz(float x) {
    return 10.0f + 9990.0f * unit(x);
}
float redThuddoLowPassHz(float x) {
    return 100.0f + 19900.0f * unit(x);
}
float redThuddoHysteresis(float x) {
    return unit(x);
}
float redThuddoAttackSeconds(float x) {
    return (0.1f + 299.9f * unit(x)) * 0.001f;
}
float redThuddoHoldSeconds(float x) {
    return 500.0f * unit(x) * 0.001f;
}
float redThuddoReleaseSeconds(float x) {
    return (1.0f + 999.0f * unit(x)) * 0.001f;
}
float redThuddoRatio(float x) {
    return ratioOf(x, kRedThuddoInfiniteRatio);
}
float redThuddoDisplayRatio(float x) {
    return ratioOf(x, kRedThuddoDisplayInfiniteRatio);
}
float redThuddoThresholdDb(float x) {
    return 50.0f * unit(x) - 50.0f;
}
float redThuddoDryWet(float x) {
    return unit(x);
}
float redThuddoMaxGainDb(float x) {
    return 40.0f * unit(x);
}

RedThuddoKind redThuddoKind(int index) {
    return index >= 0 && index < kNumParams ? kKinds[index] : RedThuddoKind::Plain;
}

void redThuddoParameterText(int index, float x, char* text, std::size_t size) {
    if (size == 0) return;
    text[0] = '\0';
    if (index < 0 || index >= kNumParams) return;
    const ParameterDisplayRange& range = kRanges[index];
    const float c = range.minimum + x * (range.maximum - range.minimum);
    const char* name = kNames.text[index];
    if (kKinds[index] == RedThuddoKind::Switch)
        std::snprintf(text, size, "%s %s", name, c > 0.5f ? "On" : "Off");
    else if ((index == kRedThuddoRatio1 || index == kRedThuddoRatio2) &&
             c > kRedThuddoRatioInfAbove)
        std::snprintf(text, size, "%s inf", name);
    else
        std::snprintf(text, size, "%s %3.2f %s", name, c, kLabels[index]);
}

void redThuddoCurveNumberText(float value, char* text, std::size_t size) {
    std::snprintf(text, size, value >= 10.0f ? "%2.0f" : "%1.1f", value);
}

bool applyTransferCurveParameter(TransferCurveSettings& s, int index, float x) {
    switch (index) {
        case kRedThuddoPostGain:
            s.postGainDb = redThuddoGainDb(x);
            return true;
        case kRedThuddoSoftKnee:
            s.softKnee = redThuddoSwitch(x);
            return true;
        case kRedThuddoRatio1:
            s.ratio1 = redThuddoDisplayRatio(x);
            return true;
        case kRedThuddoRatio2:
            s.ratio2 = redThuddoDisplayRatio(x);
            return true;
        case kRedThuddoThreshold:
            s.thresholdDb = redThuddoThresholdDb(x);
            return true;
        case kRedThuddoDryWet:
            s.dryWet = redThuddoDryWet(x);
            return true;
        case kRedThuddoMaxGain:
            s.maxGainDb = redThuddoMaxGainDb(x);
            return true;
        default:
            return false;
    }
}

namespace {

// The compressor curve before the post gain.
float compressorCurveDb(const TransferCurveSettings& s, float x) {
    const float t = s.thresholdDb, r1 = s.ratio1, r2 = s.ratio2;
    float y;
    if (s.softKnee && x >= t - 6.0f && x <= t + 6.0f) {
        const float e = (x - t + 6.0f) / 12.0f;
        y = x + e * e * 6.0f * (1.0f - r1) / r1 - (1.0f - e) * (1.0f - e) * 6.0f * (1.0f - r2) / r2;
    } else {
        y = t + (x - t) / (x > t ? r1 : r2);
    }
    const float m = s.maxGainDb;
    return y < x - m ? x - m : (y > x + m ? x + m : y);
}

}  // namespace

float transferCurveDb(const TransferCurveSettings& s, float inputDb) {
    return compressorCurveDb(s, inputDb) + s.postGainDb;
}

float transferMixCurveDb(const TransferCurveSettings& s, float inputDb) {
    const float curve = compressorCurveDb(s, inputDb);
    if (s.dryWet >= 0.9999f) return curve + s.postGainDb;
    const double d = s.dryWet;
    const double mixed =
        (1.0 - d) * std::pow(10.0, inputDb / 20.0) + d * std::pow(10.0, curve / 20.0);
    return static_cast<float>(20.0 * std::log10(mixed)) + s.postGainDb;
}

float transferInputDb(float meanSquare) {
    const float lo = static_cast<float>(kRedThuddoCurveMinDb);
    const float hi = static_cast<float>(kRedThuddoCurveMaxDb);
    if (!(meanSquare > 0.0f)) return lo;
    const float db = 10.0f * std::log10(meanSquare);
    return db < lo ? lo : (db > hi ? hi : db);
}

float gainMeterDb(float gainLinear) {
    constexpr float kFloorDb = -200.0f;
    if (!(gainLinear > 0.0f)) return kFloorDb;
    const float db = 20.0f * std::log10(gainLinear);
    return db > kFloorDb ? db : kFloorDb;
}

}  // namespace qx
