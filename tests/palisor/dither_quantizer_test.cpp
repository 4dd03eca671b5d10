// The requantiser's three noise-shaping regimes, judged by the total error it adds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/palisor/dither_quantizer.h"

namespace qx {
namespace {

struct ErrorStats {
    double lowBandShare;   // power left after a 16-sample moving average, relative
    double maxRunningSum;  // largest |running sum of the error|, in codes
};

// Quantises a sub-LSB signal to 16 bits; the error is the code minus the scaled input.
ErrorStats measureError(float sampleRate) {
    DitherQuantizer q;
    q.setSampleRate(sampleRate);
    q.init(16);
    std::srand(7);
    std::vector<double> error;
    for (int n = 0; n < 32768; ++n) {
        const float x = (0.37f + 0.25f * std::sin(0.00628f * n)) / 32768.0f;
        const float y = q.quantize(x);
        EXPECT_EQ(y, static_cast<float>(q.lastCode()) / 32768.0f);
        error.push_back(q.lastCode() - static_cast<double>(x) * 32768.0);
    }
    double power = 0, averagedPower = 0, sum = 0, maxSum = 0, window = 0;
    for (size_t n = 0; n < error.size(); ++n) {
        power += error[n] * error[n];
        sum += error[n];
        maxSum = std::fmax(maxSum, std::fabs(sum));
        window += error[n] - (n >= 16 ? error[n - 16] : 0.0);
        averagedPower += (window / 16) * (window / 16);
    }
    return {averagedPower / power, maxSum};
}

TEST(DitherQuantizer, NoiseShapingFollowsTheSampleRate) {
    // Plain dither below 32 kHz: white error, so the average keeps about 1/16 of it.
    const ErrorStats plain = measureError(22050.0f);
    EXPECT_GT(plain.lowBandShare, 0.03);
    EXPECT_LT(plain.lowBandShare, 0.12);
    // 8-tap shaping: the error leaves the low band but keeps some DC.
    const ErrorStats shaped = measureError(44100.0f);
    EXPECT_LT(shaped.lowBandShare, 0.01);
    EXPECT_GT(shaped.maxRunningSum, 3.0);
    // First order from 120 kHz: the error is a first difference, so its running sum
    // stays within one quantisation error (half a step plus the dither peak).
    const ErrorStats firstOrder = measureError(192000.0f);
    EXPECT_LT(firstOrder.lowBandShare, 0.01);
    EXPECT_LE(firstOrder.maxRunningSum, 2 * (0.5 + 0.71));
}

TEST(DitherQuantizer, AnyWordLengthAndInputStayDefined) {
    DitherQuantizer q;
    q.init(64);
    EXPECT_EQ(q.wordLength(), 32);
    q.init(-5);
    EXPECT_EQ(q.wordLength(), 1);
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
