// Signal engine of the mastering limiter: drive, width, correlation guard, soft clipper,
// 512-sample look-ahead, RMS stage, smooth peak limiter, hard clip, trim, requantisation
// and the meter state the editor reads.
#pragma once

#include <cmath>

#include "dsp/biquad_filter.h"
#include "dsp/delay_line.h"
#include "dsp/noise_source.h"
#include "effects/palisor/dither_quantizer.h"

namespace qx {

class LimiterEngine {
  public:
    static constexpr int kDelayLength = 512;  // the fixed latency, samples
    static constexpr float kMinSampleRate = 5000.0f;
    // Keeps the integer sample counts derived from the rate in range.
    static constexpr float kMaxSampleRate = 10.0e6f;
    static constexpr float kMinTimeSeconds = 0.005f;
    static constexpr float kMinOutputGain = 1e-6f;
    static constexpr float kPeakAttackSeconds = 0.0015f;
    static constexpr float kPeakReleaseSeconds = 0.005f;
    static constexpr float kHoldSeconds = 10.0f;
    static constexpr float kCorrelationHighpassHz = 800.0f;
    static constexpr float kGuardOffThreshold = -0.95f;  // at or below: guard off
    static constexpr float kSoftclipOnAmount = 0.01f;    // above: clipper on
    static constexpr int kIspTaps = 8;
    // Half-sample interpolator of the inter-sample-peak detector (sums to 0.92536).
    static constexpr float kIspTap[kIspTaps] = {-0.0876277f, 0.12493774f, -0.21076833f,
                                                0.63613927f, 0.63613927f, -0.21076833f,
                                                0.12493774f, -0.0876277f};

    LimiterEngine();

    // --- Rewrites running state: never concurrently with processSample ---
    // Hz, held to 5000..10e6; recomputes every coefficient and resets.
    void updateSampleRate(float sampleRateHz);
    // Clears envelopes, meters and correlation state; delay lines, filters and
    // quantisers keep their contents.
    void reset();
    // Stores the switch, resets and empties the look-ahead delay.
    void setBypassed(bool on);

    // --- Settings: each stores its value and recomputes its own coefficient ---
    void setOutputGain(float gainLinear);  // held to at least 1e-6
    void setDrive(float gainLinear) { driveGain_ = gainLinear; }
    // 0 mono, 0.5 unchanged, 1 doubles the side signal.
    void setSideGain(float factor) { sideGain_ = factor; }
    void setXcorrTime(float seconds);
    // -1..1; at or below -0.95 the correlation guard is off.
    void setXcorrThreshold(float threshold) { xcorrThreshold_ = threshold; }
    void setEnvRelease(float seconds);
    void setEnvHysteresis(float seconds);
    // 0..1: how far each channel's envelope pulls the other.
    void setStereoLink(float amount) { stereoLink_ = amount; }
    void setSoftclipThreshold(float thresholdDb);
    // 0..1 wet fraction; restarts the soft-clip peak trackers.
    void setSoftclipAmount(float amount);
    void setRmsAttack(float seconds);
    void setRmsRelease(float seconds);
    void setRmsThreshold(float thresholdDb);
    // Restarts the peak holds.
    void setInterSamplePeak(bool on);
    // 8..64 bits; 32 and above skip requantisation. Re-initialises the quantisers.
    void setWordLength(int bits);
    // The holds fall back to the present level within two samples.
    void resetPeakHold();

    // Audio thread: one stereo frame; results in outputLeft() / outputRight().
    // Inlined into the effect's loop: one call per frame.
    [[gnu::always_inline]] inline void processSample(float inL, float inR);

    // --- Meter readers (editor idle timer); channel 0 left, 1 right ---
    float outputLeft() const { return ch_[0].out; }
    float outputRight() const { return ch_[1].out; }
    float peakLevel(int channel) const { return ch_[channel & 1].peakLevel; }
    float rmsLevel(int channel) const { return std::sqrt(ch_[channel & 1].meanSquare); }
    float peakHold(int channel) const { return ch_[channel & 1].peakHold; }
    float peakHoldDb(int channel) const;
    float correlation() const;
    float correlationCorrection() const;
    float peakGain(int channel) const { return ch_[channel & 1].gain; }
    float rmsGain() const { return rmsGain_; }
    // Output/input ratio of the soft clipper at the largest input since the last call;
    // restarts the tracker.
    float readSoftclipGain(int channel);

