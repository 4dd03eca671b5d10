// Block path of the limiter engine. Frames pass through the stages one sub-block at a time:
// the stages without feedback (drive and width, guard, clipper, detector, RMS gain, limiter
// gain and output) work on four frames, or two stereo frames, per SSE2 register; the
// recursive ones (correlation filters, RMS and peak envelopes, dither, meters) step frame by
// frame with left in lane 0 and right in lane 1. Lane arithmetic rounds exactly like scalar
// float arithmetic and every expression keeps the operand order of the per-sample design,
// so the results are the same floats; data-dependent choices are lane masks.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "effects/palisor/limiter_engine.h"
#include "framework/sample_guard.h"

namespace qx {

namespace {

using V = __m128;

inline V splat(float x) {
    return _mm_set1_ps(x);
}
inline V pair(float l, float r) {
    return _mm_setr_ps(l, r, 0.0f, 0.0f);
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

// One (left, right) pair; lanes 2 and 3 read as 0.
inline V loadPair(const float* p) {
    return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p)));
}
inline void storePair(float* p, V v) {
    _mm_storel_pi(reinterpret_cast<__m64*>(p), v);
}

// K = 4 or 1 consecutive values; lanes past K read as 0 and are not written.
template <int K>
inline V loadLanes(const float* p) {
    if constexpr (K == 4)
        return _mm_loadu_ps(p);
    else
        return _mm_load_ss(p);
}
template <int K>
inline void storeLanes(float* p, V v) {
    if constexpr (K == 4)
        _mm_storeu_ps(p, v);
    else
        _mm_store_ss(p, v);
}
template <int K>
inline V loadLanes(const double* p) {
    if constexpr (K == 4)
        return _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(p)), _mm_cvtpd_ps(_mm_loadu_pd(p + 2)));
    else
        return _mm_cvtsd_ss(_mm_setzero_ps(), _mm_load_sd(p));
}
template <int K>
inline void storeLanes(double* p, V v) {
    if constexpr (K == 4) {
        _mm_storeu_pd(p, _mm_cvtps_pd(v));
        _mm_storeu_pd(p + 2, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
    } else {
        _mm_store_sd(p, _mm_cvtss_sd(_mm_setzero_pd(), v));
    }
}

// K host samples, cleaned as cleanSample() does. Values in range (all of them, nearly
// always) pass in one test; anything else takes the scalar route.
template <int K, typename T>
inline V loadClean(const T* p) {
    const V x = loadLanes<K>(p);
    const V inRange = _mm_cmple_ps(abs(x), splat(kInputSampleLimit));
    if (_mm_movemask_ps(inRange) == 0xF) [[likely]]
        return x;
    alignas(16) float lanes[4] = {};
    for (int k = 0; k < K; ++k) lanes[k] = cleanSample(p[k]);
    return _mm_load_ps(lanes);
}

// K consecutive (left, right) frames to and from a left and a right register.
template <int K>
inline void loadFrames(const float* frames, V& l, V& r) {
    if constexpr (K == 4) {
        const V a = _mm_loadu_ps(frames), b = _mm_loadu_ps(frames + 4);
        l = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        r = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    } else {
        const V a = loadPair(frames);
        l = _mm_move_ss(_mm_setzero_ps(), a);
        r = _mm_move_ss(_mm_setzero_ps(), _mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 1, 1, 1)));
    }
}
template <int K>
inline void storeFrames(float* frames, V l, V r) {
    if constexpr (K == 4) {
        _mm_storeu_ps(frames, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(frames + 4, _mm_unpackhi_ps(l, r));
    } else {
        storePair(frames, _mm_unpacklo_ps(l, r));
    }
}

inline float largestLane(V v) {
    v = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return left(_mm_max_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1))));
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
inline void storeChannels(V v, Channel& l, Channel& r, float Channel::*field) {
    l.*field = left(v);
    r.*field = right(v);
}

}  // namespace

