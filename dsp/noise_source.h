// White noise at a level in dB, for dither and anti-denormal offsets.
#pragma once

#include <cstdint>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "dsp/random_generator.h"

namespace qx {

// Each source draws from its own sequence, so two sources that must be independent (the
// dither of two channels) get different seeds.
class NoiseSource {
  public:
    explicit NoiseSource(std::uint32_t seed = 1) : random_(seed) { setLevel(-160.0f); }
    virtual ~NoiseSource() = default;

    // Peak level in dB (0 dB = full scale). Control thread.
    void setLevel(float levelDb);

    // One of 256 evenly spaced values, -128 .. 127 steps of amplitude(). Audio thread.
    float nextSample() {
        const int r = random_.next();
        return static_cast<float>((r & 0xFF) - 128) * amp_;
    }

    // n successive draws into out, the same as n calls of nextSample(). Audio thread.
    void fill(float* out, int n) {
        // The generator in a local: stores to out cannot touch it.
        RandomGenerator random = random_;
        const float amp = amp_;
        int i = 0;
#if defined(__SSE2__) || defined(_M_X64)
        const __m128i byte = _mm_set1_epi32(0xFF), centre = _mm_set1_epi32(128);
        const __m128 scale = _mm_set1_ps(amp);
        for (; i + 4 <= n; i += 4) {
            int r[4];
            random.next4(r);
            const __m128i steps =
                _mm_sub_epi32(_mm_and_si128(_mm_setr_epi32(r[0], r[1], r[2], r[3]), byte), centre);
            _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(steps), scale));
        }
#else
        for (; i + 4 <= n; i += 4) {
            int r[4];
            random.next4(r);
            for (int k = 0; k < 4; ++k) out[i + k] = static_cast<float>((r[k] & 0xFF) - 128) * amp;
        }
#endif
        random_ = random;
        for (; i < n; ++i) out[i] = nextSample();
    }

    // Step size: the linear peak level divided by 128.
    float amplitude() const {
        return amp_;
    }

    // Restarts the sequence. Control thread.
    void setSeed(std::uint32_t seed) {
        random_.setSeed(seed);
    }

  private:
    RandomGenerator random_;
    float amp_ = 0.0f;
};

}  // namespace qx
