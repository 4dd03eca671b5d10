// The bank kernel one band at a time: the portable fallback.
#include <cstdint>

#include "effects/quassel/band_kernel.h"

namespace qx::band_kernel {

namespace {

struct ScalarLanes {
    static constexpr int kWidth = 1;
    using F = float;
    using I = std::int32_t;
    using M = bool;

    static F load(const float* p) { return *p; }
    static void store(float* p, F v) { *p = v; }
    static F splat(float x) { return x; }
    static F add(F a, F b) { return a + b; }
    static F sub(F a, F b) { return a - b; }
    static F mul(F a, F b) { return a * b; }
    static F min(F a, F b) { return b < a ? b : a; }
    static F max(F a, F b) { return a < b ? b : a; }
    static F abs(F a) { return __builtin_fabsf(a); }
    static M greater(F a, F b) { return a > b; }
    static F select(M m, F a, F b) { return m ? a : b; }
    static int bits(M m) { return m ? 1 : 0; }
    static I loadInt(const std::int32_t* p) { return *p; }
    static I splatInt(int x) { return x; }
    static I subInt(I a, I b) { return a - b; }
    static I andInt(I a, int mask) { return a & mask; }
    static I truncate(F x) { return static_cast<I>(x); }
    static F gather(const float* table, I index) { return table[index]; }
    // Entries 2i and 2i + 1 of an interleaved table.
    static void gatherPairs(const float* table, I index, F& first, F& second) {
        first = table[2 * index];
        second = table[2 * index + 1];
    }
};

}  // namespace

Function scalarKernel() {
    return &runBankAnyOrder<ScalarLanes>;
}

}  // namespace qx::band_kernel
