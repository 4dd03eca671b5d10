// Signal engine of the triggered spectral sample-and-hold: onset detection on the mono
// sum, twelve voices that capture and sustain the spectrum at each onset, overlap-add
// resynthesis, stereo widening, reverb, the latency-matched dry path and output meters.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/delay_line.h"
#include "dsp/noise_source.h"
#include "dsp/random_generator.h"
#include "dsp/real_fft.h"
#include "dsp/room_reverb.h"
#include "effects/trigwave/spectral_voice.h"
#include "framework/sample_guard.h"

namespace qx {

// Threads: every operation runs on the audio thread, or on another thread while no block
// runs; setters recompute in place and never allocate.
class TrigwaveEngine {
  public:
    static constexpr int kVoices = 12;
    // Dry and bypassed signals pass a line of this length and the wet path lines up with
    // it (from 25 kHz up one sample later, as it is fed from a tap of that line), so this
    // is the delay to report to the host at every rate.
    static constexpr int kLatency = 2048;
    static constexpr int kMaxFrameSize = 2048;
    static constexpr float kFrameSizeSwitchRate = 25000.0f;  // Hz; below it N = 1024
    static constexpr float kMinSampleRate = 5000.0f;
    static constexpr float kMaxSampleRate = 10.0e6f;  // keeps the meter hold count in range
    static constexpr float kMinOutputGain = 1e-6f;
    static constexpr float kMinThreshold = 1.1f;
    static constexpr float kMaxThreshold = 10.0f;
    static constexpr int kWidthDelayMax = 2496;  // 13 ms at 192 kHz
    static constexpr float kWidthSeconds = 0.013f;

    // Runs at 44100 Hz with the settings' defaults; allocates all storage.
    TrigwaveEngine();
    TrigwaveEngine(const TrigwaveEngine&) = delete;
    TrigwaveEngine& operator=(const TrigwaveEngine&) = delete;

    // --- Rewrite running state ---
    // Hz, held to 5000..10e6. A change re-derives the frame size and every rate-dependent
    // coefficient and clears the state; the dry lines keep running. Same rate: nothing.
    void setSampleRate(float sampleRateHz);
    // Empties rings, voices and meters (what suspend, resume and the bypass switch do).
    void clearState();
    // Bypassed: the input delayed by kLatency; clears the state.
    void setBypassed(bool on);
    // Both peak holds fall back on the next frame.
    void resetPeakHolds();

    // --- Output and detector settings ---
    void setOutputGain(float gainLinear);  // at least 1e-6
    void setMix(float wetShare);           // 0..1
    void setThreshold(float energyRatio);  // 1.1..10: block energy rise that is an onset
    void setWidth(float width);            // 0..1
    void setMono(bool on);                 // one voice only; the voice index returns to 0
    // Reverb on or off; either way the reverb is emptied.
    void setReverbOn(bool on);
    void setReverbLevel(float gainLinear);  // reverb input gain, at least 1e-6
    void setReverbTime(float seconds);      // 0.01..7
    void setReverbSize(float size);         // 0.05..1

    // --- Voice settings (shared by all twelve voices) ---
    void setAmpAttack(float seconds);  // times 0..60 s
    void setAmpDecay(float seconds);
    void setAmpSustainTime(float seconds);
    void setAmpSustainLevelDb(float db);  // at most 0 dB
    void setAmpRelease(float seconds);
    void setFilterAttack(float seconds);
    void setFilterDecay(float seconds);
    void setFilterSustainTime(float seconds);
    void setFilterSustainLevel(float level);  // linear 0..1
    void setFilterRelease(float seconds);
    void setRandomize(float amount);        // 0..1
    void setFilterFrequency(float hz);      // 1..20000
    void setFilterEnvAmount(float amount);  // -1..1
    void setResonance(float resonance);     // 0..1
    void setAnalog(bool on);

    // Audio thread: one stereo frame; results in outputLeft() / outputRight().
    void processSample(float inL, float inR) {
        float outL, outR;
        processBlock(&inL, &inR, &outL, &outR, 1);
    }
    // Audio thread: n frames of host samples (float or double, cleaned and narrowed on the
    // way in, widened on the way out); the outputs may be the input buffers.
    template <typename T>
    void processBlock(const T* inL, const T* inR, T* outL, T* outR, int n);

