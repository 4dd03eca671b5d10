// The compressor's tables for both builds, its value mappings, texts and transfer curve.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "effects/red_thuddo/red_thuddo_tables.h"

namespace qx {
namespace {

std::string text(int index, float x) {
    char buffer[64];
    redThuddoParameterText(index, x, buffer, sizeof buffer);
    return buffer;
}

TEST(RedThuddoTables, IdentityOfBothBuilds) {
    const EffectIdentity& a = kRedThuddoDescription.identity;
    const EffectIdentity& b = kRedThuddoAltDescription.identity;
    EXPECT_STREQ(a.effectName, "QX Red Thuddo Pro");
    EXPECT_STREQ(b.effectName, "QX Red Thuddo Pro alt");
    EXPECT_STREQ(b.productString, "QX Red Thuddo Pro alt");
    EXPECT_EQ(a.numInputs, 4);
    EXPECT_EQ(b.numInputs, 2);
    for (const EffectIdentity* id : {&a, &b}) {
        EXPECT_STREQ(id->vendorString, "QX");
        EXPECT_EQ(id->uniqueId, 0x51585254);  // "QXRT", first character highest
        EXPECT_EQ(id->vendorVersion, 103);
        EXPECT_EQ(id->numOutputs, 2);
        EXPECT_EQ(id->initialDelay, 0);
        EXPECT_EQ(id->flags, vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing |
                                 vst::effFlagsNoSoundInStop);
        EXPECT_EQ(id->bypassParameter, -1);
        int yes = 0;
        for (const char* const* t = id->canDoYes; *t; ++t, ++yes) EXPECT_STRNE(*t, "bypass");
        EXPECT_EQ(yes, 7);
    }
    // One set of parameters and programs for both.
    EXPECT_EQ(kRedThuddoDescription.factory.values, kRedThuddoAltDescription.factory.values);
    EXPECT_EQ(kRedThuddoDescription.parameters.names, kRedThuddoAltDescription.parameters.names);
}

TEST(RedThuddoTables, PaddedTextsRangesAndFactoryPrograms) {
    const ParameterTable& p = kRedThuddoDescription.parameters;
    const FactoryProgramTable& f = kRedThuddoDescription.factory;
    ASSERT_EQ(p.count, 20);
    ASSERT_EQ(f.numPrograms, 40);
    ASSERT_EQ(f.numParams, 20);
    for (int i = 0; i < p.count; ++i) {
        EXPECT_EQ(std::strlen(p.names[i]), 15u) << i;
        EXPECT_EQ(std::strlen(p.labels[i]), 2u) << i;
        EXPECT_LT(p.displayRanges[i].minimum, p.displayRanges[i].maximum) << i;
    }
    EXPECT_STREQ(p.names[kRedThuddoHighPassFreq], "High pass freq ");
    EXPECT_STREQ(p.labels[kRedThuddoHysteresis], "% ");
    EXPECT_STREQ(p.labels[kRedThuddoRatio1], "  ");
    int sidechainPrograms = 0;
    for (int prog = 0; prog < f.numPrograms; ++prog) {
        EXPECT_EQ(std::strlen(f.names[prog]), 23u) << prog;
        const float* row = f.row(prog);
        for (int i = 0; i < f.numParams; ++i) {
            EXPECT_GE(row[i], 0.0f) << prog << " " << i;
            EXPECT_LE(row[i], 1.0f) << prog << " " << i;
        }
        EXPECT_EQ(row[kRedThuddoBypass] + row[kRedThuddoMono] + row[kRedThuddoListen], 0.0f);
        EXPECT_EQ(row[kRedThuddoMaxGain], 1.0f);
        if (row[kRedThuddoSidechain] > 0.5f) {
            ++sidechainPrograms;
            EXPECT_EQ(prog, 32);
        }
        if (prog >= 33) {
            EXPECT_STREQ(f.names[prog], f.names[0]);
            EXPECT_EQ(std::memcmp(row, f.row(0), sizeof(float) * 20), 0);
        }
    }
    EXPECT_EQ(sidechainPrograms, 1);
    EXPECT_STREQ(f.names[0], "Default: clean         ");
    EXPECT_STREQ(f.names[31], "Mix: squeeze transients");
    // Spot checks of columns that are easy to shift.
    EXPECT_EQ(f.row(15)[kRedThuddoHoldTime], 0.3f);
    EXPECT_EQ(f.row(18)[kRedThuddoHighPassFreq], 1.0f);
    EXPECT_EQ(f.row(20)[kRedThuddoRatio2], 0.01f);
    EXPECT_EQ(f.row(14)[kRedThuddoPostGain], 0.7f);
    EXPECT_EQ(f.row(14)[kRedThuddoReleaseCurve], 1.0f);
    EXPECT_EQ(f.row(12)[kRedThuddoDryWet], 0.9f);
}

TEST(RedThuddoTables, MappingsAtTheirEnds) {
    EXPECT_EQ(redThuddoGainDb(0.0f), -20.0f);
    EXPECT_EQ(redThuddoGainDb(1.0f), 20.0f);
    EXPECT_EQ(redThuddoHighPassHz(0.0f), 10.0f);
    EXPECT_EQ(redThuddoHighPassHz(1.0f), 10000.0f);
    EXPECT_EQ(redThuddoLowPassHz(0.0f), 100.0f);
    EXPECT_EQ(redThuddoLowPassHz(1.0f), 20000.0f);
    EXPECT_NEAR(redThuddoAttackSeconds(0.0f), 0.0001f, 1e-9f);
    EXPECT_NEAR(redThuddoAttackSeconds(1.0f), 0.3f, 1e-7f);
    EXPECT_EQ(redThuddoHoldSeconds(0.0f), 0.0f);
    EXPECT_NEAR(redThuddoHoldSeconds(1.0f), 0.5f, 1e-7f);
    EXPECT_NEAR(redThuddoReleaseSeconds(0.0f), 0.001f, 1e-9f);
    EXPECT_NEAR(redThuddoReleaseSeconds(1.0f), 1.0f, 1e-7f);
    EXPECT_EQ(redThuddoThresholdDb(0.0f), -50.0f);
    EXPECT_EQ(redThuddoThresholdDb(1.0f), 0.0f);
    EXPECT_EQ(redThuddoMaxGainDb(1.0f), 40.0f);
    EXPECT_EQ(redThuddoDryWet(0.25f), 0.25f);
    // Ratios: 0.1 to 10 over 99 percent of the travel, then infinite.
    EXPECT_NEAR(redThuddoRatio(0.0f), 0.1f, 1e-7f);
    EXPECT_NEAR(redThuddoRatio(0.99f), 10.0f, 1e-5f);
    EXPECT_EQ(redThuddoRatio(0.9905f), 20.0f);
    EXPECT_EQ(redThuddoRatio(1.0f), 20.0f);
    EXPECT_EQ(redThuddoDisplayRatio(1.0f), 1000.0f);
    EXPECT_NEAR(redThuddoDisplayRatio(0.5f), 5.1f, 1e-6f);
    // Switches above one half; stray host values map like the nearer end, NaN like 0.
    EXPECT_FALSE(redThuddoSwitch(0.5f));
    EXPECT_TRUE(redThuddoSwitch(0.51f));
    EXPECT_EQ(redThuddoGainDb(7.0f), 20.0f);
    EXPECT_EQ(redThuddoHighPassHz(-1.0f), 10.0f);
    EXPECT_EQ(redThuddoThresholdDb(std::nanf("")), -50.0f);
    EXPECT_FALSE(redThuddoSwitch(std::nanf("")));
}

TEST(RedThuddoTables, EditorTexts) {
    EXPECT_EQ(text(kRedThuddoRatio1, 1.0f), "Ratio 1         inf");
    EXPECT_EQ(text(kRedThuddoRatio2, 0.5f), "Ratio 2         5.10   ");
    EXPECT_EQ(text(kRedThuddoPostGain, 0.25f), "Post gain       -10.00 dB");
    EXPECT_EQ(text(kRedThuddoHysteresis, 0.5f), "Hysteresis      50.00 % ");
    EXPECT_EQ(text(kRedThuddoLimiter, 1.0f), "Limiter         On");
    EXPECT_EQ(text(kRedThuddoSoftKnee, 0.2f), "Soft knee       Off");
    EXPECT_EQ(text(kRedThuddoReleaseCurve, 0.0f), "Release curve   1.00   ");
    EXPECT_EQ(text(kRedThuddoNumParams, 0.5f), "");
    char number[16];
    redThuddoCurveNumberText(12.4f, number, sizeof number);
    EXPECT_STREQ(number, "12");
    redThuddoCurveNumberText(3.14f, number, sizeof number);
    EXPECT_STREQ(number, "3.1");
    EXPECT_EQ(redThuddoKind(kRedThuddoSidechain), RedThuddoKind::Switch);
    EXPECT_EQ(redThuddoKind(kRedThuddoReleaseCurve), RedThuddoKind::Plain);
}

TEST(RedThuddoTables, TransferCurve) {
    TransferCurveSettings s;
    EXPECT_FALSE(applyTransferCurveParameter(s, kRedThuddoAttackTime, 1.0f));
    EXPECT_TRUE(applyTransferCurveParameter(s, kRedThuddoThreshold, 0.6f));  // -20 dB
    EXPECT_TRUE(applyTransferCurveParameter(s, kRedThuddoRatio1, 1.0f));
    EXPECT_EQ(s.ratio1, 1000.0f);
    s.ratio1 = 4.0f;
    s.ratio2 = 0.5f;
    EXPECT_FLOAT_EQ(transferCurveDb(s, -20.0f), -20.0f);
    EXPECT_FLOAT_EQ(transferCurveDb(s, 0.0f), -15.0f);
    EXPECT_FLOAT_EQ(transferCurveDb(s, -30.0f), -40.0f);
    // The knee meets both slopes 6 dB from the threshold and lies between them.
    s.softKnee = true;
    EXPECT_NEAR(transferCurveDb(s, -14.0f), -20.0f + 6.0f / 4.0f, 1e-5f);
    EXPECT_NEAR(transferCurveDb(s, -26.0f), -20.0f - 6.0f / 0.5f, 1e-5f);
    EXPECT_LT(transferCurveDb(s, -20.0f), -20.0f);
    s.ratio2 = 4.0f;
    EXPECT_NEAR(transferCurveDb(s, -20.0f), -20.0f, 1e-5f);
    // Max gain bounds the distance from the diagonal; post gain lifts both curves.
    s.softKnee = false;
    s.ratio1 = 1000.0f;
    s.maxGainDb = 6.0f;
    EXPECT_FLOAT_EQ(transferCurveDb(s, 0.0f), -6.0f);
    s.postGainDb = 3.0f;
    EXPECT_FLOAT_EQ(transferCurveDb(s, 0.0f), -3.0f);
    EXPECT_FLOAT_EQ(transferMixCurveDb(s, 0.0f), -3.0f);  // fully wet
    s.dryWet = 0.0f;
    EXPECT_NEAR(transferMixCurveDb(s, -5.0f), -2.0f, 1e-5f);
    s.dryWet = 0.5f;
    const float mixed = transferMixCurveDb(s, 0.0f);
    EXPECT_NEAR(mixed, 20.0f * std::log10(0.5f + 0.5f * std::pow(10.0f, -6.0f / 20.0f)) + 3.0f,
                1e-4f);
    // Operating point.
    EXPECT_NEAR(transferInputDb(1e-3f), -30.0f, 1e-4f);
    EXPECT_EQ(transferInputDb(1e-9f), -50.0f);
    EXPECT_EQ(transferInputDb(10.0f), 0.0f);
    EXPECT_NEAR(gainMeterDb(0.5f), -6.0206f, 1e-4f);
    EXPECT_EQ(gainMeterDb(0.0f), -200.0f);
}

}  // namespace
}  // namespace qx
