// The spreadix plug-in driven as a host drives it: identity of the older generation,
// parameters, programs, both processing entries, the VU and state round trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "effects/spreadix/spreadix_tables.h"
#include "tests/vsthost/host_test_support.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/preset_file.h"

namespace qx {
namespace {

using host::Plugin;
using testing::padded;

std::unique_ptr<Plugin> loadSpreadix() {
    return testing::loadPlugin(QX_SPREADIX_PATH);
}

using Channels = std::vector<std::vector<float>>;

Channels music(int n) {
    Channels s(2, std::vector<float>(n));
    for (int i = 0; i < n; ++i) {
        s[0][i] = 0.5f * std::sin(0.013f * i) + 0.2f * std::sin(0.31f * i);
        s[1][i] = 0.4f * std::sin(0.021f * i + 1.0f) - 0.1f * std::sin(0.17f * i);
    }
    return s;
}

TEST(SpreadixHost, IdentityOfTheOlderGeneration) {
    auto p = loadSpreadix();
    ASSERT_TRUE(p);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "before effOpen" : "after effMainsChanged off");
        EXPECT_EQ(p->uniqueId(), ('Q' << 24) | ('X' << 16) | ('S' << 8) | 'X');
        EXPECT_EQ(p->version(), 1);
        EXPECT_EQ(p->numInputs(), 2);
        EXPECT_EQ(p->numOutputs(), 2);
        EXPECT_EQ(p->numParams(), 8);
        EXPECT_EQ(p->numPrograms(), 19);
        EXPECT_EQ(p->initialDelay(), 0);
        EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor,
                  vst::effFlagsCanMono | vst::effFlagsCanReplacing | vst::effFlagsNoSoundInStop |
                      vst::effFlagsHasVu | vst::effFlagsHasClip);
        EXPECT_EQ(p->effect()->processDoubleReplacing, nullptr);
        EXPECT_EQ(p->effectName(), "Spreadix");
        EXPECT_EQ(p->vendorString(), "QX");
        EXPECT_EQ(p->productString(), "QX VST PLUGIN");
        EXPECT_EQ(p->vendorVersion(), 105);
        EXPECT_EQ(p->vstVersion(), 2300);
        EXPECT_EQ(p->category(), 0);
        EXPECT_EQ(p->tailSize(), 0);
        EXPECT_FALSE(p->programChunks());
        EXPECT_EQ(p->setBypass(true), false);
        EXPECT_EQ(p->getParameter(kSpreadixBypass), 0.0f);
        for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "1in2out", "2in2out"})
            EXPECT_EQ(p->canDo(yes), 1) << yes;
        for (const char* no : {"mixDryWet", "1in1out", "2in1out", "bypass", "Bypass", "",
                               "receiveVstEvents", "offline", "2in2Out"})
            EXPECT_EQ(p->canDo(no), -1) << no;
        p->open();
        p->prepare(48000.0f, 256);
        p->suspend();
    }
}

TEST(SpreadixHost, ParameterNamesLabelsDisplaysAndEditorTexts) {
    auto p = loadSpreadix();
    ASSERT_TRUE(p);
    const char* names[] = {"PanL",   "PanR",       "Level",          "Dipole mode",
                           "Bypass", "Side Level", "Synth side mix", "Synth character"};
    const char* labels[] = {"%", "%", "dB", "on/off", "on/off", "%", "%", "%"};
    const char* displays[] = {"-100.000", "100.000", "-4.000", "0.000",
                              "0.000",    "100.000", "0.000",  "50.000"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(p->parameterName(i), padded(names[i], 15)) << i;
        EXPECT_EQ(p->parameterLabel(i), padded(labels[i], 15)) << i;
        EXPECT_EQ(p->parameterDisplay(i), displays[i]) << i;
    }

    // The level reaches the host as dB and the editor as whole dB.
    char text[32];
    const struct {
        float v;
        const char* host;
        const char* editor;
    } levels[] = {{0.75f, "0.000", "0dB"}, {1.0f, "20.000", "20dB"}, {0.0f, "-60.000", "-60dB"}};
    for (const auto& l : levels) {
        p->setParameter(kSpreadixLevel, l.v);
        EXPECT_EQ(p->parameterDisplay(kSpreadixLevel), l.host);
        spreadixParameterText(kSpreadixLevel, p->getParameter(kSpreadixLevel), text);
        EXPECT_STREQ(text, l.editor);
    }
    p->setParameter(kSpreadixSynthMix, 0.5f);
    EXPECT_EQ(p->parameterDisplay(kSpreadixSynthMix), "50.000");
    spreadixParameterText(kSpreadixSynthMix, 0.5f, text);
    EXPECT_STREQ(text, "50%");
    p->setParameter(kSpreadixPanLeft, 0.0f);
    EXPECT_EQ(p->parameterDisplay(kSpreadixPanLeft), "-200.000");

    // Out-of-range indices leave everything alone.
    p->setParameter(8, 0.9f);
    p->setParameter(-1, 0.9f);
    EXPECT_EQ(p->getParameter(8), 0.0f);
    EXPECT_EQ(p->parameterName(8), "");
    EXPECT_EQ(p->parameterDisplay(-1), "");
}

