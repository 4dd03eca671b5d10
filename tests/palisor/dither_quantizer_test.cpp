// The requantiser's output grid and its three noise-shaping regimes, judged by the
// spectrum of the total error rather than by its internal state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "effects/palisor/dither_quantizer.h"

namespace qx {
namespace {

struct ErrorStats {
    double lowBandShare;   // variance of a 16-sample moving average over the variance
    double maxPartialSum;  // largest |running sum of the error|, in codes
};

// Quantises a sub-LSB test signal at 16 bits and measures the total error in codes.
ErrorStats measureError(float sampleRate) {
    DitherQuantizer q;
    q.setSampleRate(sampleRate);
    q.init(16);
    std::srand(7);
    constexpr int kN = 1 << 15;
    constexpr float kStep = 1.0f / 32768.0f;
    std::vector<double> error(kN);
    for (int n = 0; n < kN; ++n) {
        const float x = (0.37f + 0.25f * std::sin(0.00628f * n)) * kStep;
        const float y = q.quantize(x);
        EXPECT_EQ(y, static_cast<float>(q.lastCode()) * kStep);
        error[n] = static_cast<double>(q.lastCode()) - static_cast<double>(x) * 32768.0;
    }
    double var = 0, varAvg = 0, sum = 0, maxSum = 0;
    for (int n = 0; n < kN; ++n) {
        var += error[n] * error[n];
        sum += error[n];
        maxSum = std::fmax(maxSum, std::fabs(sum));
        if (n >= 15) {
            double avg = 0;
            for (int k = 0; k < 16; ++k) avg += error[n - k];
            avg /= 16.0;
            varAvg += avg * avg;
        }
    }
    return {varAvg / var, maxSum};
}

TEST(DitherQuantizer, NoiseShapingFollowsTheSampleRate) {
    // Plain dither: white error, so a 16-sample average keeps about 1/16 of its power.
    const ErrorStats plain = measureError(22050.0f);
    EXPECT_GT(plain.lowBandShare, 0.03);
    EXPECT_LT(plain.lowBandShare, 0.12);
    EXPECT_GT(plain.maxPartialSum, 10.0);

    // 8-tap shaping: the error moves out of the low band but keeps some DC.
    const ErrorStats shaped = measureError(44100.0f);
    EXPECT_LT(shaped.lowBandShare, 0.01);
    EXPECT_GT(shaped.maxPartialSum, 3.0);

    // First-order shaping: the error is a first difference, so its running sum is
    // bounded by two single errors (each within half a step plus the dither peak).
    const ErrorStats firstOrder = measureError(192000.0f);
    EXPECT_LT(firstOrder.lowBandShare, 0.01);
    EXPECT_LE(firstOrder.maxPartialSum, 2.0 * (0.5 + 0.71));
}

TEST(DitherQuantizer, PlainDitherOfSilenceStaysWithinOneStep) {
    DitherQuantizer q;
    q.setSampleRate(22050.0f);
    q.init(16);
    std::set<int> codes;
    for (int n = 0; n < 20000; ++n) {
        q.quantize(0.0f);
        codes.insert(q.lastCode());
        ASSERT_EQ(q.feedback(), 0.0f);
    }
    EXPECT_EQ(codes, (std::set<int>{-1, 0, 1}));
}

TEST(DitherQuantizer, WordLengthIsHeldToAUsableRange) {
    DitherQuantizer q;
    q.init(64);
    EXPECT_EQ(q.wordLength(), 32);
    q.init(-5);
    EXPECT_EQ(q.wordLength(), 1);
    // Far outside full scale the integer conversion stays defined and the sign right.
    for (float x : {1e12f, -1e12f, 1e30f, -1e30f}) {
        DitherQuantizer fresh;
        fresh.init(16);
        const float y = fresh.quantize(x);
        EXPECT_TRUE(std::isfinite(y)) << x;
        EXPECT_EQ(y > 0.0f, x > 0.0f) << x;
    }
}

}  // namespace
}  // namespace qx
