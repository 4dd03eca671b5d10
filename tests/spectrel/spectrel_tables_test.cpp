// The analyzer's tables as a host sees them, and the mappings and texts its effect and
// editor share.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "effects/spectrel/spectrel_tables.h"

namespace qx {
namespace {

const EffectDescription& d = kSpectrelDescription;

TEST(SpectrelTables, PaddingRangesAndPrograms) {
    ASSERT_EQ(d.parameters.count, kSpectrelNumParams);
    for (int i = 0; i < d.parameters.count; ++i) {
        EXPECT_EQ(std::strlen(d.parameters.names[i]), 15u) << i;
        EXPECT_STREQ(d.parameters.labels[i], "  ") << i;
        EXPECT_LT(d.parameters.displayRanges[i].minimum, d.parameters.displayRanges[i].maximum);
    }
    // The host reads 0..4 for Output scale, so its four choices show as 0, 1, 2 and 3.
    EXPECT_EQ(d.parameters.displayRanges[kSpectrelOutputScale].maximum, 4.0f);
    ASSERT_EQ(d.factory.numPrograms, kSpectrelNumPrograms);
    for (int p = 0; p < d.factory.numPrograms; ++p) {
        EXPECT_EQ(std::strlen(d.factory.names[p]), 23u) << p;
        for (int i = 0; i < d.factory.numParams; ++i) {
            EXPECT_GE(d.factory.row(p)[i], 0.0f);
            EXPECT_LE(d.factory.row(p)[i], 1.0f);
        }
        EXPECT_TRUE(spectrelSwitch(d.factory.row(p)[kSpectrelSpectrumOn])) << p;
        EXPECT_FALSE(spectrelSwitch(d.factory.row(p)[kSpectrelBypass])) << p;
        EXPECT_FALSE(spectrelSwitch(d.factory.row(p)[kSpectrelSlowSpectrum])) << p;
    }
    // The mastering programs pick their K-scale and inter-sample peaks; the rest are
    // copies of "Default".
    const SpectrelOutputScale scales[] = {SpectrelOutputScale::Peak, SpectrelOutputScale::K12,
                                          SpectrelOutputScale::K14, SpectrelOutputScale::K20};
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(spectrelOutputScale(d.factory.row(p)[kSpectrelOutputScale]), scales[p]);
        EXPECT_EQ(spectrelSwitch(d.factory.row(p)[kSpectrelInterSamplePeak]), p > 0);
    }
    EXPECT_EQ(std::string(d.factory.names[2]).substr(0, 10), "CD master ");
    for (int p = 4; p < 8; ++p) {
        EXPECT_STREQ(d.factory.names[p], d.factory.names[0]);
        for (int i = 0; i < d.factory.numParams; ++i)
            EXPECT_EQ(d.factory.row(p)[i], d.factory.row(0)[i]);
    }
    // The host's bypass request drives parameter 0, and canDo says so.
    EXPECT_EQ(d.identity.bypassParameter, kSpectrelBypass);
    bool bypass = false;
    for (const char* const* c = d.identity.canDoYes; *c; ++c) bypass |= std::string(*c) == "bypass";
    EXPECT_TRUE(bypass);
}

TEST(SpectrelTables, OutputScaleChoice) {
    using S = SpectrelOutputScale;
    const struct {
        float v;
        S scale;
    } cases[] = {{0.0f, S::Peak},   {0.1249f, S::Peak}, {0.125f, S::K12}, {0.3f, S::K12},
                 {0.3249f, S::K12}, {0.325f, S::K14},   {0.33f, S::K14},  {0.6249f, S::K14},
                 {0.625f, S::K20},  {1.0f, S::K20},     {NAN, S::Peak}};
    for (const auto& c : cases) EXPECT_EQ(spectrelOutputScale(c.v), c.scale) << c.v;
    // Each button's value selects its own choice; the spectrum shifts by the offset.
    for (S s : {S::Peak, S::K12, S::K14, S::K20}) {
        EXPECT_EQ(spectrelOutputScale(spectrelOutputScaleValue(s)), s);
        EXPECT_NEAR(10.0f * std::log10(spectrelSpectrumGain(s)), spectrelScaleOffsetDb(s), 1e-4f);
    }
    EXPECT_EQ(spectrelScaleOffsetDb(S::K14), 14.0f);

    char text[64];
    spectrelPeakHoldText(-6.02f, -3.0f, S::K14, text, sizeof text);
    EXPECT_STREQ(text, "8.0 dB 11.0");
    spectrelPeakHoldText(-160.0f, 0.0f, S::Peak, text, sizeof text);
    EXPECT_STREQ(text, "-160.0 dB 0.0");
}

TEST(SpectrelTables, MeterAndSpectrumAxes) {
    // Meter: full scale from 0.99 up, 1/7 at -36 dB, 0 at -72 dB, the dB value below.
    EXPECT_EQ(spectrelLevelPosition(0.99f), 1.0f);
    EXPECT_EQ(spectrelLevelPosition(3.0f), 1.0f);
    EXPECT_NEAR(spectrelLevelPosition(0.98f),
                (20.0f * std::log10(0.98f) + 36.0f) * 0.023699295f + 1.0f / 7.0f, 1e-6f);
    EXPECT_NEAR(spectrelLevelPosition(std::pow(10.0f, -36.0f / 20.0f)), 1.0f / 7.0f, 1e-5f);
    EXPECT_NEAR(spectrelLevelPosition(std::pow(10.0f, -54.0f / 20.0f)), 18.0f * 0.003968254f,
                1e-5f);
    EXPECT_NEAR(spectrelLevelPosition(1e-4f), -80.0f, 1e-3f);
    EXPECT_NEAR(spectrelLevelPosition(0.0f), -160.0f, 1e-3f);
    // Spectrum: the same segments on 10 log10 of a power, 0 below -72 dB.
    EXPECT_NEAR(spectrelPowerPosition(std::pow(10.0f, -3.6f)), 1.0f / 7.0f, 1e-5f);
    EXPECT_EQ(spectrelPowerPosition(1e-9f), 0.0f);
    EXPECT_EQ(spectrelPowerPosition(0.0f), 0.0f);

    // Frequency axis: logarithmic from 0.002 (at 0.02) to 1 (at 1), linear below.
    EXPECT_NEAR(spectrelFrequencyPosition(0.002f), 0.02f, 1e-4f);
    EXPECT_NEAR(spectrelFrequencyPosition(1.0f), 1.0f, 1e-4f);
    EXPECT_NEAR(spectrelFrequencyPosition(0.001f), 0.01f, 1e-7f);
    for (float p : {0.0f, 0.01f, 0.02f, 0.3f, 0.77f, 1.0f})
        EXPECT_NEAR(spectrelFrequencyPosition(spectrelPositionFrequency(p)), p, 2e-4f) << p;

    // The read-out at the view's right edge: the last bin, about half the sample rate.
    for (float fs : {44100.0f, 96000.0f}) {
        const SpectrelReadoutPoint edge = spectrelReadoutPoint(1.0f, fs);
        EXPECT_EQ(edge.bin, 1023);
        EXPECT_NEAR(edge.frequencyHz, fs / 2.0f, fs * 1e-3f);
    }
    EXPECT_EQ(spectrelReadoutPoint(-0.5f, 48000.0f).bin, 0);
    EXPECT_EQ(spectrelReadoutPoint(-0.5f, 48000.0f).frequencyHz, 0.0f);
    EXPECT_EQ(spectrelReadoutPoint(1e9f, 48000.0f).bin, 1023);
    EXPECT_EQ(spectrelReadoutPoint(NAN, 48000.0f).bin, 0);

    // The grid shows 100 Hz .. 16 kHz at 44.1 kHz and adds 32 kHz at 96 kHz.
    auto lines = [](float fs) {
        int count = 0;
        for (float f : kSpectrelGridHz) count += f < fs / 2.0f;
        return count;
    };
    EXPECT_EQ(lines(44100.0f), 8);
    EXPECT_EQ(lines(96000.0f), 9);

    char text[128];
    spectrelReadoutText(1000.0f, true, 0.05f, 0.05f, text, sizeof text);
    EXPECT_STREQ(text, "Frequency:1000Hz; Spectrum level:-10.0dB");
    spectrelReadoutText(21.6f, false, 1.0f, 0.01f, text, sizeof text);
    EXPECT_STREQ(text, "Frequency: 22Hz; Spectrum level L:0.0dB; Spectrum level R:-20.0dB");
}

}  // namespace
}  // namespace qx