    // --- Readers (the effect copies them for the editor at the end of a block) ---
    float outputLeft() const { return outLeft_; }
    float outputRight() const { return outRight_; }
    float meterLevel(int channel) const { return meters_[channel & 1].level; }
    float peakHold(int channel) const { return meters_[channel & 1].peakHold; }
    float peakHoldDb(int channel) const;
    bool triggered() const { return triggered_; }
    // The trigger lamp's reading: the flag, cleared by the read once the onset's four hops
    // are over.
    bool readTriggered();

    // --- Settings and derived values, for the effect and for tests ---
    int latency() const { return kLatency; }
    int frameSize() const { return size_; }
    int hopSize() const { return hop_; }
    float sampleRateHz() const { return sampleRate_; }
    bool bypassed() const { return bypassed_; }
    bool mono() const { return mono_; }
    bool reverbOn() const { return reverbOn_; }
    float outputGain() const { return outputGain_; }
    float mix() const { return mix_; }
    float threshold() const { return threshold_; }
    float width() const { return width_; }
    const VoiceSettings& voiceSettings() const { return voice_; }
    const EnvelopeShape& ampShape() const { return ampShape_; }
    const EnvelopeShape& filterShape() const { return filterShape_; }
    const RoomReverb& reverb() const { return reverb_; }
    const SpectralVoice& voice(int i) const { return voices_[static_cast<unsigned>(i) % kVoices]; }
    int currentVoice() const { return current_; }
    int triggerState() const { return triggerState_; }
    int widthDelayLength() const { return widthDelay_.length(); }

  private:
    struct Meter {
        float level = 0.0f;     // decaying peak, linear
        float peakHold = 0.0f;  // held peak, linear
        int holdCount = 0;      // frames until the held peak falls back; rests at -1

        void update(float out, float decay, int holdFrames) {
            if (--holdCount < 0) {
                holdCount = -1;
                peakHold = 1e-8f;
            }
            const float v = std::fabs(out);
            if (v > level) {
                level = v;
                if (v > peakHold) {
                    peakHold = v;
                    holdCount = holdFrames;
                }
            } else {
                level *= decay;
            }
        }
    };

    void setUp(float sampleRateHz);
    template <bool kBypassed, bool kReverb, typename T>
    void runFrames(const T* inL, const T* inR, T* outL, T* outR, int n);
    // Once per hop: onset detection, analysis, voices, resynthesis.
    void runHop();
    void detectOnset();
    void resynthesize(bool anyVoice);

    // Settings
    float outputGain_ = 1.0f;
    bool bypassed_ = false;
    float mix_ = 1.0f;
    float threshold_ = 3.0f;
    float width_ = 1.0f;
    bool mono_ = false;
    bool reverbOn_ = true;
    VoiceSettings voice_;
    EnvelopeShape ampShape_, filterShape_;
    // cos and sin of (j - 128) x randomize x pi / 128 for every random byte j.
    alignas(16) float randomTurns_[256][2] = {};

    // Derived from the sample rate
    float sampleRate_ = 0.0f;
    float meterDecay_ = 0.0f;
    int holdFrames_ = 0;  // ten seconds
    int size_ = kMaxFrameSize;
    int hop_ = kMaxFrameSize / 2;
    int onsetBlock_ = kMaxFrameSize / 8;
    // Tap of the dry lines that feeds the spectral part: the clamp of readTap makes it a
    // delay of 1 sample at N = 2048 and of 1024 at N = 1024, so that with the frame delay
    // of N the wet path is 2049 or 2048 samples late.
    int analysisTap_ = 0;
    RealFft fftSmall_{kMaxFrameSize / 2};
    RealFft fftLarge_{kMaxFrameSize};
    RealFft* fft_ = &fftLarge_;
    std::vector<float> window_;           // sin(pi i / N)
    std::vector<float> synthesisWindow_;  // window / N: the inverse's rescale folded in
    std::vector<float> fadeIn_;           // N/8 samples of a quarter sine

