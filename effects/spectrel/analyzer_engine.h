// Signal engine of the stereo analyzer: peak, held peak and RMS of left, right, mid and
// side with optional inter-sample peaks, the correlation, and an averaged 2048-point
// spectrum of each channel every 1024 frames. It only measures; the audio is never changed.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "dsp/real_fft.h"
#include "effects/spectrel/isp_kernel.h"
#include "effects/spectrel/power_fold.h"
#include "framework/sample_guard.h"

namespace qx {

class AnalyzerEngine {
  public:
    static constexpr int kFftSize = 2048;
    // Frames between two spectra (50 % overlap), and the bins kept per channel: the
    // Nyquist bin is dropped.
    static constexpr int kHop = 1024;
    static constexpr int kBins = kHop;
    static_assert(power_fold::kBins == kBins && isp_kernel::kMaxFrames >= kHop);
    static constexpr float kMinSampleRate = 5000.0f;
    // Keeps the 10-second hold count inside an int.
    static constexpr float kMaxSampleRate = 10.0e6f;
    static constexpr float kHoldSeconds = 10.0f;
    static constexpr float kLevelFloor = 1e-8f;      // levels and holds restart here
    static constexpr float kSpectrumFloor = 1e-16f;  // an empty spectrum bin
    static constexpr int kIspTaps = isp_kernel::kTaps;
    // Half-sample interpolator of the inter-sample-peak detector, oldest sample first.
    static constexpr const float* kIspTap = isp_kernel::kTap;

    // The -160 dB anti-denormal offsets of both inputs are successive pairs of draws
    // from a NoiseSource (left first), drawn once at construction and read in a cycle of
    // this many frames, so they cost loads (four frames at a time) rather than two
    // random-number steps per frame. Prime, so it shares no period with the spectrum hop.
    static constexpr int kNoisePairs = 1021;
    // Frames whose risen levels the frame loop keeps, to find the last rise of a hold.
    static constexpr int kRiseStretch = 64;

    // Meter channels of the level readers.
    enum Meter : int { kLeft = 0, kRight, kMid, kSide, kNumMeters };

    // Builds the FFT (the only allocation), sets 44100 Hz and resets.
    AnalyzerEngine();
    AnalyzerEngine(const AnalyzerEngine&) = delete;
    AnalyzerEngine& operator=(const AnalyzerEngine&) = delete;

    // --- Rewrite running state: between blocks on the audio thread, or while no block runs ---
    // Hz, held to 5000..10e6 (anything else, NaN included, gives 5000); recomputes the
    // coefficients and resets.
    void updateSampleRate(float sampleRateHz);
    // Levels, holds, means, correlation, rings and both spectra start afresh; the write
    // position of the history rings is kept.
    void reset();
    // On freezes every reading; every call with off (also when already off) resets.
    void setBypassed(bool on);
    // Spectrum time constant 2.5 s (on) or 0.15 s (off); resets everything.
    void setSlowAveraging(bool on);
    // Restarts the four holds.
    void setInterSamplePeak(bool on);
    // Mean squares and spectra doubled (+3.01 dB), so a sine's RMS reads its peak.
    void setAes17(bool on) { aes17_ = on; }
    // Off empties the history and sets both spectra to 1e-16 at once; on refills them
    // from audio that arrives from then on.
    void setSpectrumOn(bool on);
    // The four holds fall back to the present level within two frames.
    void resetPeakHold();

    // --- Audio thread ---
    // One frame of host samples.
    void processSample(float xL, float xR) { analyse(&xL, &xR, 1); }
    // n frames (any n; 0 does nothing) of float or double samples, narrowed to float and
    // cleaned of non-finite values for the measurement only.
    template <typename T>
    void analyse(const T* inL, const T* inR, int n);
    // Copies the input to the output bit for bit (nothing to do when processing in
    // place) after analysing it.
    template <typename T>
    void processBlock(const T* inL, const T* inR, T* outL, T* outR, int n);

