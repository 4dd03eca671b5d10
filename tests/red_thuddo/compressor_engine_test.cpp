// CompressorEngine on its own: gain curve at steady levels, hold, listen, limiter and
// clipper, filter corners, side-chain routing of both builds, and the block routine's
// invariances.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "compressor_test_util.h"
#include "effects/red_thuddo/red_thuddo_binding.h"

namespace qx::test {
namespace {

constexpr float kFs = 44100.0f;

// A quadrature pair (sine left, cosine right) has a constant mean square after identical
// filters, so the detector settles without ripple: `powerOverThreshold` is the power of
// the pair relative to the threshold power (1 puts r at 1).
Inputs quadraturePair(int frames, float thresholdDb, float powerOverThreshold) {
    const double power = std::pow(10.0, thresholdDb / 10.0) * powerOverThreshold - 1e-5;
    const float amplitude = static_cast<float>(std::sqrt(2.0 * power));
    Inputs in(frames);
    in.ch[0] = sine(frames, amplitude, 1000.0, 0.0);
    in.ch[1] = sine(frames, amplitude, 1000.0, M_PI / 2);
    return in;
}

// Hard knee unless asked; the widest side-chain band so the 1 kHz pair passes at full
// level; instant gain (release curve on) so steady levels settle within a second.
CompressorSettings steadySettings() {
    CompressorSettings s;
    s.thresholdDb = -20.0f;
    s.ratio1 = 4.0f;  // exponent1 = -0.375
    s.ratio2 = 0.5f;  // exponent2 = 0.5
    s.highPassHz = 10.0f;
    s.lowPassHz = 20000.0f;  // held to 0.45 fs
    s.attack = 0.005f;
    s.release = 0.01f;
    s.releaseCurve = true;
    s.maxGainDb = 100.0f;
    return s;
}

float settledGain(const CompressorSettings& s, float powerOverThreshold) {
    CompressorEngine e(2);
    configure(e, s);
    run(e, quadraturePair(44100, s.thresholdDb, powerOverThreshold));
    return e.gain();
}

TEST(CompressorEngine, RatiosOfOneLeaveOnlyPreGainPostGainAndMix) {
    // Noise bursts from -80 dB to 0 dB with silence between.
    Inputs in(6 * 4410);
    float amplitude = 1e-4f;
    for (int burst = 0; burst < 6; ++burst, amplitude *= 6.3f) {
        const auto l = noise(2205, amplitude, 10 + burst), r = noise(2205, amplitude, 20 + burst);
        std::copy(l.begin(), l.end(), in.ch[0].begin() + burst * 4410);
        std::copy(r.begin(), r.end(), in.ch[1].begin() + burst * 4410);
    }
    for (bool knee : {false, true}) {
        for (bool curve : {false, true}) {
            CompressorSettings s;
            s.thresholdDb = -40.0f;
            s.softKnee = knee;
            s.releaseCurve = curve;
            s.hysteresis = 1.0f;
            s.preGainDb = 6.0f;
            s.postGainDb = -3.0f;
            s.dryWet = 0.7f;
            CompressorEngine e;
            configure(e, s);
            bool unity = true;
            const Stereo out = run(e, in, 1, [&] { unity &= e.gain() == 1.0f; });
            EXPECT_TRUE(unity) << knee << curve;
            const float fixed = std::pow(10.0f, 3.0f / 20.0f);
            for (int n = 0; n < in.frames(); ++n) {
                ASSERT_NEAR(out.left[n], in.ch[0][n] * fixed,
                            1e-6f * std::fabs(in.ch[0][n]) + 3e-8f);
                ASSERT_NEAR(out.right[n], in.ch[1][n] * fixed,
                            1e-6f * std::fabs(in.ch[1][n]) + 3e-8f);
            }
        }
    }
}

TEST(CompressorEngine, SteadyLevelsAroundTheThreshold) {
    CompressorSettings s = steadySettings();
    // Hard knee: unity at the threshold, each ratio's slope 6 dB (power x4) away from it.
    EXPECT_NEAR(settledGain(s, 1.0f), 1.0f, 2e-5f);
    EXPECT_NEAR(settledGain(s, 4.0f), std::pow(4.0f, -0.375f), 2e-4f);
    EXPECT_NEAR(settledGain(s, 0.25f), 0.5f, 2e-4f);
    // Ratio 20, shown as infinite: 12 dB over the threshold comes out 0.6 dB over it.
    s.ratio1 = 20.0f;
    const float g = settledGain(s, 16.0f);
    EXPECT_NEAR(16.0f * g * g, std::pow(16.0f, 1.0f - 0.95f), 0.01f);

    // Soft knee at the threshold: 1 with equal exponents, 10^(0.15 (e1 - e2)) otherwise.
    s = steadySettings();
    s.softKnee = true;
    EXPECT_NEAR(settledGain(s, 1.0f), std::pow(10.0f, 0.15f * (-0.375f - 0.5f)), 1e-4f);
    s.ratio2 = 4.0f;
    EXPECT_NEAR(settledGain(s, 1.0f), 1.0f, 2e-5f);

    // "Max gain" 0 dB: no compression or expansion at all; 3 dB bounds the gain.
    s = steadySettings();
    s.maxGainDb = 0.0f;
    for (float level : {16.0f, 1.0f, 0.25f, 1e-3f}) EXPECT_EQ(settledGain(s, level), 1.0f);
    s.maxGainDb = 3.0f;
    EXPECT_NEAR(settledGain(s, 0.01f), std::pow(10.0f, -3.0f / 20.0f), 1e-6f);
    EXPECT_NEAR(settledGain(s, 100.0f), std::pow(10.0f, -3.0f / 20.0f), 1e-6f);
    s.ratio2 = 2.0f;  // above 1: quiet signals are raised
    EXPECT_NEAR(settledGain(s, 0.01f), std::pow(10.0f, 3.0f / 20.0f), 1e-5f);
}

TEST(CompressorEngine, HoldKeepsTheEnvelopeForTheHoldTime) {
    CompressorSettings s;
    s.thresholdDb = -30.0f;
    s.attack = 0.001f;
    s.release = 0.01f;
    s.hold = 0.5f;
    s.releaseCurve = true;
    CompressorEngine e;
    configure(e, s);
    ASSERT_EQ(e.holdSamples(), 22050);
    // A 0.2 s burst, then silence.
    constexpr int kFrames = 8820 + 30000;
    Inputs in(kFrames);
    in.ch[0] = noise(8820, 0.5f, 3);
    in.ch[1] = noise(8820, 0.5f, 4);
    in.ch[0].resize(kFrames, 0.0f);
    in.ch[1].resize(kFrames, 0.0f);
    std::vector<float> env;
    run(e, in, 1, [&] { env.push_back(e.envelope()); });
    int lastRise = 0;
    for (int n = 1; n < static_cast<int>(env.size()); ++n)
        if (env[n] > env[n - 1]) lastRise = n;
    ASSERT_GT(lastRise, 0);
    ASSERT_LT(lastRise, 16000);
    for (int k = 1; k <= 22050; ++k) ASSERT_EQ(env[lastRise + k], env[lastRise]) << k;
    EXPECT_LT(env[lastRise + 22051], env[lastRise]);
}

// Runs the band-limiting filters of the engine's design over one channel.
std::vector<float> bandLimited(const std::vector<float>& x, float fs, float highHz, float lowHz) {
    BiquadFilterLite low, high;
    low.design(fs, kBiquadLowpass, lowHz, 0.5f, 0.0f);
    high.design(fs, kBiquadHighpass, highHz, 0.5f, 0.0f);
    std::vector<float> y(x.size());
    for (size_t n = 0; n < x.size(); ++n) y[n] = high.processSample(low.processSample(x[n]));
    return y;
}

TEST(CompressorEngine, ListenOutputsTheBandLimitedKeyOnly) {
    constexpr int kFrames = 8000;
    Inputs in(kFrames);
    for (int j = 0; j < 4; ++j) in.ch[j] = noise(kFrames, 0.9f, 30 + j);
    struct Case {
        int inputs;
        bool mono, sidechain;
        int keyLeft, keyRight;  // inputs heard on outputs 0 and 1
    };
    const Case cases[] = {{4, false, false, 0, 1},
                          {4, false, true, 2, 3},
                          {4, true, false, 0, 0},
                          {2, false, true, 1, 1},
                          {2, false, false, 0, 1}};
    for (const Case& c : cases) {
        // Gain, limiter, mix and post gain all set to act, and none may be heard.
        CompressorSettings s;
        s.listen = true;
        s.mono = c.mono;
        s.sidechain = c.sidechain;
        s.thresholdDb = -40.0f;
        s.ratio1 = 20.0f;
        s.limiter = true;
        s.dryWet = 0.5f;
        s.postGainDb = 12.0f;
        s.highPassHz = 200.0f;
        s.lowPassHz = 2000.0f;
        CompressorEngine e(c.inputs);
        configure(e, s);
        const Stereo out = run(e, in, 64);
        EXPECT_LT(e.gain(), 0.1f);
        const auto left = bandLimited(in.ch[c.keyLeft], kFs, 200.0f, 2000.0f);
        const auto right = bandLimited(in.ch[c.keyRight], kFs, 200.0f, 2000.0f);
        for (int n = 0; n < kFrames; ++n) {
            // Beyond the rounding of the filters, which the anti-denormal offset stirs.
            ASSERT_NEAR(out.left[n], left[n], 1e-5f) << c.inputs << c.mono << c.sidechain << n;
            ASSERT_NEAR(out.right[n], right[n], 1e-5f) << c.inputs << c.mono << c.sidechain << n;
        }
    }
    // Band-limited: a 50 Hz tone below the 200 Hz corner comes out 24 dB down.
    CompressorEngine e;
    e.setListen(true);
    e.setHighPassHz(200.0f);
    Inputs hum(20000);
    hum.ch[0] = hum.ch[1] = sine(20000, 1.0f, 50.0);
    const Stereo out = run(e, hum);
    const float peak = *std::max_element(out.left.begin() + 10000, out.left.end());
    EXPECT_NEAR(peak, 1.0f / 16.0f, 0.005f);
}

TEST(CompressorEngine, LimiterAndSoftClipperOnASteadyTwo) {
    CompressorSettings s;
    s.limiter = true;
    s.attack = 0.01f;
    s.release = 0.1f;
    CompressorEngine e;
    configure(e, s);
    Inputs in(44100);
    in.ch[0].assign(44100, 2.0f);
    in.ch[1].assign(44100, -2.0f);
    float loudest = 0.0f;
    const Stereo out = run(e, in, 1, [&] {
        loudest = std::fmax(loudest, std::fmax(std::fabs(e.output(0)), std::fabs(e.output(1))));
    });
    EXPECT_LE(loudest, 1.0f);
    // The steady excess of 1 alternates with one release step below it, so the limiter
    // gain settles between 1 / (1 + 0.999999) and 1 / (c + 0.999999): about 1.0 enters
    // the clipper and about 0.95 comes out.
    const float c = std::exp(-1.0f / (0.1f * kFs));
    EXPECT_GE(e.limiterGainOf(0), 1.0f / 1.999999f);
    EXPECT_LE(e.limiterGainOf(0), 1.0f / (c + 0.999999f));
    EXPECT_NEAR(out.left.back(), 0.95f, 1e-4f);
    EXPECT_NEAR(out.right.back(), -0.95f, 1e-4f);
    // The gain meters include the limiter.
    EXPECT_EQ(e.gainMaxOf(0), 1.0f);
    EXPECT_NEAR(e.gainMinOf(1), 0.5f, 1e-4f);
    e.clearGainMeters();
    EXPECT_EQ(e.gainMaxOf(0), e.limiterGainOf(0));
    EXPECT_EQ(e.gainMaxOf(2), 0.0f);
    EXPECT_EQ(e.limiterGainOf(-1), 0.0f);

    // Off: the limiter gain returns to 1 and the steady 2.0 passes unclipped.
    e.setLimiter(false);
    EXPECT_EQ(e.limiterGainOf(0), 1.0f);
    const Stereo open = run(e, in);
    EXPECT_NEAR(open.left.back(), 2.0f, 1e-6f);
}

TEST(CompressorEngine, SideChainCornersStayBelowNyquist) {
    CompressorEngine e;
    e.setSampleRate(20000.0f);
    applyRedThuddoParameter(e, kRedThuddoHighPassFreq, 1.0f);
    EXPECT_EQ(e.highPassHz(), 9000.0f);
    e.setLowPassHz(20000.0f);
    EXPECT_EQ(e.lowPassHz(), 9000.0f);
    e.setHighPassHz(-5.0f);
    EXPECT_EQ(e.highPassHz(), CompressorEngine::kMinCornerHz);

    // A corner set at a high rate stays a valid design when the rate drops below it.
    CompressorEngine f;
    f.setLowPassHz(15000.0f);
    f.setListen(true);
    f.setSampleRate(22050.0f);
    Inputs in(22050);
    in.ch[0] = noise(22050, 1.0f, 5);
    in.ch[1] = noise(22050, 1.0f, 6);
    const Stereo out = run(f, in);
    for (float y : out.left) ASSERT_LT(std::fabs(y), 4.0f);
}

// Programme: a -43 dB sine below a -40 dB threshold, so only a key can lower the
// gain. Key: loud noise in the second half.
TEST(CompressorEngine, SideChainKeysTheGainAndNeverReachesTheOutput) {
    constexpr int kFrames = 22050, kHalf = kFrames / 2;
    CompressorSettings s;
    s.sidechain = true;
    s.thresholdDb = -40.0f;
    s.ratio1 = 20.0f;
    s.attack = 0.001f;
    s.release = 0.05f;
    s.releaseCurve = true;
    const auto programme = sine(kFrames, 0.01f, 440.0);
    auto key = noise(kFrames, 0.8f, 7);
    std::fill(key.begin(), key.begin() + kHalf, 0.0f);

    for (int inputs : {4, 2}) {
        Inputs in(kFrames), silentKey(kFrames), keyOnly(kFrames);
        in.ch[0] = silentKey.ch[0] = programme;
        if (inputs == 4) {
            in.ch[1] = silentKey.ch[1] = programme;
            in.ch[2] = in.ch[3] = keyOnly.ch[2] = keyOnly.ch[3] = key;
        } else {
            in.ch[1] = keyOnly.ch[1] = key;
        }
        CompressorEngine keyed(inputs), unkeyed(inputs), silent(inputs);
        for (CompressorEngine* e : {&keyed, &unkeyed, &silent}) configure(*e, s);
        const Stereo a = run(keyed, in), b = run(unkeyed, silentKey);
        float lowest = 1.0f;
        const Stereo c =
            run(silent, keyOnly, 1, [&] { lowest = std::fmin(lowest, silent.gain()); });
        EXPECT_LT(lowest, 0.05f) << inputs;
        for (int n = 0; n < kFrames; ++n) {
            // The programme alone on both outputs, and nothing of the key.
            ASSERT_LT(std::fabs(c.left[n]) + std::fabs(c.right[n]), 1e-6f) << inputs << n;
            // Left and right differ only by their anti-denormal offsets.
            ASSERT_NEAR(a.left[n], a.right[n], inputs == 2 ? 0.0f : 3e-8f) << inputs << n;
            if (n < kHalf) {
                ASSERT_EQ(a.left[n], b.left[n]) << inputs << n;
            }
        }
        // Ducked by the key in the second half, untouched without it.
        const float keyedPeak = *std::max_element(a.left.end() - 2000, a.left.end());
        const float freePeak = *std::max_element(b.left.end() - 2000, b.left.end());
        EXPECT_LT(keyedPeak, 0.05f * freePeak) << inputs;
        EXPECT_NEAR(freePeak, 0.01f, 1e-4f) << inputs;
    }

    // Side chain off: inputs 3-4 of the four-input build are ignored.
    s.sidechain = false;
    Inputs with(kFrames), without(kFrames);
    with.ch[0] = with.ch[1] = without.ch[0] = without.ch[1] = programme;
    with.ch[2] = with.ch[3] = key;
    CompressorEngine e1, e2;
    configure(e1, s);
    configure(e2, s);
    EXPECT_EQ(run(e1, with).left, run(e2, without).left);
}

// Setups that reach every path: each build, limiter, soft knee, hold, hysteresis, both
// release behaviours, mono and side chain.
const int kPrograms[] = {0, 1, 7, 15, 24, 32};

// Noise over a tone, each channel stepping through its own levels from -40 dB to +6 dB
// with silences between: every threshold is crossed, and the decays run long enough for
// the slow averages and the holds to matter.
Inputs dynamicSignal(int frames) {
    Inputs in(frames);
    const float levels[] = {0.01f, 1.0f, 0.0f, 0.3f, 2.0f, 0.0f, 0.05f};
    for (int j = 0; j < 4; ++j) {
        const auto hiss = noise(frames, 1.0f, 50 + j);
        const auto tone = sine(frames, 0.5f, 110.0 * (j + 1));
        for (int n = 0; n < frames; ++n)
            in.ch[j][n] = levels[(n / 1500 + 2 * j) % 7] * (hiss[n] + tone[n]);
    }
    return in;
}

TEST(CompressorEngine, BlockSizeAndPrecisionDoNotChangeTheResult) {
    const Inputs in = dynamicSignal(12000);
    for (int inputs : {4, 2}) {
        for (int program : kPrograms) {
            for (bool mono : {false, true}) {
                auto make = [&] {
                    auto e = std::make_unique<CompressorEngine>(inputs);
                    applyRedThuddoProgram(*e, program);
                    e->setMono(mono);
                    e->setHold(0.01f);
                    return e;
                };
                auto reference = make();
                const Stereo ref = run(*reference, in, 1);
                for (int block : {7, 64, 4096}) {
                    auto e = make();
                    const Stereo out = run(*e, in, block);
                    ASSERT_EQ(out.left, ref.left) << inputs << " " << program << " " << block;
                    ASSERT_EQ(out.right, ref.right) << inputs << " " << program << " " << block;
                    EXPECT_EQ(e->gainMinOf(0), reference->gainMinOf(0));
                    EXPECT_EQ(e->detectorDisplayLevel(), reference->detectorDisplayLevel());
                }
                // Double buffers: the same floats, widened.
                auto d = make();
                const Stereo wide = run<double>(*d, in, 64);
                ASSERT_EQ(wide.left, ref.left) << inputs << " " << program;
                ASSERT_EQ(wide.right, ref.right) << inputs << " " << program;
            }
        }
    }
}

// Every factory program of both builds, with pre gain pushed up and a burst of NaN,
// infinities and huge values on every input: finite output throughout, and the limiting
// programs never beyond full scale.
TEST(CompressorEngine, EveryProgramStaysFiniteThroughANonFiniteBurst) {
    Inputs in = dynamicSignal(6000);
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), 3e38f, -1e20f};
    for (int n = 2000; n < 2100; ++n)
        for (int j = 0; j < 4; ++j) in.ch[j][n] = bad[(n + j) % 5];
    for (int inputs : {4, 2}) {
        for (int program = 0; program < kRedThuddoNumPrograms; ++program) {
            CompressorEngine e(inputs);
            applyRedThuddoProgram(e, program);
            e.setPreGainDb(20.0f);
            const bool limited = e.limiterOn();
            const Stereo out = run(e, in);
            for (size_t n = 0; n < out.left.size(); ++n) {
                const float l = out.left[n], r = out.right[n];
                ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << program << " " << n;
                if (limited) {
                    ASSERT_LE(std::fmax(std::fabs(l), std::fabs(r)), 1.0f) << program << " " << n;
                }
            }
            EXPECT_TRUE(std::isfinite(e.detectorDisplayLevel()) && std::isfinite(e.envelope()));
            EXPECT_GT(e.gain(), 0.0f);
        }
    }
}

