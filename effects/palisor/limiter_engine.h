// Signal engine of the mastering limiter: drive, width, correlation guard, soft clipper,
// 512-sample look-ahead, RMS stage, smooth peak limiter, hard clip, trim, requantisation
// and the meter state the editor reads.
#pragma once

#include <cmath>

#include "dsp/biquad_filter.h"
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
    void processSample(float inL, float inR) {
        float outL, outR;
        processBlock(&inL, &inR, &outL, &outR, 1);
    }
    // Audio thread: n frames of host samples (float or double, cleaned on the way in),
    // results written to outL and outR; input and output may be the same buffers. The
    // meters follow at the end of the block. Defined for float and double (limiter_block.cpp).
    template <typename T>
    void processBlock(const T* inL, const T* inR, T* outL, T* outR, int n);

    // --- Meter readers, on the thread that processes (the effect publishes them for the
    // editor after each block); channel 0 left, 1 right ---
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
        // Feeds the correlation measurement. The block designs the coefficients; the
        // engine runs the same transposed direct form II on its own state words, for
        // both channels at once.
        BiquadFilterLite highpass;
        float highpassS1 = 0.0f, highpassS2 = 0.0f;
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

    // The block path (limiter_block.cpp): the stages of a sub-block and the lane state they
    // carry between frames.
    struct BlockPath;
    // Frames per sub-block (a multiple of 4); the stages keep a sub-block's intermediate
    // values in scratch_.
    static constexpr int kSubBlock = 128;
    // The look-ahead delay as a sliding window of (left, right) pairs: the frame being
    // written goes to delay_[writePos_], the one written i frames earlier sits at
    // delay_[writePos_ - i], so the slot 512 frames back and every detector tap are read
    // without a wrap. When a sub-block would run past the end, the last 512 frames move to
    // the front.
    static constexpr int kDelayCapacity = kDelayLength + 4 * kSubBlock;
    alignas(16) float delay_[kDelayCapacity][2] = {};
    int writePos_ = kDelayLength;
    // Detector taps as offsets from the slot 512 frames back, held to 0..511: D, D - 1,
    // D + 1 and the interpolator's D - 3 .. D + 4.
    int tapD_ = 0, tapBefore_ = 0, tapAfter_ = 0;
    int tapIsp_[kIspTaps] = {};
    // One sub-block of intermediate values. Stages without feedback fill whole groups of
    // four frames; values past the sub-block's last frame are never used.
    struct Scratch {
        static constexpr int kFrames = kSubBlock;
        alignas(16) float noise[2 * kFrames];    // anti-denormal draws, left first
        alignas(16) float widened[kFrames][2];   // after width: the correlation's input
        alignas(16) float mid[kFrames];          // width stage's mid and difference, for
        alignas(16) float diff[kFrames];         // the correlation guard
        alignas(16) float xcorr[kFrames][4];     // averaged products LL, RR, LR per frame
        alignas(16) float detector[kFrames][2];  // refined detector samples, then their
                                                 // excess over full scale
        alignas(16) float power[kFrames];        // detector power, then held RMS power
        alignas(16) float rmsGain[kFrames];
        alignas(16) float envelope[kFrames][2];  // linked peak envelopes
        alignas(16) float out[kFrames][2];
        alignas(16) float magnitude[kFrames][2];       // |out|, and its square weighted
        alignas(16) float weightedSquare[kFrames][2];  // for the RMS meters
    };
    Scratch scratch_ = {};

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

}  // namespace qx
