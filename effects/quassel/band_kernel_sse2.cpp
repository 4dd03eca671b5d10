// The bank kernel four bands at a time with SSE2 (every x86-64 processor has it).
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>

#include "effects/quassel/band_kernel.h"

namespace qx::band_kernel {

#if defined(__SSE2__)

namespace {

struct Sse2Lanes {
    static constexpr int kWidth = 4;
    using F = __m128;
    using I = __m128i;
    using M = __m128;

    static F load(const float* p) { return _mm_load_ps(p); }
    static void store(float* p, F v) { _mm_store_ps(p, v); }
    static F splat(float x) { return _mm_set1_ps(x); }
    static F add(F a, F b) { return _mm_add_ps(a, b); }
    static F sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F min(F a, F b) { return _mm_min_ps(a, b); }
    static F max(F a, F b) { return _mm_max_ps(a, b); }
    static F abs(F a) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), a); }
    static M greater(F a, F b) { return _mm_cmpgt_ps(a, b); }
    static F select(M m, F a, F b) { return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b)); }
    static int bits(M m) { return _mm_movemask_ps(m); }
    static I loadInt(const std::int32_t* p) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
    }
    static I splatInt(int x) { return _mm_set1_epi32(x); }
    static I subInt(I a, I b) { return _mm_sub_epi32(a, b); }
    static I andInt(I a, int mask) { return _mm_and_si128(a, _mm_set1_epi32(mask)); }
    static I truncate(F x) { return _mm_cvttps_epi32(x); }
    // Indices are masked to the table, so they are non-negative: unsigned lane values
    // address the table without a sign extension.
    static F gather(const float* table, I index) {
        alignas(16) std::uint32_t i[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(i), index);
        return _mm_setr_ps(table[i[0]], table[i[1]], table[i[2]], table[i[3]]);
    }
    // Entries 2i and 2i + 1 of an interleaved table, one 64-bit load per lane.
    static void gatherPairs(const float* table, I index, F& first, F& second) {
        alignas(16) std::uint32_t i[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(i), _mm_add_epi32(index, index));
        const F a = pairs(table + i[0], table + i[1]);  // f0 s0 f1 s1
        const F b = pairs(table + i[2], table + i[3]);  // f2 s2 f3 s3
        first = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        second = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    static F pairs(const float* low, const float* high) {
        const F lo = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(low)));
        return _mm_loadh_pi(lo, reinterpret_cast<const __m64*>(high));
    }
};

}  // namespace

Function sse2Kernel() {
    return &runBankAnyOrder<Sse2Lanes>;
}

#else

Function sse2Kernel() {
    return nullptr;  // not built for this processor
}

#endif

}  // namespace qx::band_kernel