TEST(CompressorEngine, ZeroLengthBlocksTouchNothing) {
    const Inputs in = dynamicSignal(3000);
    CompressorEngine a, b;
    applyRedThuddoProgram(a, 7);
    applyRedThuddoProgram(b, 7);
    float sentinel[2] = {123.0f, 456.0f};
    float* outs[2] = {&sentinel[0], &sentinel[1]};
    const float* ins[4] = {nullptr, nullptr, nullptr, nullptr};
    const Stereo plain = run(a, in, 64);
    const Stereo interrupted = run(b, in, 64, [&] {
        b.processBlock(ins, outs, 0);
        b.processBlock(ins, outs, -5);
    });
    EXPECT_EQ(sentinel[0], 123.0f);
    EXPECT_EQ(sentinel[1], 456.0f);
    EXPECT_EQ(plain.left, interrupted.left);
    EXPECT_EQ(plain.right, interrupted.right);
}

TEST(CompressorEngine, BypassCopiesTheProgrammeUnchangedInPlace) {
    CompressorEngine e;
    applyRedThuddoProgram(e, 7);
    run(e, dynamicSignal(2000));
    e.setBypass(true);
    EXPECT_EQ(e.gain(), 1.0f);  // switching resets
    EXPECT_EQ(e.effectiveGain(), 1.0f);
    std::vector<double> left = {0.1, -3.0, 1e-300, std::nan(""), 2.5},
                        right = {7.0, 0.0, -1.0, 4.0, -9.0};
    const std::vector<double> keepLeft = left, keepRight = right;
    std::vector<double> side(5, 0.9);
    const double* ins[4] = {left.data(), right.data(), side.data(), side.data()};
    double* outs[2] = {left.data(), right.data()};
    e.processBlock(ins, outs, 5);
    for (int n = 0; n < 5; ++n) {
        EXPECT_TRUE(left[n] == keepLeft[n] || (std::isnan(left[n]) && std::isnan(keepLeft[n])));
        EXPECT_EQ(right[n], keepRight[n]);
    }
}

