// Stereo room reverb: band-limited mono sum, input diffusers, two cascaded early taps and
// a four-line feedback delay network mixed through a sign matrix, with allpass diffusion
// and damping on every pass.
#pragma once

#include "dsp/allpass_delay.h"
#include "dsp/delay_line.h"
#include "dsp/one_pole_filter.h"

namespace qx {

class RoomReverb {
  public:
    // Renderer: the headphone renderers' reverb. Trigwave: longer feedback allpasses,
    // its own input diffusers with a fixed coefficient, 400 Hz narrowing and fixed
    // modulation rate and depth.
    enum class Variant { Renderer, Trigwave };

    static constexpr int kLines = 4;

    // Allocates every buffer for 192 kHz and size 1, then runs at 44100 Hz.
    explicit RoomReverb(Variant variant = Variant::Renderer);
    virtual ~RoomReverb() = default;

    // Setters run on the control thread; those that move line lengths or coefficients
    // must not interleave with processSample.
    void setSampleRate(int sampleRateHz);  // 5000..192000; a change empties the lines
    void setInputGain(float gainLinear);   // floor 1e-6
    void setDecayTime(float seconds);      // 0.01..7, time to fall by 60 dB
    void setDampingFrequency(float hz);    // 10..40000, damping corner of the longest line
    void setDiffusion(float amount);       // 0..1; feedback allpass coefficient 0.7 x amount
    void setDryMix(bool on);
    void setWidth(float width);                     // 0..1, weight of the side components
    void setBalance(float balance);                 // 0..1: left x (1 - balance), right x balance
    void setSize(float size);                       // 0.05..1, scales every comb length
    void setInputLowpassFrequency(float hz);        // 10..40000
    void setInputHighpassFrequency(float hz);       // 10..10000
    void setSendLevel(float levelLinear);           // floor 1e-6
    void setEarlyLevel(float levelLinear);          // floor 1e-6
    void setEarlyTime(float seconds);               // bounded by the first early line's maximum
    void setInputDiffusion(float coefficient);      // Renderer only; allpass clamp applies
    void setModulation(bool on);                    // empties the lines on every call
    void setModulationRate(float sweepsPerSecond);  // Renderer only; floor 0
    void setModulationDepth(float depth);           // Renderer only; 0..0.1
    void setLowNarrowing(bool on);

    // Empties every line and recomputes (filter memories are kept).
    void clear();

    // One frame; read the result with outputLeft/outputRight. Audio thread.
    inline void processSample(float left, float right);
    float outputLeft() const { return outL_; }
    float outputRight() const { return outR_; }

    Variant variant() const { return variant_; }
    int sampleRate() const { return sampleRate_; }
    const DelayLine& comb(int i) const { return combs_[i]; }
    const AllpassDelay& feedbackAllpass(int i) const { return fdnAllpasses_[i]; }
    const AllpassDelay& inputDiffuser(int i) const { return inputDiffusers_[i]; }
    const DelayLine& earlyLine(int i) const { return i == 0 ? early1_ : early2_; }
    const OnePoleFilter& lowNarrowFilter() const { return lowNarrowFilter_; }

  private:
    void recompute();

    Variant variant_;
    DelayLine combs_[kLines];
    AllpassDelay fdnAllpasses_[kLines];
    DelayLine early1_, early2_;
    AllpassDelay inputDiffusers_[kLines];
    OnePoleFilter inputLowpass_, inputHighpassRef_, lowNarrowFilter_;

    float inputGain_ = 1.0f;
    int sampleRate_ = -1;
    float decayTime_ = 2.17f;
    float dampingFrequency_ = 3250.0f;
    float diffusion_ = 0.9f;
    bool dryMix_ = false;
    float width_ = 1.0f;
    float balance_ = 0.5f;
    float size_ = 0.75f;
    float inputLowpassFrequency_ = 4000.0f;
    float inputHighpassFrequency_ = 150.0f;
    float sendLevel_ = 1.0f;
    float earlyLevel_ = 0.3f;
    float earlyTime_ = 0.01f;
    float inputDiffusion_ = 0.5f;
    bool modulation_ = false;
    float modulationRate_ = 0.5f;
    float modulationDepth_ = 0.015f;
    bool lowNarrowing_ = false;
    float outL_ = 0.0f;
    float outR_ = 0.0f;
    float modPhase_ = 0.0f;  // triangle phase 0..1
    float modStep_ = 0.0f;   // +-rate/fs, sign flips at the ends
};

void RoomReverb::processSample(float left, float right) {
    const float s = (left + right) * inputGain_;
    inputLowpass_.process(s);
    inputHighpassRef_.process(inputLowpass_.output());
    // The band between the two corners, inverted in sign.
    float e = inputHighpassRef_.output() - inputLowpass_.output();
    for (AllpassDelay& diffuser : inputDiffusers_) e = diffuser.processSample(e);

    float eL = 0.0f;
    float eR = 0.0f;
    if (earlyLevel_ > 0.0f) {
        early1_.write(earlyLevel_ * e);
        const float m = early1_.readCurrent();
        early2_.write(m);
        const float o = early2_.readCurrent();
        eL = m + o * width_;
        eR = m - o * width_;
    }
    const float n = sendLevel_ * e;

    float c0, c1, c2, c3;
    if (modulation_) {
        const float fs = static_cast<float>(sampleRate_);
        const float u = fs * modPhase_ * modulationDepth_ * 0.2f;
        const float v = fs * modulationDepth_ * (1.0f - modPhase_) * 0.2f;
        c0 = combs_[0].readInterpolated(u);
        c1 = combs_[1].readInterpolated(v);
        c2 = combs_[2].readInterpolated(u);
        c3 = combs_[3].readInterpolated(v);
    } else {
        c0 = combs_[0].readCurrent();
        c1 = combs_[1].readCurrent();
        c2 = combs_[2].readCurrent();
        c3 = combs_[3].readCurrent();
    }

    // Orthogonal sign matrix (the 0.5 normalisation sits in the comb gains).
    combs_[0].writeDamped(fdnAllpasses_[0].processSample(c3 + c2 + c1 + c0));
    combs_[1].writeDamped(fdnAllpasses_[1].processSample(c3 + c1 - c0 - c2));
    combs_[2].writeDamped(fdnAllpasses_[2].processSample(c2 + c3 - c1 - c0 + n));
    combs_[3].writeDamped(fdnAllpasses_[3].processSample(c3 + c0 - c1 - c2 + n));

    float outL = (c1 + c3 + (c0 - c2) * width_ + eL) * (1.0f - balance_);
    float outR = (c1 + c3 + (c2 - c0) * width_ + eR) * balance_;
    if (lowNarrowing_) {
        lowNarrowFilter_.process(outL - outR);
        const float h = lowNarrowFilter_.output();
        outL -= 0.45f * h;
        outR += 0.45f * h;
    }
    if (dryMix_) {
        outL += left;
        outR += right;
    }
    outL_ = outL;
    outR_ = outR;

    if (modulation_) {
        modPhase_ += modStep_;
        if (modPhase_ >= 1.0f) {
            modPhase_ = 1.0f;
            modStep_ = -modStep_;
        } else if (modPhase_ <= 0.0f) {
            modPhase_ = 0.0f;
            modStep_ = -modStep_;
        }
    }
}

}  // namespace qx
