// White noise at a level in dB, for dither and anti-denormal offsets.
#pragma once

#include <cstdint>

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
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            int r[4];
            random_.next4(r);
            for (int k = 0; k < 4; ++k) out[i + k] = static_cast<float>((r[k] & 0xFF) - 128) * amp_;
        }
        for (; i < n; ++i) out[i] = nextSample();
    }

    // Step size: the linear peak level divided by 128.
    float amplitude() const { return amp_; }

    // Restarts the sequence. Control thread.
    void setSeed(std::uint32_t seed) { random_.setSeed(seed); }

  private:
    RandomGenerator random_;
    float amp_ = 0.0f;
};

}  // namespace qx
