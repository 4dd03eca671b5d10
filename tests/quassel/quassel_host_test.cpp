// The quassel plug-in driven as a host drives it: identity, all parameter texts, the
// programs, latency in every state, block lengths and all three processing entries (the
// generic plug-in tests add the bank round trip).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/quassel/test_signals.h"
#include "tests/vsthost/host_test_support.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

using test::noise;
using test::sine;

using host::Plugin;
using testing::padded;

std::unique_ptr<Plugin> loadQuassel(float rate = 44100.0f) {
    host::LoadOptions options;
    options.sampleRate = rate;
    auto plugin = testing::loadPlugin(QX_QUASSEL_PATH, options);
    if (plugin) plugin->prepare(rate, 512);
    return plugin;
}

double rms(const std::vector<float>& x, size_t from) {
    double sum = 0.0;
    for (size_t i = from; i < x.size(); ++i) sum += double(x[i]) * x[i];
    return std::sqrt(sum / double(x.size() - from));
}

TEST(QuasselHost, IdentityAnswers) {
    auto p = loadQuassel();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->effect()->magic, vst::kEffectMagic);
    EXPECT_EQ(p->uniqueId(), ('Q' << 24) | ('X' << 16) | ('Q' << 8) | 'S');
    EXPECT_EQ(p->numInputs(), 2);
    EXPECT_EQ(p->numOutputs(), 2);
    EXPECT_EQ(p->numParams(), 129);
    EXPECT_EQ(p->numPrograms(), 20);
    EXPECT_EQ(p->initialDelay(), 1024);
    EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor, vst::effFlagsCanReplacing |
                                                        vst::effFlagsCanDoubleReplacing |
                                                        vst::effFlagsNoSoundInStop);
    EXPECT_TRUE(p->canDoubleReplacing());
    EXPECT_EQ(p->effectName(), "QX Quassel Pro");
    EXPECT_EQ(p->productString(), "QX Quassel Pro");
    EXPECT_EQ(p->vendorString(), "QX");
    EXPECT_EQ(p->vendorVersion(), 101);
    EXPECT_EQ(p->vstVersion(), 2400);
    EXPECT_EQ(p->category(), 1);
    EXPECT_EQ(p->tailSize(), 0);
    void* chunk = nullptr;
    EXPECT_EQ(p->dispatch(vst::effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(p->programChunks(), false);
    char error[64] = {};
    p->dispatch(vst::effGetErrorText, 0, 0, error);
    EXPECT_STREQ(error, "Error");
    for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in1out", "1in2out",
                            "2in1out", "2in2out"})
        EXPECT_EQ(p->canDo(yes), 1) << yes;
    for (const char* no :
         {"bypass", "Bypass", "", "sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
          "receiveVstMidiEvent", "receiveVstTimeInfo", "offline", "midiProgramNames", "2in2out "})
        EXPECT_EQ(p->canDo(no), -1) << no;
    // No host bypass: the request is refused and the parameter stays.
    EXPECT_FALSE(p->setBypass(true));
    EXPECT_EQ(p->getParameter(1), 0.0f);
}

// Every name and label from the current program, and every display at two values.
TEST(QuasselHost, AllNamesLabelsAndDisplays) {
    auto p = loadQuassel();
    ASSERT_TRUE(p);
    struct Expected {
        std::string name, label;
        float lo, hi;
    };
    std::vector<Expected> table = {{"Output trim", "  ", 0, 1}, {"Bypass", "  ", 0, 1}};
    const struct {
        const char* name;
        const char* label;
        float lo, hi;
    } families[] = {{"MakeupGain", "  ", 0, 10},   {"Threshold", "  ", 0, 10},
                    {"Ratio", "  ", 1, 10},        {"Attack", "ms", 0.1f, 100},
                    {"Release", "ms", 0.1f, 1000}, {"Warmth", "  ", 0, 1}};
    for (const auto& f : families)
        for (int b = 1; b <= 20; ++b) {
            char name[32];
            std::snprintf(name, sizeof name, "%s %02d", f.name, b);
            table.push_back({name, f.label, f.lo, f.hi});
        }
    const Expected rest[] = {{"GUI mode", "  ", 0, 3},        {"Pre gain", "  ", 0, 10},
                             {"Dry wet", "% ", 0, 100},       {"Number of bands", "  ", 9, 20},
                             {"Filter order", "  ", 3, 5.9f}, {"Display release", "% ", 1, 99},
                             {"Warmth", "  ", 0, 1}};
    table.insert(table.end(), std::begin(rest), std::end(rest));
    ASSERT_EQ(table.size(), 129u);
    for (int i = 0; i < 129; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p->parameterName(i), padded(table[i].name, 15));
        EXPECT_EQ(p->parameterLabel(i), table[i].label);
        for (float x : {0.0f, 0.37f, 1.0f}) {
            p->setParameter(i, x);
            EXPECT_EQ(p->getParameter(i), x);
            char expected[32];
            std::snprintf(expected, sizeof expected, "%3.3f",
                          table[i].lo + x * (table[i].hi - table[i].lo));
            EXPECT_EQ(p->parameterDisplay(i), expected) << x;
        }
    }
    p->setParameter(124, 0.5f);
    EXPECT_EQ(p->parameterDisplay(124), "50.000");
    // Out of range: nothing stored, nothing answered.
    p->setParameter(129, 0.7f);
    EXPECT_EQ(p->getParameter(129), 0.0f);
    EXPECT_EQ(p->parameterName(129), "");
}

