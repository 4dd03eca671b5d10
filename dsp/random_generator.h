// A small per-instance pseudo-random sequence for dither and anti-denormal offsets. The C
// library's rand() takes a lock and is shared by every plug-in in the host process, so
// output would depend on what else runs; this one is lock-free and reproducible.
#pragma once

#include <cstdint>

namespace qx {

class RandomGenerator {
  public:
    static constexpr int kMax = 0x7fffffff;

    explicit RandomGenerator(std::uint32_t seed = 1) { setSeed(seed); }

    void setSeed(std::uint32_t seed) { state_ = 0x9E3779B97F4A7C15ull ^ seed; }

    // 0 .. kMax, like rand(); every bit, the low byte included, is well mixed.
    int next() {
        // 64-bit linear congruential step; the top 31 bits are the output.
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>(state_ >> 33);
    }

  private:
    std::uint64_t state_ = 0;
};

}  // namespace qx
