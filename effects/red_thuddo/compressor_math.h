// Per-frame arithmetic of the compressor: the two-ratio gain curve, evaluated two frames
// at a time in double precision (base-2 logarithm and power accurate to single precision,
// no library calls), and the output soft clipper.
#pragma once

#include <emmintrin.h>

namespace qx::compressor_math {

constexpr double kLog10Of2 = 0.30102999566398119521;
constexpr double kLog2Of10 = 3.32192809488736234787;

namespace detail {

inline __m128d select(__m128d mask, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}

// Float lane masks 0 and 1 as double lane masks.
inline __m128d widen(__m128 mask) {
    return _mm_castps_pd(_mm_unpacklo_ps(mask, mask));
}

// a + b x + c x^2 and friends, in Estrin's order (shorter dependency chains than Horner).
inline __m128d line(double a, double b, __m128d x) {
    return _mm_add_pd(_mm_set1_pd(a), _mm_mul_pd(_mm_set1_pd(b), x));
}

}  // namespace detail

// log2 of float lanes 0 and 1, as doubles; absolute error below 3e-12. Inputs are held
// to the normal float range: 0, denormals and NaN read as 2^-126, +inf as the largest
// float.
inline __m128d log2Pair(__m128 r) {
    using namespace detail;
    const __m128 x =
        _mm_min_ps(_mm_max_ps(r, _mm_set1_ps(1.17549435e-38f)), _mm_set1_ps(3.40282347e38f));
    // x = 2^e m with m in [sqrt(1/2), sqrt(2)): mantissas at or above sqrt(2) are halved.
    const __m128i bits = _mm_castps_si128(x);
    const __m128i fraction = _mm_and_si128(bits, _mm_set1_epi32(0x7fffff));
    const __m128i halve = _mm_cmpgt_epi32(fraction, _mm_set1_epi32(0x3504f3));  // -1 or 0
    const __m128i e =
        _mm_sub_epi32(_mm_sub_epi32(_mm_srli_epi32(bits, 23), _mm_set1_epi32(127)), halve);
    const __m128i biased = _mm_slli_epi32(_mm_add_epi32(_mm_set1_epi32(127), halve), 23);
    const __m128d m = _mm_cvtps_pd(_mm_castsi128_ps(_mm_or_si128(fraction, biased)));
    // log2 m = s P(s^2), s = (m - 1) / (m + 1), |s| <= 0.1716: P is 2 atanh(s) / (s ln 2)
    // fitted on 0 <= s^2 <= 0.0295.
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d s = _mm_div_pd(_mm_sub_pd(m, one), _mm_add_pd(m, one));
    const __m128d z = _mm_mul_pd(s, s);
    const __m128d z2 = _mm_mul_pd(z, z);
    const __m128d low = line(2.8853900817899870491, 0.96179667345154847493, z);
    const __m128d high = _mm_add_pd(line(0.57708356600486586122, 0.41167376623771059218, z),
                                    _mm_mul_pd(_mm_set1_pd(0.34071204156190859826), z2));
    const __m128d p = _mm_add_pd(low, _mm_mul_pd(z2, high));
    return _mm_add_pd(_mm_cvtepi32_pd(e), _mm_mul_pd(s, p));
}

// 2^t of both double lanes, as floats in lanes 0 and 1; t is held to -126..126 (NaN reads
// as -126). Relative error of the double result below 2e-10, so each float is the
// correctly rounded power or its neighbour.
inline __m128 exp2Pair(__m128d t) {
    using namespace detail;
    t = _mm_min_pd(_mm_max_pd(t, _mm_set1_pd(-126.0)), _mm_set1_pd(126.0));
    // Adding 1.5 * 2^52 rounds to an integer k held in the low mantissa bits.
    const __m128d shift = _mm_set1_pd(6755399441055744.0);
    const __m128d shifted = _mm_add_pd(t, shift);
    const __m128d f = _mm_sub_pd(t, _mm_sub_pd(shifted, shift));  // |f| <= 0.5
    // 2^f = 1 + f Q(f), Q fitted on -0.5..0.5 (relative error 1.1e-10).
    const __m128d f2 = _mm_mul_pd(f, f);
    const __m128d f4 = _mm_mul_pd(f2, f2);
    const __m128d q01 = line(0.693147180559945309417, 0.240226509222887580706, f);
    const __m128d q23 = line(0.0555041088390961839291, 0.00961805667852463807539, f);
    const __m128d q45 = line(0.00133335023861627707407, 0.000154614446985691290829, f);
    const __m128d q6 = _mm_set1_pd(0.0000152973237607010741084);
    const __m128d q = _mm_add_pd(_mm_add_pd(q01, _mm_mul_pd(f2, q23)),
                                 _mm_mul_pd(f4, _mm_add_pd(q45, _mm_mul_pd(f2, q6))));
    const __m128d p = _mm_add_pd(_mm_set1_pd(1.0), _mm_mul_pd(f, q));
    // 2^k: k + 1023 into the exponent field (the low 12 bits of shifted's pattern are
    // those of k, since |k| <= 126).
    const __m128i exponent =
        _mm_slli_epi64(_mm_add_epi64(_mm_castpd_si128(shifted), _mm_set1_epi64x(1023)), 52);
    return _mm_cvtpd_ps(_mm_mul_pd(p, _mm_castsi128_pd(exponent)));
}

// The compressor's static curve for float lanes 0 and 1: amplitude gain for r, the
// detector power relative to the threshold power. exponent1 acts above the threshold
// (r > 1), exponent2 below; the soft knee blends them quadratically in dB over
// 0.25 <= r <= 4 (about +-6 dB of power): with v = log10(r) 0.8333333 + 0.5 and
// w = 1 - v, g = 10^(0.1 (6 e1 v^2 - 6 e2 w^2)).
inline __m128 curvePair(__m128 r, __m128d exponent1, __m128d exponent2, bool softKnee) {
    using namespace detail;
    const __m128d log2r = log2Pair(r);
    const __m128d above = widen(_mm_cmpgt_ps(r, _mm_set1_ps(1.0f)));
    __m128d t = _mm_mul_pd(select(above, exponent1, exponent2), log2r);
    if (softKnee) {
        const __m128d inKnee = widen(
            _mm_and_ps(_mm_cmpge_ps(r, _mm_set1_ps(0.25f)), _mm_cmple_ps(r, _mm_set1_ps(4.0f))));
        const __m128d v = line(0.5, kLog10Of2 * 0.8333333, log2r);
        const __m128d w = _mm_sub_pd(_mm_set1_pd(1.0), v);
        const __m128d blend = _mm_sub_pd(_mm_mul_pd(exponent1, _mm_mul_pd(v, v)),
                                         _mm_mul_pd(exponent2, _mm_mul_pd(w, w)));
        t = select(inKnee, _mm_mul_pd(_mm_set1_pd(kLog2Of10 * 0.6), blend), t);
    }
    return exp2Pair(t);
}

// Gains of n frames (any n): gains[i] = curve(r[i]). Audio thread.
inline void curveGains(const float* r, float* gains, int n, float exponent1, float exponent2,
                       bool softKnee) {
    const __m128d e1 = _mm_set1_pd(exponent1), e2 = _mm_set1_pd(exponent2);
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const __m128 pair = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(r + i)));
        _mm_storel_pi(reinterpret_cast<__m64*>(gains + i), curvePair(pair, e1, e2, softKnee));
    }
    if (i < n) gains[i] = _mm_cvtss_f32(curvePair(_mm_set1_ps(r[i]), e1, e2, softKnee));
}

