// OnePoleFilter and NoiseSource.
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/noise_source.h"
#include "dsp/one_pole_filter.h"

namespace qx {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(OnePoleFilter, StepResponseCornerAndFrozenOutput) {
    OnePoleFilter f;
    EXPECT_EQ(f.output(), 0.0f);
    f.process(1.0f);
    EXPECT_EQ(f.output(), 1.0f);  // a new filter passes its input

    OnePoleFilter lp;
    lp.setCutoff(1000.0f, 44100);
    lp.process(1.0f);
    EXPECT_NEAR(lp.output(), 1.0 - std::exp(-2.0 * kPi * 1000.0 / 44100.0), 1e-6);

    // About -3 dB at the corner well below Nyquist: |(1 - c) / (1 - c e^-jw)|.
    for (float corner : {50.0f, 1000.0f}) {
        OnePoleFilter g;
        g.setCutoff(corner, 48000);
        const double c = g.coefficient(), w = 2.0 * kPi * corner / 48000.0;
        const double mag = (1.0 - c) / std::sqrt(1.0 - 2.0 * c * std::cos(w) + c * c);
        EXPECT_NEAR(20.0 * std::log10(mag), -3.01, 0.1) << corner;
    }

    // A new cutoff keeps the state; at 0 Hz the output holds (up to the rounding of
    // x + (y - x) with a coefficient of exactly 1).
    const float held = lp.output();
    lp.setCutoff(0.0f, 44100);
    for (float x : {0.5f, -0.25f, 1.0f}) lp.process(x);
    EXPECT_NEAR(lp.output(), held, 1e-7f);
}

TEST(OnePoleFilter, CoefficientUsesTheDecimalTwoPiConstant) {
    // exp(-6.2831855 f / fs) in double, a path independent of the filter's power of two.
    // At these corners the float nearest 2*pi (6.28318548...) rounds to the next float up.
    const struct {
        float hz;
        int rate;
    } corners[] = {{1500.0f, 44100}, {3000.0f, 88200}, {20000.0f, 22050}};
    for (const auto& c : corners) {
        const float expected = static_cast<float>(std::exp(c.hz * -6.2831855 / c.rate));
        OnePoleFilter f;
        f.setCutoff(c.hz, c.rate);
        EXPECT_EQ(f.coefficient(), expected) << c.hz << " Hz at " << c.rate;
        EXPECT_EQ(onePoleCoefficient(c.hz, c.rate), expected);
    }
}

TEST(NoiseSource, LevelsAndValueGrid) {
    NoiseSource quiet;
    for (int i = 0; i < 1000; ++i) EXPECT_LE(std::fabs(quiet.nextSample()), 1e-8f);

    NoiseSource full;
    full.setLevel(0.0f);
    float lo = 1.0f, hi = -1.0f;
    for (int i = 0; i < 20000; ++i) {
        const float v = full.nextSample();
        ASSERT_EQ(v * 128.0f, std::round(v * 128.0f));  // one of 256 steps
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(lo, -1.0f);
    EXPECT_EQ(hi, 0.9921875f);

    full.setLevel(-6.0f);
    EXPECT_NEAR(full.amplitude() * 128.0f, std::pow(10.0, -0.3), 1e-6);
}

TEST(NoiseSource, SequencesAreReproducibleIndependentAndUniform) {
    NoiseSource a(7), b(7), c(8);
    for (NoiseSource* s : {&a, &b, &c}) s->setLevel(0.0f);
    std::srand(1);  // the process-wide generator plays no part
    int histogram[256] = {};
    int differ = 0;
    constexpr int kDraws = 256 * 400;
    for (int i = 0; i < kDraws; ++i) {
        const float x = a.nextSample();
        if (i == 100) std::srand(99);
        EXPECT_EQ(x, b.nextSample()) << i;
        if (c.nextSample() != x) ++differ;
        ++histogram[static_cast<int>(x * 128.0f) + 128];
    }
    EXPECT_GT(differ, kDraws * 9 / 10);
    // Every one of the 256 values turns up about equally often (400 expected each).
    for (int v = 0; v < 256; ++v) {
        EXPECT_GT(histogram[v], 300) << v;
        EXPECT_LT(histogram[v], 500) << v;
    }
    a.setSeed(7);
    NoiseSource fresh(7);
    fresh.setLevel(0.0f);
    EXPECT_EQ(a.nextSample(), fresh.nextSample());
}

TEST(NoiseSource, FillGivesTheSameDrawsAsOneAtATime) {
    NoiseSource single(11), block(11);
    single.setLevel(-3.0f);
    block.setLevel(-3.0f);
    std::vector<float> drawn(4100);
    // Lengths around the four-draw steps, and single draws in between, keep both in step.
    for (int n : {0, 1, 3, 4, 5, 63, 64, 65, 4097}) {
        block.fill(drawn.data(), n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(drawn[i], single.nextSample()) << n << " " << i;
        ASSERT_EQ(block.nextSample(), single.nextSample()) << n;
    }
}

}  // namespace
}  // namespace qx