// The stages of a sub-block and the state they carry from frame to frame, taken from the
// engine when a block starts and given back when it ends.
struct LimiterEngine::BlockPath {
    LimiterEngine& e;
    Scratch& s;

    // Settings and coefficients
    const V drive, side, half;
    const bool guard, clip;
    const V guardSum, guardDiff;
    const V clipDry, clipWet, clipIn;
    const float rmsSmooth, rmsSmoothWeight, rmsAttack, rmsAttackWeight, rmsRelease;
    const V rmsThreshold;
    const V smooth, smoothWeight, release, norm, envRelease, slow, slowWeight, link, trim;
    const V xcorrCoef, xcorrWeight, decay, rmsCoef, rmsWeight;
    const __m128i holdSamples;
    const V one, minusOne, two, tiny, gainGate, rightLane;
    // Detector taps in floats from a frame's slot 512 frames back.
    const int tapD, tapBefore, tapAfter;
    int tapIsp[kIspTaps];

    // Running state
    NoiseSource noise;
    Highpass hp;
    V xcorr;
    Meters meters;
    V excess, env, holdEnv, slowEnv;
    V clipPeakL, clipPeakR;  // this block only; merged into the engine's at the end
    float rmsFast, rmsAttackState, rmsHold;
    DitherQuantizer ditherL, ditherR;
    int last = -1;  // the last frame of the latest sub-block

    explicit BlockPath(LimiterEngine& engine);
    void finish();

    template <typename T>
    void bypassed(const T* inL, const T* inR, T* outL, T* outR, int n);
    template <bool kInterSamplePeak, bool kRequantise, typename T>
    void active(const T* inL, const T* inR, T* outL, T* outR, int n);

    // Moves the last 512 frames to the front when n more would not fit.
    void makeRoom(int n);
    template <int K, typename T>
    void widen(const T* inL, const T* inR, float* written, int j);
    template <int K>
    void narrowByGuard(float* written, int j);
    template <int K>
    void clipAndDelay(float* written, int j, V l, V r);
    void correlateAll(int n);
    template <bool kInterSamplePeak>
    void detect(const float* oldest, int n);
    void holdRms(int n);
    void applyRms(int n);
    template <bool kCorrelate>
    void envelopes(int n);
    V limiterGain(V envelope) const {
        return select(_mm_cmpgt_ps(envelope, gainGate), _mm_div_ps(one, add(one, envelope)), one);
    }
    void outputs(const float* oldest, int n);
    template <bool kRequantise>
    void meterAll(int n);
    template <int K, typename T>
    void store(T* outL, T* outR, int j) {
        V l, r;
        loadFrames<K>(s.out[j], l, r);
        storeLanes<K>(outL + j, l);
        storeLanes<K>(outR + j, r);
    }
};

