// Band layout of the filter bank on the ERB-rate scale, and the shared carrier tables.
#include "effects/quassel/erb_filter_bank.h"

#include <cmath>

namespace qx {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;

// ERB-rate warp and its inverse (Glasberg and Moore), in single precision.
float erbRate(float hz) {
    return 9.265f * std::log(1.0f + 0.00436976f * hz);
}
float erbInverse(float erb) {
    return (std::exp(0.107933074f * erb) - 1.0f) * 228.84552f;
}

}  // namespace

BankState::BankState() {
    for (int i = 0; i < kLanes; ++i) {
        ringDelay[i] = kDelayLength;
        gain[i] = 1.0f;
        makeup[i] = 1.0f;
        inverseThreshold[i] = 1.0f;
        ratioExponent[i] = 1.0f;
        warmthDry[i] = 1.0f;
        warmthWet[i] = 0.0f;
    }
}

const OscillatorTable& OscillatorTable::get() {
    static const OscillatorTable table = [] {
        OscillatorTable t;
        for (int k = 0; k < kSize; ++k) {
            const double phase = 2.0 * M_PI * k / kSize;
            t.pairs[k][0] = static_cast<float>(std::cos(phase));
            t.pairs[k][1] = static_cast<float>(std::sin(phase));
        }
        return t;
    }();
    return table;
}

ErbFilterBank::ErbFilterBank() {
    OscillatorTable::get();
    computeLayout();
}

void ErbFilterBank::setSampleRate(float sampleRateHz) {
    if (std::isnan(sampleRateHz)) return;
    const float fs = heldTo(sampleRateHz, kMinSampleRate, kMaxSampleRate);
    if (fs == s_.sampleRate) return;
    s_.sampleRate = fs;
    // The clock may now be past the new wrap point; it wraps at the next sample.
    computeLayout();
}

void ErbFilterBank::setBandCount(int bands) {
    const int n = bands < 1 ? 1 : (bands > kBandCapacity ? kBandCapacity : bands);
    if (n == s_.bandCount) return;
    s_.bandCount = n;
    computeLayout();
}

void ErbFilterBank::setFilterOrder(int stages) {
    // Fewer than one stage has no delay or cutoff to speak of.
    const int n = stages < 1 ? 1 : (stages > kOrderCapacity ? kOrderCapacity : stages);
    if (n == s_.order) return;
    s_.order = n;
    computeLayout();
}

float ErbFilterBank::stageRe(int band, int channel, int stage) const {
    const int k = stage < 0 ? 0 : (stage >= kOrderCapacity ? kOrderCapacity - 1 : stage);
    return s_.stateRe[channel & 1][k][clampBand(band)];
}

float ErbFilterBank::stageIm(int band, int channel, int stage) const {
    const int k = stage < 0 ? 0 : (stage >= kOrderCapacity ? kOrderCapacity - 1 : stage);
    return s_.stateIm[channel & 1][k][clampBand(band)];
}

void ErbFilterBank::computeLayout() {
    const float fs = s_.sampleRate;
    const int n = s_.bandCount;
    const int order = s_.order;
    const float lowErb = erbRate(kLowEdgeHz);
    const float erbStep = (erbRate(kHighEdgeHz) - lowErb) / static_cast<float>(n);
    // -3 dB of the whole cascade at half the band width: each stage sits this far above.
    const float cascadeSpread = std::sqrt(std::pow(2.0f, 1.0f / static_cast<float>(order)) - 1.0f);
    // Keeps every band delay within the analysis delay.
    const float minCutoff = static_cast<float>(order - 1) * fs / 1024.0f;
    const float peakStages = static_cast<float>(order - 1);
    for (int i = 0; i < n; ++i) {
        // The warp and its inverse round-trip only to float precision, so the outer edges
        // are pinned: the bands tile exactly 25 .. 18000 Hz.
        const float lo = i == 0 ? kLowEdgeHz : erbInverse(lowErb + static_cast<float>(i) * erbStep);
        const float hi =
            i == n - 1 ? kHighEdgeHz : erbInverse(lowErb + static_cast<float>(i + 1) * erbStep);
        // An integer centre brings every carrier back to phase 0 when the clock wraps.
        const int centre = static_cast<int>(std::floor((lo + hi + 1.0f) / 2.0f));
        float wc = kPi * (hi - lo) / cascadeSpread;
        if (wc < minCutoff) wc = minCutoff;
        const int delay = static_cast<int>(std::floor(peakStages / wc * fs + 0.5f));

        BandLayout& b = layout_[i];
        b.centreHz = centre;
        b.lowHz = lo;
        b.highHz = hi;
        b.cutoff = wc;
        b.delay = delay;
        s_.pole[i] = std::exp(-wc / fs);
        s_.omega[i] = static_cast<float>(centre) * kTwoPi / fs;
        s_.phaseOffset[i] = -kTwoPi * static_cast<float>(centre) * peakStages / wc;
        // The tap reads the sample written 1024 - Di frames earlier, at least one.
        const int tap =
            delay < 0 ? 0
                      : (delay > BankState::kDelayLength - 1 ? BankState::kDelayLength - 1 : delay);
        s_.ringDelay[i] = BankState::kDelayLength - tap;
    }
    layoutChanged();
}

}  // namespace qx
