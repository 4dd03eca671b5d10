// The limiter through its effect class: identity answers, parameter mapping and host
// texts, programs, both precisions, block handling and hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/palisor/limiter_effect.h"
#include "framework/plugin_effect_with_editor.h"
#include "framework/sample_guard.h"

namespace qx {
namespace {

using Plugin = PluginEffectWithEditor<LimiterEffect>;

template <typename T>
struct Buffers {
    explicit Buffers(int frames)
        : in{std::vector<T>(frames), std::vector<T>(frames)},
          out{std::vector<T>(frames), std::vector<T>(frames)} {}
    T* inputs[2];
    T* outputs[2];
    std::vector<T> in[2], out[2];
    T** ins() {
        inputs[0] = in[0].data();
        inputs[1] = in[1].data();
        return inputs;
    }
    T** outs() {
        outputs[0] = out[0].data();
        outputs[1] = out[1].data();
        return outputs;
    }
};

// Processes `left`/`right` in blocks of `block` frames; returns the left output then the
// right output, one after the other.
std::vector<float> process(LimiterEffect& fx, const std::vector<float>& left,
                           const std::vector<float>& right, int block) {
    std::vector<float> result(2 * left.size());
    const int frames = static_cast<int>(left.size());
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        Buffers<float> b(n);
        std::copy_n(left.begin() + start, n, b.in[0].begin());
        std::copy_n(right.begin() + start, n, b.in[1].begin());
        fx.processReplacing(b.ins(), b.outs(), n);
        std::copy_n(b.out[0].begin(), n, result.begin() + start);
        std::copy_n(b.out[1].begin(), n, result.begin() + frames + start);
    }
    return result;
}

std::vector<float> music(int frames, unsigned seed, float peak) {
    std::srand(seed);
    std::vector<float> x(frames);
    float lp = 0.0f;
    for (int n = 0; n < frames; ++n) {
        lp = 0.9f * lp + 0.1f * (2.0f * static_cast<float>(std::rand()) / RAND_MAX - 1.0f);
        x[n] = peak * (std::sin(0.03f * n) * 0.7f + 3.0f * lp);
    }
    return x;
}

std::string text(std::function<void(char*)> get) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    buffer[63] = 0;
    get(buffer);
    return buffer;
}

TEST(LimiterEffect, IdentityAnswersThroughTheRecord) {
    Plugin fx(nullptr);
    vst::AEffect* e = fx.getAeffect();
    EXPECT_EQ(e->uniqueID, ('P' << 24) | ('L' << 16) | ('S' << 8) | 'R');
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numParams, 17);
    EXPECT_EQ(e->numPrograms, 18);
    EXPECT_EQ(e->initialDelay, 512);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->flags, vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing |
                            vst::effFlagsNoSoundInStop);
    auto call = [&](vst::VstInt32 op, void* ptr = nullptr, vst::VstIntPtr value = 0) {
        return e->dispatcher(e, op, 0, value, ptr, 0.0f);
    };
    char name[65] = {};
    EXPECT_EQ(call(vst::effGetEffectName, name), 1);
    EXPECT_STREQ(name, "QX Palisor Pro");
    EXPECT_EQ(call(vst::effGetProductString, name), 1);
    EXPECT_STREQ(name, "QX Palisor Pro");
    EXPECT_EQ(call(vst::effGetVendorString, name), 1);
    EXPECT_STREQ(name, "QX");
    EXPECT_EQ(call(vst::effGetVendorVersion), 103);
    EXPECT_EQ(call(vst::effGetPlugCategory), vst::kPlugCategEffect);
    EXPECT_EQ(call(vst::effGetVstVersion), 2400);

    for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in1out", "1in2out",
                            "2in1out", "2in2out", "bypass"})
        EXPECT_EQ(call(vst::effCanDo, const_cast<char*>(yes)), 1) << yes;
    for (const char* no : {"Bypass", "", "receiveVstEvents", "offline", "midiProgramNames"})
        EXPECT_EQ(call(vst::effCanDo, const_cast<char*>(no)), -1) << no;

    EXPECT_EQ(call(vst::effSetBypass, nullptr, 1), 1);
    EXPECT_EQ(fx.getParameter(kLimiterBypass), 1.0f);
    EXPECT_TRUE(fx.engine().bypassed());
    EXPECT_EQ(call(vst::effSetBypass, nullptr, 0), 1);
    EXPECT_EQ(fx.getParameter(kLimiterBypass), 0.0f);
    EXPECT_FALSE(fx.engine().bypassed());
}

