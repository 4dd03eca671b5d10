// Signal engine of the lo-fi sampler emulator: cross-feed, four-pole anti-aliasing,
// one-pole low-cut tracking, sample-and-hold at an integer fraction of the host rate,
// requantisation, four-pole reconstruction, balance and output gain.
#pragma once

#include <cmath>

namespace qx {

class LofiEngine {
  public:
    static constexpr float kMinSampleRate = 5000.0f;
    static constexpr float kMinRate = 2000.0f;
    static constexpr float kMaxRate = 44100.0f;
    static constexpr int kStages = 4;

    LofiEngine();
    virtual ~LofiEngine() = default;

    // Control thread. Each setter clamps its argument and recomputes what depends on it.
    void setSampleRate(float hz);  // below 5000 taken as 5000; lowers the rate if needed
    void setRate(float hz);        // 2000..44100, never above the sample rate
    void setBits(int bits);        // 1..24
    void setHighCut(float hz);     // 0..1000
    void setAd(float amount);      // normalised 0..1, stored squared
    void setDa(float amount);      // normalised 0..1, stored squared
    void setCrosstalk(float amount) { crosstalk_ = amount; }
    void setPan(float pan);  // 0..1, 0.5 centre
    void setOutDb(float db) { outGain_ = static_cast<float>(std::pow(10.0, db / 20.0)); }
    void setBypass(bool on) { bypassed_ = on; }

    // Audio thread: one stereo frame; results in outL() / outR().
    inline void processSample(float left, float right);

    float outL() const { return outL_; }
    float outR() const { return outR_; }

    float sampleRate() const { return sampleRate_; }
    float rate() const { return rate_; }
    int bits() const { return bits_; }
    int steps() const { return steps_; }
    float stepSize() const { return stepSize_; }
    int holdPeriod() const { return holdPeriod_; }
    float adPole() const { return adPole_; }
    float daPole() const { return daPole_; }
    float lowPole() const { return lowPole_; }
    float outGain() const { return outGain_; }
    float pan() const { return pan_; }
    bool bypassed() const { return bypassed_; }

  private:
    void recompute();

    float sampleRate_ = 44100.0f;
    float rate_ = 44100.0f;
    int bits_ = 24;
    float highCutHz_ = 50.0f;
    float adAmount_ = 0.0f;
    float daAmount_ = 0.0f;
    float crosstalk_ = 0.0f;
    bool bypassed_ = false;
    float pan_ = 0.5f;
    float outGain_ = 1.0f;
    float adState_[2][kStages] = {};  // anti-aliasing stages per channel
    float daState_[2][kStages] = {};  // reconstruction stages per channel
    float lowTrack_[2] = {};          // low-frequency content removed before the hold
    float held_[2] = {};              // held, requantised sample per channel
    float adPole_ = 0.0f;
    float daPole_ = 0.0f;
    float lowPole_ = 0.0f;
    int steps_ = 0;
    float stepSize_ = 0.0f;
    int holdPeriod_ = 1;
    int holdCounter_ = 0;
    float outL_ = 0.0f;
    float outR_ = 0.0f;
};

inline void LofiEngine::processSample(float left, float right) {
    if (bypassed_) {
        outL_ = left;
        outR_ = right;
        return;
    }
    const float in[2] = {left + crosstalk_ * right, right + crosstalk_ * left};
    float aa[2];
    for (int c = 0; c < 2; ++c) {
        float x = in[c];
        for (int s = 0; s < kStages; ++s) {
            adState_[c][s] = (1.0f - adPole_) * x + adPole_ * adState_[c][s];
            x = adState_[c][s];
        }
        aa[c] = x;
        lowTrack_[c] = lowPole_ * lowTrack_[c] + (1.0f - lowPole_) * x;
    }
    if (--holdCounter_ < 0) {
        holdCounter_ += holdPeriod_;
        for (int c = 0; c < 2; ++c) {
            const float scaled = (aa[c] - lowTrack_[c]) * static_cast<float>(steps_);
            held_[c] = static_cast<float>(std::floor(static_cast<double>(scaled) + 0.5) *
                                          static_cast<double>(stepSize_));
        }
    }
    float da[2];
    for (int c = 0; c < 2; ++c) {
        float x = held_[c];
        for (int s = 0; s < kStages; ++s) {
            daState_[c][s] = (1.0f - daPole_) * x + daPole_ * daState_[c][s];
            x = daState_[c][s];
        }
        da[c] = x;
    }
    outL_ = (1.0f - pan_) * da[0] * outGain_ * 2.0f;
    outR_ = pan_ * da[1] * outGain_ * 2.0f;
}

}  // namespace qx
