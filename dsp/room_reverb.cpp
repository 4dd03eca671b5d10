// Settings and coefficient recomputation of the room reverb; the per-frame code is in
// the header.
#include "dsp/room_reverb.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// Line lengths follow a geometric series with ratio 3^(-1/4) so that the four loop
// lengths share no simple ratio. Comb lengths are fractions of fs * size.
constexpr float kCombRatio[RoomReverb::kLines] = {0.2f, 0.15196714f, 0.11547005f, 0.08773827f};
// -60 dB times the comb ratio: each line loses 60 dB per decayTime.
constexpr float kCombDecayDb[RoomReverb::kLines] = {-12.0f, -9.118028f, -6.928203f, -5.264296f};
// Shorter lines get a proportionally higher damping corner.
constexpr float kDampingRatio[RoomReverb::kLines] = {1.0f, 0.75983566f, 0.57735026f, 0.43869135f};
// Buffers sized for 192 kHz at size 1.
constexpr int kCombMax[RoomReverb::kLines] = {38400, 29177, 22170, 16845};
constexpr int kEarly1Max = 9600;
constexpr int kEarly2Max = 2879;
constexpr float kEarly2Seconds = 0.015f;
constexpr float kEarlyDampingHz = 20000.0f;

struct VariantTable {
    int fdnAllpassMax[RoomReverb::kLines];
    float fdnAllpassSeconds[RoomReverb::kLines];
    int diffuserMax[RoomReverb::kLines];
    float diffuserSeconds[RoomReverb::kLines];
    float narrowingHz;
};

constexpr VariantTable kRenderer = {
    {1152, 875, 665, 505},
    {0.006f, 0.004559014f, 0.0034641016f, 0.002632148f},
    {1152, 875, 665, 505},
    {0.006f, 0.004559014f, 0.0034641016f, 0.002632148f},
    700.0f,
};

constexpr VariantTable kTrigwave = {
    {5759, 4376, 3325, 2526},
    {0.03f, 0.02279507f, 0.017320508f, 0.01316074f},
    {1920, 1458, 1108, 842},
    {0.01f, 0.0075983563f, 0.0057735024f, 0.004386913f},
    400.0f,
};

constexpr float kTrigwaveInputDiffusion = 0.4f;
constexpr float kFloor = 1e-6f;

const VariantTable& table(RoomReverb::Variant variant) {
    return variant == RoomReverb::Variant::Trigwave ? kTrigwave : kRenderer;
}

// Whole samples, truncated toward zero; kept in int range before the conversion.
int samples(float value) {
    if (!(value > 0.0f)) return 0;
    return static_cast<int>(std::min(value, 1.0e9f));
}

}  // namespace

RoomReverb::RoomReverb(Variant variant) : variant_(variant) {
    const VariantTable& t = table(variant_);
    for (int i = 0; i < kLines; ++i) {
        combs_[i].init(0, kCombMax[i], 1.0f);
        fdnAllpasses_[i].init(0, t.fdnAllpassMax[i], 0.0f);
        inputDiffusers_[i].init(0, t.diffuserMax[i], 0.0f);
    }
    early1_.init(0, kEarly1Max, 1.0f);
    early2_.init(0, kEarly2Max, 1.0f);
    setSampleRate(44100);
}

void RoomReverb::setSampleRate(int sampleRateHz) {
    sampleRateHz = std::clamp(sampleRateHz, 5000, 192000);
    if (sampleRateHz == sampleRate_) return;
    sampleRate_ = sampleRateHz;
    clear();
}

void RoomReverb::clear() {
    for (int i = 0; i < kLines; ++i) {
        combs_[i].clear();
        fdnAllpasses_[i].clear();
        inputDiffusers_[i].clear();
    }
    early1_.clear();
    early2_.clear();
    recompute();
}

