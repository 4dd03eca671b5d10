// Inter-sample peaks two frames at a time with AVX2; this file alone is compiled for AVX2
// and is only called after the processor has been checked for it.
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include "effects/spectrel/isp_kernel.h"

namespace qx::isp_kernel {

#if defined(__AVX2__)

namespace {

// Frames k and k + 1 share a register: their runs of eight values are one frame apart.
int pairs(const float (*x)[4], float (*out)[4], int len) {
    const __m256 sign = _mm256_set1_ps(-0.0f);
    int k = 0;
    for (; k + 2 <= len; k += 2) {
        __m256 s = _mm256_mul_ps(_mm256_set1_ps(kTap[0]), _mm256_loadu_ps(x[k]));
        for (int t = 1; t < kTaps; ++t)
            s = _mm256_add_ps(s, _mm256_mul_ps(_mm256_set1_ps(kTap[t]), _mm256_loadu_ps(x[k + t])));
        const __m256 v = _mm256_loadu_ps(x[k + kTaps - 1]);
        _mm256_storeu_ps(out[k],
                         _mm256_max_ps(_mm256_andnot_ps(sign, v), _mm256_andnot_ps(sign, s)));
    }
    return k;
}

void twoByTwo(const float (*frames)[2], int len, float (*history)[4], float (*work)[4],
              float (*out)[4]) {
    run(frames, len, history, work, out, pairs);
}

}  // namespace

Function avx2() {
    return &twoByTwo;
}

#else

Function avx2() {
    return nullptr;
}

#endif

}  // namespace qx::isp_kernel
