// Signal engine of the mastering limiter: drive, width, correlation guard, soft clipper,
// 512-sample look-ahead, RMS stage, smooth peak limiter, hard clip, trim, requantisation
// and the meter state the editor reads.
#pragma once

#include <emmintrin.h>

#include <cmath>

#include "dsp/biquad_filter.h"
#include "dsp/noise_source.h"
#include "effects/palisor/dither_quantizer.h"
#include "framework/sample_guard.h"

namespace qx {

namespace limiter_detail {
struct SharedLanes;
}

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
    // meters follow at the end of the block.
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
    template <bool kInterSamplePeak, bool kRequantise, typename T>
    void processLoop(const T* inL, const T* inR, T* outL, T* outR, int n);
    template <typename T>
    void processBypassedLoop(const T* inL, const T* inR, T* outL, T* outR, int n);
    // The running state both block paths carry in registers: loaded before a block,
    // stored back after it.
    inline limiter_detail::SharedLanes loadShared() const;
    inline void storeShared(const limiter_detail::SharedLanes& lanes);

    // The look-ahead delay: kRingSlots slots of (left, right) pairs, each slot stored
    // twice (at i and i + kRingSlots) so that every tap reads cursor + offset without a
    // wrap. Writing advances the cursor; the slot under it then holds the frame written
    // 512 frames earlier, and offset i the one written 512 - i frames earlier.
    static constexpr int kRingSlots = kDelayLength + 1;
    alignas(16) float ring_[2 * kRingSlots][2] = {};
    int cursor_ = 0;
    // Detector taps as offsets from the cursor, held to 0..511: D, D - 1, D + 1 and the
    // interpolator's D - 3 .. D + 4.
    int tapD_ = 0, tapBefore_ = 0, tapAfter_ = 0;
    int tapIsp_[kIspTaps] = {};

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
// Block path. Both channels run the same arithmetic, so they share one SSE2 register:
// left in lane 0, right in lane 1. Lane arithmetic rounds exactly like scalar float
// arithmetic, and every expression keeps the operand order of the per-sample design, so
// the results are the same floats; data-dependent choices are lane masks, not branches.

namespace limiter_detail {

using V = __m128;

inline V pair(float l, float r) {
    return _mm_setr_ps(l, r, 0.0f, 0.0f);
}
inline V splat(float x) {
    return _mm_set1_ps(x);
}
inline float left(V v) {
    return _mm_cvtss_f32(v);
}
inline float right(V v) {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
}
inline V add(V a, V b) {
    return _mm_add_ps(a, b);
}
inline V sub(V a, V b) {
    return _mm_sub_ps(a, b);
}
inline V mul(V a, V b) {
    return _mm_mul_ps(a, b);
}
inline V abs(V a) {
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), a);
}
// m ? a : b, per lane.
inline V select(V m, V a, V b) {
    return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
}
// x < hi ? x : hi, then x > lo ? x : lo.
inline V clamp(V x, V lo, V hi) {
    return _mm_max_ps(_mm_min_ps(x, hi), lo);
}

// A (left, right) pair of the look-ahead ring.
inline V loadPair(const float* p) {
    return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p)));
}
inline void storePair(float* p, V v) {
    _mm_storel_pi(reinterpret_cast<__m64*>(p), v);
}

// Output meters of both channels: decaying peak, 10 s hold, mean square.
struct Meters {
    V peakLevel, peakHold, meanSquare;
    __m128i holdCount;

    void update(V out, V decay, V rmsCoef, V rmsWeight, __m128i holdSamples) {
        const V a = abs(out);
        const V rise = _mm_cmpgt_ps(a, peakLevel);
        const V newMax = _mm_and_ps(rise, _mm_cmpgt_ps(a, peakHold));
        peakLevel = select(rise, a, mul(peakLevel, decay));
        // A new maximum restarts the hold; an expired hold falls back to the present level.
        const __m128i expired = _mm_cmplt_epi32(holdCount, _mm_setzero_si128());
        const __m128i fresh = _mm_castps_si128(newMax);
        peakHold = select(_mm_or_ps(newMax, _mm_castsi128_ps(expired)), a, peakHold);
        const __m128i one = _mm_set1_epi32(1);
        const __m128i later =
            _mm_or_si128(_mm_and_si128(expired, holdSamples),
                         _mm_andnot_si128(expired, _mm_sub_epi32(holdCount, one)));
        holdCount = _mm_or_si128(_mm_and_si128(fresh, _mm_sub_epi32(holdSamples, one)),
                                 _mm_andnot_si128(fresh, later));
        meanSquare = add(mul(mul(rmsWeight, out), out), mul(rmsCoef, meanSquare));
    }
};

