// The bank kernel eight bands at a time with AVX2; this file alone is compiled for AVX2
// and is only called after the processor has been checked for it.
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include <cstdint>

#include "effects/quassel/band_kernel.h"

namespace qx::band_kernel {

#if defined(__AVX2__)

namespace {

struct Avx2Lanes {
    static constexpr int kWidth = 8;
    using F = __m256;
    using I = __m256i;
    using M = __m256;

    static F load(const float* p) { return _mm256_load_ps(p); }
    static void store(float* p, F v) { _mm256_store_ps(p, v); }
    static F splat(float x) { return _mm256_set1_ps(x); }
    static F add(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F min(F a, F b) { return _mm256_min_ps(a, b); }
    static F max(F a, F b) { return _mm256_max_ps(a, b); }
    static F abs(F a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
    static M greater(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    static F select(M m, F a, F b) { return _mm256_blendv_ps(b, a, m); }
    static int bits(M m) { return _mm256_movemask_ps(m); }
    static I loadInt(const std::int32_t* p) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
    }
    static I splatInt(int x) { return _mm256_set1_epi32(x); }
    static I subInt(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I andInt(I a, int mask) { return _mm256_and_si256(a, _mm256_set1_epi32(mask)); }
    static I truncate(F x) { return _mm256_cvttps_epi32(x); }
    // Indices are masked to the table, so they are non-negative: unsigned lane values
    // address the table without a sign extension.
    static F gather(const float* table, I index) {
        alignas(32) std::uint32_t i[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(i), index);
        return _mm256_setr_ps(table[i[0]], table[i[1]], table[i[2]], table[i[3]], table[i[4]],
                              table[i[5]], table[i[6]], table[i[7]]);
    }
    // Entries 2i and 2i + 1 of an interleaved table, one 64-bit load per lane.
    static void gatherPairs(const float* table, I index, F& first, F& second) {
        const I twice = _mm256_add_epi32(index, index);
        const __m128i lo = _mm256_castsi256_si128(twice);
        const __m128i hi = _mm256_extracti128_si256(twice, 1);
        // Lanes 0 1 | 4 5 and 2 3 | 6 7 as (first, second) pairs.
        const F a = _mm256_set_m128(pairs<0, 1>(table, hi), pairs<0, 1>(table, lo));
        const F b = _mm256_set_m128(pairs<2, 3>(table, hi), pairs<2, 3>(table, lo));
        first = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        second = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    // The pairs at offsets (lanes j and k of `offsets`) in the low and high half.
    template <int j, int k>
    static __m128 pairs(const float* table, __m128i offsets) {
        const float* low = table + static_cast<std::uint32_t>(_mm_extract_epi32(offsets, j));
        const float* high = table + static_cast<std::uint32_t>(_mm_extract_epi32(offsets, k));
        const __m128 l = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(low)));
        return _mm_loadh_pi(l, reinterpret_cast<const __m64*>(high));
    }
};

}  // namespace

Function avx2Kernel() {
    return &runBankAnyOrder<Avx2Lanes>;
}

#else

Function avx2Kernel() {
    return nullptr;  // not built for this processor
}

#endif

}  // namespace qx::band_kernel