    // --- Readers (plain floats owned by the audio thread); meter 0..3, else 0 ---
    float peakLevel(int meter) const { return valid(meter) ? peakLevel_[meter] : 0.0f; }
    float peakHold(int meter) const { return valid(meter) ? peakHold_[meter] : 0.0f; }
    float rmsLevel(int meter) const { return valid(meter) ? std::sqrt(meanSquare_[meter]) : 0.0f; }
    // 20 log10(1e-8 + hold), dB.
    float peakHoldDb(int meter) const;
    // -1..1 (rounding may pass the ends slightly); about 0 on silence.
    float correlation() const;
    // Averaged power per bin, kBins floats each; bin i is at i / 2048 of the sample rate.
    const float* spectrumLeft() const { return spectrumL_; }
    const float* spectrumRight() const { return spectrumR_; }
    // Raised whenever the spectra change (a new spectrum, a reset, switching them off):
    // the effect publishes them when it sees a new value.
    std::uint32_t spectrumFrame() const { return spectrumFrame_; }

    bool bypassed() const { return bypassed_; }
    bool slowAveraging() const { return slowAveraging_; }
    bool interSamplePeak() const { return interSamplePeak_; }
    bool aes17() const { return aes17_; }
    bool spectrumOn() const { return spectrumOn_; }
    float sampleRateHz() const { return sampleRate_; }
    float spectrumCoefficient() const { return spectrumCoef_; }
    int holdSamples() const { return holdSamples_; }

  private:
    static bool valid(int meter) { return meter >= 0 && meter < kNumMeters; }
    void clearSpectra();
    template <bool kIsp, bool kSpectrum, typename T>
    void analyseLoop(const T* inL, const T* inR, int n);
    // len frames (up to kHop) with their offsets into frames_, and into the history
    // rings at historyPos when the spectrum runs; the noise and history runs do not wrap.
    // kChecked: cleaned first. Unchecked, false when a sample was beyond
    // kInputSampleLimit (or not a number): the frames must then be gathered checked.
    template <bool kSpectrum, bool kChecked, typename T>
    bool gatherFrames(const T* inL, const T* inR, int len, int noisePos, int historyPos);
    // Windows the last 2048 frames (oldest at historyPos), transforms both channels and
    // folds their power into the averaged spectra.
    void computeSpectrum();

    // Settings
    bool bypassed_ = false;
    bool slowAveraging_ = true;
    bool interSamplePeak_ = false;
    bool aes17_ = false;
    bool spectrumOn_ = true;

    // Derived from the settings and the sample rate
    float sampleRate_ = 44100.0f;
    float meterDecay_ = 0.0f;       // peak fall per frame, 1 s
    float meterRmsCoef_ = 0.0f;     // mean-square averaging, 0.25 s
    float correlationCoef_ = 0.0f;  // product averaging, 0.15 s
    float spectrumCoef_ = 0.0f;     // per-spectrum averaging, 2.5 s or 0.15 s
    int holdSamples_ = 0;           // 10 s

    // Meter state, lanes left, right, mid, side.
    alignas(16) float peakLevel_[kNumMeters] = {};         // decaying peak, linear
    alignas(16) float peakHold_[kNumMeters] = {};          // held peak, linear
    alignas(16) float meanSquare_[kNumMeters] = {};        // RMS meter
    alignas(16) std::int32_t holdCount_[kNumMeters] = {};  // frames until the hold falls
    alignas(16) float corr_[4] = {};  // averaged products LL, RR, LR (lane 3 unused)
    // The seven (left, right, mid, side) frames before the next for the interpolator,
    // oldest first, and its work rows.
    alignas(16) float ispHistory_[kIspTaps - 1][kNumMeters] = {};
    alignas(16) float ispWork_[kHop + kIspTaps][kNumMeters];
    float inL_ = 0.0f, inR_ = 0.0f;  // last input samples with the noise offset

    // Spectrum state
    alignas(16) float window_[kFftSize];
    // The last 2048 input frames of each channel with their offsets.
    alignas(16) float historyL_[kFftSize];
    alignas(16) float historyR_[kFftSize];
    alignas(16) float spectrumOut_[kFftSize];  // packed FFT output, one channel after the other
    alignas(16) float spectrumL_[kBins];       // averaged power
    alignas(16) float spectrumR_[kBins];
    int historyPos_ = 0;  // next write position of the history rings, 0..2047
    std::uint32_t spectrumFrame_ = 0;