void RoomReverb::recompute() {
    const VariantTable& t = table(variant_);
    const int fsInt = sampleRate_;
    const float fs = static_cast<float>(fsInt);
    for (int i = 0; i < kLines; ++i) {
        combs_[i].setLength(samples(fs * size_ * kCombRatio[i]));
        combs_[i].setGain(static_cast<float>(
            0.5 * std::pow(10.0, size_ * kCombDecayDb[i] / (decayTime_ * 20.0f))));
        combs_[i].setDamping(dampingFrequency_ / (size_ * kDampingRatio[i]), fsInt);
        fdnAllpasses_[i].setLength(samples(fs * t.fdnAllpassSeconds[i]));
        fdnAllpasses_[i].setGain(diffusion_ * 0.7f);
    }
    early1_.setDamping(kEarlyDampingHz, fsInt);
    early1_.setLength(samples(fs * earlyTime_));
    early1_.setGain(1.0f);
    early2_.setDamping(kEarlyDampingHz, fsInt);
    early2_.setLength(samples(fs * kEarly2Seconds));
    early2_.setGain(1.0f);
    inputLowpass_.setCutoff(inputLowpassFrequency_, fsInt);
    inputHighpassRef_.setCutoff(inputHighpassFrequency_, fsInt);
    const float diffuserGain =
        variant_ == Variant::Trigwave ? kTrigwaveInputDiffusion : inputDiffusion_;
    for (int i = 0; i < kLines; ++i) {
        inputDiffusers_[i].setLength(samples(fs * t.diffuserSeconds[i]));
        inputDiffusers_[i].setGain(diffuserGain);
    }
    modPhase_ = 0.0f;
    modStep_ = modulationRate_ / fs;
    lowNarrowFilter_.setCutoff(t.narrowingHz, fsInt);
}

void RoomReverb::setInputGain(float gainLinear) {
    inputGain_ = std::max(gainLinear, kFloor);
}

void RoomReverb::setDecayTime(float seconds) {
    decayTime_ = std::clamp(seconds, 0.01f, 7.0f);
    recompute();
}

void RoomReverb::setDampingFrequency(float hz) {
    dampingFrequency_ = std::clamp(hz, 10.0f, 40000.0f);
    recompute();
}

void RoomReverb::setDiffusion(float amount) {
    diffusion_ = std::clamp(amount, 0.0f, 1.0f);
    recompute();
}

void RoomReverb::setDryMix(bool on) {
    dryMix_ = on;
}

void RoomReverb::setWidth(float width) {
    width_ = std::clamp(width, 0.0f, 1.0f);
}

void RoomReverb::setBalance(float balance) {
    balance_ = std::clamp(balance, 0.0f, 1.0f);
}

void RoomReverb::setSize(float size) {
    size_ = std::clamp(size, 0.05f, 1.0f);
    recompute();
}

void RoomReverb::setInputLowpassFrequency(float hz) {
    inputLowpassFrequency_ = std::clamp(hz, 10.0f, 40000.0f);
    recompute();
}

void RoomReverb::setInputHighpassFrequency(float hz) {
    inputHighpassFrequency_ = std::clamp(hz, 10.0f, 10000.0f);
    recompute();
}

void RoomReverb::setSendLevel(float levelLinear) {
    sendLevel_ = std::max(levelLinear, kFloor);
}

void RoomReverb::setEarlyLevel(float levelLinear) {
    earlyLevel_ = std::max(levelLinear, kFloor);
}

void RoomReverb::setEarlyTime(float seconds) {
    earlyTime_ = seconds;
    recompute();
}

void RoomReverb::setInputDiffusion(float coefficient) {
    if (variant_ == Variant::Trigwave || coefficient == inputDiffusion_) return;
    inputDiffusion_ = coefficient;
    recompute();
}

void RoomReverb::setModulation(bool on) {
    modulation_ = on;
    clear();
}

void RoomReverb::setModulationRate(float sweepsPerSecond) {
    if (variant_ == Variant::Trigwave) return;
    modulationRate_ = std::max(sweepsPerSecond, 0.0f);
    recompute();
}

void RoomReverb::setModulationDepth(float depth) {
    if (variant_ == Variant::Trigwave) return;
    modulationDepth_ = std::clamp(depth, 0.0f, 0.1f);
}

void RoomReverb::setLowNarrowing(bool on) {
    lowNarrowing_ = on;
}

}  // namespace qx
