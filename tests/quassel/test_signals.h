// Test signals of the multiband tests: seeded white noise and sines, the same on every run.
#pragma once

#include <cmath>
#include <cstdlib>
#include <vector>

namespace qx::test {

// Uniform noise in -amplitude .. amplitude from std::rand seeded with `seed`.
inline std::vector<float> noise(int frames, unsigned seed, float amplitude = 0.5f) {
    std::srand(seed);
    std::vector<float> x(static_cast<size_t>(frames));
    for (float& v : x) v = amplitude * (2.0f * std::rand() / RAND_MAX - 1.0f);
    return x;
}

inline std::vector<float> sine(int frames, float amplitude, double hz, double fs = 44100.0) {
    std::vector<float> x(static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n)
        x[static_cast<size_t>(n)] =
            amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * n / fs));
    return x;
}

}  // namespace qx::test
