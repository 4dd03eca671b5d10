// RealFft against a double-precision DFT in the packed layout, and round trips.
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/real_fft.h"

namespace qx {
namespace {

constexpr double kPi = 3.14159265358979323846;

double angle(int k, int t, int n) {
    return 2.0 * kPi * static_cast<double>((static_cast<long>(k) * t) % n) / n;
}

// cos and sin of 2 pi j / n for j < n: the reference sums look angles up by (k t) mod n.
struct Circle {
    explicit Circle(int n) : n(n), c(n), s(n) {
        for (int j = 0; j < n; ++j)
            c[j] = std::cos(angle(j, 1, n)), s[j] = std::sin(angle(j, 1, n));
    }
    double cos(int k, int t) const { return c[(static_cast<long>(k) * t) % n]; }
    double sin(int k, int t) const { return s[(static_cast<long>(k) * t) % n]; }
    int n;
    std::vector<double> c, s;
};

// Packed reference: real parts sum x cos, imaginary parts sum x sin (the +i sign the
// transform keeps, so that element 3 of a 4-point transform is x1 - x3).
std::vector<double> referenceDft(const std::vector<float>& x) {
    const int n = static_cast<int>(x.size());
    const Circle circle(n);
    std::vector<double> packed(n, 0.0);
    for (int k = 0; k <= n / 2; ++k) {
        double re = 0.0, im = 0.0;
        for (int t = 0; t < n; ++t) {
            re += x[t] * circle.cos(k, t);
            im += x[t] * circle.sin(k, t);
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

TEST(RealFft, ForwardMatchesReferenceDftAtEveryPowerOfTwo) {
    for (int n = 1; n <= 4096; n *= 2) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        const std::vector<float> x = randomSignal(n, 17u + n);
        std::vector<float> input = x, spectrum(n);
        fft.forward(spectrum.data(), input.data());
        EXPECT_EQ(input, x);  // input is only read
        const std::vector<double> ref = referenceDft(x);
        // Float rounding grows with log2 n on bins of size about sqrt(n).
        const double tolerance = 2e-6 * std::sqrt(double(n)) * (1 + std::log2(n));
        for (int k = 0; k < n; ++k) ASSERT_NEAR(spectrum[k], ref[k], tolerance) << "element " << k;
    }
}

TEST(RealFft, InverseSynthesisesThePackedSpectrumAndRoundTrips) {
    for (int n = 1; n <= 4096; n *= 2) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        // A spectrum made up independently of forward(): the inverse must add up the
        // cosines and sines with the same sign convention.
        const std::vector<float> spectrum = randomSignal(n, 99u + n);
        std::vector<float> out(n);
        fft.inverse(out.data(), spectrum.data());
        const Circle circle(n);
        for (int t = 0; t < n; ++t) {
            double v = spectrum[0];
            if (n > 1) v += (t % 2 ? -1.0 : 1.0) * spectrum[n / 2];
            for (int k = 1; k < n / 2; ++k)
                v +=
                    2.0 * (spectrum[k] * circle.cos(k, t) + spectrum[n / 2 + k] * circle.sin(k, t));
            ASSERT_NEAR(out[t], v, 8e-6 * std::sqrt(double(n)) * (1 + std::log2(n)))
                << "sample " << t;
        }

        const std::vector<float> x = randomSignal(n, 5u + n);
        std::vector<float> bins(n), back(n);
        fft.forward(bins.data(), x.data());
        const std::vector<float> kept = bins;
        fft.inverse(back.data(), bins.data());
        EXPECT_EQ(bins, kept);
        fft.rescale(back.data());
        for (int t = 0; t < n; ++t) ASSERT_NEAR(back[t], x[t], 1e-5f) << "sample " << t;
    }
}

TEST(RealFft, ImpulseConstantAndCosine) {
    constexpr int n = 2048;
    RealFft fft(n);
    std::vector<float> x(n, 0.0f), spectrum(n);
    x[0] = 1.0f;
    fft.forward(spectrum.data(), x.data());
    for (int k = 0; k < n; ++k) EXPECT_EQ(spectrum[k], k <= n / 2 ? 1.0f : 0.0f) << k;

    std::fill(x.begin(), x.end(), 1.0f);
    fft.forward(spectrum.data(), x.data());
    EXPECT_EQ(spectrum[0], static_cast<float>(n));
    for (int k = 1; k < n; ++k) EXPECT_NEAR(spectrum[k], 0.0f, 1e-3f) << k;

    for (int t = 0; t < n; ++t) x[t] = static_cast<float>(std::cos(angle(100, t, n)));
    fft.forward(spectrum.data(), x.data());
    EXPECT_NEAR(std::fabs(spectrum[100]), n / 2.0f, 1e-2f);
    spectrum[100] = 0.0f;  // everything else is leakage and must stay near zero
    for (int k = 0; k < n; ++k) EXPECT_NEAR(spectrum[k], 0.0f, 2e-3f) << k;
}

TEST(RealFft, EveryKernelGivesTheSameFloatsAsThePlainPasses) {
    using Kernel = RealFft::Kernel;
    EXPECT_TRUE(RealFft::kernelSupported(Kernel::Scalar));
    EXPECT_TRUE(RealFft::kernelSupported(RealFft::bestKernel()));
    for (int n = 1; n <= 8192; n *= 2) {
        SCOPED_TRACE(n);
        RealFft plain(n);
        ASSERT_TRUE(plain.useKernel(Kernel::Scalar));
        // Noise, and a spectrum with a wide range of magnitudes and signs (rounding
        // differences would show in the low bits).
        std::vector<float> x = randomSignal(n, 3u + n);
        std::vector<float> spectrum = randomSignal(n, 7u + n);
        for (int i = 0; i < n; ++i) spectrum[i] *= std::exp2(static_cast<float>(i % 23) - 11.0f);
        std::vector<float> plainForward(n), plainInverse(n);
        plain.forward(plainForward.data(), x.data());
        plain.inverse(plainInverse.data(), spectrum.data());
        // forwardWindowed reads a ring from any start: the same floats as windowing the
        // rotated ring into an array first (the vector passes take whole quarters).
        const std::vector<float> window = randomSignal(n, 11u + n);
        const int starts[] = {0, n / 4, n / 2, 3 * n / 4, n / 2 + 1, n - 1};
        for (Kernel kernel : {Kernel::Scalar, Kernel::Sse2, Kernel::Avx2}) {
            RealFft fft(n);
            if (!fft.useKernel(kernel)) continue;  // not built or not on this processor
            SCOPED_TRACE(static_cast<int>(kernel));
            EXPECT_EQ(fft.kernel(), kernel);
            // Twice each, so that the kernel's scratch use from one call cannot leak into
            // the next.
            for (int round = 0; round < 2; ++round) {
                std::vector<float> forward(n, -1.0f), inverse(n, -1.0f);
                fft.forward(forward.data(), x.data());
                fft.inverse(inverse.data(), spectrum.data());
                for (int start : starts) {
                    std::vector<float> windowed(n), expected(n), got(n, -1.0f);
                    for (int i = 0; i < n; ++i) windowed[i] = x[(start + i) % n] * window[i];
                    plain.forward(expected.data(), windowed.data());
                    fft.forwardWindowed(got.data(), x.data(), start, window.data());
                    for (int i = 0; i < n; ++i)
                        ASSERT_EQ(std::bit_cast<std::uint32_t>(got[i]),
                                  std::bit_cast<std::uint32_t>(expected[i]))
                            << "windowed from " << start << ", element " << i;
                }
                // Compared as bits: -0 and +0 differ, NaN equals itself.
                for (int i = 0; i < n; ++i) {
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(forward[i]),
                              std::bit_cast<std::uint32_t>(plainForward[i]))
                        << "forward element " << i;
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(inverse[i]),
                              std::bit_cast<std::uint32_t>(plainInverse[i]))
                        << "inverse sample " << i;
                }
            }
        }
    }
}

TEST(RealFft, SizesThatAreNotPowersOfTwoRoundToOne) {
    // floor(log2 n + 0.5): 3 -> 4, 6 -> 8, 24 -> 32, 1400 -> 1024, 1500 -> 2048, 0 and below -> 1.
    const struct {
        int asked, used;
    } cases[] = {{3, 4}, {6, 8}, {24, 32}, {1400, 1024}, {1500, 2048}, {0, 1}, {-5, 1}};
    for (const auto& c : cases) {
        RealFft fft(c.asked);
        ASSERT_EQ(fft.size(), c.used) << c.asked;
        std::vector<float> x(c.used, 1.0f), bins(c.used), back(c.used);
        fft.forward(bins.data(), x.data());
        EXPECT_EQ(bins[0], static_cast<float>(c.used)) << c.asked;
        fft.inverse(back.data(), bins.data());
        fft.rescale(back.data());
        for (int t = 0; t < c.used; ++t) EXPECT_NEAR(back[t], 1.0f, 1e-5f) << c.asked;
    }
}

}  // namespace
}  // namespace qx