    RealFft fft_{kFftSize};
    power_fold::Function foldPower_ = power_fold::best();
    isp_kernel::Function ispMagnitudes_ = isp_kernel::best();
    alignas(16) float noiseL_[kNoisePairs];
    alignas(16) float noiseR_[kNoisePairs];
    int noisePos_ = 0;  // next pair, 0..kNoisePairs - 1
    // The frames of the chunk the frame loop works on, as (left, right) with offsets, and
    // with inter-sample peaks their magnitudes, worked out before the frame loop.
    alignas(16) float frames_[kHop][2];
    alignas(16) float magnitudes_[kHop][kNumMeters];
};

// ---------------------------------------------------------------------------------------
// Block path. The four meter channels run the same arithmetic, so they share one SSE2
// register (left, right, mid, side in lanes 0..3). Lane arithmetic rounds exactly like
// scalar float arithmetic and keeps the operand order of the per-frame design; choices
// are lane masks.

namespace analyzer_detail {

using V = __m128;

inline V splat(float x) {
    return _mm_set1_ps(x);
}
inline V absolute(V a) {
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), a);
}

// x cleaned as cleanSample does: NaN and infinities 0, magnitudes beyond
// kInputSampleLimit limited.
inline V cleaned(V x) {
    const V limit = splat(kInputSampleLimit);
    const V finite = _mm_cmplt_ps(absolute(x), splat(INFINITY));  // false for NaN too
    return _mm_and_ps(finite,
                      _mm_min_ps(_mm_max_ps(x, _mm_sub_ps(_mm_setzero_ps(), limit)), limit));
}

// (left, right, 0, 0): one frame of host samples, cleaned when checked.
template <bool kChecked>
inline V loadFrame(const float* inL, const float* inR, int i) {
    const V x = _mm_unpacklo_ps(_mm_load_ss(inL + i), _mm_load_ss(inR + i));
    return kChecked ? cleaned(x) : x;
}
// Doubles are limited before they are narrowed (1e300 would become an infinity).
template <bool kChecked>
inline V loadFrame(const double* inL, const double* inR, int i) {
    if constexpr (!kChecked) return _mm_cvtpd_ps(_mm_setr_pd(inL[i], inR[i]));
    return _mm_unpacklo_ps(_mm_set_ss(cleanSample(inL[i])), _mm_set_ss(cleanSample(inR[i])));
}

// Four samples of one channel, cleaned when checked.
template <bool kChecked>
inline V loadFour(const float* x) {
    const V v = _mm_loadu_ps(x);
    return kChecked ? cleaned(v) : v;
}

// Lanes of x within kInputSampleLimit (false for NaN and infinities).
inline V withinLimit(V x) {
    return _mm_cmple_ps(absolute(x), splat(kInputSampleLimit));
}
// Smallest of the four lanes.
inline float lowest(V v) {
    v = _mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_cvtss_f32(_mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1))));
}

}  // namespace analyzer_detail

template <typename T>
void AnalyzerEngine::analyse(const T* inL, const T* inR, int n) {
    if (n <= 0 || bypassed_) return;
    if (interSamplePeak_) {
        if (spectrumOn_)
            analyseLoop<true, true>(inL, inR, n);
        else
            analyseLoop<true, false>(inL, inR, n);
    } else {
        if (spectrumOn_)
            analyseLoop<false, true>(inL, inR, n);
        else
            analyseLoop<false, false>(inL, inR, n);
    }
}

template <typename T>
void AnalyzerEngine::processBlock(const T* inL, const T* inR, T* outL, T* outR, int n) {
    if (n <= 0) return;
    analyse(inL, inR, n);
    if (outL != inL) std::copy_n(inL, n, outL);
    if (outR != inR) std::copy_n(inR, n, outR);
}

