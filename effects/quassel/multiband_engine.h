// Signal engine of the multiband compressor: pre gain, anti-denormal noise, the band
// splitter and compressors, the latency-matched dry path and dry/wet mix, bypass with the
// same 1024-sample delay, and the output meters the editor reads.
#pragma once

#include <cmath>

#include "dsp/delay_line.h"
#include "dsp/noise_source.h"
#include "effects/quassel/band_dynamics.h"
#include "framework/sample_guard.h"

namespace qx {

class MultibandEngine {
  public:
    static constexpr int kNumInputs = 2;
    static constexpr int kNumOutputs = 2;
    static constexpr int kLatency = BankState::kDelayLength;  // samples, in every state
    static constexpr float kHoldSeconds = 10.0f;
    static constexpr float kMeterFloor = 1e-8f;  // where the meters rest (-160 dB)
    static constexpr float kMinOutputTrim = 1e-8f;
    static constexpr float kMaxPreGain = 10.0f;

    MultibandEngine();

    // --- Settings: physical values, held to their ranges (a NaN takes the low end).
    // Audio thread between blocks, or control thread while no block runs. ---
    void setOutputTrim(float gainLinear);  // applied to wet and dry, at least 1e-8
    void setPreGain(float gainLinear);     // 0 .. 10, wet and dry paths
    void setDryWet(float fraction);        // 0 .. 1 wet fraction
    // A change resets the meters and restarts every delay from silence, so the output
    // stays 1024 samples late and no stale audio comes back.
    void setBypass(bool on);
    // Hz, held to 100 .. 10e6 (a NaN is ignored); recomputes the band layout, keeps every
    // running state.
    void setSampleRate(float sampleRateHz);
    void setBandCount(int bands) { bank_.setBandCount(bands); }        // 1 .. 20
    void setFilterOrder(int stages) { bank_.setFilterOrder(stages); }  // 1 .. 5
    void setWarmthEnabled(bool on) { bank_.setWarmthEnabled(on); }
    // Per band 0 .. 19 (others ignored): see BandDynamics.
    void setMakeup(int band, float gainLinear) { bank_.setMakeup(band, gainLinear); }
    void setThreshold(int band, float levelLinear) { bank_.setThreshold(band, levelLinear); }
    void setRatio(int band, float ratio) { bank_.setRatio(band, ratio); }
    void setAttack(int band, float seconds) { bank_.setAttack(band, seconds); }
    void setRelease(int band, float seconds) { bank_.setRelease(band, seconds); }
    void setWarmth(int band, float amount) { bank_.setWarmth(band, amount); }

    // Frames and meters back to rest (host suspend and resume); the bank keeps its state.
    void reset();
    // Every held peak falls back to its meter at the next sample.
    void resetHold();

    // Audio thread: n frames from kNumInputs planar inputs to two outputs, float or
    // double (narrowed on entry, widened on exit, non-finite input taken as silence).
    // Inputs and outputs may be the same buffers; any n, 0 touches nothing.
    template <typename T>
    void processBlock(const T* const* inputs, T* const* outputs, int n) {
        run<false>(inputs, outputs, n);
    }
    // As processBlock, adding the result to what the outputs hold.
    template <typename T>
    void processBlockAdding(const T* const* inputs, T* const* outputs, int n) {
        run<true>(inputs, outputs, n);
    }

    // --- Readers (audio-thread state, copied out by the effect at block end) ---
    const float* bandLevels() const { return bank_.bandLevels(); }  // 20 detector levels
    const float* bandGains() const { return bank_.bandGains(); }    // 20 band gains
    // Channel 0 or 1; 1e-8 (and -160 dB) for any other channel.
    float meterLevel(int channel) const;
    float meterHold(int channel) const;
    float meterHoldDb(int channel) const;
    float inputFrame(int channel) const { return validChannel(channel) ? inFrame_[channel] : 0.0f; }
    float outputFrame(int channel) const {
        return validChannel(channel) ? outFrame_[channel] : 0.0f;
    }

    float outputTrim() const { return outputTrim_; }
    float preGain() const { return preGain_; }
    float dryWet() const { return dryWet_; }
    bool bypassed() const { return bypassed_; }
    float sampleRate() const { return sampleRate_; }
    float meterDecay() const { return meterDecay_; }
    const BandDynamics& bank() const { return bank_; }
    // Tests and benchmarks compare the instruction sets; false if unsupported.
    bool useKernel(BandDynamics::Kernel kernel) { return bank_.useKernel(kernel); }

  private:
    static constexpr int kChunk = 128;  // frames per pass through the bank

    // Decaying peak with a held maximum that falls back to it after holdSamples.
    struct PeakMeter {
        float level = kMeterFloor;
        float hold = kMeterFloor;
        int holdCounter = 0;

        void update(float out, float decay, int holdSamples) {
            const float b = kMeterFloor + std::fabs(out);
            level = b > level ? b : level * decay;
            if (b > hold) {
                hold = b;
                holdCounter = holdSamples;
            } else if (--holdCounter < 0) {
                hold = level;
                holdCounter = holdSamples;
            }
        }
    };

    static bool validChannel(int channel) { return channel == 0 || channel == 1; }