LimiterEngine::BlockPath::BlockPath(LimiterEngine& engine)
    : e(engine),
      s(engine.scratch_),
      drive(splat(e.driveGain_)),
      side(splat(e.sideGain_)),
      half(splat(0.5f)),
      guard(e.xcorrThreshold_ > kGuardOffThreshold),
      clip(e.softclipAmount_ > kSoftclipOnAmount),
      guardSum(splat(1.0f - e.xcorrThreshold_)),
      guardDiff(splat(1.0f + e.xcorrThreshold_)),
      clipDry(splat(1.0f - e.softclipAmount_)),
      clipWet(splat(e.softclipAmount_ * e.softclipOutScale_)),
      clipIn(splat(e.softclipInScale_)),
      rmsSmooth(e.rmsSmoothCoef_),
      rmsSmoothWeight(1.0f - e.rmsSmoothCoef_),
      rmsAttack(e.rmsAttackCoef_),
      rmsAttackWeight(1.0f - e.rmsAttackCoef_),
      rmsRelease(e.rmsReleaseCoef_),
      rmsThreshold(splat(e.rmsThresholdPower_)),
      smooth(splat(e.peakSmoothCoef_)),
      smoothWeight(splat(1.0f - e.peakSmoothCoef_)),
      release(splat(e.peakReleaseCoef_)),
      norm(splat(e.peakNorm_)),
      envRelease(splat(e.envReleaseCoef_)),
      slow(splat(e.envHysteresisCoef_)),
      slowWeight(splat(1.0f - e.envHysteresisCoef_)),
      link(splat(e.stereoLink_)),
      trim(splat(e.outputGain_)),
      xcorrCoef(splat(e.xcorrCoef_)),
      xcorrWeight(splat(1.0f - e.xcorrCoef_)),
      decay(splat(e.meterDecay_)),
      rmsCoef(splat(e.meterRmsCoef_)),
      rmsWeight(splat(1.0f - e.meterRmsCoef_)),
      holdSamples(_mm_set1_epi32(e.holdSamples_)),
      one(splat(1.0f)),
      minusOne(splat(-1.0f)),
      two(splat(2.0f)),
      tiny(splat(1e-8f)),
      gainGate(splat(2e-8f)),
      rightLane(_mm_castsi128_ps(_mm_setr_epi32(0, -1, 0, 0))),
      tapD(2 * e.tapD_),
      tapBefore(2 * e.tapBefore_),
      tapAfter(2 * e.tapAfter_),
      noise(e.noise_),
      xcorr(_mm_setr_ps(e.xcorrLL_, e.xcorrRR_, e.xcorrLR_, 0.0f)),
      clipPeakL(_mm_setzero_ps()),
      clipPeakR(_mm_setzero_ps()),
      rmsFast(e.rmsFastState_),
      rmsAttackState(e.rmsAttackState_),
      rmsHold(e.rmsHoldState_),
      ditherL(e.ch_[0].dither),
      ditherR(e.ch_[1].dither) {
    for (int k = 0; k < kIspTaps; ++k) tapIsp[k] = 2 * e.tapIsp_[k];
    const Channel& cl = e.ch_[0];
    const Channel& cr = e.ch_[1];
    const BiquadFilterLite& fl = cl.highpass;
    const BiquadFilterLite& fr = cr.highpass;
    hp = Highpass{pair(fl.b0(), fr.b0()),
                  pair(fl.b1(), fr.b1()),
                  pair(fl.b2(), fr.b2()),
                  pair(fl.a1(), fr.a1()),
                  pair(fl.a2(), fr.a2()),
                  pair(cl.highpassS1, cr.highpassS1),
                  pair(cl.highpassS2, cr.highpassS2)};
    meters = Meters{pair(cl.peakLevel, cr.peakLevel), pair(cl.peakHold, cr.peakHold),
                    pair(cl.meanSquare, cr.meanSquare),
                    _mm_setr_epi32(cl.holdCount, cr.holdCount, 0, 0)};
    excess = pair(cl.excess, cr.excess);
    env = pair(cl.env, cr.env);
    holdEnv = pair(cl.holdEnv, cr.holdEnv);
    slowEnv = pair(cl.slowEnv, cr.slowEnv);
}

