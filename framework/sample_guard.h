// Defences at the audio boundary: host samples that are not finite, or absurdly large,
// never reach an engine, and denormals are flushed while an effect processes.
#pragma once

#include <cmath>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define QX_HAVE_MXCSR 1
#endif

namespace qx {

// 100 dB above full scale: far beyond any real signal, small enough that squares and
// sums of it stay finite in single precision.
constexpr float kInputSampleLimit = 100000.0f;

// Cleans one host sample for an engine: NaN and infinities become 0, larger magnitudes
// are limited. Finite input in range passes unchanged (one predictable branch).
template <typename T>
inline float cleanSample(T x) {
    if (std::fabs(x) <= static_cast<T>(kInputSampleLimit)) [[likely]]
        return static_cast<float>(x);
    if (std::isnan(x) || std::isinf(x)) return 0.0f;
    return x > 0 ? kInputSampleLimit : -kInputSampleLimit;
}

// Sets flush-to-zero and denormals-are-zero for the scope of a processing call and
// restores the host's mode afterwards.
class DenormalGuard {
  public:
#ifdef QX_HAVE_MXCSR
    DenormalGuard() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | 0x8040u);
    }
    ~DenormalGuard() {
        _mm_setcsr(saved_);
    }

  private:
    unsigned int saved_;
#else
    DenormalGuard() = default;
#endif
  public:
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;
};

}  // namespace qx
