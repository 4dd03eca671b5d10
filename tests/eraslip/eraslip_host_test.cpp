// The eraslip plug-in driven as a host drives it: identity, parameters, programs and
// processing answers through the exported entry point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/vsthost/host_test_support.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

using host::Plugin;
using testing::padded;

std::unique_ptr<Plugin> loadEraslip(host::LoadOptions options = {}) {
    return testing::loadPlugin(QX_ERASLIP_PATH, options);
}

TEST(EraslipHost, ExportsOnlyTheEntryPoints) {
    FILE* pipe = popen("nm -D --defined-only " QX_ERASLIP_PATH " 2>/dev/null", "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        symbols.push_back(s.substr(s.rfind(' ') + 1));
    }
    pclose(pipe);
    if (symbols.empty()) GTEST_SKIP() << "nm is not available";
    std::sort(symbols.begin(), symbols.end());
    EXPECT_EQ(symbols, (std::vector<std::string>{"VSTPluginMain", "main"}));
}

TEST(EraslipHost, IdentityAnswersBeforeOpenAndAfterSuspend) {
    auto p = loadEraslip();
    ASSERT_TRUE(p);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "before effOpen" : "after effMainsChanged off");
        EXPECT_EQ(p->effect()->magic, vst::kEffectMagic);
        EXPECT_EQ(p->uniqueId(), ('Q' << 24) | ('X' << 16) | ('E' << 8) | 'S');
        EXPECT_EQ(p->version(), 1);
        EXPECT_EQ(p->numInputs(), 2);
        EXPECT_EQ(p->numOutputs(), 2);
        EXPECT_EQ(p->numParams(), 9);
        EXPECT_EQ(p->numPrograms(), 11);
        EXPECT_EQ(p->initialDelay(), 0);
        EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor,
                  vst::effFlagsCanMono | vst::effFlagsCanReplacing | vst::effFlagsNoSoundInStop |
                      vst::effFlagsHasVu | vst::effFlagsHasClip);
        EXPECT_EQ(p->effect()->processDoubleReplacing, nullptr);
        EXPECT_EQ(p->effect()->ioRatio, 1.0f);
        EXPECT_EQ(p->effectName(), "Eraslip");
        EXPECT_EQ(p->vendorString(), "QX");
        EXPECT_EQ(p->productString(), "QX VST PLUGIN");
        EXPECT_EQ(p->vendorVersion(), 102);
        EXPECT_EQ(p->vstVersion(), 2300);
        EXPECT_EQ(p->category(), 0);
        EXPECT_EQ(p->tailSize(), 0);
        EXPECT_EQ(p->dispatch(vst::effGetChunk, 0, 0, nullptr), 0);
        for (int index : {0, 8, 9, -1}) EXPECT_EQ(p->dispatch(vst::effCanBeAutomated, index), 1);
        char error[64] = {};
        p->dispatch(vst::effGetErrorText, 0, 0, error);
        EXPECT_STREQ(error, "Error");
        EXPECT_EQ(p->setBypass(true), false);
        EXPECT_EQ(p->getParameter(8), 0.0f);  // host bypass is not supported, so nothing moved

        for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in1out",
                                "1in2out", "2in1out", "2in2out"})
            EXPECT_EQ(p->canDo(yes), 1) << yes;
        for (const char* no : {"bypass", "Bypass", "", "receiveVstEvents", "sendVstMidiEvent",
                               "offline", "midiProgramNames", "2in2Out"})
            EXPECT_EQ(p->canDo(no), -1) << no;
        p->open();
        p->prepare(48000.0f, 256);
        p->suspend();
    }
}