template <bool kIsp, bool kSpectrum, typename T>
void AnalyzerEngine::analyseLoop(const T* inL, const T* inR, int n) {
    using namespace analyzer_detail;
    // Running state in registers for the block.
    int noisePos = noisePos_;
    V peakLevel = _mm_load_ps(peakLevel_);
    V peakHold = _mm_load_ps(peakHold_);
    V meanSquare = _mm_load_ps(meanSquare_);
    __m128i holdCount = _mm_load_si128(reinterpret_cast<const __m128i*>(holdCount_));
    V corr = _mm_load_ps(corr_);
    int historyPos = historyPos_;
    V lr = _mm_setr_ps(inL_, inR_, 0.0f, 0.0f);

    const V decay = splat(meterDecay_), levelFloor = splat(kLevelFloor);
    const V rmsCoef = splat(meterRmsCoef_);
    // (1e-16 + x^2 g)(1 - r) computed as (1e-16 / g + x^2)((1 - r) g): g is 1 or 2, so
    // both forms round alike.
    const float g = aes17_ ? 2.0f : 1.0f;
    const V msOffset = splat(1e-16f / g), msWeight = splat((1.0f - meterRmsCoef_) * g);
    const V corrCoef = splat(correlationCoef_), corrWeight = splat(1.0f - correlationCoef_);
    // Silence leaves LL near 1e-8 but RR and LR near 1e-16, so it reads a correlation of
    // about 0 rather than 1.
    const V corrOffset = _mm_setr_ps(1e-8f, 1e-16f, 1e-16f, 0.0f);
    const __m128i hold = _mm_set1_epi32(holdSamples_);
    const __m128i oneInt = _mm_set1_epi32(1);
    int chunk = 0;  // first frame of the chunk in frames_
    int i = 0;      // the frame

    // One frame up to the peak detector: correlation and mean squares; returns
    // the magnitudes (left, right, mid, side) the peaks see.
    auto measure = [&](int i) {
        lr = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(frames_[i - chunk])));
        // With inter-sample peaks the interpolator's work rows hold the frame's v already.
        const V v = kIsp ? _mm_load_ps(ispWork_[kIspTaps - 1 + i - chunk])
                         : isp_kernel::leftRightMidSide(lr);
        const V lrll = _mm_shuffle_ps(lr, lr, _MM_SHUFFLE(0, 0, 1, 0));
        // Averaged products LL, RR, LR.
        const V products = _mm_mul_ps(lrll, _mm_shuffle_ps(lr, lr, _MM_SHUFFLE(2, 1, 1, 0)));
        corr = _mm_add_ps(_mm_mul_ps(_mm_add_ps(products, corrOffset), corrWeight),
                          _mm_mul_ps(corrCoef, corr));
        meanSquare = _mm_add_ps(_mm_mul_ps(_mm_add_ps(msOffset, _mm_mul_ps(v, v)), msWeight),
                                _mm_mul_ps(rmsCoef, meanSquare));

        if constexpr (kIsp) return _mm_load_ps(magnitudes_[i - chunk]);
        return absolute(v);
    };
    // Peak: a rise takes the new value, otherwise the level falls while above the floor.
    // With levels never negative both choices are maxima: max(P d, P when at or below the
    // floor, a when rising). Returns a where it rose, else 0. kAboveFloor: every level is
    // known to stay above the floor.
    auto updatePeak = [&]<bool kAboveFloor>(V a) {
        const V rise = _mm_cmpgt_ps(a, peakLevel);
        const V risen = _mm_and_ps(rise, a);
        V decayed = _mm_mul_ps(peakLevel, decay);
        if constexpr (!kAboveFloor)
            decayed =
                _mm_max_ps(decayed, _mm_andnot_ps(_mm_cmpgt_ps(peakLevel, levelFloor), peakLevel));
        peakLevel = _mm_max_ps(decayed, risen);
        return risen;
    };
    // The hold only rises within a run free of expiries, to a rising level that passes
    // it. Its last rise in a stretch of frames is the first frame that reached the
    // stretch's final hold, so the frame loop only stores what rose and the rare stretch
    // with a new hold is searched afterwards. Returns, per lane, the run's last frame
    // with a rise numbered from 1 (0: none).
    auto holdRun = [&]<bool kAboveFloor>(int end) {
        alignas(16) float risen[kRiseStretch][kNumMeters];
        __m128i lastRise = _mm_setzero_si128();
        for (int stretch = 1; i < end;) {  // stretch: frame number of the stretch's first
            const int stretchEnd = std::min(end, i + kRiseStretch);
            const V before = peakHold;
            float(*at)[kNumMeters] = risen;
            for (; i < stretchEnd; ++i, ++at) {
                const V r = updatePeak.template operator()<kAboveFloor>(measure(i));
                _mm_store_ps(*at, r);
                peakHold = _mm_max_ps(peakHold, r);
            }
            if (int pending = _mm_movemask_ps(_mm_cmpgt_ps(peakHold, before)); pending != 0) {
                alignas(16) float held[kNumMeters];
                alignas(16) std::int32_t last[kNumMeters];
                _mm_store_ps(held, peakHold);
                _mm_store_si128(reinterpret_cast<__m128i*>(last), lastRise);
                // Levels are positive, so frames without a rise (stored as 0) never match.
                for (int f = 0; pending != 0; ++f) {
                    for (int m = 0; m < kNumMeters; ++m) {
                        if ((pending >> m & 1) != 0 && risen[f][m] == held[m]) {
                            last[m] = stretch + f;
                            pending &= ~(1 << m);
                        }
                    }
                }
                lastRise = _mm_load_si128(reinterpret_cast<const __m128i*>(last));
            }
            stretch += static_cast<int>(at - risen);
        }
        return lastRise;
    };

    while (i < n) {
        // Chunks end with the noise cycle and at the next spectrum, so the frame loop never
        // branches for them. Their frames are gathered first, several at a time.
        int chunkEnd = std::min(n, i + kNoisePairs - noisePos);
        if constexpr (kSpectrum)
            chunkEnd = std::min(chunkEnd, i + kHop - (historyPos & (kHop - 1)));
        chunk = i;
        // Hosts hand over clean audio nearly always: the frames are gathered as they are,
        // and again cleaned only when that finds a sample that is not.
        if (!gatherFrames<kSpectrum, false>(inL + i, inR + i, chunkEnd - i, noisePos, historyPos))
            gatherFrames<kSpectrum, true>(inL + i, inR + i, chunkEnd - i, noisePos, historyPos);
        if constexpr (kIsp)
            ispMagnitudes_(frames_, chunkEnd - i, ispHistory_, ispWork_, magnitudes_);
        while (i < chunkEnd) {
            // A hold falls back in a frame that starts with its count below 0; a count c
            // leaves c + 1 frames in which none does, and those run without the expiry logic.
            alignas(16) std::int32_t counts[kNumMeters];
            _mm_store_si128(reinterpret_cast<__m128i*>(counts), holdCount);
            const int minCount = *std::min_element(counts, counts + kNumMeters);
            if (minCount < 0) {
                // One frame with the full hold logic: a new maximum restarts the count (at
                // 10 s less this frame), an expired one takes the present level and restarts
                // at 10 s, any other goes down by one.
                const V a = measure(i);
                const V risen = updatePeak.template operator()<false>(a);
                // A level that rose past the hold is a new maximum.
                const __m128i fresh = _mm_castps_si128(_mm_cmpgt_ps(risen, peakHold));
                const __m128i expired =
                    _mm_andnot_si128(fresh, _mm_cmplt_epi32(holdCount, _mm_setzero_si128()));
                const __m128i restart = _mm_or_si128(fresh, expired);
                peakHold = _mm_max_ps(_mm_andnot_ps(_mm_castsi128_ps(expired), peakHold),
                                      _mm_and_ps(_mm_castsi128_ps(restart), a));
                const __m128i counted = _mm_or_si128(_mm_and_si128(restart, hold),
                                                     _mm_andnot_si128(restart, holdCount));
                holdCount = _mm_sub_epi32(_mm_sub_epi32(counted, oneInt), expired);
                ++i;
            } else {
                // Levels at twice the floor or more cannot fall to it within a run (at most
                // 1024 frames lose less than half even at 5 kHz), so such runs skip that
                // check.
                const int end = std::min(chunkEnd, i + minCount + 1);
                const int start = i;
                const __m128i lastRise = lowest(peakLevel) >= 2.0f * kLevelFloor
                                             ? holdRun.template operator()<true>(end)
                                             : holdRun.template operator()<false>(end);
                // A rise in frame f of the run leaves 10 s - (frames from f to the end) in
                // the count; without one the count went down by the run's length.
                const __m128i length = _mm_set1_epi32(i - start);
                const __m128i rose = _mm_cmpgt_epi32(lastRise, _mm_setzero_si128());
                const __m128i afterRise =
                    _mm_add_epi32(_mm_sub_epi32(hold, length), _mm_sub_epi32(lastRise, oneInt));
                holdCount = _mm_or_si128(_mm_and_si128(rose, afterRise),
                                         _mm_andnot_si128(rose, _mm_sub_epi32(holdCount, length)));
            }
        }
        noisePos += i - chunk;
        if (noisePos == kNoisePairs) noisePos = 0;
        if constexpr (kSpectrum) {
            historyPos += i - chunk;
            if ((historyPos & (kHop - 1)) == 0) {
                historyPos &= kFftSize - 1;
                historyPos_ = historyPos;
                computeSpectrum();
            }
        }
    }

    noisePos_ = noisePos;
    _mm_store_ps(peakLevel_, peakLevel);
    _mm_store_ps(peakHold_, peakHold);
    _mm_store_ps(meanSquare_, meanSquare);
    _mm_store_si128(reinterpret_cast<__m128i*>(holdCount_), holdCount);
    _mm_store_ps(corr_, corr);
    historyPos_ = historyPos;
    alignas(16) float last[4];
    _mm_store_ps(last, lr);
    inL_ = last[0];
    inR_ = last[1];
}

