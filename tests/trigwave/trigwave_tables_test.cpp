// The trigwave tables as hosts and the editor read them: padded texts, factory values in
// range, the value mappings at their ends, display texts and the meter scale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "effects/trigwave/trigwave_engine.h"
#include "effects/trigwave/trigwave_tables.h"

namespace qx {
namespace {

const EffectDescription& kDesc = kTrigwaveDescription;

TEST(TrigwaveTables, TextsArePaddedAndFactoryValuesInRange) {
    EXPECT_EQ(kDesc.parameters.count, kTrigwaveNumParams);
    EXPECT_EQ(kDesc.factory.numPrograms, kTrigwaveNumPrograms);
    EXPECT_EQ(kDesc.identity.initialDelay, TrigwaveEngine::kLatency);
    EXPECT_EQ(kDesc.identity.uniqueId, ('Q' << 24) | ('X' << 16) | ('T' << 8) | 'W');
    EXPECT_EQ(std::string(kDesc.parameters.names[kTrigwaveBypass]), "Bypass         ");
    for (int i = 0; i < kTrigwaveNumParams; ++i) {
        EXPECT_EQ(std::strlen(kDesc.parameters.names[i]), 15u) << i;
        EXPECT_EQ(std::strlen(kDesc.parameters.labels[i]), 2u) << i;
        EXPECT_LT(kDesc.parameters.displayRanges[i].minimum,
                  kDesc.parameters.displayRanges[i].maximum)
            << i;
    }
    const std::string defaultName = "Default                ";
    for (int p = 0; p < kTrigwaveNumPrograms; ++p) {
        EXPECT_EQ(std::strlen(kDesc.factory.names[p]), 23u) << p;
        for (int i = 0; i < kTrigwaveNumParams; ++i) {
            const float v = kDesc.factory.row(p)[i];
            EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << p << " " << i;
            if (p >= 11) {
                EXPECT_EQ(v, kDesc.factory.row(0)[i]) << p << " " << i;
            }
        }
        if (p >= 11) {
            EXPECT_EQ(kDesc.factory.names[p], defaultName) << p;
        }
    }
    EXPECT_EQ(std::string(kDesc.factory.names[2]), "Sample and hold (poly) ");
}

TEST(TrigwaveTables, MappingsAtTheirEnds) {
    auto db = [](float gain) { return 20.0 * std::log10(gain); };
    EXPECT_NEAR(db(trigwaveOutputGain(1.0f)), 0.0, 1e-5);
    EXPECT_NEAR(db(trigwaveOutputGain(1.0f / 7.0f)), -36.0, 1e-4);
    EXPECT_NEAR(db(trigwaveOutputGain(std::nextafter(1.0f / 7.0f, 0.0f))), -36.0, 1e-4);
    EXPECT_NEAR(db(trigwaveOutputGain(0.0f)), -72.0, 1e-4);
    EXPECT_FLOAT_EQ(trigwaveThreshold(0.0f), 1.1f);
    EXPECT_FLOAT_EQ(trigwaveThreshold(1.0f), 10.0f);
    EXPECT_FLOAT_EQ(trigwaveSustainLevelDb(0.0f), -20.0f);
    EXPECT_FLOAT_EQ(trigwaveSustainLevelDb(1.0f), -1.0f);
    EXPECT_FLOAT_EQ(trigwaveFilterFrequency(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(trigwaveFilterFrequency(1.0f), 20000.0f);
    EXPECT_FLOAT_EQ(trigwaveFilterEnvAmount(0.0f), -1.0f);
    EXPECT_FLOAT_EQ(trigwaveFilterEnvAmount(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(trigwaveReverbTime(0.0f), 0.1f);
    EXPECT_FLOAT_EQ(trigwaveReverbTime(1.0f), 5.0f);
    EXPECT_FALSE(trigwaveSwitch(0.5f));
    EXPECT_TRUE(trigwaveSwitch(0.5001f));

    // Through the engine: "Deep space 9" closes the filter to 1 Hz with a full positive
    // envelope; a NaN acts as 0 and values past 1 as 1.
    TrigwaveEngine e;
    for (int i = 0; i < kTrigwaveNumParams; ++i)
        applyTrigwaveParameter(e, i, kDesc.factory.row(9)[i]);
    EXPECT_EQ(e.voiceSettings().filterFrequency, 1.0f);
    EXPECT_EQ(e.voiceSettings().filterEnvAmount, 1.0f);
    EXPECT_NEAR(e.ampShape().sustainLevel(), std::pow(10.0f, -1.0f / 20.0f), 1e-6f);
    EXPECT_EQ(e.filterShape().sustainLevel(), 0.1f);
    EXPECT_EQ(e.ampShape().release(), 2.0f);
    applyTrigwaveParameter(e, kTrigwaveDryWetMix, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(e.mix(), 0.0f);
    applyTrigwaveParameter(e, kTrigwaveOutputTrim, 7.0f);
    EXPECT_NEAR(e.outputGain(), 1.0f, 1e-6f);
    applyTrigwaveParameter(e, kTrigwaveMono, 1.0f);
    EXPECT_TRUE(e.mono());
    applyTrigwaveParameter(e, kTrigwaveNumParams, 1.0f);  // ignored
    applyTrigwaveParameter(e, -1, 1.0f);
}

TEST(TrigwaveTables, HostAndEditorTexts) {
    char text[kTrigwaveTextSize] = "untouched";
    trigwaveHostDisplay(kTrigwaveOutputTrim, 1.0f, text);
    EXPECT_STREQ(text, "0.000");
    trigwaveHostDisplay(kTrigwaveOutputTrim, 0.0f, text);
    EXPECT_STREQ(text, "-72.000");
    trigwaveHostDisplay(kTrigwaveFilterEnvelope, 0.75f, text);
    EXPECT_STREQ(text, "50.000");

    trigwaveHintText(kTrigwaveOutputTrim, 1.0f / 7.0f, text);
    EXPECT_STREQ(text, "Output trim     -36.00 dB");
    trigwaveHintText(kTrigwaveOutputTrim, 0.0f, text);
    EXPECT_STREQ(text, "Output trim     -72.00 dB");
    trigwaveHintText(kTrigwaveBypass, 1.0f, text);
    EXPECT_STREQ(text, "Bypass          On");
    trigwaveHintText(kTrigwaveReverb, 0.5f, text);
    EXPECT_STREQ(text, "Reverb          Off");
    trigwaveHintText(kTrigwaveThreshold, 0.0f, text);
    EXPECT_STREQ(text, "Threshold       1.100 - ");
    trigwaveHintText(kTrigwaveFilterFreq, 1.0f, text);
    EXPECT_STREQ(text, "Filter freq     20000.000 Hz");
    trigwavePeakReadout(-6.02f, -160.0f, text);
    EXPECT_STREQ(text, "-6.0 dB -160.0");

    // The editor's read-outs under the controls, in each label's unit.
    const struct {
        int index;
        float v;
        const char* text;
    } readouts[] = {{kTrigwaveOutputTrim, 1.0f / 7.0f, "-36.0 dB"},
                    {kTrigwaveOutputTrim, 1.0f, "0.0 dB"},
                    {kTrigwaveDryWetMix, 0.5f, "50 %"},
                    {kTrigwaveFilterEnvelope, 0.4f, "-20 %"},
                    {kTrigwaveFilterEnvelope, 1.0f, "+100 %"},
                    {kTrigwaveEnvSustain, 0.1f, "0.20 s"},
                    {kTrigwaveReverbTime, 0.3f, "1.57 s"},
                    {kTrigwaveFilterFreq, 0.0f, "1 Hz"},
                    {kTrigwaveFilterFreq, 0.125f, "2.50 kHz"},
                    {kTrigwaveEnvSustainLevel, 0.5f, "-10.5 dB"},
                    {kTrigwaveThreshold, 0.3f, "3.77"},
                    {kTrigwaveAnalog, 0.6f, "On"},
                    {kTrigwaveReverb, 0.5f, "Off"}};
    for (const auto& r : readouts) {
        trigwaveReadoutText(r.index, r.v, text);
        EXPECT_STREQ(text, r.text) << r.index << " at " << r.v;
    }

    std::strcpy(text, "untouched");
    trigwaveReadoutText(-1, 0.5f, text);
    trigwaveHintText(kTrigwaveNumParams, 0.5f, text);
    trigwaveHostDisplay(-1, 0.5f, text);
    EXPECT_STREQ(text, "untouched");
}

TEST(TrigwaveTables, MeterScaleInvertsTheOutputTrimCurve) {
    EXPECT_EQ(trigwaveMeterPosition(0.99f), 1.0f);
    EXPECT_EQ(trigwaveMeterPosition(1.5f), 1.0f);
    EXPECT_EQ(trigwaveMeterPosition(1e-5f), 0.0f);  // -100 dB
    EXPECT_EQ(trigwaveMeterPosition(0.0f), 0.0f);
    for (float v = 0.01f; v < 0.99f; v += 0.01f)
        EXPECT_NEAR(trigwaveMeterPosition(trigwaveOutputGain(v)), v, 2e-5f) << v;
}

}  // namespace
}  // namespace qx