    template <bool kAdd, typename T>
    void run(const T* const* inputs, T* const* outputs, int n);
    template <bool kAdd, typename T>
    void runWet(const T* in0, const T* in1, T* out0, T* out1, int n, PeakMeter* meters,
                NoiseSource* noise);
    template <bool kAdd, typename T>
    void runBypassed(const T* in0, const T* in1, T* out0, T* out1, int n, PeakMeter* meters,
                     NoiseSource* noise);

    template <bool kAdd, typename T>
    static void emit(T* out, float y) {
        if constexpr (kAdd)
            *out += static_cast<T>(y);
        else
            *out = static_cast<T>(y);
    }

    float outputTrim_ = 1.0f;
    bool bypassed_ = false;
    float dryWet_ = 1.0f;
    float preGain_ = 1.0f;
    float sampleRate_ = 44100.0f;
    float meterDecay_ = 0.0f;
    int holdSamples_ = 0;
    float inFrame_[kNumInputs] = {};
    float outFrame_[kNumOutputs] = {};
    PeakMeter meters_[kNumOutputs];
    NoiseSource noise_[kNumInputs];
    DelayLine dry_[kNumInputs];
    BandDynamics bank_;
};

template <bool kAdd, typename T>
void MultibandEngine::run(const T* const* inputs, T* const* outputs, int n) {
    if (n <= 0) return;
    // Running state in locals for the block: the host's buffers could alias members.
    PeakMeter meters[kNumOutputs] = {meters_[0], meters_[1]};
    NoiseSource noise[kNumInputs] = {noise_[0], noise_[1]};
    for (int start = 0; start < n; start += kChunk) {
        const int m = n - start < kChunk ? n - start : kChunk;
        const T* in0 = inputs[0] + start;
        const T* in1 = inputs[1] + start;
        T* out0 = outputs[0] + start;
        T* out1 = outputs[1] + start;
        if (bypassed_)
            runBypassed<kAdd>(in0, in1, out0, out1, m, meters, noise);
        else
            runWet<kAdd>(in0, in1, out0, out1, m, meters, noise);
    }
    for (int k = 0; k < kNumOutputs; ++k) meters_[k] = meters[k];
    for (int j = 0; j < kNumInputs; ++j) noise_[j] = noise[j];
}

template <bool kAdd, typename T>
void MultibandEngine::runWet(const T* in0, const T* in1, T* out0, T* out1, int n, PeakMeter* meters,
                             NoiseSource* noise) {
    // Called with 1 <= n <= kChunk.
    float frame0[kChunk] = {}, frame1[kChunk] = {}, dry0[kChunk], dry1[kChunk];
    float wet0[kChunk], wet1[kChunk];
    const float pre = preGain_;
    // Every input is read before any output is written: hosts may process in place.
    for (int i = 0; i < n; ++i) {
        const float x0 = cleanSample(in0[i]);
        const float x1 = cleanSample(in1[i]);
        frame0[i] = noise[0].nextSample() + x0 * pre;
        frame1[i] = noise[1].nextSample() + x1 * pre;
        dry_[0].write(frame0[i]);
        dry_[1].write(frame1[i]);
        dry0[i] = dry_[0].readCurrent();
        dry1[i] = dry_[1].readCurrent();
    }
    bank_.processBlock(frame0, frame1, wet0, wet1, n);
    const float mix = dryWet_, dryMix = 1.0f - dryWet_, trim = outputTrim_;
    const float decay = meterDecay_;
    const int holdSamples = holdSamples_;
    float y0 = 0.0f, y1 = 0.0f;
    for (int i = 0; i < n; ++i) {
        y0 = wet0[i] * mix * trim + dry0[i] * dryMix * trim;
        y1 = wet1[i] * mix * trim + dry1[i] * dryMix * trim;
        meters[0].update(y0, decay, holdSamples);
        meters[1].update(y1, decay, holdSamples);
        emit<kAdd>(out0 + i, y0);
        emit<kAdd>(out1 + i, y1);
    }
    inFrame_[0] = frame0[n - 1];
    inFrame_[1] = frame1[n - 1];
    outFrame_[0] = y0;
    outFrame_[1] = y1;
}

// Bypassed: the input with the noise only, through the dry delay; the bank rests.
template <bool kAdd, typename T>
void MultibandEngine::runBypassed(const T* in0, const T* in1, T* out0, T* out1, int n,
                                  PeakMeter* meters, NoiseSource* noise) {
    const float decay = meterDecay_;
    const int holdSamples = holdSamples_;
    float f0 = 0.0f, f1 = 0.0f, y0 = 0.0f, y1 = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float x0 = cleanSample(in0[i]);
        const float x1 = cleanSample(in1[i]);
        f0 = noise[0].nextSample() + x0;
        f1 = noise[1].nextSample() + x1;
        dry_[0].write(f0);
        dry_[1].write(f1);
        y0 = dry_[0].readCurrent();
        y1 = dry_[1].readCurrent();
        meters[0].update(y0, decay, holdSamples);
        meters[1].update(y1, decay, holdSamples);
        emit<kAdd>(out0 + i, y0);
        emit<kAdd>(out1 + i, y1);
    }
    inFrame_[0] = f0;
    inFrame_[1] = f1;
    outFrame_[0] = y0;
    outFrame_[1] = y1;
}

}  // namespace qx