TEST(SpreadixHost, FactoryProgramsAndTheirSound) {
    auto p = loadSpreadix();
    ASSERT_TRUE(p);
    const char* names[] = {"Default",           "Extra pan (ITU)", "Extra pan (dipole)",
                           "Side gain",         "Decorrelate",     "All left (ITU)",
                           "All left (dipole)", "All right (ITU)", "All right (dipole)"};
    EXPECT_EQ(p->program(), 0);
    for (int i = 0; i < 19; ++i) {
        std::string name;
        ASSERT_TRUE(p->programNameIndexed(i, &name));
        EXPECT_EQ(name, padded(i < 9 ? names[i] : "Default", 23)) << i;
    }
    p->setProgram(5);  // All left (ITU): mono, both sources left of the stage
    EXPECT_EQ(p->getParameter(kSpreadixPanLeft), 0.0f);
    EXPECT_EQ(p->getParameter(kSpreadixSideLevel), 0.0f);
    p->prepare(44100.0f, 512);
    // A right-only click ends up mostly on the left, with the inverted crosstalk 11 samples
    // later on the right.
    Channels in(2, std::vector<float>(512, 0.0f));
    in[1][0] = 1.0f;
    const Channels out = p->run(in, 512);
    EXPECT_GT(std::fabs(out[0][0]), 0.1f);
    for (int i = 0; i < 11; ++i) EXPECT_NEAR(out[1][i], 0.0f, 1e-6f) << i;
    float crosstalk = 0.0f;
    for (int i = 11; i < 60; ++i) crosstalk = std::min(crosstalk, out[1][i]);
    EXPECT_LT(crosstalk, -0.01f);

    // Edits stay with their program.
    p->setProgram(0);
    p->setParameter(kSpreadixSideLevel, 0.75f);
    p->setProgramName("Wide");
    p->setProgram(3);
    EXPECT_EQ(p->getParameter(kSpreadixSideLevel), 0.5f);
    p->setProgram(0);
    EXPECT_EQ(p->getParameter(kSpreadixSideLevel), 0.75f);
    EXPECT_EQ(p->programName(), "Wide");
}

TEST(SpreadixHost, AccumulatingReplacingVuAndZeroFrames) {
    auto a = loadSpreadix();
    auto b = loadSpreadix();
    ASSERT_TRUE(a && b);
    a->prepare(44100.0f, 512);
    b->prepare(44100.0f, 512);
    Channels in = music(512);
    float* inPtr[2] = {in[0].data(), in[1].data()};

    Channels out(2, std::vector<float>(512, 7.0f));
    float* outPtr[2] = {out[0].data(), out[1].data()};
    a->processReplacing(inPtr, outPtr, 0);
    a->processAccumulating(inPtr, outPtr, 0);
    EXPECT_EQ(out[0][0], 7.0f);
    EXPECT_EQ(a->vu(), 0.0f);

    // Fresh instances draw the same anti-denormal offsets, so accumulating adds exactly what
    // replacing writes.
    Channels added(2, std::vector<float>(512, 0.25f));
    float* addPtr[2] = {added[0].data(), added[1].data()};
    a->processReplacing(inPtr, outPtr, 512);
    b->processAccumulating(inPtr, addPtr, 512);
    float peak = 0.0f;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 512; ++i) {
            EXPECT_FLOAT_EQ(added[c][i], 0.25f + out[c][i]) << c << " " << i;
            peak = std::max(peak, std::fabs(out[c][i]));
        }
    EXPECT_GT(peak, 0.1f);
    EXPECT_NEAR(a->vu(), peak, 1.0f / 32767.0f);
    EXPECT_EQ(a->vu(), 0.0f);  // read and cleared

    // Default program: unchanged width at -4 dB (plus the tiny offset).
    const float gain = std::pow(10.0f, -4.0f / 20.0f);
    for (int i = 0; i < 512; ++i) EXPECT_NEAR(out[0][i], gain * in[0][i], 1e-6f) << i;
    // Bypass passes the input.
    a->setParameter(kSpreadixBypass, 1.0f);
    a->processReplacing(inPtr, outPtr, 512);
    for (int i = 0; i < 512; ++i) EXPECT_NEAR(out[1][i], in[1][i], 1e-7f) << i;
}

TEST(SpreadixHost, BlockSizeInvarianceAndBankRoundTrip) {
    auto a = loadSpreadix();
    auto b = loadSpreadix();
    ASSERT_TRUE(a && b);
    a->setProgram(4);  // Decorrelate: every delay line in use
    a->setParameter(kSpreadixPanLeft, 0.1f);
    a->setParameter(kSpreadixPanRight, 0.95f);
    a->setProgramName("Edited");
    a->setProgram(2);
    a->setParameter(kSpreadixSynthCharacter, 0.2f);

    std::string error;
    ASSERT_TRUE(host::applyPreset(*b, host::captureBank(*a), &error)) << error;
    EXPECT_EQ(b->program(), 2);
    for (int prog = 0; prog < 19; ++prog) {
        a->setProgram(prog);
        b->setProgram(prog);
        EXPECT_EQ(b->programName(), a->programName());
        for (int i = 0; i < 8; ++i) EXPECT_EQ(b->getParameter(i), a->getParameter(i));
    }
    a->setProgram(4);
    b->setProgram(4);
    a->prepare(48000.0f, 4096);
    b->prepare(48000.0f, 4096);
    // The offset is drawn per block, so block sizes agree within its size only.
    const Channels in = music(6000);
    const Channels whole = a->run(in, 4096);
    const Channels pieces = b->run(in, 1);
    auto c = loadSpreadix();
    ASSERT_TRUE(c);
    c->setProgram(4);
    c->setParameter(kSpreadixPanLeft, 0.1f);
    c->setParameter(kSpreadixPanRight, 0.95f);
    c->prepare(48000.0f, 4096);
    const Channels odd = c->run(in, 37);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 6000; ++i) {
            ASSERT_NEAR(odd[ch][i], whole[ch][i], 2e-5f) << ch << " " << i;
            ASSERT_NEAR(pieces[ch][i], whole[ch][i], 2e-5f) << ch << " " << i;
        }
}

}  // namespace
}  // namespace qx
