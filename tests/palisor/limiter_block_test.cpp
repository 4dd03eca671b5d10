// The engine's block path at the host boundary: samples that are not finite or far too
// large, wherever they fall among the frames it handles four at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "effects/palisor/limiter_engine.h"
#include "framework/sample_guard.h"

namespace qx {
namespace {

void everyStage(LimiterEngine& e) {
    e.updateSampleRate(48000.0f);
    e.setDrive(1.5f);
    e.setSideGain(0.8f);
    e.setXcorrThreshold(0.3f);
    e.setSoftclipThreshold(-3.0f);
    e.setSoftclipAmount(0.4f);
    e.setRmsThreshold(-8.0f);
    e.setInterSamplePeak(true);
    e.setWordLength(16);
}

template <typename T>
std::vector<float> process(LimiterEngine& e, const std::vector<T>& left,
                           const std::vector<T>& right, int block) {
    std::vector<T> outL(left.size()), outR(right.size());
    for (size_t start = 0; start < left.size(); start += block) {
        const int n = static_cast<int>(std::min<size_t>(block, left.size() - start));
        e.processBlock(left.data() + start, right.data() + start, outL.data() + start,
                       outR.data() + start, n);
    }
    std::vector<float> both;
    for (size_t i = 0; i < left.size(); ++i) {
        both.push_back(static_cast<float>(outL[i]));
        both.push_back(static_cast<float>(outR[i]));
        // Widening a float and narrowing it back is exact: the double entry adds nothing.
        EXPECT_EQ(static_cast<T>(both[2 * i]), outL[i]) << i;
    }
    return both;
}

void expectSameMeters(const LimiterEngine& a, const LimiterEngine& b) {
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(a.peakLevel(c), b.peakLevel(c)) << c;
        EXPECT_EQ(a.peakHold(c), b.peakHold(c)) << c;
        EXPECT_EQ(a.rmsLevel(c), b.rmsLevel(c)) << c;
        EXPECT_EQ(a.peakGain(c), b.peakGain(c)) << c;
    }
    EXPECT_EQ(a.correlation(), b.correlation());
}

// NaN, infinities and out-of-range values in each of the four lanes of a group and in the
// frames after the last whole group reach the engine exactly as cleanSample() makes them,
// in either channel and either precision; ordinary samples around them are untouched.
TEST(LimiterBlock, HostileSamplesAreCleanedInEveryLaneLikeOneAtATime) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double hostile[] = {nan,   inf,       -inf,      1e300, -1e300,
                              1.0e5, 100000.01, -100000.5, 3e38,  4e-310};
    constexpr int kFrames = 3000;
    std::vector<double> left(kFrames), right(kFrames);
    for (int n = 0; n < kFrames; ++n) {
        left[n] = 0.9 * std::sin(0.021 * n) + 0.4 * std::sin(0.37 * n);
        right[n] = 0.8 * std::sin(0.017 * n) - 0.3 * std::sin(0.29 * n);
    }
    // Blocks of 7 frames: one group of four, then three frames one by one. Positions walk
    // through all seven places, on the left, the right or both.
    int k = 0;
    for (int n = 700; n < kFrames - 100; n += 37, ++k) {
        const double x = hostile[k % 10];
        if (k % 3 != 1) left[n] = x;
        if (k % 3 != 0) right[n] = -x;
    }

    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "double" : "float");
        LimiterEngine raw, clean;
        everyStage(raw);
        everyStage(clean);
        std::vector<float> rawL(kFrames), rawR(kFrames), cleanL(kFrames), cleanR(kFrames);
        for (int n = 0; n < kFrames; ++n) {
            rawL[n] = static_cast<float>(left[n]);
            rawR[n] = static_cast<float>(right[n]);
            cleanL[n] = wide ? cleanSample(left[n]) : cleanSample(rawL[n]);
            cleanR[n] = wide ? cleanSample(right[n]) : cleanSample(rawR[n]);
        }
        const std::vector<float> expected = process(clean, cleanL, cleanR, 128);
        const std::vector<float> got =
            wide ? process(raw, left, right, 7) : process(raw, rawL, rawR, 7);
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_TRUE(std::isfinite(got[i])) << i / 2;
            ASSERT_EQ(got[i], expected[i]) << "frame " << i / 2 << (i % 2 ? " right" : " left");
        }
        expectSameMeters(raw, clean);
    }
}

}  // namespace
}  // namespace qx