void LimiterEngine::BlockPath::finish() {
    Channel& cl = e.ch_[0];
    Channel& cr = e.ch_[1];
    e.noise_ = noise;
    storeChannels(hp.s1, cl, cr, &Channel::highpassS1);
    storeChannels(hp.s2, cl, cr, &Channel::highpassS2);
    alignas(16) float x[4];
    _mm_store_ps(x, xcorr);
    e.xcorrLL_ = x[0];
    e.xcorrRR_ = x[1];
    e.xcorrLR_ = x[2];
    storeChannels(meters.peakLevel, cl, cr, &Channel::peakLevel);
    storeChannels(meters.peakHold, cl, cr, &Channel::peakHold);
    storeChannels(meters.meanSquare, cl, cr, &Channel::meanSquare);
    alignas(16) int counts[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(counts), meters.holdCount);
    cl.holdCount = counts[0];
    cr.holdCount = counts[1];
    const V out = loadPair(s.out[last]);
    storeChannels(out, cl, cr, &Channel::out);
    if (e.bypassed_) {
        storeChannels(out, cl, cr, &Channel::work);
        return;
    }
    storeChannels(loadPair(e.delay_[e.writePos_ - 1]), cl, cr, &Channel::work);
    storeChannels(excess, cl, cr, &Channel::excess);
    storeChannels(env, cl, cr, &Channel::env);
    storeChannels(holdEnv, cl, cr, &Channel::holdEnv);
    storeChannels(slowEnv, cl, cr, &Channel::slowEnv);
    storeChannels(limiterGain(loadPair(s.envelope[last])), cl, cr, &Channel::gain);
    e.rmsFastState_ = rmsFast;
    e.rmsAttackState_ = rmsAttackState;
    e.rmsHoldState_ = rmsHold;
    e.rmsGain_ = s.rmsGain[last];
    // Merged rather than copied: the editor may have read and cleared the tracker while
    // the block ran.
    if (clip) {
        cl.softclipPeak = std::max(largestLane(clipPeakL), cl.softclipPeak);
        cr.softclipPeak = std::max(largestLane(clipPeakR), cr.softclipPeak);
    }
    if (e.wordLength_ < 32) {
        cl.dither = ditherL;
        cr.dither = ditherR;
    }
}

void LimiterEngine::BlockPath::makeRoom(int n) {
    if (e.writePos_ + n <= kDelayCapacity) return;
    std::memmove(e.delay_, e.delay_[e.writePos_ - kDelayLength],
                 sizeof(e.delay_[0]) * kDelayLength);
    e.writePos_ = kDelayLength;
}

// Bypass: the input, with the anti-denormal offset only, leaves the delay unchanged;
// meters and correlation keep running on it.
template <typename T>
void LimiterEngine::BlockPath::bypassed(const T* inL, const T* inR, T* outL, T* outR, int n) {
    makeRoom(n);
    float* const written = e.delay_[e.writePos_];
    const float* const oldest = e.delay_[e.writePos_ - kDelayLength];
    Highpass h = hp;
    V products = xcorr;
    Meters m = meters;
    for (int j = 0; j < n; ++j) {
        const float inLeft = cleanSample(inL[j]);
        const float inRight = cleanSample(inR[j]);
        const float noiseL = noise.nextSample();
        const float wL = noiseL + inLeft;
        const float noiseR = noise.nextSample();
        const float wR = noiseR + inRight;
        storePair(written + 2 * j, pair(wL, wR));
        const V out = loadPair(oldest + 2 * j);
        storePair(s.out[j], out);
        m.update(out, decay, rmsCoef, rmsWeight, holdSamples);
        products = correlate(products, h.process(out), xcorrCoef, xcorrWeight);
        outL[j] = static_cast<T>(left(out));
        outR[j] = static_cast<T>(right(out));
    }
    hp = h;
    xcorr = products;
    meters = m;
    e.writePos_ += n;
    last = n - 1;
}

template <bool kInterSamplePeak, bool kRequantise, typename T>
void LimiterEngine::BlockPath::active(const T* inL, const T* inR, T* outL, T* outR, int n) {
    const int groups = (n + 3) & ~3;  // frames the four-wide stages compute
    makeRoom(groups);
    float* const written = e.delay_[e.writePos_];
    const float* const oldest = e.delay_[e.writePos_ - kDelayLength];
    noise.fill(s.noise, 2 * n);

    // Drive, width, guard, soft clipper, into the delay.
    int j = 0;
    for (; j + 4 <= n; j += 4) widen<4>(inL + j, inR + j, written, j);
    for (; j < n; ++j) widen<1>(inL + j, inR + j, written, j);
    if (guard) {
        correlateAll(n);
        for (j = 0; j + 4 <= n; j += 4) narrowByGuard<4>(written, j);
        for (; j < n; ++j) narrowByGuard<1>(written, j);
    }
    e.writePos_ += n;

    // Detector, RMS stage, peak envelopes, output.
    detect<kInterSamplePeak>(oldest, groups);
    holdRms(n);
    applyRms(groups);
    if (guard)
        envelopes<false>(n);
    else
        envelopes<true>(n);
    outputs(oldest, groups);
    meterAll<kRequantise>(n);
    for (j = 0; j + 4 <= n; j += 4) store<4>(outL, outR, j);
    for (; j < n; ++j) store<1>(outL, outR, j);
    last = n - 1;
}

