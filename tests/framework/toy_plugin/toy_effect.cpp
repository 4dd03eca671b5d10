#include "tests/framework/toy_plugin/toy_effect.h"

#include <cmath>

namespace qx::toy {

namespace {

constexpr ParamName kBandName = "Band           ";
constexpr ParamLabel kBandLabel = "ms";

struct Tables {
    ParamName names[kNumParams];
    ParamLabel labels[kNumParams];
    ParameterDisplayRange ranges[kNumParams];
    int menuEntries[kNumParams];
    float values[kNumPrograms * kNumParams];
    ProgramName programNames[kNumPrograms];
};

constexpr void copyText(char* to, const char* from, int size) {
    for (int i = 0; i < size; ++i) to[i] = from[i];
}

// Programs 0..3 differ in every value; 4 and 5 are copies of "Default".
constexpr Tables makeTables() {
    Tables t{};
    const char* const programs[kNumPrograms] = {
        "Default                ", "Quiet                  ", "Bright                 ",
        "Odd                    ", "Default                ", "Default                "};
    for (int p = 0; p < kNumPrograms; ++p) copyText(t.programNames[p], programs[p], 24);
    for (int i = 0; i < kNumParams; ++i) {
        copyText(t.names[i], kBandName, kParamNameSize);
        copyText(t.labels[i], kBandLabel, 3);
        t.ranges[i] = {0.0f, 500.0f};
        for (int p = 0; p < kNumPrograms; ++p) {
            const int q = p >= 4 ? 0 : p;
            t.values[p * kNumParams + i] = static_cast<float>((i * 7 + q * 13) % 97) / 96.0f;
        }
    }
    copyText(t.names[kGain], "Gain           ", kParamNameSize);
    copyText(t.labels[kGain], "dB", 3);
    t.ranges[kGain] = {-40.0f, 0.0f};
    copyText(t.names[kBypass], "Bypass         ", kParamNameSize);
    copyText(t.labels[kBypass], "  ", 3);
    t.ranges[kBypass] = {0.0f, 1.0f};
    copyText(t.names[kMode], "Mode           ", kParamNameSize);
    copyText(t.labels[kMode], "  ", 3);
    t.ranges[kMode] = {0.0f, 3.0f};
    t.menuEntries[kMode] = kModeEntries;
    for (int p = 0; p < kNumPrograms; ++p) {
        const int q = p >= 4 ? 0 : p;
        t.values[p * kNumParams + kGain] = 1.0f - 0.125f * static_cast<float>(q);
        t.values[p * kNumParams + kBypass] = 0.0f;
        t.values[p * kNumParams + kMode] = static_cast<float>(q);
    }
    return t;
}

constexpr Tables kTables = makeTables();

}  // namespace

constexpr EffectDescription kToyDescription = {
    .identity =
        {
            .effectName = "QX Toy",
            .productString = "QX Toy",
            .uniqueId = vst::fourCC('Q', 'X', 'T', 'Y'),
            .vendorVersion = 1,
            .flags = vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing,
            .canDoYes = kCanDoEveryLayoutAndBypass,
            .bypassParameter = kBypass,
        },
    .parameters = {kNumParams, kTables.names, kTables.labels, kTables.ranges, kTables.menuEntries},
    .factory = {kNumPrograms, kNumParams, kTables.values, kTables.programNames},
    .numCommands = kNumCommands,
};
static_assert(checkTables(kToyDescription).ok());

double programChecksum(const float* values) {
    double sum = 0.0;
    for (int i = 0; i < kNumParams; ++i) sum += static_cast<double>(values[i]) * (i + 1);
    return sum;
}

ToyEffect::ToyEffect(vst::audioMasterCallback host) : ProgramEffect(host, kToyDescription) {
    events_.reserve(kLogCapacity);
    checksums_.reserve(kLogCapacity);
    finishConstruction();
}

void ToyEffect::clearLogs() {
    events_.clear();
    checksums_.clear();
}

void ToyEffect::log(ToyEvent::Kind kind, int index, float value) {
    if (events_.size() < events_.capacity()) events_.push_back({kind, index, value});
}

void ToyEffect::designBand(int band) {
    const float v = values_[band];
    const double seconds = 0.001 + 0.5 * v;
    bandCoef_[band] = static_cast<float>(std::exp(-1.0 / (seconds * sampleRate_)));
    bandLevel_[band] = static_cast<float>(std::pow(10.0, (24.0 * v - 12.0) / 20.0));
}

void ToyEffect::applyParameter(int index, float value) {
    Inside inside(*this);
    log(ToyEvent::Parameter, index, value);
    values_[index] = value;
    switch (index) {
        case kGain:
            gain_ = static_cast<float>(std::pow(10.0, (40.0 * value - 40.0) / 20.0));
            break;
        case kBypass:
            // Like a real bypass switch: the running state starts again.
            bypassed_ = value > 0.5f;
            smoothed_ = 0.0f;
            break;
        case kMode:
            break;
        default:
            designBand(index);
            break;
    }
}

void ToyEffect::applySampleRate(float sampleRate) {
    Inside inside(*this);
    log(ToyEvent::SampleRate, -1, sampleRate);
    sampleRate_ = sampleRate;
    for (int band = kFirstBand; band < kNumParams; ++band) designBand(band);
}

void ToyEffect::applyReset() {
    Inside inside(*this);
    log(ToyEvent::Reset, -1, 0.0f);
    smoothed_ = 0.0f;
}

void ToyEffect::applyCommand(int command) {
    Inside inside(*this);
    log(ToyEvent::Command, command, 0.0f);
}

template <typename T>
void ToyEffect::run(T** inputs, T** outputs, int frames) {
    Inside inside(*this);
    if (checksums_.size() < checksums_.capacity()) checksums_.push_back(programChecksum(values_));
    const float gain = bypassed_ ? 1.0f : gain_;
    float smoothed = smoothed_;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames; ++i) {
            const float x = static_cast<float>(inputs[c][i]);
            smoothed = 0.5f * smoothed + 0.5f * x;
            outputs[c][i] = static_cast<T>(x * gain);
        }
    smoothed_ = smoothed;
}

void ToyEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames);
}

void ToyEffect::processDoubleReplacing(double** inputs, double** outputs, int frames) {
    run(inputs, outputs, frames);
}

}  // namespace qx::toy
