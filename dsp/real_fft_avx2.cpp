// The RealFft passes eight values at a time with AVX2; this file alone is compiled for
// AVX2 and is only called after the processor has been checked for it.
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include "dsp/real_fft_kernel.h"

namespace qx::fft_kernel {

#if defined(__AVX2__)

namespace {

struct Avx2Lanes {
    static constexpr int kWidth = 8;
    using F = __m256;

    static F load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, F v) { _mm256_storeu_ps(p, v); }
    static F splat(float x) { return _mm256_set1_ps(x); }
    // a in the low four lanes, b in the high four.
    static F splatPair(float a, float b) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_set1_ps(a)), _mm_set1_ps(b), 1);
    }
    static F add(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F negate(F a) { return _mm256_xor_ps(a, _mm256_set1_ps(-0.0f)); }
    static F reverse(F v) {
        return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    }
    static F loadReversed(const float* p) { return reverse(load(p)); }
    static void storeReversed(float* p, F v) { store(p, reverse(v)); }
    // The low four lanes to low, the high four to high.
    static void storeHalves(float* low, float* high, F v) {
        _mm_storeu_ps(low, _mm256_castps256_ps128(v));
        _mm_storeu_ps(high, _mm256_extractf128_ps(v, 1));
    }
    // re = p[0], p[2], .. p[14]; im = p[1], p[3], .. p[15]; each times w[i] first when
    // w is given.
    static void loadDeinterleaved(const float* p, const float* w, F& re, F& im) {
        F a = load(p), b = load(p + 8);
        if (w) {
            a = mul(a, load(w));
            b = mul(b, load(w + 8));
        }
        // Within each 128-bit half: (a0 a2 b0 b2 | a4 a6 b4 b6); then the pairs reordered.
        const F evens = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        const F odds = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
        re = _mm256_castpd_ps(
            _mm256_permute4x64_pd(_mm256_castps_pd(evens), _MM_SHUFFLE(3, 1, 2, 0)));
        im = _mm256_castpd_ps(
            _mm256_permute4x64_pd(_mm256_castps_pd(odds), _MM_SHUFFLE(3, 1, 2, 0)));
    }
    // p[2l] = re[l], p[2l + 1] = im[l].
    static void storeInterleaved(float* p, F re, F im) {
        const F low = _mm256_unpacklo_ps(re, im);   // l = 0, 1 | 4, 5
        const F high = _mm256_unpackhi_ps(re, im);  // l = 2, 3 | 6, 7
        store(p, _mm256_permute2f128_ps(low, high, 0x20));
        store(p + 8, _mm256_permute2f128_ps(low, high, 0x31));
    }
    // p[4l + j] = v[j][l].
    static void storeTransposed(float* p, const F* v) {
        const F t0 = _mm256_unpacklo_ps(v[0], v[1]);
        const F t1 = _mm256_unpackhi_ps(v[0], v[1]);
        const F t2 = _mm256_unpacklo_ps(v[2], v[3]);
        const F t3 = _mm256_unpackhi_ps(v[2], v[3]);
        const F l04 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));  // l = 0 | 4
        const F l15 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
        const F l26 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
        const F l37 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
        store(p, _mm256_permute2f128_ps(l04, l15, 0x20));
        store(p + 8, _mm256_permute2f128_ps(l26, l37, 0x20));
        store(p + 16, _mm256_permute2f128_ps(l04, l15, 0x31));
        store(p + 24, _mm256_permute2f128_ps(l26, l37, 0x31));
    }
};

}  // namespace

const Functions* avx2Functions() {
    return functions<Avx2Lanes>();
}

#else

const Functions* avx2Functions() {
    return nullptr;
}

#endif

}  // namespace qx::fft_kernel
