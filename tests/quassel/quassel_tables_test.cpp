// The multiband compressor's tables and mappings: identity, names, labels, ranges,
// factory programs, value mappings at their ends, pages, the dB travel and control texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "effects/quassel/quassel_tables.h"

namespace qx {
namespace {

const EffectDescription& d = kQuasselDescription;

TEST(QuasselTables, IdentityNamesLabelsAndRanges) {
    EXPECT_STREQ(d.identity.effectName, "QX Quassel Pro");
    EXPECT_EQ(d.identity.uniqueId, vst::fourCC('Q', 'X', 'Q', 'S'));
    EXPECT_EQ(d.identity.vendorVersion, 101);
    EXPECT_EQ(d.identity.initialDelay, 1024);
    EXPECT_EQ(d.identity.bypassParameter, -1);
    int yes = 0;
    for (const char* const* c = d.identity.canDoYes; *c; ++c) ++yes;
    EXPECT_EQ(yes, 7);

    ASSERT_EQ(d.parameters.count, 129);
    for (int i = 0; i < 129; ++i) {
        EXPECT_EQ(std::strlen(d.parameters.names[i]), 15u) << i;
        EXPECT_EQ(std::strlen(d.parameters.labels[i]), 2u) << i;
        EXPECT_LT(d.parameters.displayRanges[i].minimum, d.parameters.displayRanges[i].maximum);
    }
    EXPECT_STREQ(d.parameters.names[0], "Output trim    ");
    EXPECT_STREQ(d.parameters.names[125], "Number of bands");
    EXPECT_STREQ(d.parameters.names[128], "Warmth         ");
    EXPECT_STREQ(d.parameters.labels[62], "ms");
    EXPECT_STREQ(d.parameters.labels[101], "ms");
    EXPECT_STREQ(d.parameters.labels[124], "% ");
    EXPECT_STREQ(d.parameters.labels[127], "% ");
    EXPECT_EQ(d.parameters.displayRanges[82].maximum, 1000.0f);
    EXPECT_EQ(d.parameters.displayRanges[126].maximum, 5.9f);
    const char* families[] = {"MakeupGain", "Threshold", "Ratio", "Attack", "Release", "Warmth"};
    for (int i = 2; i < 122; ++i) {
        const int f = quasselFamily(i), b = quasselBand(i);
        EXPECT_EQ(kQuasselFamilyFirst[f] + b, i);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%s %02d", families[f], b + 1);
        EXPECT_EQ(std::string(d.parameters.names[i]),
                  (expected + std::string(15, ' ')).substr(0, 15));
    }
    EXPECT_EQ(quasselFamily(1), -1);
    EXPECT_EQ(quasselBand(122), -1);
}

TEST(QuasselTables, FactoryPrograms) {
    ASSERT_EQ(d.factory.numPrograms, 20);
    EXPECT_STREQ(d.factory.names[0], "Default clean          ");
    EXPECT_STREQ(d.factory.names[11], "FX: public address spkr");
    for (int p = 0; p < 20; ++p) {
        EXPECT_EQ(std::strlen(d.factory.names[p]), 23u) << p;
        const float* row = d.factory.row(p);
        for (int i = 0; i < 129; ++i) {
            EXPECT_GE(row[i], 0.0f) << p << " " << i;
            EXPECT_LE(row[i], 1.0f) << p << " " << i;
        }
        EXPECT_EQ(row[kQuasselBypass], 0.0f);
        EXPECT_EQ(quasselBandCount(row[kQuasselNumberOfBands]), 14) << p;
        EXPECT_EQ(quasselFilterOrder(row[kQuasselFilterOrder]), 4) << p;
        EXPECT_EQ(row[kQuasselWarmthSwitch], 1.0f);
        if (p >= 13) {
            EXPECT_EQ(std::memcmp(row, d.factory.row(0), 129 * sizeof(float)), 0) << p;
        }
    }
    const float* phone = d.factory.row(10);
    for (int b = 0; b < 20; ++b)
        EXPECT_EQ(phone[kQuasselMakeupGain + b], b >= 4 && b <= 8 ? 0.2f : 0.0f) << b;
    const float* bass = d.factory.row(5);
    EXPECT_EQ(bass[kQuasselRatio + 1], 1.0f);
    EXPECT_EQ(bass[kQuasselRatio + 2], 0.1f);
    EXPECT_EQ(bass[kQuasselAttack + 1], 0.0f);
    EXPECT_EQ(d.factory.row(8)[kQuasselRelease + 9], 0.18f);
    EXPECT_EQ(d.factory.row(2)[kQuasselMakeupGain + 13], 0.3f);
}

TEST(QuasselTables, MappingsAtTheirEnds) {
    EXPECT_EQ(quasselBandCount(0.0f), 1);
    EXPECT_EQ(quasselBandCount(0.0909f), 1);
    EXPECT_EQ(quasselBandCount(0.091f), 10);
    EXPECT_EQ(quasselBandCount(1.0f), 20);
    EXPECT_EQ(quasselFilterOrder(0.0f), 3);
    EXPECT_EQ(quasselFilterOrder(0.34f), 3);
    EXPECT_EQ(quasselFilterOrder(1.0f), 5);
    EXPECT_FLOAT_EQ(quasselAttackSeconds(0.0f), 0.0001f);
    EXPECT_FLOAT_EQ(quasselAttackSeconds(1.0f), 0.1f);
    EXPECT_FLOAT_EQ(quasselReleaseSeconds(1.0f), 1.0f);
    EXPECT_EQ(quasselRatio(1.0f), 10.0f);

    // Pages: tenths of "GUI mode"; 0.6 and above keep the page.
    const float modes[] = {0.0f, 0.1f, 0.25f, 0.35f, 0.45f, 0.59f};
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(quasselPageFamily(modes[f], 3), f);
        EXPECT_EQ(quasselPageFamily(quasselPageValue(f), 0), f);
    }
    EXPECT_EQ(quasselPageFamily(0.6f, 2), 2);
    EXPECT_EQ(quasselPageFamily(1.0f, 4), 4);
    EXPECT_EQ(quasselBarStep(0.5f), 0.25f);

