// The analyzer through its effect class: switches reaching the engine, programs, and the
// readings the editor gets (meters, per-reader peaks, spectra through the triple buffer).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/spectrel/analyzer_effect.h"
#include "framework/plugin_effect_with_editor.h"

namespace qx {
namespace {

using Effect = PluginEffectWithEditor<AnalyzerEffect>;

// Runs a stereo sine of `frames` through processReplacing in blocks of `block`.
void playSine(Effect& fx, int frames, float amplitude, float hz, int block, float sign = 1.0f) {
    vst::AEffect* e = fx.getAeffect();
    std::vector<float> l(block), r(block), outL(block), outR(block);
    const float rate = fx.getSampleRate();
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        for (int i = 0; i < n; ++i) {
            l[i] = amplitude * std::sin(6.2831853f * hz * static_cast<float>(start + i) / rate);
            r[i] = sign * l[i];
        }
        float* ins[2] = {l.data(), r.data()};
        float* outs[2] = {outL.data(), outR.data()};
        e->processReplacing(e, ins, outs, n);
    }
}

TEST(AnalyzerEffect, SwitchesAndProgramsReachTheEngine) {
    Effect fx(nullptr);
    fx.setSampleRate(44100.0f);
    // Program 0 switches slow averaging off.
    EXPECT_FALSE(fx.engine().slowAveraging());
    EXPECT_TRUE(fx.engine().spectrumOn());
    EXPECT_FALSE(fx.engine().interSamplePeak());
    fx.setProgram(2);  // "CD master": K14 and inter-sample peaks
    EXPECT_TRUE(fx.engine().interSamplePeak());
    EXPECT_EQ(spectrelOutputScale(fx.getParameter(kSpectrelOutputScale)), SpectrelOutputScale::K14);
    fx.setParameter(kSpectrelAes17, 0.6f);
    EXPECT_TRUE(fx.engine().aes17());
    fx.setParameter(kSpectrelSlowSpectrum, 1.0f);
    EXPECT_TRUE(fx.engine().slowAveraging());
    fx.setSampleRate(96000.0f);
    EXPECT_EQ(fx.engine().sampleRateHz(), 96000.0f);
    EXPECT_TRUE(fx.setBypass(true));
    EXPECT_TRUE(fx.engine().bypassed());
    fx.setParameter(kSpectrelBypass, 0.5f);  // a switch is on only above one half
    EXPECT_FALSE(fx.engine().bypassed());
}

TEST(AnalyzerEffect, MetersArePublishedAfterEveryBlockAndFreezeInBypass) {
    Effect fx(nullptr);
    fx.setSampleRate(44100.0f);
    AnalyzerMeters& m = fx.meters();
    // Inverted channels: left and right full, mid empty, side full, correlation -1.
    playSine(fx, 44100, 1.0f, 1000.0f, 333, -1.0f);
    for (int c : {AnalyzerEngine::kLeft, AnalyzerEngine::kRight, AnalyzerEngine::kSide}) {
        EXPECT_NEAR(m.peakLevel[c].load(), 1.0f, 0.01f) << c;
        EXPECT_NEAR(m.peakHold[c].load(), 1.0f, 0.01f) << c;
        EXPECT_NEAR(m.rmsLevel[c].load(), 0.7071f, 0.01f) << c;
    }
    EXPECT_LT(m.peakLevel[AnalyzerEngine::kMid].load(), 1e-6f);
    EXPECT_NEAR(m.correlation.load(), -1.0f, 1e-3f);
    // Each reader takes its own peaks.
    EXPECT_NEAR(m.peakSince[0].take(MeterReader::Editor), 1.0f, 0.01f);
    EXPECT_EQ(m.peakSince[0].take(MeterReader::Editor), 0.0f);
    EXPECT_NEAR(m.peakSince[0].take(MeterReader::Host), 1.0f, 0.01f);

    // Bypassed, the readings stay where they were whatever plays.
    fx.setBypass(true);
    const float rms = m.rmsLevel[0].load();
    playSine(fx, 4096, 0.1f, 300.0f, 512);
    EXPECT_EQ(m.rmsLevel[0].load(), rms);
    // Leaving bypass starts afresh (changes land on the next block boundary); the
    // hold-reset command drops the holds to the present level.
    fx.setBypass(false);
    playSine(fx, 1, 0.0f, 1000.0f, 1);
    EXPECT_LT(m.peakHold[0].load(), 1e-6f);
    playSine(fx, 4410, 0.5f, 1000.0f, 512);
    playSine(fx, 44100, 0.1f, 1000.0f, 512);
    EXPECT_NEAR(m.peakHold[0].load(), 0.5f, 0.01f);
    fx.requestPeakHoldReset();
    playSine(fx, 64, 0.1f, 1000.0f, 64);
    EXPECT_LT(m.peakHold[0].load(), 0.11f);
}

TEST(AnalyzerEffect, SpectrumArrivesEvery1024FramesAndEmptiesWhenSwitchedOff) {
    Effect fx(nullptr);
    fx.setSampleRate(44100.0f);
    bool fresh = false;
    const AnalyzerSpectrum* s = fx.latestSpectrum(&fresh);
    ASSERT_NE(s, nullptr);  // the empty spectrum of construction
    playSine(fx, 1000, 1.0f, 1000.0f, 100);
    EXPECT_FALSE(fx.latestSpectrum(&fresh) && fresh) << "no spectrum before 1024 frames";
    playSine(fx, 100, 1.0f, 1000.0f, 100);
    s = fx.latestSpectrum(&fresh);
    EXPECT_TRUE(fresh);
    // Let the average settle; the 1000 Hz sine lies between bins 46 and 47.
    playSine(fx, 44100, 1.0f, 1000.0f, 512);
    s = fx.latestSpectrum(&fresh);
    ASSERT_TRUE(s->on);
    const int top = static_cast<int>(std::max_element(s->left, s->left + 1024) - s->left);
    EXPECT_TRUE(top == 46 || top == 47) << top;
    EXPECT_GT(s->right[top], 0.1f);
    EXPECT_LT(s->left[300], 1e-6f);

    fx.setParameter(kSpectrelSpectrumOn, 0.0f);
    playSine(fx, 1, 1.0f, 1000.0f, 1);  // changes land on the next block boundary
    s = fx.latestSpectrum(&fresh);
    EXPECT_TRUE(fresh);
    EXPECT_FALSE(s->on);
    EXPECT_TRUE(std::all_of(s->left, s->left + 1024, [](float p) { return p == 1e-16f; }));
    playSine(fx, 4096, 1.0f, 1000.0f, 512);
    EXPECT_FALSE(fx.latestSpectrum(&fresh) && fresh) << "nothing new while off";
    // Back on, it refills from new audio only: silence leaves it empty, a sine fills it.
    fx.setParameter(kSpectrelSpectrumOn, 1.0f);
    playSine(fx, 2048, 0.0f, 1000.0f, 500);
    s = fx.latestSpectrum(&fresh);
    EXPECT_TRUE(s->on);
    EXPECT_LT(s->left[top], 1e-12f);
    playSine(fx, 2048, 1.0f, 1000.0f, 500);
    s = fx.latestSpectrum(&fresh);
    EXPECT_TRUE(fresh && s->on);
    EXPECT_GT(s->left[top], 1e-3f);
}

}  // namespace
}  // namespace qx
