// The common core of the stereo and 5.1 headphone renderers: settings and their setters,
// per-input noise, cabinet chains, ear entries, room, meters and the block loop. The
// number of inputs and ear entries is a property of the instance; the two engines add
// their own per-frame signal path.
#pragma once

#include <array>

#include "dsp/biquad_filter.h"
#include "dsp/noise_source.h"
#include "dsp/room_reverb.h"
#include "effects/heliope/head_model.h"
#include "framework/sample_guard.h"

namespace qx {

class HeadphoneRenderer {
  public:
    static constexpr int kMaxInputs = 6;
    static constexpr int kNumOutputs = 2;
    static constexpr int kMaxHeadEntries = 4;
    static constexpr float kMinSampleRate = 100.0f;
    // The single-precision filter designs lose their stability above this: a 10 Hz
    // highpass has a pole outside the unit circle from about 500 kHz on. Higher host rates
    // run the engine as at this rate.
    static constexpr float kMaxSampleRate = 384000.0f;
    static constexpr float kHoldSeconds = 10.0f;
    static constexpr float kMinOutputGain = 1e-8f;
    static constexpr float kMinDistance = 1.0f;
    static constexpr float kMaxDistance = 4.0f;

    HeadphoneRenderer(const HeadphoneRenderer&) = delete;
    HeadphoneRenderer& operator=(const HeadphoneRenderer&) = delete;

    // --- Settings. Audio thread between blocks, or control thread when no block can
    // run; none allocates. Out-of-range values are held to their range. ---
    void setOutputGain(float gainLinear);  // at least 1e-8
    // Empties the reverb and resets meters and input frame.
    void setBypassed(bool on);
    void setCueStrength(float amount);  // 0..1
    void setHeadSize(float amount);     // 0..1; the delay lines keep their contents
    void setEarSize(float amount);      // 0..1
    void setDistance(float metres);     // 1..4
    void setReverbTime(float seconds);  // 0.2..0.6 from the parameter
    // 0..1: early reflections 0..8 ms and 0.9..0 in level; the reverb keeps its tail.
    void setRoomSize(float amount);
    void setChannelMode(int mode);  // menu index; unknown modes leave the inputs as they are
    // Menu index; unknown indices sound like the reference. Full recomputation: empties
    // the reverb.
    void setCabinet(int index);
    void setItdEnabled(bool on);
    void setNextDoor(bool on);     // full recomputation
    void setRoomEnabled(bool on);  // empties the reverb
    // Hz; below 100 (or not a number) is 100, above 384000 is 384000. A change recomputes
    // everything.
    void setSampleRate(float hz);
    // Clears the input frame, the outputs and the meters; filters, delays and the reverb
    // keep their contents. Resume, suspend, bypass change.
    void reset();
    // The held peaks fall back to the present level on the next frame (editor click).
    void releaseHolds();

    // --- Meters (audio thread state; the effect publishes them at block end) ---
    float peakLevelOf(int output) const;  // linear, floor 1e-8
    float heldPeakOf(int output) const;   // linear, floor 1e-8
    float heldPeakDb(int output) const;   // dB, -160 for an unknown output

    // --- One frame by hand: set inputs, run the engine's processFrame, read outputs.
    // Channels 0..numInputs()-1, outputs 0..1; not checked. ---
    void setFrameInput(int channel, float x) { frame_[channel] = x; }
    // After processFrame: the input as the channel matrix left it.
    float frameInput(int channel) const { return frame_[channel]; }
    float output(int i) const { return out_[i]; }

    // --- State, for the effect and for tests ---
    int numInputs() const { return layout_.numInputs; }
    int numOutputs() const { return kNumOutputs; }
    float sampleRate() const { return sampleRate_; }
    bool bypassed() const { return bypassed_; }
    int channelMode() const { return channelMode_; }
    int cabinetIndex() const { return cabinetIndex_; }
    float outputGain() const { return outputGain_; }
    float meterDecay() const { return meterDecay_; }
    int holdSamples() const { return holdSamples_; }
    // Path gains of the front pair (entries 0, 1) and of the surround pair (2, 3).
    DistanceGains frontGains() const { return gains_[0]; }
    DistanceGains surroundGains() const { return gains_[1]; }
    const HeadEntry& headEntry(int entry) const { return head_[entry]; }
    const CabinetChain& cabinetChain(int input) const { return cabinet_[input]; }
    const BiquadFilter& roomSendShelf() const { return roomSendShelf_; }
    const RoomReverb& reverb() const { return reverb_; }

