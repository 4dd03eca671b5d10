// Block path of the limiter engine: a block runs stage by stage in sub-blocks, the stages
// without feedback four frames per SSE2 register, the recursive ones frame by frame.
#include <algorithm>
#include <cstring>

#include "effects/palisor/limiter_engine.h"
#include "effects/palisor/limiter_lanes.h"

namespace qx {

using namespace limiter_lanes;

// The stages of a sub-block and the state they carry from frame to frame, taken from the
// engine when a block starts and given back when it ends. The stages without feedback
// (drive and width, guard, clipper, detector, RMS gain, limiter gain and output) work on
// four frames, or two stereo frames, per register; the recursive ones (correlation
// filters, RMS and peak envelopes, requantisation, meters) step frame by frame with left
// in lane 0 and right in lane 1. Lane arithmetic rounds exactly like scalar float
// arithmetic and every expression keeps the operand order of the per-sample design, so
// the results are the same floats; data-dependent choices are lane masks. Each stage
// copies its coefficients and state into locals, so that its stores into the scratch
// arrays cannot force them to be reloaded.
struct LimiterEngine::BlockPath {
    struct FrontCoefs {
        V drive, side, half, clipDry, clipWet, clipIn, one, minusOne, two;
    };
    struct GuardCoefs {
        V sum, diff, side, tiny, two;
    };
    struct EnvelopeCoefs {
        V one, tiny, release, smooth, smoothWeight, norm, envRelease, slow, slowWeight, link,
            leftOnly;
    };
    struct OutputCoefs {
        V one, minusOne, gainGate, trim;
    };

    LimiterEngine& e;
    Scratch& s;
    const bool guard, clip;
    FrontCoefs front;
    GuardCoefs guardCoefs;
    EnvelopeCoefs envCoefs;
    OutputCoefs outCoefs;
    MeterCoefs meterCoefs;
    float rmsSmooth, rmsSmoothWeight, rmsAttack, rmsAttackWeight, rmsRelease, rmsThreshold;
    // Detector taps in floats from a frame's slot 512 frames back.
    int tapD, tapBefore, tapAfter;
    int tapIsp[kIspTaps];

