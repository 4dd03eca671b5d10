// Coefficients, settings, reset, bypass path and meter readers of the limiter engine.
#include "effects/palisor/limiter_engine.h"

#include <algorithm>

namespace qx {

namespace {

constexpr float kResetValue = 1e-8f;  // running state restarts here, not at 0
constexpr float kAntiDenormalDb = -160.0f;
constexpr float kMeterSeconds = 1.0f;
constexpr float kMeterRmsSeconds = 0.25f;
constexpr float kRmsSmoothSeconds = 0.001f;

}  // namespace

LimiterEngine::LimiterEngine() {
    ch_[0].dither.seedNoise(2);
    ch_[1].dither.seedNoise(3);
    updateSampleRate(44100.0f);
}

// exp(-1 / (seconds fs)): the per-sample factor of a one-pole smoother.
float LimiterEngine::timeCoef(float seconds, float sampleRate) {
    return static_cast<float>(std::exp(-1.0 / (static_cast<double>(seconds) * sampleRate)));
}

void LimiterEngine::updateSampleRate(float sampleRateHz) {
    const float fs =
        sampleRateHz >= kMinSampleRate ? std::min(sampleRateHz, kMaxSampleRate) : kMinSampleRate;
    sampleRate_ = fs;
    meterDecay_ = timeCoef(kMeterSeconds, fs);
    meterRmsCoef_ = timeCoef(kMeterRmsSeconds, fs);
    xcorrCoef_ = timeCoef(0.5f * xcorrTime_, fs);
    peakSmoothCoef_ = timeCoef(kPeakAttackSeconds, fs);
    peakReleaseCoef_ = timeCoef(kPeakReleaseSeconds, fs);
    envReleaseCoef_ = timeCoef(envReleaseTime_, fs);
    envHysteresisCoef_ = timeCoef(envHysteresisTime_, fs);
    rmsAttackCoef_ = timeCoef(0.5f * rmsAttackTime_, fs);
    rmsReleaseCoef_ = timeCoef(0.5f * rmsReleaseTime_, fs);
    rmsSmoothCoef_ = timeCoef(kRmsSmoothSeconds, fs);
    setSoftclipThreshold(softclipThresholdDb_);
    setRmsThreshold(rmsThresholdDb_);
    holdSamples_ = static_cast<int>(kHoldSeconds * fs);

    // The excess tracker (instant rise, release rate a) followed by the smoother (rate
    // w) answers a single over with a peak at t* = ln(w/a)/(w - a) of height
    // (a/w)^(a/(w - a)). The detector looks t* ahead, and peakNorm lifts that peak to
    // the size of the over.
    const double w = 1.0f / kPeakAttackSeconds;
    const double a = 1.0f / kPeakReleaseSeconds;
    lookahead_ = static_cast<int>(std::ceil((std::log(w) - std::log(a)) * fs / (w - a)));
    peakNorm_ = static_cast<float>(1.0 / (std::pow(w, w / (a - w)) * std::pow(a, a / (w - a)) * w));
    // Taps beyond the line read its ends (only above about 196 kHz).
    auto tap = [](int i) { return std::clamp(i, 0, kDelayLength - 1); };
    tapD_ = tap(lookahead_);
    tapBefore_ = tap(lookahead_ - 1);
    tapAfter_ = tap(lookahead_ + 1);
    for (int k = 0; k < kIspTaps; ++k) tapIsp_[k] = tap(lookahead_ - 3 + k);

    for (Channel& c : ch_) {
        c.highpass.design(fs, kBiquadHighpass, kCorrelationHighpassHz, 1.0f, 0.0f);
        c.dither.setSampleRate(fs);
        c.dither.init(std::min(wordLength_, DitherQuantizer::kMaxWordLength));
    }
    noise_.setLevel(kAntiDenormalDb);
    reset();
}

void LimiterEngine::reset() {
    for (Channel& c : ch_) {
        c.out = c.work = kResetValue;
        c.peakLevel = c.meanSquare = c.peakHold = kResetValue;
        c.excess = c.env = c.holdEnv = c.slowEnv = kResetValue;
        c.softclipPeak = kResetValue;
        c.holdCount = 0;
        c.gain = 1.0f;
    }
    xcorrLL_ = xcorrRR_ = xcorrLR_ = kResetValue;
    rmsFastState_ = rmsAttackState_ = rmsHoldState_ = kResetValue;
    rmsGain_ = 1.0f;
}

void LimiterEngine::setBypassed(bool on) {
    bypassed_ = on;
    reset();
    for (auto& frame : delay_) frame[0] = frame[1] = 0.0f;
    writePos_ = kDelayLength;
}

void LimiterEngine::setOutputGain(float gainLinear) {
    outputGain_ = gainLinear >= kMinOutputGain ? gainLinear : kMinOutputGain;
}

void LimiterEngine::setXcorrTime(float seconds) {
    xcorrTime_ = std::max(seconds, kMinTimeSeconds);
    xcorrCoef_ = timeCoef(0.5f * xcorrTime_, sampleRate_);
}

void LimiterEngine::setEnvRelease(float seconds) {
    envReleaseTime_ = std::max(seconds, kMinTimeSeconds);
    envReleaseCoef_ = timeCoef(envReleaseTime_, sampleRate_);
}

void LimiterEngine::setEnvHysteresis(float seconds) {
    envHysteresisTime_ = std::max(seconds, kMinTimeSeconds);
    envHysteresisCoef_ = timeCoef(envHysteresisTime_, sampleRate_);
}

void LimiterEngine::setSoftclipThreshold(float thresholdDb) {
    softclipThresholdDb_ = thresholdDb;
    softclipInScale_ = static_cast<float>(0.5 * std::pow(10.0, -thresholdDb / 20.0));
    softclipOutScale_ = static_cast<float>(2.0 * std::pow(10.0, thresholdDb / 20.0));
}

void LimiterEngine::setSoftclipAmount(float amount) {
    softclipAmount_ = amount;
    for (Channel& c : ch_) c.softclipPeak = 1.0f;
}

void LimiterEngine::setRmsAttack(float seconds) {
    rmsAttackTime_ = std::max(seconds, kMinTimeSeconds);
    rmsAttackCoef_ = timeCoef(0.5f * rmsAttackTime_, sampleRate_);
}

void LimiterEngine::setRmsRelease(float seconds) {
    rmsReleaseTime_ = std::max(seconds, kMinTimeSeconds);
    rmsReleaseCoef_ = timeCoef(0.5f * rmsReleaseTime_, sampleRate_);
}

void LimiterEngine::setRmsThreshold(float thresholdDb) {
    rmsThresholdDb_ = thresholdDb;
    rmsThresholdPower_ = static_cast<float>(std::pow(10.0, thresholdDb / 10.0));
}

void LimiterEngine::setInterSamplePeak(bool on) {
    interSamplePeak_ = on;
    resetPeakHold();
}

void LimiterEngine::setWordLength(int bits) {
    wordLength_ = bits;
    for (Channel& c : ch_) c.dither.init(std::min(bits, DitherQuantizer::kMaxWordLength));
}

void LimiterEngine::resetPeakHold() {
    for (Channel& c : ch_) c.holdCount = 0;
}

float LimiterEngine::peakHoldDb(int channel) const {
    return static_cast<float>(20.0 * std::log10(static_cast<double>(peakHold(channel))));
}

float LimiterEngine::correlation() const {
    const float c = xcorrLR_ / std::sqrt((1e-8f + xcorrRR_) * (1e-8f + xcorrLL_));
    if (bypassed_) return c;
    return std::max(c, xcorrThreshold_);
}

float LimiterEngine::correlationCorrection() const {
    if (bypassed_) return 0.0f;
    const float c = xcorrLR_ / std::sqrt((1e-8f + xcorrRR_) * (1e-8f + xcorrLL_));
    return c >= xcorrThreshold_ ? 0.0f : xcorrThreshold_ - c;
}

float LimiterEngine::readSoftclipGain(int channel) {
    Channel& c = ch_[channel & 1];
    const float a = softclipAmount_;
    const float b = softclipInScale_ * c.softclipPeak + 1e-8f;
    c.softclipPeak = 0.0f;
    if (b >= 1.0f) return a * 0.5f / b + (1.0f - a);
    return 1e-8f + (1.0f - a) + a * (2.0f - b) * 0.5f;
}

}  // namespace qx