    // dB travel: 0, -36 and -72 dB at the top, one seventh and the bottom.
    EXPECT_FLOAT_EQ(quasselTravelGain(1.0f), 1.0f);
    EXPECT_NEAR(20.0f * std::log10(quasselTravelGain(1.0f / 7.0f)), -36.0f, 1e-4f);
    EXPECT_NEAR(20.0f * std::log10(quasselTravelGain(0.0f)), -72.0f, 1e-4f);
    for (float p : {0.05f, 0.3f, 0.9f})
        EXPECT_NEAR(quasselTravelPosition(quasselTravelGain(p)), p, 1e-4f);
    EXPECT_EQ(quasselTravelPosition(0.995f), 1.0f);
    EXPECT_EQ(quasselTravelPosition(0.0f), 0.0f);
}

TEST(QuasselTables, ControlTextPerKind) {
    char text[64];
    auto line = [&](int index, float x) {
        quasselControlText(index, x, text, sizeof text);
        return std::string(text);
    };
    EXPECT_EQ(line(kQuasselThreshold, 0.1f), "Threshold 01    0.00 dB");
    EXPECT_EQ(line(kQuasselBypass, 1.0f), "Bypass          On");
    EXPECT_EQ(line(kQuasselWarmthSwitch, 0.2f), "Warmth          Off");
    EXPECT_EQ(line(kQuasselOutputTrim, 0.5f), "Output trim     -6.02 dB");
    EXPECT_EQ(line(kQuasselDryWet, 0.5f), "Dry wet         50.00 % ");
    EXPECT_EQ(line(kQuasselAttack + 4, 1.0f), "Attack 05       100.00 ms");
    EXPECT_EQ(line(kQuasselNumberOfBands, 0.05f), "Number of bands   1   ");
    EXPECT_EQ(line(kQuasselNumberOfBands, 0.5f), "Number of bands  14   ");
    EXPECT_EQ(line(kQuasselFilterOrder, 1.0f), "Filter order      5   ");
    EXPECT_EQ(line(129, 0.5f), "");
    EXPECT_EQ(quasselControlText(kQuasselDryWet, 0.5f, text, 8), 7);
    EXPECT_STREQ(text, "Dry wet");
}

}  // namespace
}  // namespace qx