template <bool kSpectrum, bool kChecked, typename T>
bool AnalyzerEngine::gatherFrames(const T* inL, const T* inR, int len, int noisePos,
                                  int historyPos) {
    using namespace analyzer_detail;
    const float* noiseL = noiseL_ + noisePos;
    const float* noiseR = noiseR_ + noisePos;
    float* historyL = historyL_ + historyPos;
    float* historyR = historyR_ + historyPos;
    int k = 0;
    // A double beyond the limit narrows to a float beyond it or to the limit itself, which
    // is what cleaning gives, so the narrowed samples are what is checked.
    V inside = _mm_castsi128_ps(_mm_set1_epi32(-1));
    // Four frames at a time: the offsets added to the samples (cleaned first when checked;
    // checked doubles go one by one), the history, and the pairs.
    if constexpr (std::is_same_v<T, float> || !kChecked) {
        for (; k + 4 <= len; k += 4) {
            V l, r;
            if constexpr (std::is_same_v<T, float>) {
                l = loadFour<kChecked>(inL + k);
                r = loadFour<kChecked>(inR + k);
            } else {
                l = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(inL + k)),
                                  _mm_cvtpd_ps(_mm_loadu_pd(inL + k + 2)));
                r = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(inR + k)),
                                  _mm_cvtpd_ps(_mm_loadu_pd(inR + k + 2)));
            }
            if constexpr (!kChecked)
                inside = _mm_and_ps(inside, _mm_and_ps(withinLimit(l), withinLimit(r)));
            l = _mm_add_ps(_mm_loadu_ps(noiseL + k), l);
            r = _mm_add_ps(_mm_loadu_ps(noiseR + k), r);
            if constexpr (kSpectrum) {
                _mm_storeu_ps(historyL + k, l);
                _mm_storeu_ps(historyR + k, r);
            }
            _mm_store_ps(frames_[k], _mm_unpacklo_ps(l, r));
            _mm_store_ps(frames_[k + 2], _mm_unpackhi_ps(l, r));
        }
    }
    for (; k < len; ++k) {
        const V x = loadFrame<kChecked>(inL, inR, k);
        if constexpr (!kChecked) inside = _mm_and_ps(inside, withinLimit(x));
        const V lr =
            _mm_add_ps(_mm_unpacklo_ps(_mm_load_ss(noiseL + k), _mm_load_ss(noiseR + k)), x);
        if constexpr (kSpectrum) {
            _mm_store_ss(historyL + k, lr);
            _mm_store_ss(historyR + k, _mm_shuffle_ps(lr, lr, _MM_SHUFFLE(1, 1, 1, 1)));
        }
        _mm_storel_pi(reinterpret_cast<__m64*>(frames_[k]), lr);
    }
    return _mm_movemask_ps(inside) == 0xF;
}

}  // namespace qx
