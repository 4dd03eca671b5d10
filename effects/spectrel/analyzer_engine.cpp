// Coefficients, window, settings, reset and the spectrum step of the analyzer engine.
#include "effects/spectrel/analyzer_engine.h"

#include "dsp/noise_source.h"
#include "effects/spectrel/power_fold.h"

namespace qx {

namespace {

constexpr float kAntiDenormalDb = -160.0f;
constexpr float kMeterSeconds = 1.0f;
constexpr float kMeterRmsSeconds = 0.25f;
constexpr float kCorrelationSeconds = 0.15f;
constexpr float kSlowSpectrumSeconds = 2.5f;
constexpr float kFastSpectrumSeconds = 0.15f;

// exp(-frames / (seconds fs)): the factor of a one-pole smoother updated once per
// `frames` frames.
float smoothingCoef(float seconds, float sampleRate, float frames = 1.0f) {
    return static_cast<float>(
        std::exp(-static_cast<double>(frames) / (static_cast<double>(seconds) * sampleRate)));
}

}  // namespace

AnalyzerEngine::AnalyzerEngine() {
    // Four-term Blackman-Harris window, symmetric over the 2048 points (the angle step
    // is 2 pi / 2047). It does not depend on the sample rate, so it is built once.
    constexpr float a1 = 0.0030694604f, a2 = 0.006138921f, a3 = 0.009208381f;
    for (int i = 0; i < kFftSize; ++i) {
        const float t = static_cast<float>(i);
        window_[i] = 0.35875f - 0.48829f * std::cos(t * a1) + 0.14128f * std::cos(t * a2) -
                     0.01168f * std::cos(t * a3);
    }
    NoiseSource noise;
    noise.setLevel(kAntiDenormalDb);
    for (int k = 0; k < kNoisePairs; ++k) {
        noiseL_[k] = noise.nextSample();
        noiseR_[k] = noise.nextSample();
    }
    updateSampleRate(44100.0f);
}

void AnalyzerEngine::updateSampleRate(float sampleRateHz) {
    const float fs =
        sampleRateHz >= kMinSampleRate ? std::min(sampleRateHz, kMaxSampleRate) : kMinSampleRate;
    sampleRate_ = fs;
    meterDecay_ = smoothingCoef(kMeterSeconds, fs);
    meterRmsCoef_ = smoothingCoef(kMeterRmsSeconds, fs);
    correlationCoef_ = smoothingCoef(kCorrelationSeconds, fs);
    spectrumCoef_ = smoothingCoef(slowAveraging_ ? kSlowSpectrumSeconds : kFastSpectrumSeconds, fs,
                                  static_cast<float>(kHop));
    holdSamples_ = static_cast<int>(kHoldSeconds * fs);
    reset();
}

void AnalyzerEngine::reset() {
    inL_ = inR_ = kLevelFloor;
    std::fill_n(peakLevel_, kNumMeters, kLevelFloor);
    std::fill_n(peakHold_, kNumMeters, kLevelFloor);
    std::fill_n(meanSquare_, kNumMeters, 1e-16f);
    std::fill_n(holdCount_, kNumMeters, 0);
    // The products restart where silence leaves them (LL near 1e-8, RR and LR near 1e-16),
    // so silence after a reset reads a correlation of about 0. LR at 1e-8 against LL and
    // RR at 1e-16 would read 1e8 and pin the meter for seconds.
    corr_[0] = 1e-8f;
    corr_[1] = corr_[2] = 1e-16f;
    corr_[3] = 0.0f;
    std::fill_n(&ispHistory_[0][0], (kIspTaps - 1) * kNumMeters, 0.0f);
    clearSpectra();
}

void AnalyzerEngine::clearSpectra() {
    std::fill_n(historyL_, kFftSize, 0.0f);
    std::fill_n(historyR_, kFftSize, 0.0f);
    std::fill_n(spectrumOut_, kFftSize, 0.0f);
    std::fill_n(spectrumL_, kBins, kSpectrumFloor);
    std::fill_n(spectrumR_, kBins, kSpectrumFloor);
    ++spectrumFrame_;
}

void AnalyzerEngine::setBypassed(bool on) {
    bypassed_ = on;
    if (!on) reset();
}

void AnalyzerEngine::setSlowAveraging(bool on) {
    slowAveraging_ = on;
    updateSampleRate(sampleRate_);
}

void AnalyzerEngine::setInterSamplePeak(bool on) {
    interSamplePeak_ = on;
    resetPeakHold();
}

void AnalyzerEngine::setSpectrumOn(bool on) {
    spectrumOn_ = on;
    if (!on) clearSpectra();
}

void AnalyzerEngine::resetPeakHold() {
    std::fill_n(peakHold_, kNumMeters, kLevelFloor);
    std::fill_n(holdCount_, kNumMeters, 0);
}

float AnalyzerEngine::peakHoldDb(int meter) const {
    return 20.0f * std::log10(kLevelFloor + peakHold(meter));
}

float AnalyzerEngine::correlation() const {
    return corr_[2] / std::sqrt(corr_[0] * corr_[1]);
}

void AnalyzerEngine::computeSpectrum() {
    const float g = aes17_ ? 2.0f : 1.0f;
    // The window is applied as the transform reads the history, oldest frame first.
    fft_.forwardWindowed(spectrumOut_, historyL_, historyPos_, window_);
    foldPower_(spectrumL_, spectrumOut_, spectrumCoef_, g);
    fft_.forwardWindowed(spectrumOut_, historyR_, historyPos_, window_);
    foldPower_(spectrumR_, spectrumOut_, spectrumCoef_, g);
    ++spectrumFrame_;
}

}  // namespace qx
