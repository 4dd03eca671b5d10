// The trigwave effect class around its engine: parameters reaching the engine, the latency
// report across rate changes, the readings the editor polls, and the resets.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "effects/trigwave/trigwave_effect.h"
#include "framework/plugin_effect_with_editor.h"

namespace qx {
namespace {

int ioChangedCalls = 0;

vst::VstIntPtr countingHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                            void*, float) {
    if (opcode == vst::audioMasterIOChanged) ++ioChangedCalls;
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// Processes `frames` frames of `amplitude` noise (0: silence) through processReplacing in
// blocks of 512.
void feed(TrigwaveEffect& fx, int frames, float amplitude, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> l(512), r(512), ol(512), orr(512);
    for (int done = 0; done < frames; done += 512) {
        const int n = std::min(512, frames - done);
        for (int i = 0; i < n; ++i) {
            l[i] = amplitude * u(rng);
            r[i] = amplitude * u(rng);
        }
        float* in[2] = {l.data(), r.data()};
        float* out[2] = {ol.data(), orr.data()};
        vst::AEffect* e = fx.getAeffect();
        e->processReplacing(e, in, out, n);
    }
}

TEST(TrigwaveEffect, ParametersReachTheEngine) {
    PluginEffectWithEditor<TrigwaveEffect> fx(nullptr);
    const TrigwaveEngine& e = fx.engine();
    // Program 0 as the engine holds it.
    EXPECT_NEAR(e.outputGain(), 1.0f, 1e-6f);
    EXPECT_EQ(e.mix(), 0.5f);
    EXPECT_NEAR(e.threshold(), 3.77f, 1e-6f);
    EXPECT_FALSE(e.bypassed());
    EXPECT_FALSE(e.mono());
    EXPECT_TRUE(e.reverbOn());
    EXPECT_NEAR(e.ampShape().sustainLevel(), std::pow(10.0f, -10.5f / 20.0f), 1e-6f);
    EXPECT_EQ(e.frameSize(), 2048);

    // "Deep space 9": the lowpass at 1 Hz, opened by a full positive envelope only.
    fx.setProgram(9);
    EXPECT_EQ(e.voiceSettings().filterFrequency, 1.0f);
    EXPECT_EQ(e.voiceSettings().filterEnvAmount, 1.0f);
    EXPECT_EQ(e.ampShape().release(), 2.0f);

    // Once blocks run, a change waits for the next block boundary.
    fx.resume();
    fx.setParameter(kTrigwaveMono, 1.0f);
    fx.setBypass(true);
    fx.setParameter(kTrigwaveOutputTrim, 1.0f / 7.0f);
    EXPECT_FALSE(e.mono());
    feed(fx, 1, 0.0f);
    EXPECT_TRUE(e.mono());
    EXPECT_TRUE(e.bypassed());
    EXPECT_EQ(fx.getParameter(kTrigwaveBypass), 1.0f);
    EXPECT_NEAR(20.0f * std::log10(e.outputGain()), -36.0f, 1e-4f);
    fx.setParameter(kTrigwaveOutputTrim, 0.0f);
    fx.setParameter(kTrigwaveReverb, 0.4f);
    feed(fx, 1, 0.0f);
    EXPECT_NEAR(20.0f * std::log10(e.outputGain()), -72.0f, 1e-3f);
    EXPECT_FALSE(e.reverbOn());
}

// The delay stays 2048 whatever the rate (the frame size halves below 25 kHz, the delay
// does not), so the host never hears of a change.
TEST(TrigwaveEffect, LatencyHoldsAcrossRateChanges) {
    ioChangedCalls = 0;
    TrigwaveEffect fx(&countingHost);
    const TrigwaveEngine& e = fx.engine();
    for (float fs : {22050.0f, 96000.0f, 8000.0f, 44100.0f, 192000.0f}) {
        fx.setSampleRate(fs);
        EXPECT_EQ(fx.getAeffect()->initialDelay, 2048) << fs;
        EXPECT_EQ(e.latency(), 2048) << fs;
        EXPECT_EQ(e.frameSize(), fs < 25000.0f ? 1024 : 2048) << fs;
        EXPECT_EQ(e.sampleRateHz(), fs);
    }
    EXPECT_EQ(ioChangedCalls, 0);
}

// The meters and the lamp the editor polls: a burst lights the lamp, which stays lit for
// the onset's four hops and goes out at the first read after them; the peak hold follows
// the output and falls back on the reset command; suspend empties the voices.
TEST(TrigwaveEffect, MetersLampAndResets) {
    TrigwaveEffect fx(nullptr);
    fx.setParameter(kTrigwaveDryWetMix, 1.0f);
    fx.resume();
    EXPECT_FALSE(fx.readTriggerLamp());
    feed(fx, 6144, 0.0f);
    EXPECT_FALSE(fx.readTriggerLamp());  // silence never triggers
    feed(fx, 1024, 0.5f);
    EXPECT_NE(fx.engine().triggerState(), 0);
    EXPECT_TRUE(fx.readTriggerLamp());
    EXPECT_TRUE(fx.readTriggerLamp());  // still within the onset's hops
    feed(fx, 5 * 1024, 0.0f);
    EXPECT_EQ(fx.engine().triggerState(), 0);
    EXPECT_TRUE(fx.readTriggerLamp());  // not read since the hops ended
    EXPECT_FALSE(fx.readTriggerLamp());

    const TrigwaveMeters& m = fx.meters();
    for (int c = 0; c < 2; ++c) {
        EXPECT_GT(m.level[c].load(), 0.05f) << c;
        EXPECT_LE(m.level[c].load(), m.peakHold[c].load()) << c;
        EXPECT_EQ(m.peakHold[c].load(), fx.engine().peakHold(c)) << c;
    }
    EXPECT_NE(fx.engine().voice(0).state(), SpectralVoice::kFree);
    fx.suspend();
    EXPECT_EQ(fx.engine().voice(0).state(), SpectralVoice::kFree);
    EXPECT_EQ(fx.engine().triggerState(), 0);

    // Bypassed, a burst passes the dry line: its peak is held long after it, until the reset.
    fx.resume();
    fx.setBypass(true);
    feed(fx, 2048, 0.0f);
    feed(fx, 1024, 0.5f);
    feed(fx, 4096, 0.0f);
    for (int c = 0; c < 2; ++c) EXPECT_GT(m.peakHold[c].load(), 0.4f) << c;
    fx.requestPeakHoldReset();
    for (int c = 0; c < 2; ++c) EXPECT_GT(m.peakHold[c].load(), 0.4f) << c;  // at the next block
    feed(fx, 64, 0.0f);
    for (int c = 0; c < 2; ++c) {
        EXPECT_LT(m.peakHold[c].load(), 1e-6f) << c;
        EXPECT_GT(m.level[c].load(), 0.1f) << c;  // the falling level is left alone
    }
    // Suspend empties the meters the editor reads at once, with no block to follow.
    fx.suspend();
    for (int c = 0; c < 2; ++c) {
        EXPECT_LT(m.level[c].load(), 1e-6f) << c;
        EXPECT_LT(m.peakHold[c].load(), 1e-6f) << c;
    }
}

}  // namespace
}  // namespace qx
