// Band layout and storage of the complex heterodyne filter bank: up to 20 bands spaced
// evenly on the ERB-rate scale, each a cascade of identical one-pole low passes around
// its own carrier, all bands delayed to peak together 1024 samples late.
#pragma once

#include <cstdint>

namespace qx {

// x held to lo .. hi, a NaN to lo: settings clamp host-derived values with it.
inline float heldTo(float x, float lo, float hi) {
    return x > lo ? (x < hi ? x : hi) : lo;
}

// Everything the per-sample kernels read and write, as structure of arrays: every
// per-band quantity is a row of kLanes floats with the bands side by side, so that one
// vector instruction works on 4 or 8 neighbouring bands. Rows are padded past the 20
// bands to whole 8-lane vectors; padding lanes compute harmlessly and are never summed.
struct BankState {
    static constexpr int kBandCapacity = 20;
    static constexpr int kOrderCapacity = 5;
    static constexpr int kChannels = 2;
    static constexpr int kLanes = 24;
    static constexpr int kDelayLength = 1024;  // latency of every band, samples
    static constexpr int kRingSize = 2048;     // power of two above kDelayLength + 1
    static constexpr int kRingMask = kRingSize - 1;

    // Band layout (recomputed on rate, count and order changes)
    alignas(32) float omega[kLanes] = {};        // carrier, radians per sample
    alignas(32) float phaseOffset[kLanes] = {};  // demodulator phase for the band delay
    alignas(32) float pole[kLanes] = {};         // one-pole coefficient of every stage
    alignas(32) std::int32_t ringDelay[kLanes];  // analysis delay 1024 - Di, 1..1024

    // Analysis state: stage outputs per channel, stage and band
    alignas(32) float stateRe[kChannels][kOrderCapacity][kLanes] = {};
    alignas(32) float stateIm[kChannels][kOrderCapacity][kLanes] = {};
    alignas(32) float bandOut[kChannels][kLanes] = {};  // band sample after dynamics
    alignas(32) float bandMag[kChannels][kLanes] = {};  // envelope (max/min magnitude)

    // Dynamics, per band
    alignas(32) float level[kLanes] = {};  // smoothed detector level
    alignas(32) float gain[kLanes];        // gain applied to the band
    alignas(32) float attackCoef[kLanes] = {};
    alignas(32) float releaseCoef[kLanes] = {};
    alignas(32) float detectorWeight[kLanes] = {};
    alignas(32) float makeup[kLanes];
    alignas(32) float inverseThreshold[kLanes];
    alignas(32) float ratioExponent[kLanes];
    alignas(32) float warmth[kLanes] = {};
    alignas(32) float warmthDry[kLanes];  // 1 - warmth
    alignas(32) float warmthWet[kLanes];  // 0.1 warmth
    float fastCoef = 0.0f;                // gain fall, 0.5 ms
    bool warmthEnabled = true;

    // Scalars of the running bank
    float sampleRate = 44100.0f;
    int bandCount = kBandCapacity;
    int order = kOrderCapacity;
    int counter = 0;  // oscillator clock, wraps at the sample rate
    int ringPos = 0;  // slot of the next analysis write

    // Analysis delay: input times 1.26, per channel
    alignas(32) float ring[kChannels][kRingSize] = {};

    BankState();
};

// The 2048-entry carrier tables, shared by every instance (they do not depend on the rate).
struct OscillatorTable {
    static constexpr int kSize = 2048;
    static constexpr int kMask = kSize - 1;
    static constexpr float kIndexScale = 325.9493f;  // 2048 / 2 pi
    // (cos, sin) of 2 pi k / 2048 side by side: one load fetches both.
    alignas(32) float pairs[kSize][2];

    // Built on first use (the control thread constructs every engine).
    static const OscillatorTable& get();
};

class ErbFilterBank {
  public:
    static constexpr int kBandCapacity = BankState::kBandCapacity;
    static constexpr int kOrderCapacity = BankState::kOrderCapacity;
    static constexpr int kChannels = BankState::kChannels;
    static constexpr float kLowEdgeHz = 25.0f;
    static constexpr float kHighEdgeHz = 18000.0f;
    static constexpr float kMinSampleRate = 100.0f;
    // Keeps the sample counters (oscillator clock, ten-second holds) inside int range.
    static constexpr float kMaxSampleRate = 10.0e6f;
    static constexpr float kInputGain = 1.26f;

    ErbFilterBank();
    virtual ~ErbFilterBank() = default;

    // --- Layout settings; they recompute the layout in place, keeping every state ---
    // Hz, held to 100 .. 10e6 (a NaN is ignored).
    void setSampleRate(float sampleRateHz);
    // 1 .. 20 bands.
    void setBandCount(int bands);
    // 1 .. 5 stages per band.
    void setFilterOrder(int stages);

    float sampleRate() const { return s_.sampleRate; }
    int bandCount() const { return s_.bandCount; }
    int filterOrder() const { return s_.order; }

    // --- Layout of band i (0 .. 19), as last computed for it ---
    int centreHz(int band) const { return layout_[clampBand(band)].centreHz; }
    float lowEdgeHz(int band) const { return layout_[clampBand(band)].lowHz; }
    float highEdgeHz(int band) const { return layout_[clampBand(band)].highHz; }
    // Stage cutoff wc in radians per second.
    float stageCutoff(int band) const { return layout_[clampBand(band)].cutoff; }
    // Di: samples from the band's input to the peak of its stage cascade.
    int bandDelay(int band) const { return layout_[clampBand(band)].delay; }
    float pole(int band) const { return s_.pole[clampBand(band)]; }
    float omega(int band) const { return s_.omega[clampBand(band)]; }
    float phaseOffset(int band) const { return s_.phaseOffset[clampBand(band)]; }

    // --- Current values of the last processed frame (audio thread) ---
    float bandOut(int band, int channel) const { return s_.bandOut[channel & 1][clampBand(band)]; }
    float bandMag(int band, int channel) const { return s_.bandMag[channel & 1][clampBand(band)]; }
    // Output stage k of band i: the baseband sample after k + 1 stages.
    float stageRe(int band, int channel, int stage) const;
    float stageIm(int band, int channel, int stage) const;

  protected:
    // Called after every layout change, before it returns.
    virtual void layoutChanged() {}

    static int clampBand(int band) {
        return band < 0 ? 0 : (band >= kBandCapacity ? kBandCapacity - 1 : band);
    }
    void computeLayout();

    BankState s_;

  private:
    struct BandLayout {
        int centreHz = 0;
        float lowHz = 0.0f, highHz = 0.0f, cutoff = 0.0f;
        int delay = 0;
    };
    BandLayout layout_[kBandCapacity];
};

}  // namespace qx