// Drive with the anti-denormal offset, then width. Without the guard the frames go on
// through the clipper into the delay at once.
template <int K, typename T>
void LimiterEngine::BlockPath::widen(const T* inL, const T* inR, float* written, int j) {
    const V inLeft = loadClean<K>(inL);
    const V inRight = loadClean<K>(inR);
    V noiseL, noiseR;
    loadFrames<K>(s.noise + 2 * j, noiseL, noiseR);
    const V wL = add(noiseL, mul(inLeft, drive));
    const V wR = add(noiseR, mul(inRight, drive));
    const V diff = sub(wL, wR);
    const V mid = mul(add(wL, wR), half);
    const V sideNow = mul(diff, side);
    const V l = add(mid, sideNow);
    const V r = sub(mid, sideNow);
    storeFrames<K>(s.widened[j], l, r);
    if (guard) {
        storeLanes<K>(s.mid + j, mid);
        storeLanes<K>(s.diff + j, diff);
    } else {
        clipAndDelay<K>(written, j, l, r);
    }
}

// Correlation guard: scales the side signal until (sum power)(1 - t) matches
// (difference power)(1 + t).
template <int K>
void LimiterEngine::BlockPath::narrowByGuard(float* written, int j) {
    // One frame's (LL, RR, LR) per row, turned into one product per row.
    V ll = _mm_load_ps(s.xcorr[j]), rr = _mm_setzero_ps(), lr = _mm_setzero_ps(),
      unused = _mm_setzero_ps();
    if constexpr (K == 4) {
        rr = _mm_load_ps(s.xcorr[j + 1]);
        lr = _mm_load_ps(s.xcorr[j + 2]);
        unused = _mm_load_ps(s.xcorr[j + 3]);
    }
    _MM_TRANSPOSE4_PS(ll, rr, lr, unused);
    const V twiceLr = mul(two, lr);
    const V p = mul(add(add(add(tiny, twiceLr), rr), ll), guardSum);
    const V q = mul(sub(add(add(tiny, ll), rr), twiceLr), guardDiff);
    const V ratio = _mm_div_ps(p, q);
    const V k = select(_mm_cmplt_ps(ratio, _mm_setzero_ps()), _mm_setzero_ps(), _mm_sqrt_ps(ratio));
    const V mid = loadLanes<K>(s.mid + j);
    const V narrowed = mul(mul(k, loadLanes<K>(s.diff + j)), side);
    V l, r;
    loadFrames<K>(s.widened[j], l, r);
    const V narrow = _mm_cmplt_ps(p, q);
    clipAndDelay<K>(written, j, select(narrow, add(mid, narrowed), l),
                    select(narrow, sub(mid, narrowed), r));
}

// Soft clipper; the curve 0.5 above 1, u(2 - u)/2 on 0..1, odd symmetric is one expression
// on u held to -1..1 (2 - |u| is u + 2 for negative u). Then the look-ahead delay.
template <int K>
void LimiterEngine::BlockPath::clipAndDelay(float* written, int j, V l, V r) {
    if (clip) {
        clipPeakL = _mm_max_ps(abs(l), clipPeakL);
        clipPeakR = _mm_max_ps(abs(r), clipPeakR);
        const V uL = clamp(mul(l, clipIn), minusOne, one);
        const V uR = clamp(mul(r, clipIn), minusOne, one);
        l = add(mul(clipDry, l), mul(clipWet, mul(mul(uL, sub(two, abs(uL))), half)));
        r = add(mul(clipDry, r), mul(clipWet, mul(mul(uR, sub(two, abs(uR))), half)));
    }
    storeFrames<K>(written + 2 * j, l, r);
}

