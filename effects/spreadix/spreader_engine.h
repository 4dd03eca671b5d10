// Signal engine of the stereo spreader: places the two input channels on the loudspeaker
// stage and beyond it (a delayed, low-passed, inverted copy on the far loudspeaker cancels
// the crosstalk), scales the side signal, adds a synthetic decorrelated side, and keeps the
// last 256 output pairs for the editor's goniometer.
#pragma once

#include <algorithm>
#include <cmath>

#include "dsp/allpass_delay.h"
#include "dsp/delay_line.h"
#include "dsp/one_pole_filter.h"
#include "framework/sample_guard.h"

namespace qx {

class SpreaderEngine {
  public:
    static constexpr float kMinSampleRate = 5000.0f;
    // Keeps the integer rate handed to the filter designs in range; every length is held
    // to its line's capacity long before this.
    static constexpr float kMaxSampleRate = 10.0e6f;
    static constexpr int kScopeSize = 256;
    // Line capacities: the lengths needed at 192 kHz (synthetic side at character 1).
    static constexpr int kSideDelayCapacity = 6720;
    static constexpr int kDiffuser1Capacity = 1919;
    static constexpr int kDiffuser2Capacity = 1516;
    static constexpr int kCrosstalkCapacity = 57;
    static constexpr float kCrosstalkGain = -0.8f;  // strength of the cancelling copy per unit F
    static constexpr float kMinCharacter = 0.05f;
    static constexpr float kMaxSideLevel = 4.0f;

    // Where a source sits: on the near loudspeaker with crosstalk cancellation (left of
    // the stage or right of it), or panned linearly inside the middle region.
    enum class Region { Left, Middle, Right };

    // ITU layout at 44100 Hz, sources on the loudspeakers, unity level and side, no
    // synthetic side.
    SpreaderEngine();
    SpreaderEngine(const SpreaderEngine&) = delete;
    SpreaderEngine& operator=(const SpreaderEngine&) = delete;

    // --- Settings: between blocks on the audio thread, or while no block runs ---
    // Hz, held to 5000..10e6 (anything else, NaN included, gives 5000). Recomputes the
    // lengths (a changed line is emptied) and filter corners.
    void setSampleRate(float sampleRateHz);
    // Stage positions 0..1 (held there; NaN gives 0). ITU: 0.25 and 0.75 are the
    // loudspeakers; dipole: the middle region is 0.4..0.6.
    void setPanLeft(float position);
    void setPanRight(float position);
    // Output level in dB (held to -200..+40 dB; NaN gives -200).
    void setLevelDb(float levelDb);
    // Dipole layout instead of ITU: narrower middle region, shorter crosstalk delay,
    // higher corners. Empties the crosstalk lines when their length changes.
    void setDipole(bool on);
    // The input passes unchanged (the goniometer still runs).
    void setBypassed(bool on) { bypassed_ = on; }
    // Gain of the side signal, 0..4 (1 keeps the width).
    void setSideLevel(float gain);
    // Level of the synthetic side, 0..1.
    void setSynthMix(float gain);
    // Delay factor of the synthetic side, 0.05..1 of 35 ms (below 0.05 gives 0.05).
    // Empties the side delay when its length changes.
    void setCharacter(float character);

    // --- Audio thread ---
    // One frame; the results are in outL() and outR().
    void processFrame(float a, float b) { frame(mix(), filters_, a, b); }
    // n frames (any n; 0 does nothing) of float or double samples, narrowed to float and
    // cleaned on the way in, with `offset` (the host block's anti-denormal value) added to
    // both inputs. Writes the outputs (in place or not), or adds to them when accumulate
    // is set. Returns the largest output magnitude of the block, for the host's VU.
    template <typename T>
    float processBlock(const T* inL, const T* inR, T* outL, T* outR, int n, float offset = 0.0f,
                       bool accumulate = false);

    float outL() const { return outL_; }
    float outR() const { return outR_; }
    // The last kScopeSize outputs, each held to -1..1; the next frame goes to scopeIndex().
    const float* scopeLeft() const { return scopeLeft_; }
    const float* scopeRight() const { return scopeRight_; }
    int scopeIndex() const { return scopeIndex_; }

    float sampleRateHz() const { return sampleRate_; }
    float panLeft() const { return panLeft_; }
    float panRight() const { return panRight_; }
    float level() const { return level_; }
    bool dipole() const { return dipole_; }
    bool bypassed() const { return bypassed_; }
    float sideLevel() const { return sideLevel_; }
    float synthMix() const { return sideDelay_.gain(); }
    float character() const { return character_; }
    int sideDelayLength() const { return sideDelay_.length(); }
    int crosstalkLength() const { return crosstalkLeft_.length(); }
    Region regionLeft() const { return left_.region; }
    Region regionRight() const { return right_.region; }
    // F of the left source and G of the right one: 0 in the middle region.
    float factorLeft() const { return left_.factor; }
    float factorRight() const { return right_.factor; }

  private:
    // One source's position, derived from its pan and the layout.
    struct Placement {
        Region region = Region::Middle;
        float factor = 0.0f;                          // F or G outside the middle region
        float crosstalk = 0.0f;                       // -0.8 factor
        float towardLeft = 0.0f, towardRight = 0.0f;  // hi - p and p - lo in the middle
    };

    // The settings a frame reads, copied into locals for a block.
    struct Mix {
        Placement left, right;
        float sideLevel, level, middle;
        bool bypassed;
    };
    // The one-pole filters, copied into locals for a block so that their state stays in
    // registers. The dampings sit in front of the lines' writes: the lowpass a delay
    // line's damping applies, with the same coefficient and update.
    struct Filters {
        OnePoleFilter bassLeft, bassRight;  // low-frequency images of the two sources
        OnePoleFilter sideDamping;          // 12 kHz, into the side delay
        OnePoleFilter crosstalkDamping[2];  // into the crosstalk lines of the two sources
    };