// One value of the curve (editor and tests); the engine uses curveGains.
inline float curveGain(float r, float exponent1, float exponent2, bool softKnee) {
    return _mm_cvtss_f32(
        curvePair(_mm_set1_ps(r), _mm_set1_pd(exponent1), _mm_set1_pd(exponent2), softKnee));
}

// r^e for r > 0, within the bounds of exp2Pair.
inline float powerOf(float r, float e) {
    return _mm_cvtss_f32(exp2Pair(_mm_mul_pd(_mm_set1_pd(e), log2Pair(_mm_set1_ps(r)))));
}

inline double log2Of(float x) {
    return _mm_cvtsd_f64(log2Pair(_mm_set1_ps(x)));
}

inline float exp2Of(double t) {
    return _mm_cvtss_f32(exp2Pair(_mm_set1_pd(t)));
}

// Output soft clipper: unity below 0.8, a parabola that reaches +-1 at +-1.2 with matching
// value at 0.8, then +-1.
inline float softClip(float x) {
    const float a = x < 0.0f ? -x : x;
    if (a < 0.8f) return x;
    const float d = a < 1.2f ? a - 1.2f : 0.0f;
    const float y = 1.0f - 1.25f * d * d;
    return x < 0.0f ? -y : y;
}

}  // namespace qx::compressor_math