TEST(QuasselHost, ProgramsNamesAndSelection) {
    auto p = loadQuassel();
    ASSERT_TRUE(p);
    const char* names[20] = {"Default clean",          "Mix: subtle",
                             "Mix: first aid",         "Mix: first aid (warmer)",
                             "Mix: carefull, hot!",    "Mix: bass limiter",
                             "Drums: thuddo kitt",     "Drums: multi-band comp",
                             "Drums: distorted",       "Drums: overdone",
                             "FX: phone call",         "FX: public address spkr",
                             "Speech: multi-band comp"};
    for (int i = 13; i < 20; ++i) names[i] = "Default clean";
    for (int i = 0; i < 20; ++i) {
        std::string name;
        ASSERT_TRUE(p->programNameIndexed(i, &name));
        EXPECT_EQ(name, padded(names[i], 23)) << i;
    }
    EXPECT_FALSE(p->dispatch(vst::effGetProgramNameIndexed, 20, 0, nullptr));

    // A few values that distinguish the programs, read back as stored.
    p->setProgram(5);  // "Mix: bass limiter": bands 01-02 limit the bass
    EXPECT_EQ(p->getParameter(22), 0.1f);
    EXPECT_EQ(p->getParameter(24), 1.0f);
    EXPECT_EQ(p->getParameter(42), 1.0f);
    EXPECT_EQ(p->getParameter(62), 0.0f);
    p->setProgram(8);  // "Drums: distorted": attack and release ramps
    EXPECT_EQ(p->getParameter(62 + 3), 0.06f);
    EXPECT_EQ(p->getParameter(82 + 19), 0.2f);
    EXPECT_EQ(p->getParameter(0), 0.05f);
    for (int program = 0; program < 20; ++program) {
        p->setProgram(program);
        EXPECT_EQ(p->program(), program);
        EXPECT_EQ(p->getParameter(1), 0.0f);
        EXPECT_EQ(p->getParameter(122), 0.0f);
        EXPECT_EQ(p->getParameter(125), 0.5f);
        EXPECT_EQ(p->getParameter(126), 0.5f);
        EXPECT_EQ(p->getParameter(127), 0.5f);
        EXPECT_EQ(p->getParameter(128), 1.0f);
    }

    // Edits live in the program they were made in; program 20 is no program.
    p->setProgram(3);
    p->setParameter(7, 0.9f);
    p->setProgramName("My very long program name here");
    EXPECT_EQ(p->programName(), "My very long program na");  // 23 characters kept
    p->setProgram(4);
    EXPECT_NE(p->getParameter(7), 0.9f);
    p->setProgram(3);
    EXPECT_EQ(p->getParameter(7), 0.9f);
    p->dispatch(vst::effSetProgram, 0, 20);
    EXPECT_EQ(p->program(), 3);
    EXPECT_EQ(p->getParameter(7), 0.9f);
}

// "FX: phone call" with 14 bands passes bands 05 to 09 (786 .. 3211 Hz) only.
TEST(QuasselHost, PhoneCallPassesOnlyTheMiddleBands) {
    auto p = loadQuassel();
    ASSERT_TRUE(p);
    p->setProgram(10);
    auto gainAt = [&](double hz) {
        p->suspend();
        p->resume();
        const std::vector<float> x = sine(16384, 0.002f, hz);  // well below threshold
        const auto y = p->run({x, x}, 512);
        return rms(y[0], 8192) / rms(x, 8192);
    };
    // Bands at make-up 0.2 (+6 dB), pre gain 5, trim 0.125 and warmth 0.5 (small signals
    // three times louder): about 3.75 in the pass band, less between band centres.
    for (double hz : {786.0, 1148.0, 1639.0, 2306.0, 3211.0}) {
        EXPECT_GT(gainAt(hz), 2.5) << hz;
        EXPECT_LT(gainAt(hz), 4.5) << hz;
    }
    // Outside, only the skirts of the open bands leak through.
    for (double hz : {70.0, 177.0, 8368.0, 15602.0}) EXPECT_LT(gainAt(hz), 0.45) << hz;
    EXPECT_LT(gainAt(15602.0), 0.01);
    // Opening band 01 or band 14 lets its centre through like the others.
    p->setParameter(2, 0.2f);
    p->setParameter(2 + 13, 0.2f);
    EXPECT_GT(gainAt(70.0), 1.5);
    EXPECT_GT(gainAt(15602.0), 1.5);
}