    void recompute();
    void place();
    Placement placement(float position, float outerEdge) const;
    Mix mix() const { return {left_, right_, sideLevel_, level_, middle_, bypassed_}; }
    // Adds source x (with its bass image e) placed by s to the outputs; `crosstalk` is
    // the source's cancelling line, written once.
    static void position(const Placement& s, float middle, float x, float e, DelayLine& crosstalk,
                         OnePoleFilter& damping, float& outL, float& outR);
    void frame(const Mix& m, Filters& f, float a, float b);
    template <bool kAccumulate, typename T>
    float processLoop(const T* inL, const T* inR, T* outL, T* outR, int n, float offset);

    float sampleRate_ = 44100.0f;
    float panLeft_ = 0.25f;
    float panRight_ = 0.75f;
    float level_ = 1.0f;
    bool bypassed_ = false;
    float sideLevel_ = 1.0f;
    bool dipole_ = false;
    float character_ = 0.5f;

    // Layout: middle region lo..hi, edge factor outside it, middle factor inside.
    float lo_ = 0.25f, hi_ = 0.75f, middle_ = 2.0f;
    Placement left_, right_;

    float outL_ = 0.0f, outR_ = 0.0f;
    int scopeIndex_ = 0;
    float scopeLeft_[kScopeSize] = {};
    float scopeRight_[kScopeSize] = {};

    // Blocks of the older generation: a changed delay length empties the line.
    DelayLine sideDelay_{DelayLine::LengthChange::Clear};  // gain = synthetic side mix
    AllpassDelay diffuser1_, diffuser2_;                   // decorrelate the synthetic side
    Filters filters_;
    DelayLine crosstalkLeft_{DelayLine::LengthChange::Clear};
    DelayLine crosstalkRight_{DelayLine::LengthChange::Clear};
};

inline void SpreaderEngine::position(const Placement& s, float middle, float x, float e,
                                     DelayLine& crosstalk, OnePoleFilter& damping, float& outL,
                                     float& outR) {
    if (s.region == Region::Middle) {
        // The line keeps running (on silence), so its lowpass has settled when the source
        // moves outside again.
        damping.process(0.0f);
        crosstalk.write(damping.output());
        outL += x * s.towardLeft * middle;
        outR += x * s.towardRight * middle;
        return;
    }
    // On the near loudspeaker with its bass image; the far one gets the cancelling copy.
    const bool left = s.region == Region::Left;
    const float near = x + e * s.factor;
    damping.process(s.crosstalk * near);
    crosstalk.write(damping.output());
    const float far = crosstalk.readCurrent();
    outL += left ? near : far;
    outR += left ? far : near;
}

inline void SpreaderEngine::frame(const Mix& m, Filters& f, float a, float b) {
    float outL, outR;
    if (m.bypassed) {
        outL = a;
        outR = b;
    } else {
        // Synthetic side: the side signal delayed (through the line's 12 kHz damping),
        // scaled by the mix, and decorrelated by two allpasses.
        const float side = a - b;
        f.sideDamping.process(side);
        sideDelay_.write(f.sideDamping.output());
        const float d = sideDelay_.readCurrent();
        const float diffused = diffuser2_.processSample(diffuser1_.processSample(d));
        const float mid = (a + b) * 0.5f;
        const float s = side * 0.5f * m.sideLevel;
        const float g = 0.5f * d + diffused + (mid + s);  // left source
        const float h = 0.5f * d - diffused + (mid - s);  // right source
        f.bassLeft.process(2.0f * g);
        f.bassRight.process(2.0f * h);
        outL = 0.0f;
        outR = 0.0f;
        position(m.left, m.middle, g, f.bassLeft.output(), crosstalkLeft_, f.crosstalkDamping[0],
                 outL, outR);
        position(m.right, m.middle, h, f.bassRight.output(), crosstalkRight_, f.crosstalkDamping[1],
                 outL, outR);
        outL *= m.level;
        outR *= m.level;
    }
    outL_ = outL;
    outR_ = outR;
    scopeLeft_[scopeIndex_] = std::clamp(outL, -1.0f, 1.0f);
    scopeRight_[scopeIndex_] = std::clamp(outR, -1.0f, 1.0f);
    scopeIndex_ = (scopeIndex_ + 1) & (kScopeSize - 1);
}

template <typename T>
float SpreaderEngine::processBlock(const T* inL, const T* inR, T* outL, T* outR, int n,
                                   float offset, bool accumulate) {
    if (n <= 0) return 0.0f;
    return accumulate ? processLoop<true>(inL, inR, outL, outR, n, offset)
                      : processLoop<false>(inL, inR, outL, outR, n, offset);
}

template <bool kAccumulate, typename T>
float SpreaderEngine::processLoop(const T* inL, const T* inR, T* outL, T* outR, int n,
                                  float offset) {
    const Mix m = mix();
    Filters f = filters_;
    float peak = 0.0f;
    for (int i = 0; i < n; ++i) {
        // Both inputs are read before either output is written: hosts may process in place.
        frame(m, f, cleanSample(inL[i]) + offset, cleanSample(inR[i]) + offset);
        if constexpr (kAccumulate) {
            outL[i] += static_cast<T>(outL_);
            outR[i] += static_cast<T>(outR_);
        } else {
            outL[i] = static_cast<T>(outL_);
            outR[i] = static_cast<T>(outR_);
        }
        peak = std::max(peak, std::max(std::fabs(outL_), std::fabs(outR_)));
    }
    filters_ = f;
    return peak;
}

}  // namespace qx