// The engine against the plain per-frame version, over random settings in every routing
// of both builds: outputs, gain and display level frame by frame.
TEST(CompressorEngine, MatchesThePlainReference) {
    const Inputs in = dynamicSignal(12000);
    std::mt19937 rng(5);
    auto pick = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    auto coin = [&] { return (rng() & 1) != 0; };
    for (int variant = 0; variant < 24; ++variant) {
        const int inputs = variant % 2 ? 2 : 4;
        CompressorSettings s;
        s.mono = (variant / 2) % 2;
        s.sidechain = (variant / 4) % 2;
        s.softKnee = coin();
        s.releaseCurve = coin();
        s.limiter = coin();
        s.hysteresis = pick(0.0f, 1.0f);
        s.hold = coin() ? 0.0f : pick(0.0f, 0.05f);
        s.attack = pick(0.0001f, 0.02f);
        s.release = pick(0.001f, 0.2f);
        s.ratio1 = coin() ? 20.0f : pick(0.5f, 10.0f);
        s.ratio2 = pick(0.1f, 4.0f);
        s.thresholdDb = pick(-40.0f, -5.0f);
        s.preGainDb = pick(-6.0f, 12.0f);
        s.postGainDb = pick(-6.0f, 12.0f);
        s.dryWet = pick(0.5f, 1.0f);
        s.maxGainDb = pick(6.0f, 40.0f);
        s.highPassHz = pick(10.0f, 500.0f);
        s.lowPassHz = pick(1000.0f, 20000.0f);
        CompressorEngine e(inputs);
        configure(e, s);
        ReferenceCompressor ref(s, inputs, CompressorEngine::kFirstNoiseSeed);
        int n = 0;
        float worst = 0.0f;  // relative to 1e-6 + 1e-6 |expected|
        auto check = [&worst](float got, float expected) {
            worst =
                std::fmax(worst, std::fabs(got - expected) / (1e-6f + 1e-6f * std::fabs(expected)));
        };
        run(e, in, 1, [&] {
            const float frame[4] = {in.ch[0][n], in.ch[1][n], in.ch[2][n], in.ch[3][n]};
            float y[2];
            ref.process(frame, y);
            check(e.output(0), y[0]);
            check(e.output(1), y[1]);
            check(e.gain(), ref.gain());
            check(e.detectorDisplayLevel(), ref.displayLevel());
            ++n;
        });
        EXPECT_LE(worst, 1.0f) << variant;
    }
}

}  // namespace
}  // namespace qx::test
