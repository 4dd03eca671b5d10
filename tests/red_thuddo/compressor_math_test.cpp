// The per-frame logarithm and power against the library functions, the gain curve against
// its exact formula, and the soft clipper's shape.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "effects/red_thuddo/compressor_math.h"

namespace qx::compressor_math {
namespace {

// Distance in units in the last place between two positive finite floats.
int ulps(float a, float b) {
    const auto ia = static_cast<std::int64_t>(std::bit_cast<std::int32_t>(a));
    const auto ib = static_cast<std::int64_t>(std::bit_cast<std::int32_t>(b));
    return static_cast<int>(ia > ib ? ia - ib : ib - ia);
}

float exponentOf(float ratio) {
    return (1.0f - ratio) * 0.5f / ratio;
}

// The engine's power r^e, with r over the whole range a detector reaches (1e-12..1e18)
// and every ratio the parameters give: at most one ulp from the correctly rounded
// double-precision power, and equal to it in nearly every case.
TEST(CompressorMath, PowerIsWithinOneUlpOfTheExactPower) {
    const float ratios[] = {0.1f, 0.15f, 0.3f, 0.5f, 0.9f,  1.0f,
                            1.1f, 2.0f,  4.0f, 7.3f, 10.0f, 20.0f};
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> logR(-12.0, 18.0);
    long checked = 0, exact = 0;
    int worst = 0;
    for (float ratio : ratios) {
        const float e = exponentOf(ratio);
        for (int i = 0; i < 40000; ++i) {
            const float r = static_cast<float>(std::pow(10.0, logR(rng)));
            const double truth = std::pow(static_cast<double>(r), static_cast<double>(e));
            if (truth < 0x1p-126 || truth > 0x1p126) continue;  // outside the clamped range
            const int d = ulps(powerOf(r, e), static_cast<float>(truth));
            worst = std::max(worst, d);
            exact += d == 0;
            ++checked;
        }
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(static_cast<double>(exact) / checked, 0.999);
    EXPECT_GT(checked, 400000);
}

TEST(CompressorMath, LogarithmAndExponentialOverTheirWholeRange) {
    // log2: every binade, mantissas on both sides of the sqrt(2) split.
    double worstLog = 0.0;
    for (int e = -126; e <= 127; ++e) {
        for (float m : {1.0f, 1.0000001f, 1.2f, 1.4142134f, 1.4142137f, 1.7f, 1.9999999f}) {
            const float x = std::ldexp(m, e);
            worstLog =
                std::fmax(worstLog, std::fabs(log2Of(x) - std::log2(static_cast<double>(x))));
        }
    }
    EXPECT_LT(worstLog, 3e-12);
    // Out of range inputs are held, never undefined.
    EXPECT_EQ(log2Of(0.0f), -126.0);
    EXPECT_EQ(log2Of(std::nanf("")), -126.0);
    EXPECT_NEAR(log2Of(INFINITY), 128.0, 1e-6);

    int worstExp = 0;
    for (double t = -126.0; t <= 126.0; t += 0.001953125 * 3.1) {
        worstExp = std::max(worstExp, ulps(exp2Of(t), static_cast<float>(std::exp2(t))));
    }
    EXPECT_LE(worstExp, 1);
    EXPECT_EQ(exp2Of(0.0), 1.0f);
    EXPECT_EQ(exp2Of(1000.0), 0x1p126f);
    EXPECT_EQ(exp2Of(-1000.0), 0x1p-126f);
}

// The exact curve: r^e1 above 1, r^e2 below, and within 0.25..4 with the soft knee
// 10^(0.1 (6 e1 v^2 - 6 e2 w^2)), v = log10(r) 0.8333333 + 0.5, w = 1 - v.
double exactCurve(double r, double e1, double e2, bool knee) {
    if (knee && r >= 0.25 && r <= 4.0) {
        const double v = std::log10(r) * 0.8333333 + 0.5, w = 1.0 - v;
        return std::pow(10.0, 0.1 * (6.0 * e1 * v * v - 6.0 * e2 * w * w));
    }
    return std::pow(r, r > 1.0 ? e1 : e2);
}

TEST(CompressorMath, GainCurveFollowsItsExactFormula) {
    const float pairs[][2] = {
        {4.0f, 0.5f}, {20.0f, 1.0f}, {1.0f, 0.1f}, {2.0f, 3.0f}, {0.5f, 0.5f}};
    int worst = 0;
    for (const auto& p : pairs) {
        const float e1 = exponentOf(p[0]), e2 = exponentOf(p[1]);
        for (bool knee : {false, true}) {
            for (double lr = -3.0; lr <= 3.0; lr += 0.0007) {
                const float r = static_cast<float>(std::pow(10.0, lr));
                const float exact = static_cast<float>(exactCurve(r, e1, e2, knee));
                worst = std::max(worst, ulps(curveGain(r, e1, e2, knee), exact));
            }
        }
    }
    EXPECT_LE(worst, 1);

    // At the threshold: 1 with equal exponents, 10^(0.15 (e1 - e2)) with different ones,
    // and 1 with the hard knee whatever the ratios.
    const float e1 = exponentOf(4.0f), e2 = exponentOf(0.5f);
    EXPECT_EQ(curveGain(1.0f, e1, e1, true), 1.0f);
    EXPECT_NEAR(curveGain(1.0f, e1, e2, true), std::pow(10.0f, 0.15f * (e1 - e2)), 1e-6f);
    EXPECT_EQ(curveGain(1.0f, e1, e2, false), 1.0f);
    // The knee meets both slopes at its ends.
    for (float r : {0.25f, 4.0f}) {
        const float hard = curveGain(r, e1, e2, false);
        EXPECT_NEAR(curveGain(r, e1, e2, true) / hard, 1.0f, 1e-3f) << r;
        EXPECT_NEAR(curveGain(r * (r < 1.0f ? 0.9999f : 1.0001f), e1, e2, true) / hard, 1.0f,
                    1e-3f);
    }
}

TEST(CompressorMath, SoftClipperShape) {
    EXPECT_EQ(softClip(0.5f), 0.5f);
    EXPECT_EQ(softClip(-0.79f), -0.79f);
    EXPECT_NEAR(softClip(0.8f), 0.8f, 1e-6f);
    EXPECT_NEAR(softClip(1.0f), 0.95f, 1e-6f);
    EXPECT_NEAR(softClip(-1.0f), -0.95f, 1e-6f);
    EXPECT_EQ(softClip(1.2f), 1.0f);
    EXPECT_EQ(softClip(-7.0f), -1.0f);
    // Odd, rising, never beyond full scale.
    float previous = -1.0f;
    for (float x = -3.0f; x <= 3.0f; x += 0.001f) {
        const float y = softClip(x);
        ASSERT_LE(std::fabs(y), 1.0f) << x;
        ASSERT_GE(y, previous) << x;
        ASSERT_EQ(softClip(-x), -y) << x;
        previous = y;
    }
}

}  // namespace
}  // namespace qx::compressor_math
