// Settings, bypass, reset and meter readers of the multiband engine.
#include "effects/quassel/multiband_engine.h"

namespace qx {

MultibandEngine::MultibandEngine() {
    // Independent sequences, so the two channels' noise floors are uncorrelated.
    noise_[0].setSeed(1);
    noise_[1].setSeed(2);
    for (DelayLine& d : dry_) d.init(kLatency, kLatency, 1.0f);
    sampleRate_ = 0.0f;  // forces the rate-dependent values below
    setSampleRate(bank_.sampleRate());
    reset();
}

void MultibandEngine::setOutputTrim(float gainLinear) {
    outputTrim_ = heldTo(gainLinear, kMinOutputTrim, HUGE_VALF);
}

void MultibandEngine::setPreGain(float gainLinear) {
    preGain_ = heldTo(gainLinear, 0.0f, kMaxPreGain);
}

void MultibandEngine::setDryWet(float fraction) {
    dryWet_ = heldTo(fraction, 0.0f, 1.0f);
}

void MultibandEngine::setBypass(bool on) {
    // Hosts resend unchanged values; only a real switch restarts the paths.
    if (on == bypassed_) return;
    bypassed_ = on;
    reset();
    for (DelayLine& d : dry_) d.clear();
    bank_.clearAnalysis();
}

void MultibandEngine::setSampleRate(float sampleRateHz) {
    if (std::isnan(sampleRateHz)) return;
    const float fs =
        heldTo(sampleRateHz, ErbFilterBank::kMinSampleRate, ErbFilterBank::kMaxSampleRate);
    if (fs == sampleRate_) return;
    sampleRate_ = fs;
    meterDecay_ = static_cast<float>(std::exp(-1.0 / static_cast<double>(fs)));
    holdSamples_ = static_cast<int>(std::floor(static_cast<double>(fs) * kHoldSeconds));
    bank_.setSampleRate(fs);
}

void MultibandEngine::reset() {
    for (int j = 0; j < kNumInputs; ++j) inFrame_[j] = 0.0f;
    for (int k = 0; k < kNumOutputs; ++k) {
        outFrame_[k] = 0.0f;
        meters_[k] = PeakMeter{};
    }
}

void MultibandEngine::resetHold() {
    for (PeakMeter& m : meters_) m.holdCounter = 0;
}

float MultibandEngine::meterLevel(int channel) const {
    return validChannel(channel) ? meters_[channel].level : kMeterFloor;
}

float MultibandEngine::meterHold(int channel) const {
    return validChannel(channel) ? meters_[channel].hold : kMeterFloor;
}

float MultibandEngine::meterHoldDb(int channel) const {
    return validChannel(channel) ? 20.0f * std::log10(meters_[channel].hold) : -160.0f;
}

}  // namespace qx
