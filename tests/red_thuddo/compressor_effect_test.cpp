// The compressor's effect class without a host library: what the parameters hand the
// engine, and the meters the editor polls.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/red_thuddo/compressor_effect.h"
#include "framework/plugin_effect_with_editor.h"

namespace qx {
namespace {

void runBlocks(CompressorEffect& fx, float amplitude, int blocks, int frames = 256) {
    const int inputs = fx.getAeffect()->numInputs;
    std::vector<std::vector<float>> in(inputs, std::vector<float>(frames));
    std::vector<std::vector<float>> out(2, std::vector<float>(frames));
    float* ins[4] = {};
    float* outs[2] = {out[0].data(), out[1].data()};
    for (int j = 0; j < inputs; ++j) ins[j] = in[j].data();
    vst::AEffect* e = fx.getAeffect();
    for (int b = 0; b < blocks; ++b) {
        for (int j = 0; j < inputs; ++j)
            for (int n = 0; n < frames; ++n)
                in[j][n] = amplitude * std::sin(0.05f * static_cast<float>(b * frames + n));
        e->processReplacing(e, ins, outs, frames);
    }
}

TEST(CompressorEffect, ParametersReachTheEngineThroughTheirMappings) {
    PluginEffectWithEditor<RedThuddoEffect> fx(nullptr);
    const CompressorEngine& engine = fx.engine();
    EXPECT_EQ(engine.numInputs(), 4);
    EXPECT_EQ(engine.sampleRateHz(), 44100.0f);
    // Program 0: ratios 1 (exponents 0), threshold -20 dB, 40 dB gain range.
    EXPECT_FLOAT_EQ(engine.exponent1(), 0.0f);
    EXPECT_NEAR(engine.thresholdPower(), 100.0f, 1e-4f);
    EXPECT_FLOAT_EQ(engine.maxGain(), 100.0f);

    // "Ratio 1" at the top of its travel is infinite: the engine gets 20.
    fx.setParameter(13, 1.0f);
    EXPECT_FLOAT_EQ(engine.exponent1(), (1.0f - 20.0f) * 0.5f / 20.0f);
    fx.setParameter(13, 0.99f);
    EXPECT_FLOAT_EQ(engine.exponent1(), (1.0f - 10.0f) * 0.5f / 10.0f);

    // "High pass freq" at 1 asks for 10 kHz; at 20 kHz the engine keeps 0.45 fs.
    fx.setSampleRate(20000.0f);
    fx.setParameter(6, 1.0f);
    EXPECT_FLOAT_EQ(engine.highPassHz(), 9000.0f);
    EXPECT_EQ(engine.sampleRateHz(), 20000.0f);

    // Hold 0.5 s at 44.1 kHz: 22050 samples.
    fx.setSampleRate(44100.0f);
    fx.setParameter(10, 1.0f);
    EXPECT_EQ(engine.holdSamples(), 22050);

    // The bypass parameter switches the engine; the alternative build has two inputs.
    fx.setParameter(1, 1.0f);
    EXPECT_TRUE(engine.bypassed());
    PluginEffectWithEditor<RedThuddoAltEffect> alt(nullptr);
    EXPECT_EQ(alt.engine().numInputs(), 2);
    EXPECT_EQ(alt.getAeffect()->numInputs, 2);
}

TEST(CompressorEffect, MetersFollowTheSignalAndClearOnCommand) {
    PluginEffectWithEditor<RedThuddoEffect> fx(nullptr);
    fx.setProgram(2);  // "Default: classic comp": ratio 2.1 above -20 dB
    const CompressorMeters& m = fx.meters();
    EXPECT_FLOAT_EQ(m.effectiveGain.load(), 1.0f);
    EXPECT_LT(m.detectorLevel.load(), 1e-4f);

    runBlocks(fx, 0.9f, 100);
    // A sine of 0.9 has a mean square near 0.4: the marker sits near -4 dB, and the gain
    // falls to about (0.4 * 100)^((1 - 2.1) / 4.2).
    EXPECT_GT(m.detectorLevel.load(), 0.3f);
    const float expected = std::pow(0.405f * 100.0f, (1.0f - 2.1f) * 0.5f / 2.1f);
    EXPECT_NEAR(m.effectiveGain.load(), expected, 0.1f * expected);
    EXPECT_LT(m.gainMin[0].load(), 0.5f);
    EXPECT_FLOAT_EQ(m.gainMax[0].load(), 1.0f);
    EXPECT_FLOAT_EQ(m.limiterGain[1].load(), 1.0f);

    // Quiet again: the gain recovers, the meters keep the extremes until cleared.
    runBlocks(fx, 0.0f, 400);
    EXPECT_GT(m.effectiveGain.load(), 0.99f);
    EXPECT_LT(m.gainMin[1].load(), 0.5f);
    // While the host runs, the clear waits for the next block.
    fx.requestGainMeterClear();
    EXPECT_LT(m.gainMin[0].load(), 0.5f);
    runBlocks(fx, 0.0f, 1, 1);
    EXPECT_NEAR(m.gainMin[0].load(), m.effectiveGain.load(), 1e-4f);
    EXPECT_NEAR(m.gainMax[1].load(), m.effectiveGain.load(), 1e-4f);

    // Suspend resets the running state and the readings with it.
    runBlocks(fx, 0.9f, 20);
    fx.suspend();
    EXPECT_FLOAT_EQ(m.effectiveGain.load(), 1.0f);
    EXPECT_FLOAT_EQ(m.detectorLevel.load(), 1e-5f);
}

}  // namespace
}  // namespace qx
