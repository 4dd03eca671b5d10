// MultibandEngine on its own: band layout, demodulation, gain computer, warmth, latency
// in and out of bypass, noise floor, meters, a factory program, and the block routine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "effects/quassel/multiband_engine.h"
#include "effects/quassel/quassel_tables.h"
#include "tests/quassel/test_signals.h"

namespace qx {
namespace {

using test::noise;
using test::sine;

constexpr int kLatency = MultibandEngine::kLatency;

struct Stereo {
    std::vector<float> left, right;
};

Stereo run(MultibandEngine& e, const std::vector<float>& left, const std::vector<float>& right,
           int block = 512) {
    Stereo out{std::vector<float>(left.size()), std::vector<float>(right.size())};
    for (size_t start = 0; start < left.size(); start += static_cast<size_t>(block)) {
        const int n = static_cast<int>(std::min<size_t>(block, left.size() - start));
        const float* in[2] = {left.data() + start, right.data() + start};
        float* o[2] = {out.left.data() + start, out.right.data() + start};
        e.processBlock(in, o, n);
    }
    return out;
}

// Every band at unity: no compression, no warmth, wet only, unity gains.
void setNeutral(MultibandEngine& e) {
    e.setPreGain(1.0f);
    e.setOutputTrim(1.0f);
    e.setDryWet(1.0f);
    for (int i = 0; i < 20; ++i) {
        e.setMakeup(i, 1.0f);
        e.setThreshold(i, 1.0f);
        e.setRatio(i, 1.0f);
        e.setWarmth(i, 0.0f);
    }
}

void loadProgram(MultibandEngine& e, int program) {
    const float* row = kQuasselDescription.factory.row(program);
    for (int i = 0; i < kQuasselNumParams; ++i) applyQuasselParameter(e, i, row[i]);
}

TEST(MultibandEngine, BandLayoutOfTheWorkedExamples) {
    MultibandEngine e;  // constructed with 20 bands of order 5 at 44.1 kHz
    const int centres20[] = {55, 123, 207}, delays20[] = {358, 289, 233};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(e.bank().centreHz(i), centres20[i]) << i;
        EXPECT_EQ(e.bank().bandDelay(i), delays20[i]) << i;
    }

    e.setBandCount(14);
    e.setFilterOrder(4);
    const int centres14[] = {70,   177,  322,  519,  786,  1148,  1639,
                             2306, 3211, 4440, 6106, 8368, 11437, 15602};
    const int delays14[] = {202, 149, 110, 81, 60, 44, 32, 24, 18, 13, 10, 7, 5, 4};
    const float bound = 3.0f * 44100.0f / 1024.0f;  // about 129.2 rad/s
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(e.bank().centreHz(i), centres14[i]) << i;
        EXPECT_EQ(e.bank().bandDelay(i), delays14[i]) << i;
        EXPECT_GT(e.bank().stageCutoff(i), bound) << i;
        if (i > 0) {
            EXPECT_EQ(e.bank().lowEdgeHz(i), e.bank().highEdgeHz(i - 1)) << i;
        }
        // Below 700 Hz the detector weight follows the centre, at least 0.2.
        const float c = static_cast<float>(centres14[i]);
        EXPECT_FLOAT_EQ(e.bank().detectorWeight(i),
                        c < 700.0f ? std::fmax(0.2f, c / 700.0f) : 1.0f);
    }
    EXPECT_FLOAT_EQ(e.bank().lowEdgeHz(0), 25.0f);
    EXPECT_NEAR(e.bank().highEdgeHz(0), 115.6f, 0.05f);
    EXPECT_NEAR(e.bank().stageCutoff(0), 654.5f, 0.1f);
    EXPECT_NEAR(e.bank().pole(0), 0.98527f, 1e-5f);
    EXPECT_FLOAT_EQ(e.bank().highEdgeHz(13), 18000.0f);

