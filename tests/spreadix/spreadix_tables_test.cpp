// The stereo spreader's tables as a host sees them, and the mappings and editor texts its
// effect and editor share.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "effects/spreadix/spreadix_tables.h"

namespace qx {
namespace {

const EffectDescription& d = kSpreadixDescription;

TEST(SpreadixTables, PaddingRangesAndPrograms) {
    // The older generation pads names and labels alike to 15 characters.
    ASSERT_EQ(d.parameters.count, kSpreadixNumParams);
    for (int i = 0; i < d.parameters.count; ++i) {
        EXPECT_EQ(std::strlen(d.parameters.names[i]), 15u) << i;
        EXPECT_EQ(std::strlen(d.parameters.labels[i]), 15u) << i;
        EXPECT_NE(d.parameters.labels[i][0], ' ') << i;
    }
    ASSERT_EQ(d.factory.numPrograms, kSpreadixNumPrograms);
    for (int p = 0; p < d.factory.numPrograms; ++p) {
        EXPECT_EQ(std::strlen(d.factory.names[p]), 23u) << p;
        const float* row = d.factory.row(p);
        for (int i = 0; i < d.factory.numParams; ++i) {
            EXPECT_GE(row[i], 0.0f);
            EXPECT_LE(row[i], 1.0f);
        }
        EXPECT_FLOAT_EQ(spreadixLevelDb(row[kSpreadixLevel]), -4.0f) << p;
        EXPECT_FALSE(spreadixSwitch(row[kSpreadixBypass])) << p;
        if (p >= 9) {
            EXPECT_STREQ(d.factory.names[p], d.factory.names[0]);
            for (int i = 0; i < d.factory.numParams; ++i) EXPECT_EQ(row[i], d.factory.row(0)[i]);
        }
    }
    // The dipole programs switch the layout; "Decorrelate" is the one with a synthetic
    // side; "Default" keeps the width.
    for (int p : {2, 6, 8}) EXPECT_TRUE(spreadixSwitch(d.factory.row(p)[kSpreadixDipole]));
    EXPECT_EQ(spreadixSynthMix(d.factory.row(4)[kSpreadixSynthMix]), 0.5f);
    EXPECT_EQ(spreadixSideLevel(d.factory.row(0)[kSpreadixSideLevel]), 1.0f);
}

TEST(SpreadixTables, MappingsAndTexts) {
    EXPECT_EQ(spreadixLevelDb(0.75f), 0.0f);
    EXPECT_EQ(spreadixLevelDb(1.0f), 20.0f);
    EXPECT_EQ(spreadixLevelDb(0.0f), -60.0f);
    EXPECT_EQ(spreadixLevelDb(NAN), -60.0f);
    EXPECT_EQ(spreadixSideLevel(1.0f), 4.0f);
    EXPECT_EQ(spreadixSideLevel(0.25f), 1.0f);
    EXPECT_FALSE(spreadixSwitch(0.5f));
    EXPECT_TRUE(spreadixSwitch(0.51f));
    EXPECT_EQ(spreadixPan(NAN), 0.0f);

    char text[32];
    auto show = [&](int index, float v) {
        spreadixParameterText(index, v, text);
        return std::string(text);
    };
    EXPECT_EQ(show(kSpreadixPanLeft, 0.5f), "C");
    EXPECT_EQ(show(kSpreadixPanLeft, 0.495f), "C");
    EXPECT_EQ(show(kSpreadixPanRight, 0.505f), "C");
    EXPECT_EQ(show(kSpreadixPanRight, 0.75f), "R100");
    EXPECT_EQ(show(kSpreadixPanRight, 1.0f), "R200");
    EXPECT_EQ(show(kSpreadixPanLeft, 0.0f), "L200");
    EXPECT_EQ(show(kSpreadixPanLeft, 0.25f), "L100");
    EXPECT_EQ(show(kSpreadixLevel, 0.7f), "-4dB");
    EXPECT_EQ(show(kSpreadixLevel, 0.75f), "0dB");
    EXPECT_EQ(show(kSpreadixLevel, 1.0f), "20dB");
    EXPECT_EQ(show(kSpreadixLevel, 0.0f), "-60dB");
    EXPECT_EQ(show(kSpreadixSideLevel, 0.25f), "100%");
    EXPECT_EQ(show(kSpreadixSynthMix, 0.5f), "50%");
    EXPECT_EQ(show(kSpreadixSynthCharacter, 1.0f), "100%");
    EXPECT_EQ(show(kSpreadixDipole, 1.0f), "");
    EXPECT_EQ(show(kSpreadixPanLeft, 1e30f), "R200");  // held, never undefined
    EXPECT_EQ(show(kSpreadixPanLeft, -1e30f), "L200");
    EXPECT_EQ(spreadixLevelDb(3.0f), 20.0f);

    // The host's generic display of the same values ("%3.3f" over the display range).
    auto host = [&](int index, float v) {
        const ParameterDisplayRange& r = d.parameters.displayRanges[index];
        std::snprintf(text, sizeof text, "%3.3f",
                      static_cast<double>(r.minimum * (1.0f - v) + v * r.maximum));
        return std::string(text);
    };
    EXPECT_EQ(host(kSpreadixSynthMix, 0.5f), "50.000");
    EXPECT_EQ(host(kSpreadixPanLeft, 0.25f), "-100.000");
    EXPECT_EQ(host(kSpreadixPanRight, 0.75f), "100.000");
}

}  // namespace
}  // namespace qx