// Transposed direct form II of the correlation high-passes.
struct Highpass {
    V b0, b1, b2, a1, a2, s1, s2;

    V process(V x) {
        const V y = add(mul(b0, x), s1);
        s1 = add(sub(mul(b1, x), mul(a1, y)), s2);
        s2 = sub(mul(b2, x), mul(a2, y));
        return y;
    }
};

// Averaged products (LL, RR, LR) of the high-passed channels in lanes 0, 1, 2.
inline V correlate(V products, V y, V coef, V weight) {
    const V first = mul(weight, _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 1, 1, 0)));  // yL yR yR
    const V second = _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 0, 1, 0));              // yL yR yL
    return add(mul(coef, products), mul(first, second));
}

// Stores lanes 0 and 1 of v into a float field of the left and right channel.
template <class Channel>
inline void storeLanes(V v, Channel& l, Channel& r, float Channel::*field) {
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, v);
    l.*field = lanes[0];
    r.*field = lanes[1];
}

struct SharedLanes {
    NoiseSource noise;
    Highpass hp;
    V xcorr;
    Meters meters;
    V out;
    int cursor;
};

}  // namespace limiter_detail

inline limiter_detail::SharedLanes LimiterEngine::loadShared() const {
    using namespace limiter_detail;
    const Channel& cl = ch_[0];
    const Channel& cr = ch_[1];
    return SharedLanes{
        noise_,
        Highpass{pair(cl.highpass.b0(), cr.highpass.b0()), pair(cl.highpass.b1(), cr.highpass.b1()),
                 pair(cl.highpass.b2(), cr.highpass.b2()), pair(cl.highpass.a1(), cr.highpass.a1()),
                 pair(cl.highpass.a2(), cr.highpass.a2()), pair(cl.highpassS1, cr.highpassS1),
                 pair(cl.highpassS2, cr.highpassS2)},
        _mm_setr_ps(xcorrLL_, xcorrRR_, xcorrLR_, 0.0f),
        Meters{pair(cl.peakLevel, cr.peakLevel), pair(cl.peakHold, cr.peakHold),
               pair(cl.meanSquare, cr.meanSquare),
               _mm_setr_epi32(cl.holdCount, cr.holdCount, 0, 0)},
        pair(cl.out, cr.out),
        cursor_,
    };
}

inline void LimiterEngine::storeShared(const limiter_detail::SharedLanes& lanes) {
    using namespace limiter_detail;
    Channel& cl = ch_[0];
    Channel& cr = ch_[1];
    noise_ = lanes.noise;
    cursor_ = lanes.cursor;
    storeLanes(lanes.hp.s1, cl, cr, &Channel::highpassS1);
    storeLanes(lanes.hp.s2, cl, cr, &Channel::highpassS2);
    storeLanes(lanes.meters.peakLevel, cl, cr, &Channel::peakLevel);
    storeLanes(lanes.meters.peakHold, cl, cr, &Channel::peakHold);
    storeLanes(lanes.meters.meanSquare, cl, cr, &Channel::meanSquare);
    storeLanes(lanes.out, cl, cr, &Channel::out);
    alignas(16) int counts[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(counts), lanes.meters.holdCount);
    cl.holdCount = counts[0];
    cr.holdCount = counts[1];
    alignas(16) float x[4];
    _mm_store_ps(x, lanes.xcorr);
    xcorrLL_ = x[0];
    xcorrRR_ = x[1];
    xcorrLR_ = x[2];
}

