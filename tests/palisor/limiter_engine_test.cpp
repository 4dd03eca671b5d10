// LimiterEngine on its own: latency, look-ahead, gain stages, soft clipper, correlation
// guard, requantisation and peak hold.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include "effects/palisor/limiter_engine.h"

namespace qx {
namespace {

constexpr int kLatency = LimiterEngine::kDelayLength;

// Drive 1, image unchanged, guard and clipper off, RMS threshold far above the signal,
// trim 0 dB, no requantisation.
void setNeutral(LimiterEngine& e) {
    e.setDrive(1.0f);
    e.setSideGain(0.5f);
    e.setXcorrThreshold(-1.0f);
    e.setSoftclipAmount(0.0f);
    e.setRmsThreshold(20.0f);
    e.setOutputGain(1.0f);
    e.setWordLength(64);
}

struct Stereo {
    std::vector<float> left, right;
};

// `each` sees the engine after every frame.
Stereo run(
    LimiterEngine& e, const std::vector<float>& left, const std::vector<float>& right,
    const std::function<void()>& each = [] {}) {
    Stereo out;
    for (size_t n = 0; n < left.size(); ++n) {
        e.processSample(left[n], right[n]);
        out.left.push_back(e.outputLeft());
        out.right.push_back(e.outputRight());
        each();
    }
    return out;
}

std::vector<float> sine(int frames, float amplitude, double radiansPerSample) {
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = amplitude * static_cast<float>(std::sin(radiansPerSample * n));
    return x;
}

TEST(LimiterEngine, LookaheadAtEveryRate) {
    const int table[][2] = {{5000, 13},   {22050, 57},  {32000, 83},   {44100, 114},  {48000, 124},
                            {88200, 228}, {96000, 248}, {176400, 456}, {192000, 496}, {100, 13}};
    LimiterEngine e;
    for (const auto& row : table) {
        e.updateSampleRate(static_cast<float>(row[0]));
        EXPECT_EQ(e.lookahead(), row[1]) << row[0];
        EXPECT_NEAR(e.peakNorm(), 1.6752934f, 1e-6f) << row[0];
    }
}

// Bypassed, and with neutral settings below full scale, the output is the input 512
// samples later and the peak limiter never acts.
TEST(LimiterEngine, BypassAndNeutralSettingsDelayByExactly512) {
    std::srand(1);
    std::vector<float> left(3000), right(3000);
    for (size_t n = 0; n < left.size(); ++n) {
        left[n] = 1.98f * std::rand() / RAND_MAX - 0.99f;
        right[n] = 1.98f * std::rand() / RAND_MAX - 0.99f;
    }
    for (bool bypass : {true, false}) {
        LimiterEngine e;
        setNeutral(e);
        e.setBypassed(bypass);
        bool unity = true;
        const Stereo out = run(e, left, right, [&] {
            unity &= e.peakGain(0) == 1.0f && e.peakGain(1) == 1.0f && e.rmsGain() == 1.0f;
        });
        EXPECT_TRUE(unity);
        for (size_t n = 0; n < left.size(); ++n) {
            const float l = n < kLatency ? 0.0f : left[n - kLatency];
            const float r = n < kLatency ? 0.0f : right[n - kLatency];
            // The anti-denormal offset plus the rounding of the sum/difference width stage.
            const float tol = 2e-8f + 2.4e-7f * std::fmax(std::fabs(l), std::fabs(r));
            ASSERT_NEAR(out.left[n], l, tol) << bypass << " " << n;
            ASSERT_NEAR(out.right[n], r, tol) << bypass << " " << n;
        }
    }
}

TEST(LimiterEngine, SustainedOverSettlesBelowFullScale) {
    LimiterEngine e;
    setNeutral(e);
    const std::vector<float> two(44100, 2.0f);
    const Stereo out = run(e, two, two);
    for (float y : out.left) ASSERT_LE(std::fabs(y), 1.0f);
    // The excess tracker alternates between the full excess of 1.0 and one release step
    // below it, so the envelope settles between peakNorm * c and peakNorm.
    const float c = std::exp(-1.0f / (LimiterEngine::kPeakReleaseSeconds * 44100.0f));
    EXPECT_GE(out.left.back(), 2.0f / (1.0f + e.peakNorm()));
    EXPECT_LE(out.left.back(), 2.0f / (1.0f + e.peakNorm() * c));
    EXPECT_NEAR(out.left.back(), 0.748f, 0.0015f);
    EXPECT_EQ(out.left.back(), out.right.back());
}

TEST(LimiterEngine, SingleSampleSpikeMovesTheGainOnlyWithInterSamplePeakDetection) {
    std::vector<float> x(2000, 0.0f);
    x[600] = 1.5f;
    for (bool isp : {false, true}) {
        LimiterEngine e;
        setNeutral(e);
        e.setInterSamplePeak(isp);
        float lowest = 1.0f;
        const Stereo out = run(e, x, x, [&] { lowest = std::fmin(lowest, e.peakGain(0)); });
        EXPECT_EQ(lowest == 1.0f, !isp);
        // Without detection the hard clip catches it at exactly full scale.
        EXPECT_EQ(out.left[600 + kLatency] == 1.0f, !isp);
        EXPECT_LE(out.left[600 + kLatency], 1.0f);
    }
}

TEST(LimiterEngine, SoftClipperAtItsCeiling) {
    LimiterEngine e;
    setNeutral(e);
    e.setSoftclipThreshold(0.0f);
    e.setSoftclipAmount(1.0f);
    // x on the left, -x on the right (the width stage leaves both), zeros between.
    const float in[] = {0.25f, 1.0f, 1.5f, 2.0f, 3.0f, 8.0f};
    std::vector<float> left(kLatency + 12, 0.0f), right = left;
    for (int i = 0; i < 6; ++i) left[2 * i] = in[i], right[2 * i] = -in[i];
    const Stereo out = run(e, left, right);
    for (int i = 0; i < 6; ++i) {
        const float expected = in[i] < 2.0f ? in[i] - in[i] * in[i] / 4.0f : 1.0f;
        EXPECT_NEAR(out.left[2 * i + kLatency], expected, 2e-6f) << in[i];
        EXPECT_NEAR(out.right[2 * i + kLatency], -expected, 2e-6f) << in[i];
    }
    // The reading is the output/input ratio at the largest input, then starts afresh.
    EXPECT_NEAR(e.readSoftclipGain(0), 1.0f / 8.0f, 1e-6f);
    EXPECT_NEAR(e.readSoftclipGain(0), 1.0f, 1e-6f);
}

TEST(LimiterEngine, RmsStageHoldsAFullScaleSineAtItsThreshold) {
    LimiterEngine e;
    setNeutral(e);
    e.setRmsThreshold(-4.0f);
    e.setRmsAttack(0.1f);
    e.setRmsRelease(0.1f);
    const std::vector<float> x = sine(44100, 1.0f, 2.0 * M_PI * 1000.0 / 44100.0);
    const Stereo out = run(e, x, x);
    // Mean power 0.5 against the threshold power 10^-0.4.
    EXPECT_NEAR(e.rmsGain(), std::sqrt(std::pow(10.0f, -0.4f) / 0.5f), 0.01f);
    float peak = 0.0f;
    for (size_t n = out.left.size() - 441; n < out.left.size(); ++n)
        peak = std::fmax(peak, std::fabs(out.left[n]));
    EXPECT_NEAR(peak, e.rmsGain(), 0.01f);
}

// Anti-phase input (correlation -1) against a threshold of 0 is pulled to mono, which
// for anti-phase is silence; at -0.95 the guard is off and the reading shows the floor.
TEST(LimiterEngine, CorrelationGuard) {
    const std::vector<float> left = sine(20000, 0.5f, 0.285);
    std::vector<float> right(left.size());
    for (size_t n = 0; n < left.size(); ++n) right[n] = -left[n];
    for (float threshold : {0.0f, -0.95f}) {
        LimiterEngine e;
        setNeutral(e);
        e.setXcorrThreshold(threshold);
        const Stereo out = run(e, left, right);
        float peak = 0.0f;
        for (size_t n = out.left.size() - 100; n < out.left.size(); ++n)
            peak = std::fmax(peak, std::fabs(out.left[n]));
        EXPECT_NEAR(peak, threshold == 0.0f ? 0.0f : 0.5f, 0.03f) << threshold;
        EXPECT_EQ(e.correlation(), threshold);
        EXPECT_NEAR(e.correlationCorrection(), threshold + 1.0f, 0.01f);
    }
}

// Every output on the 2^-15 grid at each shaping regime; plain dither (below 32 kHz)
// turns silence into the codes -1, 0 and +1 only.
TEST(LimiterEngine, SixteenBitOutputAtEachShapingRegime) {
    const std::vector<float> x = sine(4000, 0.3f, 0.05);
    const std::vector<float> silence(4000, 0.0f);
    for (float rate : {22050.0f, 44100.0f, 192000.0f}) {
        LimiterEngine e;
        e.updateSampleRate(rate);
        setNeutral(e);
        e.setWordLength(16);
        const Stereo music = run(e, x, x);
        const Stereo quiet = run(e, silence, silence);
        for (size_t n = 0; n < x.size(); ++n) {
            const float a = music.left[n] * 32768.0f, b = quiet.left[n] * 32768.0f;
            ASSERT_EQ(a, std::round(a)) << rate;
            ASSERT_EQ(b, std::round(b)) << rate;
            if (rate < 32000.0f && n >= kLatency) {
                ASSERT_LE(std::fabs(b), 1.0f);
            }
        }
    }
}

TEST(LimiterEngine, PeakHoldLastsTenSecondsAndResets) {
    LimiterEngine e;
    e.updateSampleRate(5000.0f);  // 10 s = 50000 samples
    setNeutral(e);
    const int hold = 50000;
    std::vector<float> x(kLatency + hold + 10, 0.2f);
    std::fill_n(x.begin(), 100, 0.8f);
    std::vector<float> holds;
    run(e, x, x, [&] { holds.push_back(e.peakHold(0)); });
    // The first 0.8 leaves the delay at sample 512 and is held for 10 s.
    EXPECT_NEAR(holds[kLatency], 0.8f, 1e-6f);
    EXPECT_NEAR(holds[kLatency + hold], 0.8f, 1e-6f);
    EXPECT_NEAR(holds[kLatency + hold + 2], 0.2f, 1e-6f);
    EXPECT_NEAR(e.peakHoldDb(0), 20.0f * std::log10(0.2f), 1e-4f);

    // A new maximum, held while the level falls; the reset drops it within two samples.
    std::vector<float> y(1202, 0.9f);
    std::fill(y.begin() + 600, y.end(), 0.3f);
    run(e, y, y);
    EXPECT_NEAR(e.peakHold(1), 0.9f, 1e-6f);
    e.resetPeakHold();
    run(e, {0.3f, 0.3f}, {0.3f, 0.3f});
    EXPECT_NEAR(e.peakHold(0), 0.3f, 1e-6f);
    EXPECT_NEAR(e.peakHold(1), 0.3f, 1e-6f);
}

}  // namespace
}  // namespace qx