    // --- Settings and derived values, for the effect and for tests ---
    bool bypassed() const { return bypassed_; }
    float sampleRateHz() const { return sampleRate_; }
    int lookahead() const { return lookahead_; }
    float peakNorm() const { return peakNorm_; }
    int wordLength() const { return wordLength_; }
    bool interSamplePeak() const { return interSamplePeak_; }
    float outputGain() const { return outputGain_; }
    float driveGain() const { return driveGain_; }
    float sideGain() const { return sideGain_; }
    float xcorrThreshold() const { return xcorrThreshold_; }
    float stereoLink() const { return stereoLink_; }
    float softclipAmount() const { return softclipAmount_; }
    float rmsThresholdPower() const { return rmsThresholdPower_; }
    float envReleaseCoef() const { return envReleaseCoef_; }
    const DitherQuantizer& quantizer(int channel) const { return ch_[channel & 1].dither; }

  private:
    // Everything the engine keeps once per channel.
    struct Channel {
        DelayLine delay;
        BiquadFilterLite highpass;  // feeds the correlation measurement
        DitherQuantizer dither;
        float out = 0.0f;           // last output sample
        float work = 0.0f;          // working sample of the current frame
        float peakLevel = 0.0f;     // decaying peak meter, linear
        float meanSquare = 0.0f;    // RMS meter
        float peakHold = 0.0f;      // held output peak, linear
        int holdCount = 0;          // samples until the held peak falls back
        float excess = 0.0f;        // peak excess over full scale, fast release
        float env = 0.0f;           // smoothed, normalised excess
        float holdEnv = 0.0f;       // held envelope
        float slowEnv = 0.0f;       // hysteresis envelope
        float gain = 1.0f;          // peak-limiter gain
        float softclipPeak = 0.0f;  // largest soft-clipper input since last read
    };

    static float timeCoef(float seconds, float sampleRate);
    void processBypassed(float inL, float inR);
    inline void applyWidth(float mid, float side);
    inline void measureCorrelation();
    inline void guardCorrelation(float mid, float diff);
    inline void softclip(Channel& c) const;
    inline float detectorSample(const Channel& c) const;
    inline void rmsStage(float xL, float xR);
    inline float peakEnvelope(Channel& c, float r) const;
    inline void peakGains(float rL, float rR);
    inline void writeOutput(Channel& c);
    inline void updateMeters(Channel& c);

    // Settings
    float outputGain_ = 1.0f;
    bool bypassed_ = false;
    float driveGain_ = 1.0f;
    float sideGain_ = 1.0f;
    float xcorrTime_ = 0.1f;
    float xcorrThreshold_ = -1.0f;
    float envReleaseTime_ = 0.05f;
    float envHysteresisTime_ = 0.3f;
    float stereoLink_ = 0.5f;
    float softclipThresholdDb_ = 20.0f;
    float softclipAmount_ = 0.0f;
    float rmsAttackTime_ = 0.2f;
    float rmsReleaseTime_ = 0.2f;
    float rmsThresholdDb_ = -12.0f;
    bool interSamplePeak_ = false;
    int wordLength_ = 64;

    // Derived from settings and the sample rate
    float sampleRate_ = 44100.0f;
    float meterDecay_ = 0.0f;    // peak meter fall, 1 s
    float meterRmsCoef_ = 0.0f;  // RMS meter averaging, 0.25 s
    float xcorrCoef_ = 0.0f;
    float peakSmoothCoef_ = 0.0f;
    float peakReleaseCoef_ = 0.0f;
    float envReleaseCoef_ = 0.0f;
    float envHysteresisCoef_ = 0.0f;
    float peakNorm_ = 1.0f;
    int lookahead_ = 0;    // detector tap D
    int holdSamples_ = 0;  // 10 s of samples
    float softclipInScale_ = 0.0f;
    float softclipOutScale_ = 0.0f;
    float rmsThresholdPower_ = 0.0f;
    float rmsAttackCoef_ = 0.0f;
    float rmsReleaseCoef_ = 0.0f;
    float rmsSmoothCoef_ = 0.0f;  // 1 ms power smoother