TEST(EraslipHost, ParametersNamesLabelsAndDisplays) {
    auto p = loadEraslip();
    ASSERT_TRUE(p);
    const char* names[] = {"Pan",       "Out", "Rate", "Bits",  "High cut",
                           "Crosstalk", "AD",  "DA",   "Bypass"};
    const char* labels[] = {"%", "dB", "Hz", "Bits", "Hz", "%", "%", "%", "-"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(p->parameterName(i), padded(names[i], 15)) << i;
        EXPECT_EQ(p->parameterLabel(i), padded(labels[i], 15)) << i;
    }
    const char* displays[] = {"0.000", "-4.000", "44100.000", "16.000", "0.000",
                              "0.000", "0.000",  "0.000",     "0.000"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(p->parameterDisplay(i), displays[i]) << i;
    p->setParameter(0, 0.25f);
    EXPECT_EQ(p->parameterDisplay(0), "-50.000");
    p->setParameter(4, 0.5f);
    EXPECT_EQ(p->parameterDisplay(4), "500.000");

    // Out-of-range indices leave everything alone.
    p->setParameter(9, 0.9f);
    p->setParameter(-1, 0.9f);
    EXPECT_EQ(p->getParameter(9), 0.0f);
    EXPECT_EQ(p->getParameter(-1), 0.0f);
    EXPECT_EQ(p->parameterName(9), "");
    EXPECT_EQ(p->parameterLabel(-3), "");
    EXPECT_EQ(p->parameterDisplay(1000), "");
    EXPECT_EQ(p->getParameter(0), 0.25f);
}

TEST(EraslipHost, ProgramsKeepTheirEditsAndNames) {
    auto p = loadEraslip();
    ASSERT_TRUE(p);
    const char* names[] = {"Default",         "Akai S01", "C=64",    "Telephone",
                           "Synthetic highs", "Amiga",    "Default", "Default",
                           "Default",         "Default",  "Default"};
    const float rates[] = {1, 0.71259f, 0.09501f, 0.09501f, 0.21378f, 0.47624704f, 1, 1, 1, 1, 1};
    const float bits[] = {1, 1, 0.25f, 0.5f, 1, 0.5f, 1, 1, 1, 1, 1};
    EXPECT_EQ(p->program(), 0);
    for (int i = 0; i < 11; ++i) {
        std::string name;
        ASSERT_TRUE(p->programNameIndexed(i, &name));
        EXPECT_EQ(name, padded(names[i], 23));
        p->setProgram(i);
        EXPECT_EQ(p->program(), i);
        EXPECT_EQ(p->programName(), padded(names[i], 23));
        EXPECT_EQ(p->getParameter(2), rates[i]);
        EXPECT_EQ(p->getParameter(3), bits[i]);
        EXPECT_EQ(p->getParameter(1), 0.7f);
    }
    std::string untouched = "untouched";
    EXPECT_FALSE(p->programNameIndexed(11, &untouched));
    EXPECT_FALSE(p->programNameIndexed(-1, &untouched));

    p->setProgram(0);
    p->setParameter(3, 0.25f);
    p->setProgramName("My own program with a long name");  // 31 characters
    p->setProgram(1);
    EXPECT_EQ(p->getParameter(3), 1.0f);
    p->setProgram(11);  // ignored
    p->setProgram(-2);
    EXPECT_EQ(p->program(), 1);
    p->setProgram(0);
    EXPECT_EQ(p->getParameter(3), 0.25f);
    EXPECT_EQ(p->programName(), "My own program with a l");
}

struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(int n, float fill = 0.0f) : l(n, fill), r(n, fill) {}
    float* ptr[2] = {};
    float** pointers() {
        ptr[0] = l.data();
        ptr[1] = r.data();
        return ptr;
    }
};

Stereo testSignal(int n) {
    Stereo s(n);
    for (int i = 0; i < n; ++i) {
        s.l[i] = 0.6f * std::sin(0.01f * i);
        s.r[i] = 0.4f * std::sin(0.023f * i + 1.0f);
    }
    return s;
}

TEST(EraslipHost, ProcessingEntriesAndVu) {
    auto p = loadEraslip();
    ASSERT_TRUE(p);
    p->prepare(44100.0f, 512);
    Stereo in = testSignal(512);

    // A block of 0 frames touches no output.
    Stereo out(512, 7.0f);
    p->processReplacing(in.pointers(), out.pointers(), 0);
    p->processAccumulating(in.pointers(), out.pointers(), 0);
    EXPECT_EQ(out.l[0], 7.0f);
    EXPECT_EQ(p->vu(), 0.0f);

    p->processReplacing(in.pointers(), out.pointers(), 512);
    float peak = 0.0f;
    for (int i = 0; i < 512; ++i) peak = std::max({peak, std::fabs(out.l[i]), std::fabs(out.r[i])});
    EXPECT_GT(peak, 0.1f);
    EXPECT_NEAR(p->vu(), peak, 1.0f / 32767.0f);
    EXPECT_EQ(p->vu(), 0.0f);  // read and cleared

    // The accumulating entry adds what the replacing entry would write (fresh instances
    // draw the same anti-denormal offsets).
    auto a = loadEraslip();
    auto b = loadEraslip();
    a->prepare(44100.0f, 512);
    b->prepare(44100.0f, 512);
    Stereo replaced(512, 123.0f), added(512, 0.25f);
    a->processReplacing(in.pointers(), replaced.pointers(), 512);
    b->processAccumulating(in.pointers(), added.pointers(), 512);
    for (int i = 0; i < 512; ++i) {
        EXPECT_FLOAT_EQ(added.l[i], 0.25f + replaced.l[i]) << i;
        EXPECT_FLOAT_EQ(added.r[i], 0.25f + replaced.r[i]) << i;
    }

    // Bypass passes the input (plus the tiny anti-denormal offset).
    p->setParameter(8, 1.0f);
    p->processReplacing(in.pointers(), out.pointers(), 512);
    for (int i = 0; i < 512; ++i) EXPECT_NEAR(out.l[i], in.l[i], 1e-7f);
}

TEST(EraslipHost, RefusesHostsOlderThanVst2) {
    host::LoadOptions old;
    old.hostVersion = 0;
    std::string error;
    EXPECT_EQ(Plugin::load(QX_ERASLIP_PATH, &error, old), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace qx