    // Running state
    NoiseSource noise;
    Correlation corr;
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
    template <typename T>
    void widen(const T* inL, const T* inR, float* written, int n);
    void narrowByGuard(float* written, int n);
    template <int K>
    static void clipAndDelay(const FrontCoefs& c, bool clip, V& peakL, V& peakR, float* written,
                             V l, V r);
    void correlate(const float* widened, int n, float (*perFrame)[4]);
    template <bool kInterSamplePeak>
    void detect(const float* oldest, int n, int groups);
    void applyRms(int n);
    void envelopes(const float* widened, int n, bool correlating);
    static V limiterGain(V envelope, const OutputCoefs& c) {
        return select(_mm_cmpgt_ps(envelope, c.gainGate), _mm_div_ps(c.one, add(c.one, envelope)),
                      c.one);
    }
    template <bool kRequantise>
    void outputs(const float* oldest, int n);
    template <bool kRequantise>
    void meterAll(int n);
    template <typename T>
    void store(T* outL, T* outR, int n);
};

LimiterEngine::BlockPath::BlockPath(LimiterEngine& engine)
    : e(engine),
      s(engine.scratch_),
      guard(e.xcorrThreshold_ > kGuardOffThreshold),
      clip(e.softclipAmount_ > kSoftclipOnAmount),
      noise(e.noise_),
      ditherL(e.ch_[0].dither),
      ditherR(e.ch_[1].dither) {
    const V one = splat(1.0f), minusOne = splat(-1.0f), two = splat(2.0f), tiny = splat(1e-8f);
    front = {splat(e.driveGain_),
             splat(e.sideGain_),
             splat(0.5f),
             splat(1.0f - e.softclipAmount_),
             splat(e.softclipAmount_ * e.softclipOutScale_),
             splat(e.softclipInScale_),
             one,
             minusOne,
             two};
    guardCoefs = {splat(1.0f - e.xcorrThreshold_), splat(1.0f + e.xcorrThreshold_),
                  splat(e.sideGain_), tiny, two};
    envCoefs = {one,
                tiny,
                splat(e.peakReleaseCoef_),
                splat(e.peakSmoothCoef_),
                splat(1.0f - e.peakSmoothCoef_),
                splat(e.peakNorm_),
                splat(e.envReleaseCoef_),
                splat(e.envHysteresisCoef_),
                splat(1.0f - e.envHysteresisCoef_),
                splat(e.stereoLink_),
                _mm_castsi128_ps(_mm_setr_epi32(-1, 0, 0, 0))};
    outCoefs = {one, minusOne, splat(2e-8f), splat(e.outputGain_)};
    meterCoefs = {splat(e.meterDecay_), splat(e.meterRmsCoef_), splat(1.0f - e.meterRmsCoef_),
                  _mm_set1_epi32(e.holdSamples_), _mm_set1_epi32(-1)};
    rmsSmooth = e.rmsSmoothCoef_;
    rmsSmoothWeight = 1.0f - e.rmsSmoothCoef_;
    rmsAttack = e.rmsAttackCoef_;
    rmsAttackWeight = 1.0f - e.rmsAttackCoef_;
    rmsRelease = e.rmsReleaseCoef_;
    rmsThreshold = e.rmsThresholdPower_;
    tapD = 2 * e.tapD_;
    tapBefore = 2 * e.tapBefore_;
    tapAfter = 2 * e.tapAfter_;
    for (int k = 0; k < kIspTaps; ++k) tapIsp[k] = 2 * e.tapIsp_[k];

    const Channel& cl = e.ch_[0];
    const Channel& cr = e.ch_[1];
    const BiquadFilterLite& fl = cl.highpass;
    const BiquadFilterLite& fr = cr.highpass;
    corr = Correlation{pair(fl.b0(), fr.b0()),
                       pair(fl.b1(), fr.b1()),
                       pair(fl.b2(), fr.b2()),
                       pair(fl.a1(), fr.a1()),
                       pair(fl.a2(), fr.a2()),
                       pair(cl.highpassS1, cr.highpassS1),
                       pair(cl.highpassS2, cr.highpassS2),
                       splat(e.xcorrCoef_),
                       splat(1.0f - e.xcorrCoef_),
                       _mm_setr_ps(e.xcorrLL_, e.xcorrRR_, e.xcorrLR_, 0.0f)};
    meters = Meters{pair(cl.peakLevel, cr.peakLevel), pair(cl.peakHold, cr.peakHold),
                    pair(cl.meanSquare, cr.meanSquare),
                    _mm_setr_epi32(cl.holdCount, cr.holdCount, 0, 0)};
    excess = pair(cl.excess, cr.excess);
    env = pair(cl.env, cr.env);
    holdEnv = pair(cl.holdEnv, cr.holdEnv);
    slowEnv = pair(cl.slowEnv, cr.slowEnv);
    clipPeakL = clipPeakR = _mm_setzero_ps();
    rmsFast = e.rmsFastState_;
    rmsAttackState = e.rmsAttackState_;
    rmsHold = e.rmsHoldState_;
}

void LimiterEngine::BlockPath::finish() {
    Channel& cl = e.ch_[0];
    Channel& cr = e.ch_[1];
    e.noise_ = noise;
    storeChannels(corr.s1, cl, cr, &Channel::highpassS1);
    storeChannels(corr.s2, cl, cr, &Channel::highpassS2);
    alignas(16) float x[4];
    _mm_store_ps(x, corr.products);
    e.xcorrLL_ = x[0];
    e.xcorrRR_ = x[1];
    e.xcorrLR_ = x[2];
    storeChannels(meters.peakLevel, cl, cr, &Channel::peakLevel);
    storeChannels(meters.peakHold, cl, cr, &Channel::peakHold);
    storeChannels(meters.meanSquare, cl, cr, &Channel::meanSquare);
    alignas(16) int counts[4];
    _mm_store_si128(reinterpret_cast<I*>(counts), meters.holdCount);
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
    storeChannels(limiterGain(loadPair(s.envelope[last]), outCoefs), cl, cr, &Channel::gain);
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
    float(*const out)[2] = s.out;
    const MeterCoefs mc = meterCoefs;
    Correlation c = corr;
    Meters m = meters;
    NoiseSource ns = noise;
    for (int j = 0; j < n; ++j) {
        const float inLeft = cleanSample(inL[j]);
        const float inRight = cleanSample(inR[j]);
        const float noiseL = ns.nextSample();
        const float wL = noiseL + inLeft;
        const float noiseR = ns.nextSample();
        const float wR = noiseR + inRight;
        storePair(written + 2 * j, pair(wL, wR));
        const V o = loadPair(oldest + 2 * j);
        storePair(out[j], o);
        updateMeters(m, o, mc);
        c.process(o);
        outL[j] = static_cast<T>(left(o));
        outR[j] = static_cast<T>(right(o));
    }
    corr = c;
    meters = m;
    noise = ns;
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

    // Drive, width, guard, soft clipper, into the delay. Where neither guard nor clipper
    // runs, the delay holds the correlation's input itself.
    const float* const widened = guard || clip ? s.widened[0] : written;
    widen(inL, inR, written, n);
    if (guard) {
        correlate(widened, n, s.xcorr);
        narrowByGuard(written, n);
    }
    e.writePos_ += n;

    // Detector, RMS stage, peak envelopes, output.
    detect<kInterSamplePeak>(oldest, n, groups);
    applyRms(groups);
    envelopes(widened, n, !guard);
    outputs<kRequantise>(oldest, groups);
    meterAll<kRequantise>(n);
    store(outL, outR, n);
    last = n - 1;
}

// Drive with the anti-denormal offset (left draw first), then width. Without the guard
// the frames go on through the clipper into the delay at once.
template <typename T>
void LimiterEngine::BlockPath::widen(const T* inL, const T* inR, float* written, int n) {
    const FrontCoefs c = front;
    const bool keep = guard || clip, guarding = guard, clipping = clip;
    const float* const noiseDraws = s.noise;
    float* const widened = s.widened[0];
    float* const mids = s.mid;
    float* const diffs = s.diff;
    V peakL = clipPeakL, peakR = clipPeakR;
    auto frames = [&]<int K>(int j) {
        V inLeft, inRight, noiseL, noiseR;
        loadInputs<K>(inL + j, inR + j, inLeft, inRight);
        loadFrames<K>(noiseDraws + 2 * j, noiseL, noiseR);
        const V wL = add(noiseL, mul(inLeft, c.drive));
        const V wR = add(noiseR, mul(inRight, c.drive));
        const V diff = sub(wL, wR);
        const V mid = mul(add(wL, wR), c.half);
        const V sideNow = mul(diff, c.side);
        const V l = add(mid, sideNow);
        const V r = sub(mid, sideNow);
        if (keep) storeFrames<K>(widened + 2 * j, l, r);
        if (guarding) {
            storeLanes<K>(mids + j, mid);
            storeLanes<K>(diffs + j, diff);
        } else {
            clipAndDelay<K>(c, clipping, peakL, peakR, written + 2 * j, l, r);
        }
    };
    int j = 0;
    for (; j + 4 <= n; j += 4) frames.template operator()<4>(j);
    for (; j < n; ++j) frames.template operator()<1>(j);
    clipPeakL = peakL;
    clipPeakR = peakR;
}

// Correlation guard: scales the side signal until (sum power)(1 - t) matches
// (difference power)(1 + t).
void LimiterEngine::BlockPath::narrowByGuard(float* written, int n) {
    const FrontCoefs fc = front;
    const GuardCoefs c = guardCoefs;
    const bool clipping = clip;
    const float(*const xcorr)[4] = s.xcorr;
    const float* const widened = s.widened[0];
    const float* const mids = s.mid;
    const float* const diffs = s.diff;
    V peakL = clipPeakL, peakR = clipPeakR;
    auto frames = [&]<int K>(int j) {
        // One frame's (LL, RR, LR) per row, turned into one product per register.
        V ll = _mm_load_ps(xcorr[j]), rr = _mm_setzero_ps(), lr = _mm_setzero_ps(),
          unused = _mm_setzero_ps();
        if constexpr (K == 4) {
            rr = _mm_load_ps(xcorr[j + 1]);
            lr = _mm_load_ps(xcorr[j + 2]);
            unused = _mm_load_ps(xcorr[j + 3]);
        }
        _MM_TRANSPOSE4_PS(ll, rr, lr, unused);
        const V twiceLr = mul(c.two, lr);
        const V p = mul(add(add(add(c.tiny, twiceLr), rr), ll), c.sum);
        const V q = mul(sub(add(add(c.tiny, ll), rr), twiceLr), c.diff);
        const V ratio = _mm_div_ps(p, q);
        const V zero = _mm_setzero_ps();
        const V k = select(_mm_cmplt_ps(ratio, zero), zero, _mm_sqrt_ps(ratio));
        const V mid = loadLanes<K>(mids + j);
        const V narrowed = mul(mul(k, loadLanes<K>(diffs + j)), c.side);
        V l, r;
        loadFrames<K>(widened + 2 * j, l, r);
        const V narrow = _mm_cmplt_ps(p, q);
        clipAndDelay<K>(fc, clipping, peakL, peakR, written + 2 * j,
                        select(narrow, add(mid, narrowed), l),
                        select(narrow, sub(mid, narrowed), r));
    };
    int j = 0;
    for (; j + 4 <= n; j += 4) frames.template operator()<4>(j);
    for (; j < n; ++j) frames.template operator()<1>(j);
    clipPeakL = peakL;
    clipPeakR = peakR;
}

// Soft clipper; the curve 0.5 above 1, u(2 - u)/2 on 0..1, odd symmetric is one expression
// on u held to -1..1 (2 - |u| is u + 2 for negative u). Then the look-ahead delay.
template <int K>
void LimiterEngine::BlockPath::clipAndDelay(const FrontCoefs& c, bool clip, V& peakL, V& peakR,
                                            float* written, V l, V r) {
    if (clip) {
        peakL = _mm_max_ps(abs(l), peakL);
        peakR = _mm_max_ps(abs(r), peakR);
        const V uL = clamp(mul(l, c.clipIn), c.minusOne, c.one);
        const V uR = clamp(mul(r, c.clipIn), c.minusOne, c.one);
        l = add(mul(c.clipDry, l), mul(c.clipWet, mul(mul(uL, sub(c.two, abs(uL))), c.half)));
        r = add(mul(c.clipDry, r), mul(c.clipWet, mul(mul(uR, sub(c.two, abs(uR))), c.half)));
    }
    storeFrames<K>(written, l, r);
}

// The correlation measurement, with each frame's products kept for the guard.
void LimiterEngine::BlockPath::correlate(const float* widened, int n, float (*perFrame)[4]) {
    Correlation c = corr;
    for (int j = 0; j < n; ++j) {
        c.process(loadPair(widened + 2 * j));
        _mm_store_ps(perFrame[j], c.products);
    }
    corr = c;
}

// Detector samples and their power, two frames per register: consecutive frames read
// consecutive slots at each tap. The RMS stage's smoothers and hold follow four frames
// behind, so that their chain of dependent steps overlaps with the detector's work.
template <bool kInterSamplePeak>
void LimiterEngine::BlockPath::detect(const float* oldest, int n, int groups) {
    const int d = tapD, before = tapBefore, after = tapAfter;
    int isp[kIspTaps];
    std::copy(tapIsp, tapIsp + kIspTaps, isp);
    float(*const detector)[2] = s.detector;
    float* const power = s.power;
    const V half = splat(0.5f), tiny = splat(1e-8f);
    // RMS stage in lane 0: 1 ms power smoother, attack smoother, held power with release.
    // The choice is a mask, as rises and falls of the held power alternate unpredictably.
    const V smoothWeight = _mm_set_ss(rmsSmoothWeight), smooth = _mm_set_ss(rmsSmooth);
    const V attackWeight = _mm_set_ss(rmsAttackWeight), attackCoef = _mm_set_ss(rmsAttack);
    const V release = _mm_set_ss(rmsRelease);
    V fast = _mm_set_ss(rmsFast), attack = _mm_set_ss(rmsAttackState), hold = _mm_set_ss(rmsHold);
    // Whole-register operations: the other lanes only carry zeros along.
    auto holdStep = [&](int k) {
        fast = add(mul(_mm_load_ss(power + k), smoothWeight), mul(smooth, fast));
        attack = add(mul(fast, attackWeight), mul(attackCoef, attack));
        hold = select(_mm_cmpgt_ps(attack, hold), attack, mul(hold, release));
        _mm_store_ss(power + k, hold);
    };
    for (int j = 0; j < groups; j += 4) {
        V x[2];
        for (int h = 0; h < 2; ++h) {
            const float* const base = oldest + 2 * (j + 2 * h);
            x[h] = _mm_loadu_ps(base + d);
            V r = x[h];
            if constexpr (kInterSamplePeak) {
                V sum = _mm_setzero_ps();
                for (int k = 0; k < kIspTaps; ++k)
                    sum = add(sum, mul(splat(kIspTap[k]), _mm_loadu_ps(base + isp[k])));
                r = select(_mm_cmplt_ps(abs(r), abs(sum)), sum, r);
            } else {
                // The smallest of three neighbours: overs shorter than three samples are
                // left to the hard clip.
                const V earlier = _mm_loadu_ps(base + before);
                r = select(_mm_cmpgt_ps(abs(r), abs(earlier)), earlier, r);
                const V later = _mm_loadu_ps(base + after);
                r = select(_mm_cmpgt_ps(abs(r), abs(later)), later, r);
            }
            _mm_storeu_ps(detector[j + 2 * h], r);
        }
        // The RMS stage works on the unrefined samples.
        const V sq0 = mul(x[0], x[0]), sq1 = mul(x[1], x[1]);
        const V sum = add(_mm_shuffle_ps(sq0, sq1, _MM_SHUFFLE(2, 0, 2, 0)),
                          _mm_shuffle_ps(sq0, sq1, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm_storeu_ps(power + j, add(mul(sum, half), tiny));
        // Each frame's held power replaces its power.
        if (j + 4 <= n) {
            for (int k = j; k < j + 4; ++k) holdStep(k);
        } else {
            for (int k = j; k < n; ++k) holdStep(k);
        }
    }
    rmsFast = left(fast);
    rmsAttackState = left(attack);
    rmsHold = left(hold);
}

// RMS gain above the threshold, applied to the detector samples, which become their
// excess over full scale.
void LimiterEngine::BlockPath::applyRms(int n) {
    const V threshold = splat(rmsThreshold), one = splat(1.0f);
    const float* const hold = s.power;
    float* const gains = s.rmsGain;
    float(*const detector)[2] = s.detector;
    for (int j = 0; j < n; j += 4) {
        const V h = _mm_loadu_ps(hold + j);
        const V gain =
            select(_mm_cmpgt_ps(h, threshold), _mm_sqrt_ps(_mm_div_ps(threshold, h)), one);
        _mm_storeu_ps(gains + j, gain);
        const V r0 = mul(_mm_loadu_ps(detector[j]), _mm_unpacklo_ps(gain, gain));
        const V r1 = mul(_mm_loadu_ps(detector[j + 2]), _mm_unpackhi_ps(gain, gain));
        _mm_storeu_ps(detector[j], sub(abs(r0), one));
        _mm_storeu_ps(detector[j + 2], sub(abs(r1), one));
    }
}

// Excess tracker, smoother, held and slow envelopes and the stereo link. Without the
// guard the correlation measurement rides along: its filter's feedback then overlaps
// with the envelopes'.
void LimiterEngine::BlockPath::envelopes(const float* widened, int n, bool correlating) {
    const EnvelopeCoefs c = envCoefs;
    V ex = excess, en = env, held = holdEnv, sl = slowEnv;
    Correlation cr = corr;
    const float(*const excessOver)[2] = s.detector;
    float(*const linked)[2] = s.envelope;
    auto frames = [&]<bool kCorrelate>() {
        for (int j = 0; j < n; ++j) {
            if constexpr (kCorrelate) cr.process(loadPair(widened + 2 * j));
            const V u = loadPair(excessOver[j]);
            const V released = select(_mm_cmpgt_ps(ex, c.tiny), mul(ex, c.release), ex);
            ex = select(_mm_cmplt_ps(ex, u), u, released);
            en = add(mul(mul(c.smoothWeight, ex), c.norm), mul(c.smooth, en));
            held = select(_mm_cmpgt_ps(held, en), mul(held, c.envRelease), en);
            sl = add(mul(c.slow, sl), mul(c.slowWeight, held));
            const V e = _mm_max_ps(held, sl);
            // Stereo link: the right envelope is raised to k times the left when below it;
            // otherwise the left to k times the right when below that.
            const V pull = mul(_mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 2, 0, 1)), c.link);
            const V below = _mm_cmplt_ps(e, pull);
            const V rightRaised =
                _mm_and_ps(_mm_shuffle_ps(below, below, _MM_SHUFFLE(1, 1, 1, 1)), c.leftOnly);
            storePair(linked[j], select(_mm_andnot_ps(rightRaised, below), pull, e));
        }
    };
    if (correlating)
        frames.template operator()<true>();
    else
        frames.template operator()<false>();
    excess = ex;
    env = en;
    holdEnv = held;
    slowEnv = sl;
    corr = cr;
}

// Limiter gain (a sample of magnitude 1 + E comes out at exactly full scale), hard clip
// and trim, two frames per register. Without requantisation these are the final outputs,
// and the meters' magnitudes and weighted squares are worked out here too.
template <bool kRequantise>
void LimiterEngine::BlockPath::outputs(const float* oldest, int n) {
    const OutputCoefs c = outCoefs;
    const V rmsWeight = meterCoefs.rmsWeight;
    const float* const rmsGains = s.rmsGain;
    const float(*const linked)[2] = s.envelope;
    float(*const out)[2] = s.out;
    float(*const magnitude)[2] = s.magnitude;
    float(*const weightedSquare)[2] = s.weightedSquare;
    for (int j = 0; j < n; j += 2) {
        const V rms = loadPair(rmsGains + j);
        const V gain = limiterGain(_mm_loadu_ps(linked[j]), c);
        const V delayed = _mm_loadu_ps(oldest + 2 * j);
        const V clipped =
            clamp(mul(mul(delayed, _mm_unpacklo_ps(rms, rms)), gain), c.minusOne, c.one);
        const V o = mul(clipped, c.trim);
        _mm_storeu_ps(out[j], o);
        if constexpr (!kRequantise) {
            const V a = abs(o);
            _mm_storeu_ps(magnitude[j], a);
            _mm_storeu_ps(weightedSquare[j], mul(mul(rmsWeight, a), a));
        }
    }
}

// Requantisation and the output meters, frame by frame.
template <bool kRequantise>
void LimiterEngine::BlockPath::meterAll(int n) {
    const MeterCoefs c = meterCoefs;
    const V one = splat(1.0f), minusOne = splat(-1.0f);
    Meters m = meters;
    float(*const out)[2] = s.out;
    const float(*const magnitude)[2] = s.magnitude;
    const float(*const weightedSquare)[2] = s.weightedSquare;
    for (int j = 0; j < n; ++j) {
        if constexpr (kRequantise) {
            const V o = loadPair(out[j]);
            const float qL = ditherL.quantize(left(o));
            const float qR = ditherR.quantize(right(o));
            const V q = clamp(pair(qL, qR), minusOne, one);
            storePair(out[j], q);
            updateMeters(m, q, c);
        } else {
            updateMeters(m, loadPair(magnitude[j]), loadPair(weightedSquare[j]), c);
        }
    }
    meters = m;
}

template <typename T>
void LimiterEngine::BlockPath::store(T* outL, T* outR, int n) {
    const float(*const out)[2] = s.out;
    auto frames = [&]<int K>(int j) {
        V l, r;
        loadFrames<K>(out[j], l, r);
        storeLanes<K>(outL + j, l);
        storeLanes<K>(outR + j, r);
    };
    int j = 0;
    for (; j + 4 <= n; j += 4) frames.template operator()<4>(j);
    for (; j < n; ++j) frames.template operator()<1>(j);
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