    // Running state
    Channel ch_[2];
    float xcorrLL_ = 0.0f, xcorrRR_ = 0.0f, xcorrLR_ = 0.0f;  // high-passed products
    float rmsFastState_ = 0.0f;                               // 1 ms smoothed power
    float rmsAttackState_ = 0.0f;                             // attack-smoothed power
    float rmsHoldState_ = 0.0f;                               // held power with release
    float rmsGain_ = 1.0f;
    NoiseSource noise_;  // anti-denormal offset on both inputs
};

// ---------------------------------------------------------------------------------------
// Per-sample path, in the order of the signal flow.

inline void LimiterEngine::applyWidth(float mid, float side) {
    ch_[0].work = mid + side;
    ch_[1].work = mid - side;
}

inline void LimiterEngine::measureCorrelation() {
    const float yL = ch_[0].highpass.processSample(ch_[0].work);
    const float yR = ch_[1].highpass.processSample(ch_[1].work);
    const float c = xcorrCoef_;
    const float w = 1.0f - c;
    xcorrLL_ = c * xcorrLL_ + w * yL * yL;
    xcorrRR_ = c * xcorrRR_ + w * yR * yR;
    xcorrLR_ = c * xcorrLR_ + w * yR * yL;
}

// Scales the side signal until (sum power)(1 - t) matches (difference power)(1 + t).
inline void LimiterEngine::guardCorrelation(float mid, float diff) {
    const float t = xcorrThreshold_;
    if (!(t > kGuardOffThreshold)) return;
    const float p = (1e-8f + 2.0f * xcorrLR_ + xcorrRR_ + xcorrLL_) * (1.0f - t);
    const float q = (1e-8f + xcorrLL_ + xcorrRR_ - 2.0f * xcorrLR_) * (1.0f + t);
    if (p < q) {
        const float ratio = p / q;
        const float k = ratio > 0.0f ? std::sqrt(ratio) : 0.0f;
        applyWidth(mid, k * diff * sideGain_);
    }
}

// Curve S(u): 0.5 above 1, u(2 - u)/2 on 0..1, odd symmetric; scaled so that the
// ceiling is reached 6 dB above it.
inline void LimiterEngine::softclip(Channel& c) const {
    const float a = softclipAmount_;
    const float u = c.work * softclipInScale_;
    float s;
    if (u > 1.0f)
        s = 0.5f;
    else if (u >= 0.0f)
        s = u * (2.0f - u) * 0.5f;
    else if (u > -1.0f)
        s = u * (u + 2.0f) * 0.5f;
    else
        s = -0.5f;
    c.work = (1.0f - a) * c.work + a * softclipOutScale_ * s;
}

// The sample D taps ahead of the delay output, refined: with inter-sample-peak detection
// the half-sample interpolation when larger; without, the smallest of three neighbours,
// so overs shorter than three samples are left to the hard clip.
inline float LimiterEngine::detectorSample(const Channel& c) const {
    const int d = lookahead_;
    float r = c.delay.readTap(d);
    if (interSamplePeak_) {
        float s = 0.0f;
        for (int k = 0; k < kIspTaps; ++k) s += kIspTap[k] * c.delay.readTap(d - 3 + k);
        if (std::fabs(r) < std::fabs(s)) r = s;
    } else {
        const float before = c.delay.readTap(d - 1);
        if (std::fabs(r) > std::fabs(before)) r = before;
        const float after = c.delay.readTap(d + 1);
        if (std::fabs(r) > std::fabs(after)) r = after;
    }
    return r;
}

inline void LimiterEngine::rmsStage(float xL, float xR) {
    const float p = (xL * xL + xR * xR) * 0.5f + 1e-8f;
    rmsFastState_ = p * (1.0f - rmsSmoothCoef_) + rmsSmoothCoef_ * rmsFastState_;
    const float m = rmsFastState_ * (1.0f - rmsAttackCoef_) + rmsAttackCoef_ * rmsAttackState_;
    rmsAttackState_ = m;
    rmsHoldState_ = m > rmsHoldState_ ? m : rmsHoldState_ * rmsReleaseCoef_;
    rmsGain_ = 1.0f;
    if (rmsHoldState_ > rmsThresholdPower_)
        rmsGain_ = std::sqrt(rmsThresholdPower_ / rmsHoldState_);
}

// Excess tracker, smoother, held and slow envelopes of one channel; returns the larger
// of the held and slow envelopes.
inline float LimiterEngine::peakEnvelope(Channel& c, float r) const {
    const float u = std::fabs(r) - 1.0f;
    if (c.excess < u)
        c.excess = u;
    else if (c.excess > 1e-8f)
        c.excess *= peakReleaseCoef_;
    c.env = (1.0f - peakSmoothCoef_) * c.excess * peakNorm_ + peakSmoothCoef_ * c.env;
    c.holdEnv = c.holdEnv > c.env ? c.holdEnv * envReleaseCoef_ : c.env;
    c.slowEnv = envHysteresisCoef_ * c.slowEnv + (1.0f - envHysteresisCoef_) * c.holdEnv;
    return c.holdEnv > c.slowEnv ? c.holdEnv : c.slowEnv;
}

inline void LimiterEngine::peakGains(float rL, float rR) {
    float eL = peakEnvelope(ch_[0], rL);
    float eR = peakEnvelope(ch_[1], rR);
    const float k = stereoLink_;
    if (eR < eL * k)
        eR = eL * k;
    else if (eL < eR * k)
        eL = eR * k;
    // A sample of magnitude 1 + E comes out at exactly full scale.
    ch_[0].gain = eL > 2e-8f ? 1.0f / (1.0f + eL) : 1.0f;
    ch_[1].gain = eR > 2e-8f ? 1.0f / (1.0f + eR) : 1.0f;
}

inline void LimiterEngine::writeOutput(Channel& c) {
    float o = c.delay.readCurrent() * rmsGain_ * c.gain;
    o = o > 1.0f ? 1.0f : (o < -1.0f ? -1.0f : o);
    o *= outputGain_;
    if (wordLength_ < 32) {
        o = c.dither.quantize(o);
        o = o > 1.0f ? 1.0f : (o < -1.0f ? -1.0f : o);
    }
    c.out = o;
}

inline void LimiterEngine::updateMeters(Channel& c) {
    const float a = std::fabs(c.out);
    if (a > c.peakLevel) {
        c.peakLevel = a;
        if (a > c.peakHold) {
            c.peakHold = a;
            c.holdCount = holdSamples_;
        }
    } else {
        c.peakLevel *= meterDecay_;
    }
    const int old = c.holdCount;
    c.holdCount = old - 1;
    if (old < 0) {
        c.peakHold = a;
        c.holdCount = holdSamples_;
    }
    c.meanSquare = (1.0f - meterRmsCoef_) * c.out * c.out + meterRmsCoef_ * c.meanSquare;
}

inline void LimiterEngine::processSample(float inL, float inR) {
    if (bypassed_) {
        processBypassed(inL, inR);
        return;
    }
    Channel& l = ch_[0];
    Channel& r = ch_[1];

    // Drive with the anti-denormal offset (left draw first).
    const float noiseL = noise_.nextSample();
    l.work = noiseL + inL * driveGain_;
    const float noiseR = noise_.nextSample();
    r.work = noiseR + inR * driveGain_;

    const float diff = l.work - r.work;
    const float mid = (l.work + r.work) * 0.5f;
    applyWidth(mid, diff * sideGain_);
    measureCorrelation();
    guardCorrelation(mid, diff);

    if (softclipAmount_ > kSoftclipOnAmount) {
        l.softclipPeak = std::fabs(l.work) > l.softclipPeak ? std::fabs(l.work) : l.softclipPeak;
        r.softclipPeak = std::fabs(r.work) > r.softclipPeak ? std::fabs(r.work) : r.softclipPeak;
        softclip(l);
        softclip(r);
    }

    l.delay.write(l.work);
    r.delay.write(r.work);

    float rL = detectorSample(l);
    float rR = detectorSample(r);
    // The RMS stage measures the unrefined detector samples.
    rmsStage(l.delay.readTap(lookahead_), r.delay.readTap(lookahead_));
    rL *= rmsGain_;
    rR *= rmsGain_;
    peakGains(rL, rR);

    writeOutput(l);
    writeOutput(r);
    updateMeters(l);
    updateMeters(r);
}

}  // namespace qx