    // Running state. Ring positions are relative to pos_: 0 the oldest sample, N - 1 the
    // newest; pos_ is 0 or N/2 whenever a hop runs.
    std::vector<float> inputRing_, outputRing_;
    std::vector<float> frame_, spectrum_, sum_, gain_;
    int pos_ = 0;
    SpectralVoice voices_[kVoices];
    int current_ = 0;
    int triggerState_ = 0;  // 0 idle, 1..4 hops since the last onset
    bool triggered_ = false;
    NoiseSource noise_;               // -160 dB anti-denormal offset
    RandomGenerator random_{0x7e1d};  // random phases
    DelayLine dryLeft_, dryRight_, widthDelay_;
    RoomReverb reverb_{RoomReverb::Variant::Trigwave};
    float outLeft_ = 0.0f, outRight_ = 0.0f;
    Meter meters_[2];
};

template <typename T>
void TrigwaveEngine::processBlock(const T* inL, const T* inR, T* outL, T* outR, int n) {
    if (n <= 0) return;
    if (bypassed_) {
        runFrames<true, false>(inL, inR, outL, outR, n);
        return;
    }
    for (int done = 0; done < n;) {
        // Up to the next hop boundary, where the spectral work runs.
        const int m = std::min(n - done, hop_ - (pos_ & (hop_ - 1)));
        if (reverbOn_)
            runFrames<false, true>(inL + done, inR + done, outL + done, outR + done, m);
        else
            runFrames<false, false>(inL + done, inR + done, outL + done, outR + done, m);
        done += m;
        if ((pos_ & (hop_ - 1)) == 0) runHop();
    }
}

// Frames that stay within one hop. Bypassed: the dry lines only, the spectral part
// stands still.
template <bool kBypassed, bool kReverb, typename T>
void TrigwaveEngine::runFrames(const T* inL, const T* inR, T* outL, T* outR, int n) {
    NoiseSource noise = noise_;
    Meter ml = meters_[0];
    Meter mr = meters_[1];
    float* const inRing = inputRing_.data();
    const float* const outRing = outputRing_.data();
    int pos = pos_;
    const int tap = analysisTap_;
    const float width = width_;
    const float mix = mix_;
    const float dryShare = 1.0f - mix_;
    const float gain = outputGain_;
    const float decay = meterDecay_;
    const int holdFrames = holdFrames_;
    float yL = outLeft_;
    float yR = outRight_;
    for (int i = 0; i < n; ++i) {
        const float xL = cleanSample(inL[i]) + noise.nextSample();
        const float xR = cleanSample(inR[i]) + noise.nextSample();
        dryLeft_.write(xL);
        dryRight_.write(xR);
        if constexpr (kBypassed) {
            yL = dryLeft_.readCurrent();
            yR = dryRight_.readCurrent();
        } else {
            inRing[pos] = dryLeft_.readTap(tap) + dryRight_.readTap(tap);
            const float w = outRing[pos];
            ++pos;
            // Side signal: the wet signal 13 ms earlier. (An allpass with coefficient 1
            // would pass it through exactly negated; the negation is written out instead.)
            widthDelay_.write(w);
            const float h = -widthDelay_.readCurrent();
            yL = noise.nextSample() + h * width + w;
            yR = w - (noise.nextSample() + h * width);
            if constexpr (kReverb) {
                reverb_.processSample(yL, yR);
                yL += reverb_.outputLeft();
                yR += reverb_.outputRight();
            }
            yL = (mix * yL + dryShare * dryLeft_.readCurrent()) * gain;
            yR = (mix * yR + dryShare * dryRight_.readCurrent()) * gain;
        }
        ml.update(yL, decay, holdFrames);
        mr.update(yR, decay, holdFrames);
        outL[i] = static_cast<T>(yL);
        outR[i] = static_cast<T>(yR);
    }
    pos_ = pos == size_ ? 0 : pos;
    noise_ = noise;
    meters_[0] = ml;
    meters_[1] = mr;
    outLeft_ = yL;
    outRight_ = yR;
}

}  // namespace qx
