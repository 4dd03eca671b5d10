// Signal engine of the side-chain compressor: pre gain, band-limited mean-square detector
// with hysteresis, attack/hold/release envelope, two-ratio gain curve with optional soft
// knee, gain range, dry/wet, post gain, and an output peak limiter with soft clipper.
#pragma once

#include <cstdint>

#include "dsp/biquad_filter.h"
#include "dsp/noise_source.h"
#include "framework/sample_guard.h"

namespace qx {

// Inputs 0-1 carry the programme. With four inputs the side chain is on 2-3; with two,
// "side chain on" takes the programme from input 0 alone and keys from input 1. Two
// outputs. Setters and reset run on the audio thread between blocks (or on the control
// thread while no block can run); nothing here locks or allocates after construction.
class CompressorEngine {
  public:
    static constexpr int kMaxInputs = 4;
    static constexpr int kNumOutputs = 2;
    static constexpr float kMinSampleRate = 100.0f;
    static constexpr float kMaxSampleRate = 10.0e6f;
    static constexpr float kMaxCornerFraction = 0.45f;  // of the sample rate
    static constexpr float kMinCornerHz = 1.0f;
    static constexpr float kMinTimeSeconds = 1e-6f;
    static constexpr float kDetectorFloor = 1e-5f;  // added to every detector power
    static constexpr float kMaxGainRangeDb = 100.0f;
    // Input j's anti-denormal noise draws from the sequence seeded kFirstNoiseSeed + j.
    static constexpr std::uint32_t kFirstNoiseSeed = 101;

    // numInputs: 4, or 2 for the build without separate side-chain inputs (any value
    // below 4 is taken as 2).
    explicit CompressorEngine(int numInputs = 4);

    // --- Running state ---
    // Hz; below 100 taken as 100. Recomputes the coefficients when the rate changes.
    void setSampleRate(float sampleRateHz);
    // Clears envelopes, detector, limiter and gain; the side-chain filters keep state.
    void reset();
    // Outputs copy inputs 0 and 1 unchanged while on; either switch resets.
    void setBypass(bool on);

    // --- Settings, physical values; out-of-range values are held to their limits ---
    void setPreGainDb(float db);   // -100..100 dB
    void setPostGainDb(float db);  // -100..100 dB
    // Off returns every limiter gain to 1 and its peak follower to rest.
    void setLimiter(bool on);
    void setMono(bool on) { mono_ = on; }
    void setSidechain(bool on) { sidechain_ = on; }
    void setListen(bool on) { listen_ = on; }
    void setSoftKnee(bool on) { softKnee_ = on; }
    void setReleaseCurve(bool on);
    // Side-chain corners, Hz, at least 1 Hz; a corner above 0.45 fs is stored as 0.45 fs
    // and any later rate change designs at no more than 0.45 fs of the new rate.
    void setHighPassHz(float hz);
    void setLowPassHz(float hz);
    void setHysteresis(float amount);  // 0..1 weight of the slow detector averages
    void setAttack(float seconds);     // at least 1e-6 s
    void setHold(float seconds);       // 0 and up; the compressor and limiter hold
    void setRelease(float seconds);    // at least 1e-6 s
    // Ratio above (1) and below (2) the threshold, 0.01..1000: above 1 compresses,
    // below 1 expands; 20 acts as infinite.
    void setRatio1(float ratio);
    void setRatio2(float ratio);
    void setThresholdDb(float db);  // -100..100 dB
    void setDryWet(float wet);      // 0..1 wet fraction
    // Gain range +-dB, 0..100; 0 holds the gain at 1.
    void setMaxGainDb(float db);

    // Audio thread: n frames (any n; 0 or less does nothing) from numInputs() planar
    // inputs into two outputs, float or double host samples. Each frame is read before it
    // is written, so outputs may be the input buffers. Samples are cleaned and narrowed to
    // float on the way in and widened on the way out.
    template <typename T>
    void processBlock(const T* const* inputs, T* const* outputs, int n);

    // --- Meters (plain floats of the audio thread) ---
    // Mix gain of the compressor: 1 when bypassed, else (gain dryWet + 1 - dryWet) postGain.
    float effectiveGain() const { return bypassed_ ? 1.0f : mixGain(); }
    // Mean-square detector level with a 80 ms fall, for the transfer-curve marker.
    float detectorDisplayLevel() const { return displayLevel_; }
    // Per output channel (0 or 1); 0 for any other index.
    float limiterGainOf(int channel) const;
    float gainMaxOf(int channel) const;
    float gainMinOf(int channel) const;
    // Restarts the largest/smallest gain meters at the present mix and limiter gain.
    void clearGainMeters();

    // --- Settings and running values, for the effect and for tests ---
    int numInputs() const { return numInputs_; }
    float sampleRateHz() const { return sampleRate_; }
    bool bypassed() const { return bypassed_; }
    bool limiterOn() const { return limiter_; }
    float highPassHz() const { return highPassHz_; }
    float lowPassHz() const { return lowPassHz_; }
    float exponent1() const { return exponent1_; }
    float exponent2() const { return exponent2_; }
    float thresholdPower() const { return thresholdPower_; }
    float minGain() const { return minGain_; }
    float maxGain() const { return maxGain_; }
    int holdSamples() const { return holdSamples_; }
    float gain() const { return gain_; }          // compressor gain after smoothing
    float envelope() const { return envelope_; }  // detector power / threshold power
    float output(int channel) const { return outputFrame_[channel & 1]; }

  private:
    static constexpr float kLimiterRest = 1e-5f;
    struct Limiter {
        float peak = kLimiterRest;  // excess over full scale, held and released
        float env = kLimiterRest;   // peak smoothed with the attack time
        float gain = 1.0f;
        int hold = 0;
    };