TEST(LimiterEffect, ParameterMappingReachesTheEngine) {
    LimiterEffect fx(nullptr);
    const LimiterEngine& e = fx.engine();
    // Program 0: trim 0 dB, drive -0.16 dB, image unchanged, guard off, 64 bits.
    EXPECT_NEAR(e.outputGain(), 1.0f, 1e-6f);
    EXPECT_NEAR(20.0f * std::log10(e.driveGain()), -0.16f, 1e-3f);
    EXPECT_EQ(e.sideGain(), 0.5f);
    EXPECT_EQ(e.xcorrThreshold(), -1.0f);
    EXPECT_EQ(e.wordLength(), 64);

    // Dithering holds the menu index; fractions reach only 64 and 32 bits.
    const struct {
        float value;
        int bits;
    } dithering[] = {{4.0f, 16}, {0.3f, 64}, {0.7f, 32}, {0.0f, 64},  {1, 32},    {2, 24},
                     {3, 20},    {5, 12},    {6, 8},     {3.49f, 20}, {3.51f, 16}};
    for (const auto& d : dithering) {
        fx.setParameter(kLimiterDithering, d.value);
        EXPECT_EQ(e.wordLength(), d.bits) << d.value;
        EXPECT_EQ(e.quantizer(1).wordLength(), std::min(d.bits, 32)) << d.value;
    }

    fx.setProgram(1);  // "+6dB (limiter only)"
    EXPECT_NEAR(20.0f * std::log10(e.driveGain()), 5.72f, 1e-3f);
    EXPECT_NEAR(10.0f * std::log10(e.rmsThresholdPower()), -4.0f, 1e-4f);
    EXPECT_EQ(e.softclipAmount(), 0.0f);
    fx.setProgram(3);  // "+6dB (softclip only)"
    EXPECT_NEAR(20.0f * std::log10(e.driveGain()), 5.72f, 1e-3f);
    EXPECT_EQ(e.softclipAmount(), 1.0f);

    // Env release 0 acts as 5 ms; an XCorr threshold value up to 0.025 keeps the guard off.
    fx.setParameter(kLimiterEnvRelease, 0.0f);
    EXPECT_NEAR(e.envReleaseCoef(), std::exp(-1.0f / (0.005f * 44100.0f)), 1e-7f);
    fx.setParameter(kLimiterXcorrThreshold, 0.025f);
    EXPECT_LE(e.xcorrThreshold(), LimiterEngine::kGuardOffThreshold);

    // Trim at its bottom is -72 dB; values outside 0..1 are held to the range.
    fx.setParameter(kLimiterOutputTrim, 0.0f);
    EXPECT_NEAR(20.0f * std::log10(e.outputGain()), -72.0f, 1e-3f);
    fx.setParameter(kLimiterOutputTrim, 1e30f);
    EXPECT_NEAR(e.outputGain(), 1.0f, 1e-6f);
    EXPECT_EQ(fx.getParameter(kLimiterOutputTrim), 1e30f);  // stored as the host sent it

    // A new sample rate reaches the engine; Output scale changes no engine setting.
    fx.setSampleRate(96000.0f);
    EXPECT_EQ(e.sampleRateHz(), 96000.0f);
    EXPECT_EQ(e.lookahead(), 248);
}

