// Tables of both renderers: padded texts, factory programs in range and as listed,
// identities, and the value mappings and level scale at their ends.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "effects/heliope/heliope_surround_tables.h"

namespace qx {
namespace {

// Menu parameters hold an index below their entry count; the others 0..1.
void expectValidTables(const EffectDescription& d, int modes, int cabinets) {
    ASSERT_EQ(d.parameters.count, 13);
    for (int i = 0; i < d.parameters.count; ++i) {
        EXPECT_EQ(std::strlen(d.parameters.names[i]), 15u) << i;
        EXPECT_EQ(std::strlen(d.parameters.labels[i]), 2u) << i;
        EXPECT_LT(d.parameters.displayRanges[i].minimum, d.parameters.displayRanges[i].maximum);
    }
    ASSERT_EQ(d.factory.numPrograms, 50);
    for (int p = 0; p < d.factory.numPrograms; ++p) {
        EXPECT_EQ(std::strlen(d.factory.names[p]), 23u) << p;
        const float* row = d.factory.row(p);
        for (int i = 0; i < 13; ++i) {
            const int entries = i == kHeliopeChannelMode ? modes
                                : i == kHeliopeCabinet   ? cabinets
                                                         : 0;
            if (entries > 0) {
                EXPECT_EQ(row[i], std::floor(row[i])) << p << " " << i;
                EXPECT_GE(row[i], 0.0f);
                EXPECT_LT(row[i], float(entries)) << p << " " << i;
            } else {
                EXPECT_GE(row[i], 0.0f) << p << " " << i;
                EXPECT_LE(row[i], 1.0f) << p << " " << i;
            }
        }
    }
}

std::string name(const EffectDescription& d, int program) {
    std::string s = d.factory.names[program];
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

bool sameRow(const EffectDescription& d, int a, int b) {
    return std::memcmp(d.factory.row(a), d.factory.row(b), 13 * sizeof(float)) == 0;
}

TEST(HeliopeTables, TextsAndProgramsAreValid) {
    expectValidTables(kHeliopeDescription, kHeliopeChannelModeCount, kHeliopeCabinetCount);
    expectValidTables(kHeliopeSurroundDescription, kSurroundChannelModeCount,
                      kSurroundCabinetCount);
    EXPECT_STREQ(kHeliopeDescription.parameters.names[9], "Cabinet select ");
    EXPECT_STREQ(kHeliopeDescription.factory.names[0], "Default                ");
}

TEST(HeliopeTables, ProgramsOfTheTwoRenderers) {
    const EffectDescription& stereo = kHeliopeDescription;
    const EffectDescription& surround = kHeliopeSurroundDescription;
    EXPECT_EQ(name(stereo, 15), "Next door listening");
    EXPECT_EQ(stereo.factory.row(15)[kHeliopeNextDoor], 1.0f);
    EXPECT_EQ(stereo.factory.row(15)[kHeliopeCabinet], 4.0f);
    EXPECT_EQ(name(stereo, 22), "Flatscreen TV");
    EXPECT_EQ(stereo.factory.row(22)[kHeliopeChannelMode], 2.0f);
    for (int p = 23; p < 50; ++p) {
        EXPECT_EQ(name(stereo, p), "Default") << p;
        EXPECT_TRUE(sameRow(stereo, p, 0)) << p;
    }

    // The 5.1 renderer shares programs 0-17, 20 and 21 and has its own 18, 19, 22-25.
    for (int p : {0, 1, 5, 15, 16, 17, 20, 21}) {
        EXPECT_EQ(name(surround, p), name(stereo, p)) << p;
        EXPECT_TRUE(
            std::memcmp(surround.factory.row(p), stereo.factory.row(p), 13 * sizeof(float)) == 0)
            << p;
    }
    EXPECT_EQ(name(surround, 18), "Small speakers (no sub)");
    EXPECT_EQ(surround.factory.row(18)[kSurroundChannelMode], 3.0f);
    EXPECT_EQ(surround.factory.row(18)[kSurroundCabinet], 1.0f);
    EXPECT_EQ(name(surround, 22), "Flatscreen TV");
    EXPECT_EQ(surround.factory.row(22)[kSurroundChannelMode], 1.0f);
    EXPECT_EQ(name(surround, 23), "Subwoofer / satellite 1");
    EXPECT_EQ(surround.factory.row(23)[kSurroundCabinet], 12.0f);
    EXPECT_EQ(surround.factory.row(24)[kSurroundCabinet], 13.0f);
    EXPECT_EQ(surround.factory.row(24)[kSurroundRoomSize], 0.5f);
    EXPECT_EQ(name(surround, 25), "PC desktop + sub");
    EXPECT_EQ(surround.factory.row(25)[kSurroundDistance], 0.3f);
    for (int p = 26; p < 50; ++p) {
        EXPECT_EQ(name(surround, p), "Default") << p;
        EXPECT_TRUE(sameRow(surround, p, 0)) << p;
    }
}

TEST(HeliopeTables, Identities) {
    const EffectIdentity& stereo = kHeliopeDescription.identity;
    const EffectIdentity& surround = kHeliopeSurroundDescription.identity;
    EXPECT_EQ(stereo.uniqueId, 0x5158484C);    // "QXHL"
    EXPECT_EQ(surround.uniqueId, 0x51584853);  // "QXHS"
    EXPECT_STREQ(stereo.effectName, "QX Heliope Pro");
    EXPECT_STREQ(surround.effectName, "QX Heliope Pro Surround");
    EXPECT_EQ(stereo.numInputs, 2);
    EXPECT_EQ(surround.numInputs, 6);
    EXPECT_EQ(surround.numOutputs, 2);
    EXPECT_EQ(stereo.vendorVersion, 1010);
    EXPECT_EQ(stereo.bypassParameter, -1);
    std::string yes;
    for (const char* const* c = stereo.canDoYes; *c; ++c) yes += std::string(*c) + ",";
    EXPECT_EQ(yes, "plugAsChannelInsert,plugAsSend,mixDryWet,1in2out,2in2out,");
    EXPECT_EQ(surround.canDoYes, stereo.canDoYes);
}

TEST(HeliopeTables, MappingsAtTheirEnds) {
    EXPECT_EQ(heliopeDistanceMetres(0.0f), 1.0f);
    EXPECT_EQ(heliopeDistanceMetres(1.0f), 4.0f);
    EXPECT_FLOAT_EQ(heliopeReverbSeconds(0.0f), 0.2f);
    EXPECT_FLOAT_EQ(heliopeReverbSeconds(1.0f), 0.6f);
    EXPECT_EQ(heliopeMenuIndex(2.4f), 2);
    EXPECT_EQ(heliopeMenuIndex(2.5f), 3);
    EXPECT_EQ(heliopeMenuIndex(0.0f), 0);
    EXPECT_EQ(heliopeMenuIndex(13.0f), 13);
    EXPECT_EQ(heliopeMenuIndex(std::nanf("")), 0);
    EXPECT_FALSE(heliopeSwitch(0.5f));
    EXPECT_TRUE(heliopeSwitch(0.51f));

    // Level scale: -72 dB at the bottom, -36 dB at 1/7, 0 dB at the top, and back.
    EXPECT_FLOAT_EQ(heliopeScaleDb(0.0f), -72.0f);
    EXPECT_FLOAT_EQ(heliopeScaleDb(1.0f / 7.0f), -36.0f);
    EXPECT_NEAR(heliopeScaleDb(1.0f), 0.0f, 1e-5f);
    EXPECT_NEAR(heliopeScaleGain(1.0f), 1.0f, 1e-6f);
    EXPECT_EQ(heliopeScalePosition(0.99f), 1.0f);
    EXPECT_EQ(heliopeScalePosition(2.0f), 1.0f);
    EXPECT_EQ(heliopeScalePosition(1e-4f), 0.0f);  // -80 dB
    EXPECT_EQ(heliopeScalePosition(0.0f), 0.0f);
    for (float p : {0.05f, 0.1f, 0.2f, 0.5f, 0.9f})
        EXPECT_NEAR(heliopeScalePosition(heliopeScaleGain(p)), p, 1e-4f) << p;
}

}  // namespace
}  // namespace qx