    void updateCoefficients();
    void designFilters();
    void updateAttackCoefs();
    void updateReleaseCoefs();
    void updateHoldSamples();
    float mixGain() const { return (gain_ * dryWet_ + 1.0f - dryWet_) * postGain_; }
    // Frames are processed in chunks, one stage at a time: the gain curve of a chunk then
    // runs as independent evaluations instead of waiting on each frame's envelope.
    static constexpr int kChunk = 64;
    struct Chunk {
        float in[kMaxInputs][kChunk];      // inputs after pre gain and offset
        float heard[kNumOutputs][kChunk];  // side-chain filter outputs, for listen
        float envelope[kChunk];
        float curve[kChunk];  // gain curve at the envelope
        float out[kNumOutputs][kChunk];
    };
    // Which inputs each stage reads, from the mono and side-chain switches.
    struct Routing {
        bool single;     // one detector channel; input 0 feeds both outputs
        int keyA, keyB;  // inputs of detector channels 0 and 1
        int reads;       // inputs 0 .. reads - 1 are used
    };
    Routing routing() const;
    template <typename T>
    void readInputs(const T* const* in, int start, int frames, int reads, Chunk& c);
    void detect(const Routing& route, Chunk& c, int frames);
    void applyCurve(Chunk& c, int frames) const;
    void mix(const Routing& route, Chunk& c, int frames);

    // Settings
    int numInputs_;
    float sampleRate_ = 44100.0f;
    bool bypassed_ = false;
    bool limiter_ = false;
    bool mono_ = false;
    bool sidechain_ = false;
    bool listen_ = false;
    bool softKnee_ = false;
    bool releaseCurve_ = false;
    float preGain_ = 1.0f;
    float postGain_ = 1.0f;
    float highPassHz_ = 20.0f;
    float lowPassHz_ = 15000.0f;
    float hysteresis_ = 0.0f;
    float attack_ = 0.01f;
    float hold_ = 0.0f;
    float release_ = 0.1f;
    float ratio1_ = 1.0f, ratio2_ = 1.0f;
    float thresholdDb_ = 1.0f;
    float dryWet_ = 1.0f;
    float maxGainDb_ = 100.0f;

    // Derived
    float fastCoef_ = 0.0f, slow1Coef_ = 0.0f, slow2Coef_ = 0.0f;
    float attackCoef_ = 0.0f, releaseCoef_ = 0.0f;
    float exponent1_ = 0.0f, exponent2_ = 0.0f;
    float thresholdPower_ = 1.0f;
    float limiterAttackCoef_ = 0.0f, limiterReleaseCoef_ = 0.0f;
    float displayDecayCoef_ = 0.0f;
    float minGain_ = 1e-5f, maxGain_ = 1e5f;
    int holdSamples_ = 0;  // floor(sampleRate hold)

    // Running state
    float inputFrame_[kMaxInputs] = {};
    float outputFrame_[kNumOutputs] = {};
    Limiter limiterState_[kNumOutputs];
    float msFast1_ = 0.1f, msFast2_ = 0.1f, ms50_ = 0.1f, ms100_ = 0.1f;
    float gain_ = 1.0f;
    float envelope_ = 0.1f;
    float displayLevel_ = 1e-5f;
    int holdCounter_ = 0;
    float gainMax_[kNumOutputs] = {1.0f, 1.0f};
    float gainMin_[kNumOutputs] = {1.0f, 1.0f};
    NoiseSource noise_[kMaxInputs];  // anti-denormal offset per input, -160 dB
    // Side-chain low pass then high pass, one pair per detector channel.
    BiquadFilterLite lowPass_[kNumOutputs];
    BiquadFilterLite highPass_[kNumOutputs];
};

// ---------------------------------------------------------------------------------------

template <typename T>
void CompressorEngine::processBlock(const T* const* inputs, T* const* outputs, int n) {
    if (n <= 0) return;
    // Fixed local copies of the host's pointer arrays: nothing is allocated per call.
    const T* in[kMaxInputs] = {};
    for (int j = 0; j < numInputs_; ++j) in[j] = inputs[j];
    T* out[kNumOutputs] = {outputs[0], outputs[1]};
    if (bypassed_) {
        for (int i = 0; i < n; ++i) {
            const T left = in[0][i], right = in[1][i];
            out[0][i] = left;
            out[1][i] = right;
        }
        return;
    }
    const Routing route = routing();
    Chunk c;
    for (int start = 0; start < n; start += kChunk) {
        const int frames = n - start < kChunk ? n - start : kChunk;
        // Every input of the chunk is read before any output is written, so the host may
        // process in place.
        readInputs(in, start, frames, route.reads, c);
        detect(route, c, frames);
        applyCurve(c, frames);
        mix(route, c, frames);
        for (int i = 0; i < frames; ++i) {
            out[0][start + i] = static_cast<T>(c.out[0][i]);
            out[1][start + i] = static_cast<T>(c.out[1][i]);
        }
    }
}

// Input stage: cleaned, narrowed, pre gain and the anti-denormal offset.
template <typename T>
void CompressorEngine::readInputs(const T* const* in, int start, int frames, int reads, Chunk& c) {
    const float preGain = preGain_;
    for (int j = 0; j < reads; ++j) {
        NoiseSource noise = noise_[j];
        const T* x = in[j] + start;
        float* y = c.in[j];
        for (int i = 0; i < frames; ++i) y[i] = noise.nextSample() + cleanSample(x[i]) * preGain;
        noise_[j] = noise;
        inputFrame_[j] = y[frames - 1];
    }
}

}  // namespace qx