    e.setBandCount(1);
    EXPECT_EQ(e.bank().centreHz(0), 9013);
    EXPECT_FLOAT_EQ(e.bank().lowEdgeHz(0), 25.0f);
    EXPECT_FLOAT_EQ(e.bank().highEdgeHz(0), 18000.0f);
    EXPECT_FLOAT_EQ(e.bank().detectorWeight(0), 0.1f);

    // Out-of-range counts, orders and rates are held; 50 Hz runs as 100 Hz, where the
    // lower bound on the cutoff keeps every band delay within the analysis delay.
    e.setBandCount(0);
    EXPECT_EQ(e.bank().bandCount(), 1);
    e.setBandCount(99);
    e.setFilterOrder(9);
    EXPECT_EQ(e.bank().bandCount(), 20);
    EXPECT_EQ(e.bank().filterOrder(), 5);
    e.setSampleRate(50.0f);
    EXPECT_EQ(e.bank().sampleRate(), 100.0f);
    EXPECT_FLOAT_EQ(e.meterDecay(), std::exp(-1.0f / 100.0f));
    for (int i = 0; i < 20; ++i) EXPECT_LE(e.bank().bandDelay(i), kLatency) << i;
    e.setSampleRate(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(e.sampleRate(), 100.0f);
}

TEST(MultibandEngine, SteadySineAtABandCentreDemodulatesToPoint63A) {
    MultibandEngine e;
    setNeutral(e);
    e.setBandCount(14);
    e.setFilterOrder(4);
    const float a = 0.5f;
    for (int band : {2, 6, 11}) {
        // At the centre, then 4 Hz above it, where the baseband turns through every phase.
        for (double offsetHz : {0.0, 4.0}) {
            const std::vector<float> x = sine(16000, a, e.bank().centreHz(band) + offsetHz);
            float lowest = 1e9f, highest = 0.0f;
            for (size_t n = 0; n < x.size(); ++n) {
                const float* in[2] = {&x[n], &x[n]};
                float o0, o1;
                float* out[2] = {&o0, &o1};
                e.processBlock(in, out, 1);
                if (n < 4000) continue;  // settling
                const float re = e.bank().stageRe(band, 1, 3), im = e.bank().stageIm(band, 1, 3);
                const float magnitude = std::sqrt(re * re + im * im);
                ASSERT_NEAR(magnitude, 0.63f * a, 0.01f * 0.63f * a) << band << " " << n;
                const float ratio = e.bank().bandMag(band, 1) / magnitude;
                lowest = std::fmin(lowest, ratio);
                highest = std::fmax(highest, ratio);
            }
            // The max/min magnitude approximation spans 0.948 .. 1.026 over the phases.
            EXPECT_GE(lowest, 0.948f) << band;
            EXPECT_LE(highest, 1.0262f) << band;
            if (offsetHz > 0.0) {
                EXPECT_LT(lowest, 0.95f) << band;
                EXPECT_GT(highest, 1.024f) << band;
            }
        }
    }
}

TEST(MultibandEngine, GainComputerRatioOneAndThresholdZero) {
    const std::vector<float> x = sine(8000, 0.6f, 1000.0), y = sine(8000, 0.4f, 300.0);
    // Ratio 1: the target gain is the make-up at every level, so threshold 0 (inverse
    // 1e8, everything above it) sounds exactly like threshold 1.
    Stereo out[2];
    for (int t = 0; t < 2; ++t) {
        MultibandEngine e;
        setNeutral(e);
        for (int i = 0; i < 20; ++i) {
            e.setMakeup(i, 2.0f);
            e.setThreshold(i, t == 0 ? 0.0f : 1.0f);
        }
        EXPECT_EQ(e.bank().ratioExponent(3), 0.0f);
        out[t] = run(e, x, y);
        for (int i = 0; i < 20; ++i) EXPECT_NEAR(e.bandGains()[i], 2.0f, 1e-5f) << i;
    }
    EXPECT_EQ(out[0].left, out[1].left);
    EXPECT_EQ(out[0].right, out[1].right);

    // Threshold 0 with ratio 4: a steady level is pulled to v^(-3/4) times the make-up (the
    // gain trails the rippling max/min envelope by a little).
    MultibandEngine e;
    setNeutral(e);
    for (int i = 0; i < 20; ++i) {
        e.setThreshold(i, 0.0f);
        e.setRatio(i, 4.0f);
        e.setMakeup(i, 3.0f);
        e.setAttack(i, 0.01f);
        e.setRelease(i, 0.01f);
    }
    EXPECT_FLOAT_EQ(e.bank().inverseThreshold(0), 1e8f);
    run(e, x, y);
    for (int i = 0; i < 20; ++i) {
        const float v = e.bandLevels()[i] * 1e8f;
        ASSERT_GT(v, 1.0f) << i;
        EXPECT_NEAR(e.bandGains()[i], 3.0f * std::pow(v, -0.75f), 0.02f * e.bandGains()[i]) << i;
    }
}

TEST(MultibandEngine, LatencyIs1024InAndOutOfBypass) {
    std::vector<float> impulse(3 * kLatency, 0.0f);
    impulse[100] = 1.0f;
    for (bool bypass : {true, false}) {
        MultibandEngine e;
        loadProgram(e, 0);
        e.setBypass(bypass);
        const Stereo out = run(e, impulse, impulse);
        size_t peak = 0;
        for (size_t n = 0; n < out.left.size(); ++n)
            if (std::fabs(out.left[n]) > std::fabs(out.left[peak])) peak = n;
        EXPECT_EQ(peak, 100u + kLatency) << bypass;
        // Bypassed: the unscaled input plus the noise, nothing else.
        if (bypass) {
            EXPECT_NEAR(out.right[100 + kLatency], 1.0f, 1e-8f);
        }
    }

    // Switching either way: the first 1024 samples after the switch are silence (noise),
    // then the input follows, still 1024 samples late, with no older audio coming back.
    MultibandEngine e;
    loadProgram(e, 0);
    const std::vector<float> loud = noise(4 * kLatency, 7);
    run(e, loud, loud);
    for (bool bypass : {true, false}) {
        e.setBypass(bypass);
        std::vector<float> probe(2 * kLatency, 0.0f);
        probe[300] = 1.0f;
        const Stereo out = run(e, probe, probe, 97);
        // The earliest band answers the probe 1024 - 202 samples after it.
        for (int n = 0; n < 300 + kLatency - 202; ++n)
            ASSERT_LT(std::fabs(out.left[n]), 1e-7f) << bypass << " " << n;
        EXPECT_GT(std::fabs(out.left[300 + kLatency]), 0.3f) << bypass;
    }
}

TEST(MultibandEngine, SilenceGivesTheNoiseFloor) {
    const std::vector<float> silence(20000, 0.0f);
    for (bool bypass : {true, false}) {
        MultibandEngine e;
        loadProgram(e, 0);
        e.setBypass(bypass);
        const Stereo out = run(e, silence, silence);
        double power = 0.0;
        float peak = 0.0f;
        for (size_t n = 2 * kLatency; n < out.left.size(); ++n) {
            power += static_cast<double>(out.left[n]) * out.left[n];
            peak = std::fmax(peak, std::fabs(out.right[n]));
        }
        const double rmsDb = 10.0 * std::log10(power / (out.left.size() - 2 * kLatency));
        // Near -160 dB: never digital silence, never audible.
        EXPECT_GT(rmsDb, -190.0) << bypass;
        EXPECT_LT(rmsDb, -160.0) << bypass;
        EXPECT_LE(peak, 1e-8f) << bypass;
    }
}

TEST(MultibandEngine, WarmthSwitchAndThreshold) {
    // A quiet programme, where the warmth stage gains up to five times at full warmth.
    const std::vector<float> x = noise(6000, 3, 0.002f), y = noise(6000, 4, 0.002f);
    auto render = [&](bool enabled, float warmth) {
        MultibandEngine e;
        setNeutral(e);
        e.setWarmthEnabled(enabled);
        for (int i = 0; i < 20; ++i) e.setWarmth(i, warmth);
        return run(e, x, y).left;
    };
    const std::vector<float> clean = render(true, 0.0f);
    EXPECT_EQ(render(false, 1.0f), clean);    // switch off: per-band warmth ignored
    EXPECT_EQ(render(true, 0.0001f), clean);  // at or below 0.0001: no effect
    const std::vector<float> warm = render(true, 1.0f);
    double cleanPower = 0.0, warmPower = 0.0;
    for (size_t n = 2 * kLatency; n < clean.size(); ++n) {
        cleanPower += static_cast<double>(clean[n]) * clean[n];
        warmPower += static_cast<double>(warm[n]) * warm[n];
    }
    EXPECT_NEAR(std::sqrt(warmPower / cleanPower), 5.0, 0.2);

    // Loud input: at full warmth a band carries only the saturated part, at most 0.1, so
    // ten bands stay within full scale.
    MultibandEngine e;
    setNeutral(e);
    e.setBandCount(10);
    for (int i = 0; i < 20; ++i) e.setWarmth(i, 1.0f);
    const std::vector<float> loud = noise(4000, 5, 1.0f);
    const Stereo out = run(e, loud, loud);
    for (size_t n = 0; n < out.left.size(); ++n) ASSERT_LE(std::fabs(out.left[n]), 1.0f + 1e-6f);
}

TEST(MultibandEngine, HeldPeakLastsTenSecondsAndResets) {
    MultibandEngine e;
    e.setSampleRate(100.0f);  // ten seconds are 1000 samples
    e.setBypass(true);
    // A peak of `height` leaving the 1024-sample delay at the last frame.
    auto peakThrough = [&](float height) {
        std::vector<float> x(kLatency + 1, 0.0f);
        x[0] = height;
        run(e, x, x);
    };
    const std::vector<float> one(1, 0.0f), silence(1000, 0.0f);
    peakThrough(0.5f);
    const float held = e.meterHold(0);
    EXPECT_NEAR(held, 0.5f, 1e-7f);
    EXPECT_NEAR(e.meterHoldDb(0), 20.0f * std::log10(held), 1e-4f);
    run(e, silence, silence);
    EXPECT_EQ(e.meterHold(0), held);  // still held after 1000 samples
    EXPECT_LT(e.meterLevel(0), 0.5f * std::exp(-9.0f));
    run(e, one, one);
    EXPECT_EQ(e.meterHold(0), e.meterLevel(0));  // then it drops to the meter

    peakThrough(0.8f);
    e.resetHold();
    run(e, one, one);
    EXPECT_EQ(e.meterHold(1), e.meterLevel(1));  // at the next sample
    EXPECT_LT(e.meterHold(1), 0.8f);

    e.reset();
    EXPECT_EQ(e.meterLevel(0), 1e-8f);
    EXPECT_EQ(e.meterHold(1), 1e-8f);
    EXPECT_EQ(e.outputFrame(0), 0.0f);
    EXPECT_EQ(e.meterLevel(2), 1e-8f);
    EXPECT_EQ(e.meterHold(-1), 1e-8f);
    EXPECT_EQ(e.meterHoldDb(2), -160.0f);
}

TEST(MultibandEngine, PhoneCallProgramPassesOnlyBands05To09) {
    MultibandEngine e;
    loadProgram(e, 10);  // "FX: phone call"
    ASSERT_EQ(e.bank().bandCount(), 14);
    const std::vector<float> x = noise(8000, 9), y = noise(8000, 10);
    double energy[14] = {};
    for (int start = 0; start < 8000; start += 50) {
        run(e, {x.begin() + start, x.begin() + start + 50},
            {y.begin() + start, y.begin() + start + 50});
        if (start < 4000) continue;
        for (int b = 0; b < 14; ++b)
            for (int ch = 0; ch < 2; ++ch) energy[b] += std::pow(e.bank().bandOut(b, ch), 2.0);
    }
    for (int b = 0; b < 14; ++b) {
        if (b >= 4 && b <= 8)
            EXPECT_GT(energy[b], 1e-3) << "band " << b + 1;
        else
            EXPECT_LT(energy[b], 1e-60) << "band " << b + 1;
    }
}

// The block routine: any split of a block, double against float, non-finite bursts,
// empty blocks, in place, and the accumulating variant.
TEST(MultibandEngine, BlockRoutine) {
    const std::vector<float> x = noise(9000, 11, 0.8f), y = noise(9000, 12, 0.8f);
    auto fresh = [](MultibandEngine& e) {
        loadProgram(e, 4);  // "Mix: carefull, hot!": compression, warmth, dry mixed in
    };
    MultibandEngine whole;
    fresh(whole);
    const Stereo reference = run(whole, x, y, 4096);
    for (int block : {1, 7, 64}) {
        MultibandEngine e;
        fresh(e);
        const Stereo out = run(e, x, y, block);
        EXPECT_EQ(out.left, reference.left) << block;
        EXPECT_EQ(out.right, reference.right) << block;
    }

    // Double buffers: the float result of the input rounded to float.
    MultibandEngine d;
    fresh(d);
    std::vector<double> dl(x.size()), dr(y.size()), ol(x.size()), orr(y.size());
    for (size_t n = 0; n < x.size(); ++n) {
        dl[n] = static_cast<double>(x[n]) + 1e-12;  // lost in the rounding
        dr[n] = y[n];
    }
    const double* din[2] = {dl.data(), dr.data()};
    double* dout[2] = {ol.data(), orr.data()};
    d.processBlock(din, dout, static_cast<int>(x.size()));
    for (size_t n = 0; n < x.size(); ++n) {
        ASSERT_EQ(ol[n], static_cast<double>(reference.left[n])) << n;
        ASSERT_EQ(orr[n], static_cast<double>(reference.right[n])) << n;
    }

    // Empty blocks touch neither the outputs nor the state; in place equals out of place.
    MultibandEngine p;
    fresh(p);
    std::vector<float> l = x, r = y;
    float* io[2] = {l.data(), r.data()};
    const float* ii[2] = {l.data(), r.data()};
    p.processBlock(ii, io, 0);
    EXPECT_EQ(l, x);
    p.processBlock(ii, io, static_cast<int>(l.size()));
    EXPECT_EQ(l, reference.left);
    EXPECT_EQ(r, reference.right);

    // Adding: the result lands on top of what the outputs hold.
    MultibandEngine a;
    fresh(a);
    std::vector<float> sumL(x.size(), 0.25f), sumR(y.size(), -0.25f);
    const float* ai[2] = {x.data(), y.data()};
    float* ao[2] = {sumL.data(), sumR.data()};
    a.processBlockAdding(ai, ao, static_cast<int>(x.size()));
    for (size_t n = 0; n < x.size(); ++n) {
        ASSERT_EQ(sumL[n], 0.25f + reference.left[n]) << n;
        ASSERT_EQ(sumR[n], -0.25f + reference.right[n]) << n;
    }

    // A burst of NaN and infinities is taken as silence: the output stays finite.
    MultibandEngine b;
    fresh(b);
    std::vector<float> bad = x;
    const float inf = std::numeric_limits<float>::infinity();
    for (int n = 2000; n < 2100; ++n)
        bad[n] = n % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : (n % 3 == 1 ? inf : -inf);
    const Stereo out = run(b, bad, bad, 333);
    for (size_t n = 0; n < out.left.size(); ++n) {
        ASSERT_TRUE(std::isfinite(out.left[n])) << n;
        ASSERT_TRUE(std::isfinite(out.right[n])) << n;
    }
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(std::isfinite(b.bandGains()[i])) << i;
}

}  // namespace
}  // namespace qx
