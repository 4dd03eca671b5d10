// The limiter through its effect class: identity, parameter mapping and host texts,
// programs, latency, both precisions, block handling and hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "effects/palisor/limiter_effect.h"
#include "framework/plugin_effect_with_editor.h"
#include "framework/sample_guard.h"

namespace qx {
namespace {

// Runs both channels through the record's processReplacing (or processDoubleReplacing) in
// blocks, as a host does; returns the left output followed by the right output.
template <typename T = float>
std::vector<T> process(LimiterEffect& fx, const std::vector<float>& left,
                       const std::vector<float>& right, int block) {
    const int frames = static_cast<int>(left.size());
    std::vector<T> in[2] = {{left.begin(), left.end()}, {right.begin(), right.end()}};
    std::vector<T> out(2 * left.size(), T(7));
    vst::AEffect* e = fx.getAeffect();
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        T* ins[2] = {in[0].data() + start, in[1].data() + start};
        T* outs[2] = {out.data() + start, out.data() + frames + start};
        if constexpr (std::is_same_v<T, float>)
            e->processReplacing(e, ins, outs, n);
        else
            e->processDoubleReplacing(e, ins, outs, n);
    }
    return out;
}

std::vector<float> music(int frames, unsigned seed, float peak) {
    std::srand(seed);
    std::vector<float> x(frames);
    float lp = 0.0f;
    for (int n = 0; n < frames; ++n) {
        lp = 0.9f * lp + 0.1f * (2.0f * std::rand() / RAND_MAX - 1.0f);
        x[n] = peak * (0.7f * std::sin(0.03f * n) + 3.0f * lp);
    }
    return x;
}

std::string text(const std::function<void(char*)>& get) {
    char buffer[64] = "untouched";
    get(buffer);
    return buffer;
}

TEST(LimiterEffect, IdentityThroughTheRecord) {
    PluginEffectWithEditor<LimiterEffect> fx(nullptr);
    vst::AEffect* e = fx.getAeffect();
    EXPECT_EQ(e->uniqueID, 0x504C5352);  // "PLSR", first character highest
    EXPECT_EQ(e->initialDelay, 512);
    EXPECT_EQ(e->flags, vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing |
                            vst::effFlagsNoSoundInStop);
    auto call = [&](vst::VstInt32 op, const char* ptr = nullptr, vst::VstIntPtr value = 0) {
        return e->dispatcher(e, op, 0, value, const_cast<char*>(ptr), 0.0f);
    };
    char name[65] = {};
    EXPECT_EQ(call(vst::effGetEffectName, name), 1);
    EXPECT_STREQ(name, "QX Palisor Pro");
    EXPECT_EQ(call(vst::effGetVendorVersion), 103);
    EXPECT_EQ(call(vst::effGetPlugCategory), vst::kPlugCategEffect);
    for (const char* yes : {"bypass", "1in2out", "2in1out"})
        EXPECT_EQ(call(vst::effCanDo, yes), 1) << yes;
    for (const char* no : {"Bypass", "", "receiveVstEvents"})
        EXPECT_EQ(call(vst::effCanDo, no), -1) << no;
    for (bool on : {true, false}) {
        EXPECT_EQ(call(vst::effSetBypass, nullptr, on), 1);
        EXPECT_EQ(fx.getParameter(kLimiterBypass), on ? 1.0f : 0.0f);
        EXPECT_EQ(fx.engine().bypassed(), on);
    }
}

TEST(LimiterEffect, ParameterMappingAndPrograms) {
    LimiterEffect fx(nullptr);
    const LimiterEngine& e = fx.engine();
    auto db = [](float gain) { return 20.0f * std::log10(gain); };
    EXPECT_NEAR(db(e.driveGain()), -0.16f, 1e-3f);  // program 0
    EXPECT_NEAR(db(limiterGainCurve(0.52f)), -20.16f, 1e-3f);
    // Dithering holds the menu index; fractions reach only 64 and 32 bits.
    const float dithering[][2] = {{4, 16}, {0.3f, 64}, {0.7f, 32}, {2, 24}, {3, 20}, {6, 8}};
    for (const auto& d : dithering) {
        fx.setParameter(kLimiterDithering, d[0]);
        EXPECT_EQ(e.wordLength(), d[1]) << d[0];
        EXPECT_EQ(e.quantizer(1).wordLength(), std::min<int>(d[1], 32)) << d[0];
    }
    fx.setProgram(1);  // "+6dB (limiter only)"
    EXPECT_NEAR(db(e.driveGain()), 5.72f, 1e-3f);
    EXPECT_NEAR(10.0f * std::log10(e.rmsThresholdPower()), -4.0f, 1e-4f);
    EXPECT_EQ(e.softclipAmount(), 0.0f);
    fx.setProgram(3);  // "+6dB (softclip only)"
    EXPECT_NEAR(db(e.driveGain()), 5.72f, 1e-3f);
    EXPECT_EQ(e.softclipAmount(), 1.0f);
    // Env release 0 acts as 5 ms; an XCorr threshold value up to 0.025 leaves the guard off.
    fx.setParameter(kLimiterEnvRelease, 0.0f);
    EXPECT_NEAR(e.envReleaseCoef(), std::exp(-1.0f / (0.005f * 44100.0f)), 1e-7f);
    fx.setParameter(kLimiterXcorrThreshold, 0.025f);
    EXPECT_LE(e.xcorrThreshold(), LimiterEngine::kGuardOffThreshold);
    // A host value outside 0..1 is held to the range, stored and mapped alike.
    fx.setParameter(kLimiterOutputTrim, 1e30f);
    EXPECT_NEAR(e.outputGain(), 1.0f, 1e-6f);
    EXPECT_EQ(fx.getParameter(kLimiterOutputTrim), 1.0f);
    fx.setParameter(kLimiterDithering, 9.0f);  // the menu's last index is 6
    EXPECT_EQ(fx.getParameter(kLimiterDithering), 6.0f);
    fx.setSampleRate(96000.0f);
    EXPECT_EQ(e.lookahead(), 248);
    // Programs 8 and up are copies of "Default".
    for (int p = 8; p < kLimiterNumPrograms; ++p) {
        fx.setProgram(p);
        EXPECT_EQ(text([&](char* t) { fx.getProgramName(t); }), "Default                ");
        for (int i = 0; i < kLimiterNumParams; ++i)
            EXPECT_EQ(fx.getParameter(i), kLimiterDescription.factory.row(0)[i]) << p << i;
    }
}

TEST(LimiterEffect, HostTextsAndOutOfRangeIndices) {
    LimiterEffect fx(nullptr);
    auto display = [&](int index, float v) {
        fx.setParameter(index, v);
        return text([&](char* t) { fx.getParameterDisplay(index, t); });
    };
    EXPECT_EQ(display(kLimiterOutputTrim, 0.52f), "-34.560");  // linear, not the real gain
    EXPECT_EQ(display(kLimiterOutputTrim, 0.5f), "-36.000");
    EXPECT_EQ(display(kLimiterDithering, 4.0f), "28.000");  // 7 times the menu index
    EXPECT_EQ(text([&](char* t) { fx.getParameterName(kLimiterRmsThreshold, t); }),
              "RMS threshold  ");
    EXPECT_EQ(text([&](char* t) { fx.getParameterLabel(kLimiterXcorrThreshold, t); }), "--");
    // Output scale: the K14 range starts at 0.325, not 0.375.
    using S = LimiterOutputScale;
    const std::pair<float, S> scales[] = {
        {0.1f, S::Peak}, {0.25f, S::K12}, {0.33f, S::K14}, {0.7f, S::K20}};
    for (const auto& [v, scale] : scales) EXPECT_EQ(limiterOutputScale(v), scale) << v;
    EXPECT_EQ(limiterOutputScaleOffsetDb(S::K12), 12.0f);

    fx.setProgram(7);
    fx.setParameter(17, 0.9f);
    fx.setParameter(-1, 0.9f);
    fx.setProgram(18);
    EXPECT_EQ(fx.getProgram(), 7);
    EXPECT_EQ(fx.getParameter(17), 0.0f);
    EXPECT_FALSE(fx.getProgramNameIndexed(0, 18, nullptr));
    EXPECT_EQ(text([&](char* t) { fx.getParameterName(17, t); }), "untouched");
    EXPECT_EQ(text([&](char* t) { fx.getParameterDisplay(-3, t); }), "untouched");
}

// The impulse lands at the reported delay; a bypass switch or program load empties the
// delay, so 512 samples of silence follow; bypassed, the input comes through unchanged.
TEST(LimiterEffect, LatencyAndSilenceAfterBypassToggleOrProgramLoad) {
    LimiterEffect fx(nullptr);
    const int n = 4096;
    std::vector<float> impulse(n, 0.0f);
    impulse[100] = 0.5f;
    const std::vector<float> out = process(fx, impulse, impulse, 256);
    EXPECT_EQ(std::max_element(out.begin(), out.begin() + n) - out.begin(),
              100 + fx.getAeffect()->initialDelay);

    const std::vector<float> steady(n, 0.3f);
    const std::function<void()> changes[] = {
        [&] { fx.setBypass(true); }, [&] { fx.setBypass(false); }, [&] { fx.setProgram(4); }};
    for (const auto& change : changes) {
        process(fx, steady, steady, 512);
        change();
        const std::vector<float> after = process(fx, steady, steady, 100);
        EXPECT_TRUE(
            std::all_of(after.begin(), after.begin() + 512, [](float y) { return y == 0; }));
        EXPECT_TRUE(std::all_of(after.begin() + n, after.begin() + n + 512,
                                [](float y) { return y == 0; }));
        EXPECT_GT(after[512], 0.2f);
        EXPECT_GT(after[n + 512], 0.2f);
    }
    fx.setBypass(true);
    const std::vector<float> x = music(n, 3, 0.2f);
    const std::vector<float> y = process(fx, x, x, 333);
    for (int i = 512; i < n; ++i) ASSERT_NEAR(y[i], x[i - 512], 5e-8f) << i;
}

// Fresh instances draw the same noise, so blocks of any length and the double-precision entry
// give the same samples; an empty block changes nothing at all.
TEST(LimiterEffect, BlockLengthsPrecisionsAndEmptyBlocksAgree) {
    const std::vector<float> left = music(5000, 11, 0.6f), right = music(5000, 12, 0.6f);
    auto fresh = [] {
        auto fx = std::make_unique<LimiterEffect>(nullptr);
        fx->setProgram(2);                          // limiter and soft clipper
        fx->setParameter(kLimiterDithering, 4.0f);  // dither noise included
        fx->setParameter(kLimiterInterSamplePeak, 1.0f);
        return fx;
    };
    const std::vector<float> reference = process(*fresh(), left, right, 4096);
    for (int block : {1, 7, 64})
        EXPECT_EQ(process(*fresh(), left, right, block), reference) << block;

    auto fx = fresh();
    double in[2] = {1.0, 1.0}, out[2] = {7.0, 7.0};
    double* ins[2] = {&in[0], &in[1]};
    double* outs[2] = {&out[0], &out[1]};
    fx->processDoubleReplacing(ins, outs, 0);
    EXPECT_EQ(out[0] + out[1], 14.0);
    const std::vector<double> wide = process<double>(*fx, left, right, 700);
    for (size_t i = 0; i < reference.size(); ++i)
        ASSERT_EQ(wide[i], static_cast<double>(reference[i])) << i;
}

// Every parameter at 0, its factory value and 1, every Dithering entry and every program
// give finite output within full scale, NaN, infinities and huge values included; once
// finite input resumes, ordinary processing returns.
TEST(LimiterEffect, SweepWithHostileInputStaysFinite) {
    std::vector<float> hostile = music(1500, 21, 1.5f);
    for (int i = 300; i < 340; ++i)
        hostile[i] = i % 3 == 0 ? NAN : (i % 3 == 1 ? INFINITY : -1e30f);
    auto check = [&](LimiterEffect& fx, int what) {
        // The setting, not the engine: after the first block, changes wait for the next one.
        const float limit = fx.getParameter(kLimiterBypass) > 0.5f ? kInputSampleLimit : 1.0f;
        for (float y : process(fx, hostile, hostile, 256))
            ASSERT_TRUE(std::isfinite(y) && std::fabs(y) <= limit) << what;
    };
    for (int i = 0; i < kLimiterNumParams; ++i) {
        LimiterEffect fx(nullptr);
        for (float v : {0.0f, fx.getParameter(i), 1.0f}) {
            fx.setParameter(i, v);
            check(fx, i);
        }
    }
    LimiterEffect fx(nullptr);
    for (int menu = 0; menu <= 6; ++menu) {
        fx.setParameter(kLimiterDithering, static_cast<float>(menu));
        check(fx, 100 + menu);
    }
    for (int p = 0; p < kLimiterNumPrograms; ++p) {
        fx.setProgram(p);
        check(fx, 200 + p);
    }
    fx.setProgram(0);
    fx.setParameter(kLimiterDithering, 0.0f);
    process(fx, hostile, hostile, 64);
    const std::vector<float> quiet(3 * 44100, 0.1f);
    EXPECT_NEAR(process(fx, quiet, quiet, 4096)[quiet.size() - 1], 0.1f * fx.engine().driveGain(),
                1e-4f);
}

// A NaN from the host is refused: the setting stays and the sound is that of an instance
// that never received it. (Stored, it used to reach drive, width and the times, and make
// the audio, the RMS stage or the correlation state NaN for good.)
TEST(LimiterEffect, NanParameterIsIgnored) {
    const std::vector<float> left = music(3000, 31, 0.8f), right = music(3000, 32, 0.8f);
    LimiterEffect untouched(nullptr);
    const std::vector<float> reference = process(untouched, left, right, 256);
    for (int i = 0; i < kLimiterNumParams; ++i) {
        LimiterEffect withNan(nullptr);
        const float before = withNan.getParameter(i);
        withNan.setParameter(i, NAN);
        EXPECT_EQ(withNan.getParameter(i), before) << i;
        EXPECT_EQ(process(withNan, left, right, 256), reference) << i;
        EXPECT_EQ(withNan.engine().correlation(), untouched.engine().correlation()) << i;
        EXPECT_EQ(withNan.engine().rmsLevel(0), untouched.engine().rmsLevel(0)) << i;
    }
}

}  // namespace
}  // namespace qx
