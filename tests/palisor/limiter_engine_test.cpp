// LimiterEngine on its own: latency, look-ahead, the gain stages, soft clipper,
// correlation guard, requantisation and meters.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/palisor/limiter_engine.h"

namespace qx {
namespace {

constexpr int kLatency = LimiterEngine::kDelayLength;
constexpr double kPi = 3.14159265358979323846;

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

// Runs the frames through the engine; `each` sees the engine after every frame.
template <class Each>
Stereo run(LimiterEngine& e, const std::vector<float>& left, const std::vector<float>& right,
           Each&& each) {
    Stereo out;
    for (size_t n = 0; n < left.size(); ++n) {
        e.processSample(left[n], right[n]);
        out.left.push_back(e.outputLeft());
        out.right.push_back(e.outputRight());
        each(n);
    }
    return out;
}

Stereo run(LimiterEngine& e, const std::vector<float>& left, const std::vector<float>& right) {
    return run(e, left, right, [](size_t) {});
}

std::vector<float> randomSignal(int frames, float peak, unsigned seed) {
    std::srand(seed);
    std::vector<float> x(frames);
    for (float& v : x) v = peak * (2.0f * static_cast<float>(std::rand()) / RAND_MAX - 1.0f);
    return x;
}

TEST(LimiterEngine, LookaheadAndNormalisationAtEveryRate) {
    const struct {
        float rate;
        int lookahead;
    } table[] = {{5000, 13},   {22050, 57},  {32000, 83},   {44100, 114}, {48000, 124},
                 {88200, 228}, {96000, 248}, {176400, 456}, {192000, 496}};
    LimiterEngine e;
    for (const auto& row : table) {
        e.updateSampleRate(row.rate);
        EXPECT_EQ(e.lookahead(), row.lookahead) << row.rate;
        EXPECT_NEAR(e.peakNorm(), 1.6752934f, 1e-6f) << row.rate;
    }
    e.updateSampleRate(100.0f);
    EXPECT_EQ(e.sampleRateHz(), 5000.0f);
    EXPECT_EQ(e.lookahead(), 13);
}

// Bypassed, and processing with neutral settings, the output is the input 512 samples
// later; below full scale the peak limiter never acts.
TEST(LimiterEngine, BypassAndNeutralSettingsDelayByExactly512) {
    const std::vector<float> left = randomSignal(3000, 0.99f, 1);
    const std::vector<float> right = randomSignal(3000, 0.99f, 2);
    for (bool bypass : {true, false}) {
        LimiterEngine e;
        setNeutral(e);
        e.setBypassed(bypass);
        bool gainsStayedAtOne = true;
        const Stereo out = run(e, left, right, [&](size_t) {
            gainsStayedAtOne &=
                e.peakGain(0) == 1.0f && e.peakGain(1) == 1.0f && e.rmsGain() == 1.0f;
        });
        EXPECT_TRUE(gainsStayedAtOne) << bypass;
        for (int n = 0; n < kLatency; ++n) {
            ASSERT_EQ(out.left[n], 0.0f) << n;
            ASSERT_EQ(out.right[n], 0.0f) << n;
        }
        for (size_t n = kLatency; n < left.size(); ++n) {
            // The anti-denormal offset plus the rounding of the width stage, which works
            // on sum and difference of both channels.
            const float larger =
                std::fmax(std::fabs(left[n - kLatency]), std::fabs(right[n - kLatency]));
            const float tol = 2e-8f + 2.4e-7f * larger;
            ASSERT_NEAR(out.left[n], left[n - kLatency], tol) << bypass << " " << n;
            ASSERT_NEAR(out.right[n], right[n - kLatency], tol) << bypass << " " << n;
        }
    }
}

TEST(LimiterEngine, SustainedOverSettlesBelowFullScale) {
    LimiterEngine e;
    setNeutral(e);
    const std::vector<float> two(44100, 2.0f);
    const Stereo out = run(e, two, two);
    for (float y : out.left) ASSERT_LE(std::fabs(y), 1.0f);
    // The excess tracker alternates between the full excess (1.0) and one release step
    // below it, so the envelope settles between peakNorm * c and peakNorm.
    const float c = std::exp(-1.0f / (LimiterEngine::kPeakReleaseSeconds * 44100.0f));
    const float lowest = 2.0f / (1.0f + e.peakNorm());
    const float highest = 2.0f / (1.0f + e.peakNorm() * c);
    EXPECT_GE(out.left.back(), lowest);
    EXPECT_LE(out.left.back(), highest);
    EXPECT_NEAR(out.left.back(), 0.748f, 0.0015f);
    EXPECT_EQ(out.left.back(), out.right.back());
}

TEST(LimiterEngine, ShortSpikeIsLeftToTheHardClipUnlessInterSamplePeaksAreDetected) {
    std::vector<float> x(2000, 0.0f);
    x[600] = 1.5f;
    for (bool isp : {false, true}) {
        LimiterEngine e;
        setNeutral(e);
        e.setInterSamplePeak(isp);
        float lowestGain = 1.0f;
        const Stereo out =
            run(e, x, x, [&](size_t) { lowestGain = std::fmin(lowestGain, e.peakGain(0)); });
        if (isp) {
            EXPECT_LT(lowestGain, 0.8f);
            EXPECT_LT(out.left[600 + kLatency], 1.0f);
        } else {
            EXPECT_EQ(lowestGain, 1.0f);
            EXPECT_EQ(out.left[600 + kLatency], 1.0f);
        }
    }
}

// An over that lasts, limited ahead of time, comes out at about full scale.
TEST(LimiterEngine, LookAheadCatchesAnIsolatedOver) {
    LimiterEngine e;
    setNeutral(e);
    std::vector<float> x(3000, 0.1f);
    for (int n = 1000; n < 1040; ++n) x[n] = 1.8f;
    const Stereo out = run(e, x, x);
    float peak = 0.0f;
    for (float y : out.left) peak = std::fmax(peak, y);
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.9f);
    // The first over sample is already reduced when it leaves the delay.
    EXPECT_LT(out.left[1000 + kLatency], 1.0f);
}

TEST(LimiterEngine, SoftClipperCurveAndGainReading) {
    LimiterEngine e;
    setNeutral(e);
    e.setSoftclipThreshold(0.0f);
    e.setSoftclipAmount(1.0f);
    // Left carries x, right -x: the width stage leaves both as they are.
    const std::vector<float> in = {0.25f, 0.5f, 1.0f, 1.5f, 1.99f, 2.0f, 3.0f, 8.0f};
    std::vector<float> left(kLatency + 2 * in.size(), 0.0f), right = left;
    for (size_t i = 0; i < in.size(); ++i) {
        left[2 * i] = in[i];  // zeros between keep the limiter out of it
        right[2 * i] = -in[i];
    }
    const Stereo out = run(e, left, right);
    for (size_t i = 0; i < in.size(); ++i) {
        const float x = in[i];
        const float expected = x < 2.0f ? x - x * x / 4.0f : 1.0f;
        EXPECT_NEAR(out.left[2 * i + kLatency], expected, 2e-6f) << x;
        EXPECT_NEAR(out.right[2 * i + kLatency], -expected, 2e-6f) << x;
    }
    // Largest input 8: the output/input ratio there, then a fresh start.
    EXPECT_NEAR(e.readSoftclipGain(0), 1.0f / 8.0f, 1e-6f);
    EXPECT_NEAR(e.readSoftclipGain(0), 1.0f, 1e-6f);

    // An amount of exactly 0.01 leaves the clipper off.
    e.setSoftclipAmount(0.01f);
    const std::vector<float> steady(kLatency + 10, 0.9f);
    const Stereo plain = run(e, steady, steady);
    EXPECT_NEAR(plain.left.back(), 0.9f, 1e-6f);
}

TEST(LimiterEngine, RmsStageHoldsAFullScaleSineAtItsThreshold) {
    LimiterEngine e;
    setNeutral(e);
    e.setRmsThreshold(-4.0f);
    e.setRmsAttack(0.1f);
    e.setRmsRelease(0.1f);
    std::vector<float> sine(44100);
    for (size_t n = 0; n < sine.size(); ++n)
        sine[n] = static_cast<float>(std::sin(2.0 * kPi * 1000.0 * n / 44100.0));
    const Stereo out = run(e, sine, sine);
    // Mean power 0.5 against the threshold power 10^-0.4.
    const float expected = std::sqrt(std::pow(10.0f, -0.4f) / 0.5f);
    EXPECT_NEAR(e.rmsGain(), expected, 0.01f);
    float peak = 0.0f;
    for (size_t n = out.left.size() - 441; n < out.left.size(); ++n)
        peak = std::fmax(peak, std::fabs(out.left[n]));
    EXPECT_NEAR(peak, e.rmsGain(), 0.01f);
}

TEST(LimiterEngine, WidthAndCorrelationGuard) {
    std::vector<float> left(20000), right(20000);
    for (size_t n = 0; n < left.size(); ++n) {
        left[n] = static_cast<float>(0.5 * std::sin(2.0 * kPi * 2000.0 * n / 44100.0));
        right[n] = static_cast<float>(0.2 * std::cos(2.0 * kPi * 300.0 * n / 44100.0));
    }
    const size_t last = left.size() - 1 - kLatency;
    {
        LimiterEngine e;
        setNeutral(e);
        e.setSideGain(0.0f);  // mono: both channels carry the mid signal
        const Stereo out = run(e, left, right);
        EXPECT_NEAR(out.left.back(), 0.5f * (left[last] + right[last]), 1e-6f);
        EXPECT_EQ(out.left.back(), out.right.back());
        e.setSideGain(1.0f);  // the side signal doubled
        const Stereo wide = run(e, left, right);
        const float mid = 0.5f * (left[last] + right[last]);
        EXPECT_NEAR(wide.left.back(), mid + (left[last] - right[last]), 1e-6f);
    }
    // Anti-phase input has correlation -1; a threshold of 0 pulls it to mono, which
    // for anti-phase is silence. At -0.95 the guard is off.
    std::vector<float> inverted(left.size());
    for (size_t n = 0; n < left.size(); ++n) inverted[n] = -left[n];
    for (float threshold : {0.0f, -0.95f}) {
        LimiterEngine e;
        setNeutral(e);
        e.setXcorrThreshold(threshold);
        const Stereo out = run(e, left, inverted);
        float peak = 0.0f;
        for (size_t n = out.left.size() - 100; n < out.left.size(); ++n)
            peak = std::fmax(peak, std::fabs(out.left[n]));
        if (threshold == 0.0f) {
            EXPECT_LT(peak, 0.05f);
            EXPECT_EQ(e.correlation(), 0.0f);
            EXPECT_NEAR(e.correlationCorrection(), 1.0f, 0.01f);
        } else {
            EXPECT_NEAR(peak, 0.5f, 0.01f);
            // The reading never shows less than the threshold; the correction the rest.
            EXPECT_EQ(e.correlation(), -0.95f);
            EXPECT_NEAR(e.correlationCorrection(), 0.05f, 0.01f);
        }
    }
}

// Word length 16 puts every output on the 2^-15 grid at each shaping regime; plain
// dither (below 32 kHz) turns silence into the codes -1, 0 and +1 only.
TEST(LimiterEngine, SixteenBitOutputAtEachShapingRegime) {
    std::vector<float> sine(4000);
    for (size_t n = 0; n < sine.size(); ++n)
        sine[n] = static_cast<float>(0.3 * std::sin(0.05 * static_cast<double>(n)));
    const std::vector<float> silence(4000, 0.0f);
    for (float rate : {22050.0f, 44100.0f, 192000.0f}) {
        LimiterEngine e;
        e.updateSampleRate(rate);
        setNeutral(e);
        e.setWordLength(16);
        EXPECT_EQ(e.quantizer(0).wordLength(), 16);
        for (const std::vector<float>* signal :
             {static_cast<const std::vector<float>*>(&sine), &silence}) {
            const Stereo out = run(e, *signal, *signal);
            for (size_t n = 0; n < out.left.size(); ++n) {
                const float code = out.left[n] * 32768.0f;
                ASSERT_EQ(code, std::round(code)) << rate;
                // Once the sine has left the delay.
                if (signal == &silence && rate < 32000.0f && n >= kLatency) {
                    ASSERT_LE(std::fabs(code), 1.0f) << rate;
                }
            }
        }
    }
}

TEST(LimiterEngine, PeakHoldLastsTenSecondsAndResets) {
    LimiterEngine e;
    e.updateSampleRate(5000.0f);  // 10 s = 50000 samples
    setNeutral(e);
    const int hold = 50000;
    std::vector<float> x(kLatency + hold + 200, 0.2f);
    for (int n = 0; n < 100; ++n) x[n] = 0.8f;
    std::vector<float> holds;
    run(e, x, x, [&](size_t) { holds.push_back(e.peakHold(0)); });
    // The first 0.8 leaves the delay at sample 512 and is held for 10 s.
    EXPECT_NEAR(holds[kLatency], 0.8f, 1e-6f);
    EXPECT_NEAR(holds[kLatency + hold], 0.8f, 1e-6f);
    EXPECT_NEAR(holds[kLatency + hold + 2], 0.2f, 1e-6f);
    EXPECT_NEAR(e.peakHoldDb(0), 20.0f * std::log10(0.2f), 1e-4f);

    // A new maximum, held while the level falls; the reset drops it to the present
    // level within two samples.
    std::vector<float> y(1200, 0.9f);
    for (size_t n = 600; n < y.size(); ++n) y[n] = 0.3f;
    run(e, y, y);
    EXPECT_NEAR(e.peakHold(1), 0.9f, 1e-6f);
    e.resetPeakHold();
    const std::vector<float> quiet(2, 0.3f);
    run(e, quiet, quiet);
    EXPECT_NEAR(e.peakHold(0), 0.3f, 1e-6f);
    EXPECT_NEAR(e.peakHold(1), 0.3f, 1e-6f);
}

}  // namespace
}  // namespace qx
