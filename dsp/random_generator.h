// A small per-instance pseudo-random sequence for dither and anti-denormal offsets. The C
// library's rand() takes a lock and is shared by every plug-in in the host process, so
// output would depend on what else runs; this one is lock-free and reproducible.
#pragma once

#include <cstdint>

namespace qx {

inline constexpr std::uint64_t kLcgMultiplier = 6364136223846793005ull;
inline constexpr std::uint64_t kLcgIncrement = 1442695040888963407ull;

// k generator steps at once: s -> s * multiplier + increment, with multiplier = M^k and
// increment = C (M^(k-1) + ... + M + 1).
struct LcgJump {
    std::uint64_t multiplier, increment;
};
constexpr LcgJump lcgJump(int steps) {
    LcgJump j{1, 0};
    for (int k = 0; k < steps; ++k)
        j = {j.multiplier * kLcgMultiplier, j.increment * kLcgMultiplier + kLcgIncrement};
    return j;
}

class RandomGenerator {
  public:
    static constexpr int kMax = 0x7fffffff;

    explicit RandomGenerator(std::uint32_t seed = 1) { setSeed(seed); }

    void setSeed(std::uint32_t seed) { state_ = 0x9E3779B97F4A7C15ull ^ seed; }

    // 0 .. kMax, like rand(); every bit, the low byte included, is well mixed.
    int next() {
        // 64-bit linear congruential step; the top 31 bits are the output.
        state_ = state_ * kLcgMultiplier + kLcgIncrement;
        return static_cast<int>(state_ >> 33);
    }

    // The next four values, exactly as four calls of next() give them. Each is stepped
    // from the present state directly, so the four do not wait on one another.
    void next4(int* out) {
        const std::uint64_t s = state_;
        out[0] = static_cast<int>((s * kJump[0].multiplier + kJump[0].increment) >> 33);
        out[1] = static_cast<int>((s * kJump[1].multiplier + kJump[1].increment) >> 33);
        out[2] = static_cast<int>((s * kJump[2].multiplier + kJump[2].increment) >> 33);
        state_ = s * kJump[3].multiplier + kJump[3].increment;
        out[3] = static_cast<int>(state_ >> 33);
    }

  private:
    static constexpr LcgJump kJump[4] = {lcgJump(1), lcgJump(2), lcgJump(3), lcgJump(4)};

    std::uint64_t state_ = 0;
};

}  // namespace qx
