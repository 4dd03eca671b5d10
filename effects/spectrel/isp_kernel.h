// Inter-sample peaks of the analyzer: the magnitudes of left, right, mid and side with the
// half-sample values of an eight-tap interpolator, for a run of frames. Built for the
// x86-64 baseline and, in a file of its own, for AVX2 (two frames per instruction); both
// give the same floats: the same operations in the same order, no fused multiply-adds.
#pragma once

#include <emmintrin.h>

namespace qx::isp_kernel {

constexpr int kTaps = 8;
// Half-sample interpolator, oldest sample first.
inline constexpr float kTap[kTaps] = {-0.0876277f, 0.12493774f,  -0.21076833f, 0.63613927f,
                                      0.63613927f, -0.21076833f, 0.12493774f,  -0.0876277f};
// The most frames one call takes.
constexpr int kMaxFrames = 1024;

// For frames[k] = (left, right), k < len (at most kMaxFrames): out[k] = the larger of |x|
// and |sum of kTap[t] x[k - 7 + t]| per channel x of (left, right, mid, side), summed
// from t = 0 up. history holds the seven frames' values before the run, oldest first, and
// is left holding the run's last seven; work has room for kMaxFrames + kTaps rows.
using Function = void (*)(const float (*frames)[2], int len, float (*history)[4], float (*work)[4],
                          float (*out)[4]);

Function baseline();
// Null where not built for AVX2.
Function avx2();
// The fastest this processor runs (AVX2 only after a processor check). Any thread.
Function best();

namespace {

// (l, r, (l + r) / 2, (l - r) / 2) from (l, r, 0, 0).
inline __m128 leftRightMidSide(__m128 lr) {
    const __m128 lrll = _mm_shuffle_ps(lr, lr, _MM_SHUFFLE(0, 0, 1, 0));
    const __m128 oorr = _mm_shuffle_ps(lr, lr, _MM_SHUFFLE(1, 1, 2, 2));
    return _mm_mul_ps(_mm_add_ps(lrll, _mm_xor_ps(oorr, _mm_setr_ps(0.0f, 0.0f, 0.0f, -0.0f))),
                      _mm_setr_ps(1.0f, 1.0f, 0.5f, 0.5f));
}

inline __m128 absolute(__m128 a) {
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), a);
}

// The magnitudes of one frame whose eight values, oldest first, start at x.
inline __m128 frameMagnitude(const float (*x)[4]) {
    __m128 s = _mm_mul_ps(_mm_set1_ps(kTap[0]), _mm_loadu_ps(x[0]));
    for (int t = 1; t < kTaps; ++t)
        s = _mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(kTap[t]), _mm_loadu_ps(x[t])));
    return _mm_max_ps(absolute(_mm_loadu_ps(x[kTaps - 1])), absolute(s));
}

// Lays the history and the frames' values out in one run in work, has magnitudes(x, k)
// fill out from frame k on (returning the first frame it did not do; the rest go one by
// one), and keeps the last seven values for the next run.
template <class Magnitudes>
void run(const float (*frames)[2], int len, float (*history)[4], float (*work)[4], float (*out)[4],
         Magnitudes magnitudes) {
    constexpr int kKept = kTaps - 1;
    for (int k = 0; k < kKept; ++k) _mm_storeu_ps(work[k], _mm_loadu_ps(history[k]));
    for (int k = 0; k < len; ++k)
        _mm_storeu_ps(work[kKept + k], leftRightMidSide(_mm_castpd_ps(_mm_load_sd(
                                           reinterpret_cast<const double*>(frames[k])))));
    for (int k = magnitudes(work, out, len); k < len; ++k)
        _mm_storeu_ps(out[k], frameMagnitude(work + k));
    for (int k = 0; k < kKept; ++k) _mm_storeu_ps(history[k], _mm_loadu_ps(work[len + k]));
}

}  // namespace
}  // namespace qx::isp_kernel