// The correlation measurement ahead of the guard, which needs it frame by frame.
void LimiterEngine::BlockPath::correlateAll(int n) {
    Highpass h = hp;
    V products = xcorr;
    for (int j = 0; j < n; ++j) {
        products = correlate(products, h.process(loadPair(s.widened[j])), xcorrCoef, xcorrWeight);
        _mm_store_ps(s.xcorr[j], products);
    }
    hp = h;
    xcorr = products;
}

// Detector samples and their power, two frames per register: consecutive frames read
// consecutive slots at each tap.
template <bool kInterSamplePeak>
void LimiterEngine::BlockPath::detect(const float* oldest, int n) {
    for (int j = 0; j < n; j += 4) {
        V x[2];
        for (int h = 0; h < 2; ++h) {
            const float* const base = oldest + 2 * (j + 2 * h);
            x[h] = _mm_loadu_ps(base + tapD);
            V r = x[h];
            if constexpr (kInterSamplePeak) {
                V sum = _mm_setzero_ps();
                for (int k = 0; k < kIspTaps; ++k)
                    sum = add(sum, mul(splat(kIspTap[k]), _mm_loadu_ps(base + tapIsp[k])));
                r = select(_mm_cmplt_ps(abs(r), abs(sum)), sum, r);
            } else {
                // The smallest of three neighbours: overs shorter than three samples are
                // left to the hard clip.
                const V before = _mm_loadu_ps(base + tapBefore);
                r = select(_mm_cmpgt_ps(abs(r), abs(before)), before, r);
                const V after = _mm_loadu_ps(base + tapAfter);
                r = select(_mm_cmpgt_ps(abs(r), abs(after)), after, r);
            }
            _mm_storeu_ps(s.detector[j + 2 * h], r);
        }
        // The RMS stage works on the unrefined samples.
        const V sq0 = mul(x[0], x[0]), sq1 = mul(x[1], x[1]);
        const V sum = add(_mm_shuffle_ps(sq0, sq1, _MM_SHUFFLE(2, 0, 2, 0)),
                          _mm_shuffle_ps(sq0, sq1, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm_storeu_ps(s.power + j, add(mul(sum, half), tiny));
    }
}

// RMS stage: 1 ms power smoother, attack smoother, held power with release.
void LimiterEngine::BlockPath::holdRms(int n) {
    float fast = rmsFast, attack = rmsAttackState, hold = rmsHold;
    for (int j = 0; j < n; ++j) {
        fast = s.power[j] * rmsSmoothWeight + rmsSmooth * fast;
        attack = fast * rmsAttackWeight + rmsAttack * attack;
        hold = attack > hold ? attack : hold * rmsRelease;
        s.power[j] = hold;
    }
    rmsFast = fast;
    rmsAttackState = attack;
    rmsHold = hold;
}

// RMS gain above the threshold, applied to the detector samples.
void LimiterEngine::BlockPath::applyRms(int n) {
    for (int j = 0; j < n; j += 4) {
        const V hold = _mm_loadu_ps(s.power + j);
        const V gain = select(_mm_cmpgt_ps(hold, rmsThreshold),
                              _mm_sqrt_ps(_mm_div_ps(rmsThreshold, hold)), one);
        _mm_storeu_ps(s.rmsGain + j, gain);
        _mm_storeu_ps(s.detector[j], mul(_mm_loadu_ps(s.detector[j]), _mm_unpacklo_ps(gain, gain)));
        _mm_storeu_ps(s.detector[j + 2],
                      mul(_mm_loadu_ps(s.detector[j + 2]), _mm_unpackhi_ps(gain, gain)));
    }
}

// Excess tracker, smoother, held and slow envelopes and the stereo link. Without the
// guard the correlation measurement rides along: its filter's feedback then overlaps
// with the envelopes'.
template <bool kCorrelate>
void LimiterEngine::BlockPath::envelopes(int n) {
    V ex = excess, en = env, held = holdEnv, sl = slowEnv;
    Highpass h = hp;
    V products = xcorr;
    for (int j = 0; j < n; ++j) {
        if constexpr (kCorrelate)
            products =
                correlate(products, h.process(loadPair(s.widened[j])), xcorrCoef, xcorrWeight);
        const V u = sub(abs(loadPair(s.detector[j])), one);
        const V released = select(_mm_cmpgt_ps(ex, tiny), mul(ex, release), ex);
        ex = select(_mm_cmplt_ps(ex, u), u, released);
        en = add(mul(mul(smoothWeight, ex), norm), mul(smooth, en));
        held = select(_mm_cmpgt_ps(held, en), mul(held, envRelease), en);
        sl = add(mul(slow, sl), mul(slowWeight, held));
        V e = _mm_max_ps(held, sl);
        // Stereo link: the right envelope is raised to k times the left when below it;
        // otherwise the left to k times the right.
        const V pull = mul(_mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 2, 0, 1)), link);
        const V below = _mm_cmplt_ps(e, pull);
        const V rightPulled = _mm_shuffle_ps(below, below, _MM_SHUFFLE(1, 1, 1, 1));
        e = select(_mm_or_ps(_mm_andnot_ps(rightPulled, below), _mm_and_ps(below, rightLane)), pull,
                   e);
        storePair(s.envelope[j], e);
    }
    excess = ex;
    env = en;
    holdEnv = held;
    slowEnv = sl;
    hp = h;
    xcorr = products;
}