template <typename T>
void LimiterEngine::processBlock(const T* inL, const T* inR, T* outL, T* outR, int n) {
    if (n <= 0) return;
    if (bypassed_) {
        processBypassedLoop(inL, inR, outL, outR, n);
    } else if (interSamplePeak_) {
        if (wordLength_ < 32)
            processLoop<true, true>(inL, inR, outL, outR, n);
        else
            processLoop<true, false>(inL, inR, outL, outR, n);
    } else {
        if (wordLength_ < 32)
            processLoop<false, true>(inL, inR, outL, outR, n);
        else
            processLoop<false, false>(inL, inR, outL, outR, n);
    }
}

template <bool kInterSamplePeak, bool kRequantise, typename T>
void LimiterEngine::processLoop(const T* inL, const T* inR, T* outL, T* outR, int n) {
    using namespace limiter_detail;
    Channel& cl = ch_[0];
    Channel& cr = ch_[1];
    // Running state, held in registers (or the stack) for the block: the host's output
    // buffers could otherwise alias it and force a store and reload every frame.
    SharedLanes lanes = loadShared();
    NoiseSource& noise = lanes.noise;
    Highpass& hp = lanes.hp;
    V& xcorr = lanes.xcorr;
    Meters& meters = lanes.meters;
    V& out = lanes.out;
    int& cursor = lanes.cursor;
    V excess = pair(cl.excess, cr.excess), env = pair(cl.env, cr.env);
    V holdEnv = pair(cl.holdEnv, cr.holdEnv), slowEnv = pair(cl.slowEnv, cr.slowEnv);
    V gain = pair(cl.gain, cr.gain), work = pair(cl.work, cr.work);
    V clipPeak = _mm_setzero_ps();  // this block only; merged below
    float rmsFast = rmsFastState_, rmsAttackState = rmsAttackState_, rmsHold = rmsHoldState_;
    float rmsGain = rmsGain_;
    DitherQuantizer ditherL = cl.dither, ditherR = cr.dither;

    const float drive = driveGain_, side = sideGain_;
    const V xcorrCoef = splat(xcorrCoef_), xcorrWeight = splat(1.0f - xcorrCoef_);
    const bool guard = xcorrThreshold_ > kGuardOffThreshold;
    const float guardSum = 1.0f - xcorrThreshold_, guardDiff = 1.0f + xcorrThreshold_;
    const bool clip = softclipAmount_ > kSoftclipOnAmount;
    const V clipDry = splat(1.0f - softclipAmount_);
    const V clipWet = splat(softclipAmount_ * softclipOutScale_);
    const V clipIn = splat(softclipInScale_);
    const float rmsSmooth = rmsSmoothCoef_, rmsSmoothWeight = 1.0f - rmsSmoothCoef_;
    const float rmsAttack = rmsAttackCoef_, rmsAttackWeight = 1.0f - rmsAttackCoef_;
    const float rmsRelease = rmsReleaseCoef_, rmsThreshold = rmsThresholdPower_;
    const V smooth = splat(peakSmoothCoef_), smoothWeight = splat(1.0f - peakSmoothCoef_);
    const V release = splat(peakReleaseCoef_), norm = splat(peakNorm_);
    const V envRelease = splat(envReleaseCoef_);
    const V slow = splat(envHysteresisCoef_), slowWeight = splat(1.0f - envHysteresisCoef_);
    const V link = splat(stereoLink_), trim = splat(outputGain_);
    const V decay = splat(meterDecay_), rmsCoef = splat(meterRmsCoef_);
    const V rmsWeight = splat(1.0f - meterRmsCoef_);
    const __m128i holdSamples = _mm_set1_epi32(holdSamples_);
    const V one = splat(1.0f), minusOne = splat(-1.0f), two = splat(2.0f), half = splat(0.5f);
    const V releaseFloor = splat(1e-8f), gainGate = splat(2e-8f);
    const V rightLane = _mm_castsi128_ps(_mm_setr_epi32(0, -1, 0, 0));
    const int tapD = 2 * tapD_, tapBefore = 2 * tapBefore_, tapAfter = 2 * tapAfter_;
    int tapIsp[kIspTaps];
    for (int k = 0; k < kIspTaps; ++k) tapIsp[k] = 2 * tapIsp_[k];
    float* const ring = &ring_[0][0];

    for (int i = 0; i < n; ++i) {
        // Both inputs are read before any output is written: hosts may process in place.
        const float inLeft = cleanSample(inL[i]);
        const float inRight = cleanSample(inR[i]);

        // Drive with the anti-denormal offset (left draw first), then width.
        const float noiseL = noise.nextSample();
        float wL = noiseL + inLeft * drive;
        const float noiseR = noise.nextSample();
        float wR = noiseR + inRight * drive;
        const float diff = wL - wR;
        const float mid = (wL + wR) * 0.5f;
        const float sideNow = diff * side;
        wL = mid + sideNow;
        wR = mid - sideNow;
        work = pair(wL, wR);

        xcorr = correlate(xcorr, hp.process(work), xcorrCoef, xcorrWeight);

        // Correlation guard: scales the side signal until (sum power)(1 - t) matches
        // (difference power)(1 + t).
        if (guard) {
            alignas(16) float x[4];
            _mm_store_ps(x, xcorr);
            const float p = (1e-8f + 2.0f * x[2] + x[1] + x[0]) * guardSum;
            const float q = (1e-8f + x[0] + x[1] - 2.0f * x[2]) * guardDiff;
            if (p < q) {
                const float ratio = p / q;
                const float k = ratio > 0.0f ? std::sqrt(ratio) : 0.0f;
                const float narrowed = k * diff * side;
                work = pair(mid + narrowed, mid - narrowed);
            }
        }

        // Soft clipper; the curve 0.5 above 1, u(2 - u)/2 on 0..1, odd symmetric is one
        // expression on u held to -1..1 (2 - |u| is u + 2 for negative u).
        if (clip) {
            clipPeak = _mm_max_ps(abs(work), clipPeak);
            const V u = clamp(mul(work, clipIn), minusOne, one);
            const V curve = mul(mul(u, sub(two, abs(u))), half);
            work = add(mul(clipDry, work), mul(clipWet, curve));
        }

        // Look-ahead delay.
        storePair(ring + 2 * cursor, work);
        storePair(ring + 2 * (cursor + kRingSlots), work);
        cursor = cursor == kDelayLength ? 0 : cursor + 1;
        const float* const d = ring + 2 * cursor;

        // Detector samples.
        const V x = loadPair(d + tapD);
        V r = x;
        if constexpr (kInterSamplePeak) {
            V s = _mm_setzero_ps();
            for (int k = 0; k < kIspTaps; ++k)
                s = add(s, mul(splat(kIspTap[k]), loadPair(d + tapIsp[k])));
            r = select(_mm_cmplt_ps(abs(r), abs(s)), s, r);
        } else {
            // The smallest of three neighbours: overs shorter than three samples are
            // left to the hard clip.
            const V before = loadPair(d + tapBefore);
            r = select(_mm_cmpgt_ps(abs(r), abs(before)), before, r);
            const V after = loadPair(d + tapAfter);
            r = select(_mm_cmpgt_ps(abs(r), abs(after)), after, r);
        }

        // RMS stage on the unrefined detector samples.
        const V squares = mul(x, x);
        const float p = (left(squares) + right(squares)) * 0.5f + 1e-8f;
        rmsFast = p * rmsSmoothWeight + rmsSmooth * rmsFast;
        const float m = rmsFast * rmsAttackWeight + rmsAttack * rmsAttackState;
        rmsAttackState = m;
        rmsHold = m > rmsHold ? m : rmsHold * rmsRelease;
        rmsGain = 1.0f;
        if (rmsHold > rmsThreshold) rmsGain = std::sqrt(rmsThreshold / rmsHold);
        const V rms = splat(rmsGain);
        r = mul(r, rms);

        // Excess tracker, smoother, held and slow envelopes.
        const V u = sub(abs(r), one);
        const V released = select(_mm_cmpgt_ps(excess, releaseFloor), mul(excess, release), excess);
        excess = select(_mm_cmplt_ps(excess, u), u, released);
        env = add(mul(mul(smoothWeight, excess), norm), mul(smooth, env));
        holdEnv = select(_mm_cmpgt_ps(holdEnv, env), mul(holdEnv, envRelease), env);
        slowEnv = add(mul(slow, slowEnv), mul(slowWeight, holdEnv));
        V e = _mm_max_ps(holdEnv, slowEnv);

        // Stereo link: the right envelope is raised to k times the left when below it;
        // otherwise the left to k times the right.
        const V pull = mul(_mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 2, 0, 1)), link);
        const V below = _mm_cmplt_ps(e, pull);
        const V rightPulled = _mm_shuffle_ps(below, below, _MM_SHUFFLE(1, 1, 1, 1));
        e = select(_mm_or_ps(_mm_andnot_ps(rightPulled, below), _mm_and_ps(below, rightLane)), pull,
                   e);

        // A sample of magnitude 1 + E comes out at exactly full scale.
        gain = select(_mm_cmpgt_ps(e, gainGate), _mm_div_ps(one, add(one, e)), one);

        out = mul(clamp(mul(mul(loadPair(d), rms), gain), minusOne, one), trim);
        if constexpr (kRequantise) {
            const float qL = ditherL.quantize(left(out));
            const float qR = ditherR.quantize(right(out));
            out = clamp(pair(qL, qR), minusOne, one);
        }
        meters.update(out, decay, rmsCoef, rmsWeight, holdSamples);
        outL[i] = static_cast<T>(left(out));
        outR[i] = static_cast<T>(right(out));
    }

    storeShared(lanes);
    storeLanes(excess, cl, cr, &Channel::excess);
    storeLanes(env, cl, cr, &Channel::env);
    storeLanes(holdEnv, cl, cr, &Channel::holdEnv);
    storeLanes(slowEnv, cl, cr, &Channel::slowEnv);
    storeLanes(gain, cl, cr, &Channel::gain);
    storeLanes(work, cl, cr, &Channel::work);
    // Merged rather than copied: the editor may have read and cleared the tracker while
    // the block ran.
    storeLanes(_mm_max_ps(clipPeak, pair(cl.softclipPeak, cr.softclipPeak)), cl, cr,
               &Channel::softclipPeak);
    rmsFastState_ = rmsFast;
    rmsAttackState_ = rmsAttackState;
    rmsHoldState_ = rmsHold;
    rmsGain_ = rmsGain;
    if constexpr (kRequantise) {
        cl.dither = ditherL;
        cr.dither = ditherR;
    }
}