// An impulse comes out 1024 samples late whether bypassed or not, at any rate, band count
// (1, 14, 20) and order (3, 4, 5); the reported delay never changes.
TEST(QuasselHost, LatencyIs1024InEveryState) {
    for (float rate : {44100.0f, 96000.0f}) {
        auto p = loadQuassel(rate);
        ASSERT_TRUE(p);
        for (int state = 0; state < 4; ++state) {
            SCOPED_TRACE(::testing::Message() << rate << " Hz, state " << state);
            p->setParameter(1, state == 3 ? 1.0f : 0.0f);  // bypass
            p->setParameter(125, state == 1 ? 0.0f : state == 2 ? 1.0f : 0.5f);
            p->setParameter(126, state == 2 ? 1.0f : state == 1 ? 0.0f : 0.5f);
            std::vector<float> x(4096, 0.0f);
            x[1500] = 0.5f;
            const auto y = p->run({x, x}, 333);
            for (int c = 0; c < 2; ++c) {
                auto peak = std::max_element(y[c].begin(), y[c].end(), [](float a, float b) {
                    return std::fabs(a) < std::fabs(b);
                });
                // A single band spanning 25 Hz to 18 kHz rings at 9013 Hz, so its largest
                // sample may sit a sample off the envelope's peak.
                EXPECT_NEAR(peak - y[c].begin(), 1500 + 1024, state == 1 ? 1 : 0);
            }
            EXPECT_EQ(p->initialDelay(), 1024);
        }
    }
}

// Fresh instances give the same samples for any split into blocks (0 and 1 included) and
// through the double entry; the accumulating entry adds the same result.
TEST(QuasselHost, BlockLengthsAndPrecisionsAgree) {
    const std::vector<float> left = noise(12000, 21, 0.7f), right = noise(12000, 22, 0.5f);
    auto fresh = [] {
        auto p = loadQuassel();
        p->setProgram(4);            // compression, warmth and dry mixed in
        p->setParameter(125, 1.0f);  // 20 bands
        p->setParameter(126, 1.0f);  // order 5
        return p;
    };
    auto a = fresh();
    const auto reference = a->run({left, right}, 4096);
    ASSERT_GT(rms(reference[0], 2000), 1e-3);

    auto b = fresh();
    std::vector<std::vector<float>> split(2, std::vector<float>(left.size()));
    const int lengths[] = {1, 0, 7, 128, 129, 333, 1, 2048, 0, 513};
    size_t start = 0;
    for (int k = 0; start < left.size(); ++k) {
        const int n = std::min<int>(lengths[k % 10], int(left.size() - start));
        float* in[2] = {const_cast<float*>(left.data() + start),
                        const_cast<float*>(right.data() + start)};
        float* out[2] = {split[0].data() + start, split[1].data() + start};
        b->processReplacing(in, out, n);
        start += size_t(n);
    }
    EXPECT_EQ(split, reference);

    auto c = fresh();
    const auto twice =
        c->runDouble({{left.begin(), left.end()}, {right.begin(), right.end()}}, 100);
    for (int ch = 0; ch < 2; ++ch)
        for (size_t i = 0; i < left.size(); ++i)
            ASSERT_EQ(static_cast<float>(twice[ch][i]), reference[ch][i]) << ch << " " << i;

    auto d = fresh();
    std::vector<std::vector<float>> added(2, std::vector<float>(left.size(), 0.25f));
    for (size_t s = 0; s < left.size(); s += 500) {
        const int n = std::min<int>(500, int(left.size() - s));
        float* in[2] = {const_cast<float*>(left.data() + s), const_cast<float*>(right.data() + s)};
        float* out[2] = {added[0].data() + s, added[1].data() + s};
        d->processAccumulating(in, out, n);
    }
    for (int ch = 0; ch < 2; ++ch)
        for (size_t i = 0; i < left.size(); ++i)
            ASSERT_EQ(added[ch][i], 0.25f + reference[ch][i]) << ch << " " << i;
}

}  // namespace
}  // namespace qx