TEST(LimiterEffect, HostTextsAndPrograms) {
    LimiterEffect fx(nullptr);
    EXPECT_EQ(text([&](char* t) { fx.getProgramName(t); }), "Default                ");
    EXPECT_EQ(text([&](char* t) { fx.getParameterName(kLimiterRmsThreshold, t); }),
              "RMS threshold  ");
    EXPECT_EQ(text([&](char* t) { fx.getParameterLabel(kLimiterBypass, t); }), "  ");
    EXPECT_EQ(text([&](char* t) { fx.getParameterLabel(kLimiterDithering, t); }), "Bt");

    fx.setParameter(kLimiterOutputTrim, 0.52f);
    EXPECT_EQ(text([&](char* t) { fx.getParameterDisplay(kLimiterOutputTrim, t); }), "-34.560");
    fx.setParameter(kLimiterOutputTrim, 0.5f);
    EXPECT_EQ(text([&](char* t) { fx.getParameterDisplay(kLimiterOutputTrim, t); }), "-36.000");
    fx.setParameter(kLimiterDithering, 4.0f);
    EXPECT_EQ(text([&](char* t) { fx.getParameterDisplay(kLimiterDithering, t); }), "28.000");
    EXPECT_EQ(text([&](char* t) { fx.getParameterDisplay(kLimiterInputDrive, t); }), "-14.560");
    EXPECT_EQ(text([&](char* t) { fx.getParameterDisplay(kLimiterSideGain, t); }), "100.000");

    // Edits survive a program change and back.
    fx.setParameter(3, 0.25f);
    fx.setProgram(1);
    fx.setProgram(0);
    EXPECT_EQ(fx.getParameter(3), 0.25f);

    // Programs 8 and up are copies of "Default".
    for (int p = 8; p < 18; ++p) {
        fx.setProgram(p);
        EXPECT_EQ(text([&](char* t) { fx.getProgramName(t); }), "Default                ");
        for (int i = 0; i < kLimiterNumParams; ++i)
            EXPECT_EQ(fx.getParameter(i), kLimiterDescription.factory.row(0)[i]) << p << " " << i;
    }
    fx.setProgram(7);
    EXPECT_EQ(fx.getParameter(kLimiterOutputScale), 0.25f);

    // Out-of-range indices are ignored.
    fx.setParameter(17, 0.9f);
    fx.setParameter(-1, 0.9f);
    EXPECT_EQ(fx.getParameter(17), 0.0f);
    EXPECT_EQ(fx.getParameter(-1), 0.0f);
    fx.setProgram(18);
    fx.setProgram(-1);
    EXPECT_EQ(fx.getProgram(), 7);
    char untouched[32] = "keep";
    EXPECT_FALSE(fx.getProgramNameIndexed(0, 18, untouched));
    fx.getParameterName(17, untouched);
    fx.getParameterDisplay(-3, untouched);
    EXPECT_STREQ(untouched, "keep");
}

TEST(LimiterEffect, OutputScaleChoices) {
    const struct {
        float value;
        LimiterOutputScale scale;
    } rows[] = {{0.0f, LimiterOutputScale::Peak}, {0.1f, LimiterOutputScale::Peak},
                {0.25f, LimiterOutputScale::K12}, {0.33f, LimiterOutputScale::K14},
                {0.35f, LimiterOutputScale::K14}, {0.5f, LimiterOutputScale::K14},
                {0.7f, LimiterOutputScale::K20},  {0.75f, LimiterOutputScale::K20}};
    for (const auto& r : rows) EXPECT_EQ(limiterOutputScale(r.value), r.scale) << r.value;
    EXPECT_EQ(limiterOutputScaleOffsetDb(LimiterOutputScale::K12), 12.0f);
}

// The reported latency is the real one, in bypass and when limiting.
TEST(LimiterEffect, LatencyAndSilenceAfterBypassToggleOrProgramLoad) {
    LimiterEffect fx(nullptr);
    const int n = 4096;
    std::vector<float> impulse(n, 0.0f);
    impulse[100] = 0.5f;
    const std::vector<float> out = process(fx, impulse, impulse, 256);
    int peakAt = 0;
    for (int i = 0; i < n; ++i)
        if (std::fabs(out[i]) > std::fabs(out[peakAt])) peakAt = i;
    EXPECT_EQ(peakAt, 100 + fx.getAeffect()->initialDelay);

    const std::vector<float> steady(n, 0.3f);
    const std::vector<std::function<void()>> switches = {
        [&] { fx.setBypass(true); }, [&] { fx.setBypass(false); }, [&] { fx.setProgram(4); }};
    for (const auto& change : switches) {
        process(fx, steady, steady, 512);  // the delay is full of signal
        change();
        const std::vector<float> after = process(fx, steady, steady, 100);
        for (int i = 0; i < 512; ++i) {
            ASSERT_EQ(after[i], 0.0f) << i;
            ASSERT_EQ(after[n + i], 0.0f) << i;
        }
        EXPECT_GT(after[512], 0.2f);
        EXPECT_GT(after[n + 512], 0.2f);
    }
    // Bypassed, the signal comes through unchanged.
    fx.setBypass(true);
    const std::vector<float> x = music(n, 3, 0.2f);
    const std::vector<float> y = process(fx, x, x, 333);
    for (int i = 512; i < n; ++i) ASSERT_NEAR(y[i], x[i - 512], 5e-8f) << i;
}

