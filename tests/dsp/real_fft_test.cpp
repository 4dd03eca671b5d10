// RealFft against a double-precision DFT in the packed layout, and round trips.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/real_fft.h"

namespace qx {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Packed reference: real parts sum x cos, imaginary parts sum x sin (the +i sign the
// transform keeps, so that element 3 of a 4-point transform is x1 - x3).
std::vector<double> referenceDft(const std::vector<float>& x) {
    const int n = static_cast<int>(x.size());
    std::vector<double> packed(n, 0.0);
    for (int k = 0; k <= n / 2; ++k) {
        double re = 0.0, im = 0.0;
        for (int t = 0; t < n; ++t) {
            const double angle =
                2.0 * kPi * static_cast<double>((static_cast<long>(k) * t) % n) / n;
            re += x[t] * std::cos(angle);
            im += x[t] * std::sin(angle);
        }
        packed[k] = re;
        if (k > 0 && k < n / 2) packed[n / 2 + k] = im;
    }
    return packed;
}

std::vector<float> randomSignal(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x) v = dist(rng);
    return x;
}

TEST(RealFft, MatchesReferenceDftAtEveryPowerOfTwo) {
    for (int n = 1; n <= 4096; n *= 2) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        ASSERT_EQ(fft.size(), n);
        const std::vector<float> x = randomSignal(n, 17u + n);
        std::vector<float> spectrum(n);
        fft.forward(spectrum.data(), x.data());
        const std::vector<double> ref = referenceDft(x);
        // Float rounding grows with log2 n; random input of rms 0.58 gives bins of
        // magnitude about 0.58 sqrt(n).
        const double tolerance = 2e-6 * std::sqrt(static_cast<double>(n)) * (1 + std::log2(n));
        for (int k = 0; k < n; ++k) ASSERT_NEAR(spectrum[k], ref[k], tolerance) << "element " << k;

        // The inverse is the matched pair: inverse(forward(x)) = n x.
        std::vector<float> back(n);
        fft.inverse(back.data(), spectrum.data());
        for (int t = 0; t < n; ++t) ASSERT_NEAR(back[t], n * x[t], tolerance * n) << "sample " << t;
    }
}

TEST(RealFft, InverseOfReferenceSpectrumAndRoundTripWithRescale) {
    for (int n : {2, 4, 8, 16, 64, 512, 1024, 2048}) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        // A spectrum built independently of forward(): inverse must synthesise
        // sum of cosines and sines with the same sign convention.
        const std::vector<float> spectrum = randomSignal(n, 99u + n);
        std::vector<float> out(n);
        fft.inverse(out.data(), spectrum.data());
        for (int t = 0; t < n; ++t) {
            double v = spectrum[0] + ((t % 2) ? -1.0 : 1.0) * spectrum[n / 2] * (n > 1);
            if (n == 1) v = spectrum[0];
            for (int k = 1; k < n / 2; ++k) {
                const double angle =
                    2.0 * kPi * static_cast<double>((static_cast<long>(k) * t) % n) / n;
                v += 2.0 * (spectrum[k] * std::cos(angle) + spectrum[n / 2 + k] * std::sin(angle));
            }
            ASSERT_NEAR(out[t], v, 1e-5 * n) << "sample " << t;
        }

        const std::vector<float> x = randomSignal(n, 5u + n);
        std::vector<float> spec(n), back(n);
        fft.forward(spec.data(), x.data());
        fft.inverse(back.data(), spec.data());
        fft.rescale(back.data());
        for (int t = 0; t < n; ++t) ASSERT_NEAR(back[t], x[t], 1e-5f) << "sample " << t;
    }
}

TEST(RealFft, ImpulseConstantAndCosine) {
    constexpr int n = 2048;
    RealFft fft(n);
    std::vector<float> x(n, 0.0f), spec(n);
    x[0] = 1.0f;
    fft.forward(spec.data(), x.data());
    for (int k = 0; k < n; ++k) EXPECT_EQ(spec[k], k <= n / 2 ? 1.0f : 0.0f) << k;

    std::fill(x.begin(), x.end(), 1.0f);
    fft.forward(spec.data(), x.data());
    EXPECT_EQ(spec[0], static_cast<float>(n));
    for (int k = 1; k < n; ++k) EXPECT_NEAR(spec[k], 0.0f, 1e-3f) << k;

    for (int t = 0; t < n; ++t) x[t] = static_cast<float>(std::cos(2.0 * kPi * 100 * t / n));
    fft.forward(spec.data(), x.data());
    EXPECT_NEAR(std::fabs(spec[100]), n / 2.0f, 1e-2f);
    spec[100] = 0.0f;  // everything else is leakage and must stay near zero
    for (int k = 0; k < n; ++k) EXPECT_NEAR(spec[k], 0.0f, 2e-3f) << k;
}

TEST(RealFft, InputIsLeftUntouchedAndRepeatedCallsAgree) {
    constexpr int n = 1024;
    RealFft fft(n);
    const std::vector<float> x = randomSignal(n, 3u);
    std::vector<float> input = x, first(n), second(n);
    fft.forward(first.data(), input.data());
    EXPECT_EQ(input, x);
    fft.forward(second.data(), input.data());
    EXPECT_EQ(first, second);
    std::vector<float> spectrum = first;
    fft.inverse(second.data(), spectrum.data());
    EXPECT_EQ(spectrum, first);
}

}  // namespace
}  // namespace qx
