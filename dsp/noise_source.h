// White noise at a level in dB from the C library's rand(), for dither and
// anti-denormal offsets.
#pragma once

#include <cstdlib>

namespace qx {

// All instances draw from the one process-wide rand() sequence.
class NoiseSource {
  public:
    NoiseSource() { setLevel(-160.0f); }
    virtual ~NoiseSource() = default;

    // Peak level in dB (0 dB = full scale). Control thread.
    void setLevel(float levelDb);

    // One of 256 evenly spaced values, -128 .. 127 steps of amplitude(). Audio thread.
    float nextSample() {
        const int r = std::rand();
        return static_cast<float>((r & 0xFF) - 128) * amp_;
    }

    // Step size: the linear peak level divided by 128.
    float amplitude() const { return amp_; }

  private:
    float amp_ = 0.0f;
};

}  // namespace qx