// Limiter gain (a sample of magnitude 1 + E comes out at exactly full scale), hard clip
// and trim, two frames per register.
void LimiterEngine::BlockPath::outputs(const float* oldest, int n) {
    for (int j = 0; j < n; j += 2) {
        const V rms = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(s.rmsGain + j)));
        const V gain = limiterGain(_mm_loadu_ps(s.envelope[j]));
        const V delayed = _mm_loadu_ps(oldest + 2 * j);
        const V out =
            mul(clamp(mul(mul(delayed, _mm_unpacklo_ps(rms, rms)), gain), minusOne, one), trim);
        _mm_storeu_ps(s.out[j], out);
    }
}

// Requantisation and the output meters, frame by frame.
template <bool kRequantise>
void LimiterEngine::BlockPath::meterAll(int n) {
    Meters m = meters;
    for (int j = 0; j < n; ++j) {
        V out = loadPair(s.out[j]);
        if constexpr (kRequantise) {
            const float qL = ditherL.quantize(left(out));
            const float qR = ditherR.quantize(right(out));
            out = clamp(pair(qL, qR), minusOne, one);
            storePair(s.out[j], out);
        }
        m.update(out, decay, rmsCoef, rmsWeight, holdSamples);
    }
    meters = m;
}

template <typename T>
void LimiterEngine::processBlock(const T* inL, const T* inR, T* outL, T* outR, int n) {
    if (n <= 0) return;
    BlockPath path(*this);
    for (int done = 0; done < n; done += kSubBlock) {
        const int m = std::min(n - done, kSubBlock);
        const T* const l = inL + done;
        const T* const r = inR + done;
        T* const ol = outL + done;
        T* const orr = outR + done;
        if (bypassed_)
            path.bypassed(l, r, ol, orr, m);
        else if (interSamplePeak_ && wordLength_ < 32)
            path.active<true, true>(l, r, ol, orr, m);
        else if (interSamplePeak_)
            path.active<true, false>(l, r, ol, orr, m);
        else if (wordLength_ < 32)
            path.active<false, true>(l, r, ol, orr, m);
        else
            path.active<false, false>(l, r, ol, orr, m);
    }
    path.finish();
}

template void LimiterEngine::processBlock<float>(const float*, const float*, float*, float*, int);
template void LimiterEngine::processBlock<double>(const double*, const double*, double*, double*,
                                                  int);

}  // namespace qx