// Same input, same rand() sequence: blocks of any length and the double-precision entry
// give the same samples; an empty block changes nothing.
TEST(LimiterEffect, BlockLengthsPrecisionsAndEmptyBlocksAgree) {
    const int n = 5000;
    const std::vector<float> left = music(n, 11, 0.6f), right = music(n, 12, 0.6f);
    auto fresh = [] {
        auto fx = std::make_unique<LimiterEffect>(nullptr);
        fx->setProgram(2);                          // limiter and soft clipper
        fx->setParameter(kLimiterDithering, 4.0f);  // dither draws from rand()
        fx->setParameter(kLimiterInterSamplePeak, 1.0f);
        return fx;
    };
    std::srand(5);
    const std::vector<float> reference = process(*fresh(), left, right, 4096);
    for (int block : {1, 7, 64}) {
        std::srand(5);
        EXPECT_EQ(process(*fresh(), left, right, block), reference) << block;
    }

    auto fx = fresh();
    std::srand(5);
    Buffers<double> b(n);
    for (int i = 0; i < n; ++i) {
        b.in[0][i] = left[i];
        b.in[1][i] = right[i];
    }
    b.out[0].assign(n, 7.0);
    fx->processDoubleReplacing(b.ins(), b.outs(), 0);
    EXPECT_EQ(b.out[0][0], 7.0);
    fx->processDoubleReplacing(b.ins(), b.outs(), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(b.out[0][i], static_cast<double>(reference[i])) << i;
        ASSERT_EQ(b.out[1][i], static_cast<double>(reference[n + i])) << i;
    }
}

// Every parameter at 0, its factory value and 1, every Dithering entry, every program:
// finite output within full scale, hostile input included.
TEST(LimiterEffect, SweepAndHostileInputStayFiniteAndWithinFullScale) {
    const int n = 1500;
    std::vector<float> hostile = music(n, 21, 1.5f);
    for (int i = 300; i < 340; ++i)
        hostile[i] = (i % 3 == 0) ? NAN : (i % 3 == 1 ? INFINITY : -1e30f);
    auto check = [&](LimiterEffect& fx, const char* what, int value) {
        const std::vector<float> out = process(fx, hostile, hostile, 256);
        // Bypassed, the (cleaned) input comes through as it is.
        const float limit = fx.engine().bypassed() ? kInputSampleLimit : 1.0f;
        for (float y : out) ASSERT_TRUE(std::isfinite(y) && std::fabs(y) <= limit) << what << value;
    };
    for (int i = 0; i < kLimiterNumParams; ++i) {
        LimiterEffect fx(nullptr);
        const float factory = fx.getParameter(i);
        for (float v : {0.0f, factory, 1.0f}) {
            fx.setParameter(i, v);
            check(fx, "parameter ", i);
        }
    }
    LimiterEffect fx(nullptr);
    for (int menu = 0; menu <= 6; ++menu) {
        fx.setParameter(kLimiterDithering, static_cast<float>(menu));
        check(fx, "dithering ", menu);
    }
    for (int p = 0; p < kLimiterNumPrograms; ++p) {
        fx.setProgram(p);
        check(fx, "program ", p);
    }
    // Once finite input resumes, so does ordinary limiting: a quiet signal passes.
    fx.setProgram(0);
    fx.setParameter(kLimiterDithering, 0.0f);
    process(fx, hostile, hostile, 64);
    const std::vector<float> quiet(3 * 44100, 0.1f);
    const std::vector<float> out = process(fx, quiet, quiet, 4096);
    EXPECT_NEAR(out[quiet.size() - 1], 0.1f * fx.engine().driveGain(), 1e-4f);
}

}  // namespace
}  // namespace qx
