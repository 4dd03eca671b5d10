// The RealFft passes four values at a time with SSE2 (the x86-64 baseline).
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dsp/real_fft_kernel.h"

namespace qx::fft_kernel {

#if defined(__SSE2__)

namespace {

struct Sse2Lanes {
    static constexpr int kWidth = 4;
    using F = __m128;

    static F load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, F v) { _mm_storeu_ps(p, v); }
    static F splat(float x) { return _mm_set1_ps(x); }
    static F add(F a, F b) { return _mm_add_ps(a, b); }
    static F sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F negate(F a) { return _mm_xor_ps(a, _mm_set1_ps(-0.0f)); }
    static F reverse(F v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
    static F loadReversed(const float* p) { return reverse(load(p)); }
    static void storeReversed(float* p, F v) { store(p, reverse(v)); }
    // re = p[0], p[2], p[4], p[6]; im = p[1], p[3], p[5], p[7]; each times w[i] first
    // when w is given.
    static void loadDeinterleaved(const float* p, const float* w, F& re, F& im) {
        F a = load(p), b = load(p + 4);
        if (w) {
            a = mul(a, load(w));
            b = mul(b, load(w + 4));
        }
        re = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        im = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    // p[2l] = re[l], p[2l + 1] = im[l].
    static void storeInterleaved(float* p, F re, F im) {
        store(p, _mm_unpacklo_ps(re, im));
        store(p + 4, _mm_unpackhi_ps(re, im));
    }
    // p[4l + j] = v[j][l].
    static void storeTransposed(float* p, const F* v) {
        F r0 = v[0], r1 = v[1], r2 = v[2], r3 = v[3];
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        store(p, r0);
        store(p + 4, r1);
        store(p + 8, r2);
        store(p + 12, r3);
    }
};

}  // namespace

const Functions* sse2Functions() {
    return functions<Sse2Lanes>();
}

#else

const Functions* sse2Functions() {
    return nullptr;
}

#endif

}  // namespace qx::fft_kernel