  protected:
    struct Layout {
        int numInputs;
        int numHeadEntries;
        const HeadGeometry* geometry[kMaxHeadEntries];
        const CabinetTable* cabinets;
        int lfeInput;               // input whose chain uses the LFE stages, or -1
        bool headChangesRecompute;  // head settings run the full recomputation
    };

    explicit HeadphoneRenderer(const Layout& layout);
    ~HeadphoneRenderer() = default;

    // Every coefficient from the settings and the rate; empties the reverb.
    void recomputeAll();
    // After a head setting: `update` (what depends on it), or everything where the
    // layout says so.
    void afterHeadChange(void (HeadphoneRenderer::*update)());
    void designIpsilateral();
    void updateItdLengths();
    void updateDistance();  // presence shelves and path gains
    void updateDistanceGains();

    // The block loop of both engines. Host samples (float or double) are cleaned and
    // narrowed; each frame gets one noise sample per input and runs render(), which reads
    // frame_ and writes out_. Bypassed, inputs 0 and 1 pass unchanged. Every input of a
    // frame is read before its outputs are written, so buffers may be shared.
    template <int kInputs, typename T, typename Render>
    void runBlock(const T* const* inputs, T* const* outputs, int n, Render render);

    // Replaces an input by a fresh sample of its noise (a silenced channel).
    void silence(int channel) { frame_[channel] = noise_[channel].nextSample(); }

    const Layout layout_;

    // Settings
    float outputGain_ = 1.0f;
    bool bypassed_ = false;
    float cueStrength_ = 1.0f;
    float headSize_ = 0.5f;
    float earSize_ = 0.5f;
    float distance_ = 2.0f;  // metres
    int channelMode_ = 0;
    float roomSize_ = 0.5f;
    bool itdEnabled_ = true;
    int cabinetIndex_ = 0;
    bool nextDoor_ = false;
    bool roomEnabled_ = true;
    float sampleRate_ = 44100.0f;

    // Derived
    float meterDecay_ = 1.0f;  // per-sample fall of the peak meters, 1/e per second
    int holdSamples_ = 0;      // 10 s
    DistanceGains gains_[2] = {{0.5f, 0.5f}, {0.5f, 0.5f}};  // front pair, surround pair

    // Running state
    std::array<float, kMaxInputs> frame_{};  // the current input sample of every input
    std::array<float, kNumOutputs> out_{};   // the current output frame
    OutputMeters meters_;
    std::array<NoiseSource, kMaxInputs> noise_;  // -160 dB, one sequence per input
    std::array<CabinetChain, kMaxInputs> cabinet_;
    std::array<HeadEntry, kMaxHeadEntries> head_;
    BiquadFilter roomSendShelf_;
    RoomReverb reverb_{RoomReverb::Variant::Renderer};
};

template <int kInputs, typename T, typename Render>
void HeadphoneRenderer::runBlock(const T* const* inputs, T* const* outputs, int n, Render render) {
    if (n <= 0) return;
    T* const out0 = outputs[0];
    T* const out1 = outputs[1];
    OutputMeters meters = meters_;
    const float decay = meterDecay_;
    const int hold = holdSamples_;
    if (bypassed_) {
        const T* const in0 = inputs[0];
        const T* const in1 = inputs[1];
        float a = 0.0f, b = 0.0f;
        for (int i = 0; i < n; ++i) {
            a = cleanSample(in0[i]);
            b = cleanSample(in1[i]);
            meters.update(a, b, decay, hold);
            out0[i] = static_cast<T>(a);
            out1[i] = static_cast<T>(b);
        }
        out_ = {a, b};
    } else {
        for (int i = 0; i < n; ++i) {
            for (int c = 0; c < kInputs; ++c)
                frame_[c] = cleanSample(inputs[c][i]) + noise_[c].nextSample();
            render();
            const float a = out_[0];
            const float b = out_[1];
            meters.update(a, b, decay, hold);
            out0[i] = static_cast<T>(a);
            out1[i] = static_cast<T>(b);
        }
    }
    meters_ = meters;
}

}  // namespace qx
