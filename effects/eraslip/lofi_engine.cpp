#include "effects/eraslip/lofi_engine.h"

#include <algorithm>

namespace qx {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Factor that puts the -3 dB point of four identical one-pole stages at the design
// frequency: 1 / sqrt(2^(1/4) - 1).
const double kFourStageFactor = 1.0 / std::sqrt(std::pow(2.0, 0.25) - 1.0);

float squaredAmount(float x) {
    if (!(x > 0.0f)) return 0.0f;
    if (x > 1.0f) return 1.0f;
    return x * x;
}

}  // namespace

LofiEngine::LofiEngine() {
    recompute();
}

void LofiEngine::setSampleRate(float hz) {
    sampleRate_ = std::max(hz, kMinSampleRate);
    rate_ = std::min(rate_, sampleRate_);
    recompute();
}

void LofiEngine::setRate(float hz) {
    rate_ = std::min(std::clamp(hz, kMinRate, kMaxRate), sampleRate_);
    recompute();
}

void LofiEngine::setBits(int bits) {
    bits_ = std::clamp(bits, 1, 24);
    recompute();
}

void LofiEngine::setHighCut(float hz) {
    highCutHz_ = std::clamp(hz, 0.0f, 1000.0f);
    recompute();
}

void LofiEngine::setAd(float amount) {
    adAmount_ = squaredAmount(amount);
    recompute();
}

void LofiEngine::setDa(float amount) {
    daAmount_ = squaredAmount(amount);
    recompute();
}

void LofiEngine::setPan(float pan) {
    pan_ = std::clamp(pan, 0.0f, 1.0f);
}

void LofiEngine::recompute() {
    steps_ = 1 << bits_;
    stepSize_ = 1.0f / static_cast<float>(steps_);
    const double fs = sampleRate_;
    lowPole_ = static_cast<float>(std::exp(-kTwoPi * highCutHz_ / fs));
    const double f = 0.4 * rate_;
    auto stagePole = [&](float amount) {
        const double designHz = 0.5 * (f + (30000.0 - f) * amount);
        return static_cast<float>(std::exp(-kTwoPi * kFourStageFactor * designHz / fs));
    };
    adPole_ = stagePole(adAmount_);
    daPole_ = stagePole(daAmount_);
    holdPeriod_ = std::max(1, static_cast<int>(std::floor(sampleRate_ / rate_)));
}

}  // namespace qx