// Bypass: the input, with the anti-denormal offset only, leaves the delay unchanged;
// meters and correlation keep running on it.
template <typename T>
void LimiterEngine::processBypassedLoop(const T* inL, const T* inR, T* outL, T* outR, int n) {
    using namespace limiter_detail;
    Channel& cl = ch_[0];
    Channel& cr = ch_[1];
    SharedLanes lanes = loadShared();
    NoiseSource& noise = lanes.noise;
    Highpass& hp = lanes.hp;
    V& xcorr = lanes.xcorr;
    Meters& meters = lanes.meters;
    V& out = lanes.out;
    int& cursor = lanes.cursor;
    const V xcorrCoef = splat(xcorrCoef_), xcorrWeight = splat(1.0f - xcorrCoef_);
    const V decay = splat(meterDecay_), rmsCoef = splat(meterRmsCoef_);
    const V rmsWeight = splat(1.0f - meterRmsCoef_);
    const __m128i holdSamples = _mm_set1_epi32(holdSamples_);
    float* const ring = &ring_[0][0];
    for (int i = 0; i < n; ++i) {
        const float inLeft = cleanSample(inL[i]);
        const float inRight = cleanSample(inR[i]);
        const float noiseL = noise.nextSample();
        const float wL = noiseL + inLeft;
        const float noiseR = noise.nextSample();
        const float wR = noiseR + inRight;
        const V w = pair(wL, wR);
        storePair(ring + 2 * cursor, w);
        storePair(ring + 2 * (cursor + kRingSlots), w);
        cursor = cursor == kDelayLength ? 0 : cursor + 1;
        out = loadPair(ring + 2 * cursor);
        meters.update(out, decay, rmsCoef, rmsWeight, holdSamples);
        xcorr = correlate(xcorr, hp.process(out), xcorrCoef, xcorrWeight);
        outL[i] = static_cast<T>(left(out));
        outR[i] = static_cast<T>(right(out));
    }
    storeShared(lanes);
    storeLanes(out, cl, cr, &Channel::work);
}

}  // namespace qx
