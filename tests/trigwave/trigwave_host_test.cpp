// The trigwave plug-in driven as a host drives it, through its exported entry point:
// identity, parameters and displays, programs, the delay it reports against the delay it
// has, block lengths and both precisions. (The bank round trip is the generic plug-in
// tests' own.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/trigwave/signal_match.h"
#include "tests/vsthost/host_test_support.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

using testing::bestLag;

using host::Plugin;
using testing::padded;
using Channels = std::vector<std::vector<float>>;

std::unique_ptr<Plugin> loadTrigwave() {
    return testing::loadPlugin(QX_TRIGWAVE_PATH);
}

// Noise bursts of `burst` frames every `period` frames from `start` on, over a faint bed
// that never triggers; left and right differ.
Channels bursts(int frames, int start, int period, int burst, float amplitude, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Channels x(2, std::vector<float>(frames));
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames; ++i) {
            const bool loud = i >= start && (i - start) % period < burst;
            x[c][i] = (loud ? amplitude : 0.005f) * u(rng);
        }
    return x;
}

double energy(const std::vector<float>& x, int begin, int end) {
    double s = 0.0;
    for (int i = begin; i < end; ++i) s += static_cast<double>(x[i]) * x[i];
    return s;
}

TEST(TrigwaveHost, IdentityAnswers) {
    auto p = loadTrigwave();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->effect()->magic, vst::kEffectMagic);
    EXPECT_EQ(p->uniqueId(), ('Q' << 24) | ('X' << 16) | ('T' << 8) | 'W');
    EXPECT_EQ(p->version(), 1);
    EXPECT_EQ(p->numInputs(), 2);
    EXPECT_EQ(p->numOutputs(), 2);
    EXPECT_EQ(p->numParams(), 25);
    EXPECT_EQ(p->numPrograms(), 21);
    EXPECT_EQ(p->initialDelay(), 2048);
    EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor, vst::effFlagsCanReplacing |
                                                        vst::effFlagsCanDoubleReplacing |
                                                        vst::effFlagsNoSoundInStop);
    EXPECT_FALSE(p->programChunks());
    EXPECT_EQ(p->effect()->ioRatio, 1.0f);
    EXPECT_EQ(p->effectName(), "QX Trigwave Pro");
    EXPECT_EQ(p->productString(), "QX Trigwave Pro");
    EXPECT_EQ(p->vendorString(), "QX");
    EXPECT_EQ(p->vendorVersion(), 102);
    EXPECT_EQ(p->vstVersion(), 2400);
    EXPECT_EQ(p->category(), vst::kPlugCategEffect);
    EXPECT_EQ(p->tailSize(), 0);
    EXPECT_EQ(p->dispatch(vst::effGetChunk, 0, 0, nullptr), 0);
    char error[64] = {};
    p->dispatch(vst::effGetErrorText, 0, 0, error);
    EXPECT_STREQ(error, "Error");
    for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in1out", "1in2out",
                            "2in1out", "2in2out", "bypass"})
        EXPECT_EQ(p->canDo(yes), 1) << yes;
    for (const char* no :
         {"Bypass", "", "sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
          "receiveVstMidiEvent", "receiveVstTimeInfo", "offline", "midiProgramNames", "2in2Out"})
        EXPECT_EQ(p->canDo(no), -1) << no;

    // Host bypass drives parameter 1 and tells the host nothing.
    for (bool on : {true, false, true}) {
        EXPECT_TRUE(p->setBypass(on));
        EXPECT_EQ(p->getParameter(1), on ? 1.0f : 0.0f);
    }
    EXPECT_TRUE(p->events().empty());
}

TEST(TrigwaveHost, NamesLabelsAndDisplays) {
    auto p = loadTrigwave();
    ASSERT_TRUE(p);
    const char* names[] = {
        "Output trim",   "Bypass",       "Dry wet mix",   "Threshold",       "Env attack",
        "Env decay",     "Env sustain",  "Env sus level", "Env release",     "Randomize",
        "Filter freq",   "F env attack", "F env decay",   "F env sustain",   "F env sus level",
        "F env release", "F envelope",   "Stereo width",  "Filter resnance", "Analog",
        "Mono",          "Reverb level", "Reverb time",   "Reverb roomsize", "Reverb"};
    const char* labels[] = {"dB", "  ", "% ", "- ", "s ", "s ", "s ", "dB", "s ",
                            "% ", "Hz", "s ", "s ", "s ", "% ", "s ", "% ", "% ",
                            "% ", "  ", "  ", "% ", "s ", "% ", "  "};
    // Program 0 through each parameter's display range.
    const char* displays[] = {"0.000",   "0.000", "50.000", "3.770",     "0.000",  "0.100", "0.200",
                              "-10.500", "0.100", "50.000", "20000.000", "0.000",  "0.100", "0.200",
                              "50.000",  "0.100", "0.000",  "50.000",    "30.000", "1.000", "0.000",
                              "30.000",  "1.570", "50.000", "1.000"};
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(p->parameterName(i), padded(names[i], 15)) << i;
        EXPECT_EQ(p->parameterLabel(i), labels[i]) << i;
        EXPECT_EQ(p->parameterDisplay(i), displays[i]) << i;
    }
    // The host sees the linear display range, not the two-piece gain curve.
    const std::pair<float, const char*> trim[] = {
        {1.0f, "0.000"}, {0.0f, "-72.000"}, {0.5f, "-36.000"}, {1.0f / 7.0f, "-61.714"}};
    for (const auto& [v, text] : trim) {
        p->setParameter(0, v);
        EXPECT_EQ(p->parameterDisplay(0), text) << v;
    }
    p->setParameter(16, 0.0f);
    EXPECT_EQ(p->parameterDisplay(16), "-100.000");
    p->setParameter(22, 1.0f);
    EXPECT_EQ(p->parameterDisplay(22), "5.000");

    // Out-of-range indices and values.
    p->setParameter(25, 0.9f);
    p->setParameter(-1, 0.9f);
    EXPECT_EQ(p->getParameter(25), 0.0f);
    EXPECT_EQ(p->parameterName(25), "");
    EXPECT_EQ(p->parameterLabel(-3), "");
    EXPECT_EQ(p->parameterDisplay(1000), "");
    p->setParameter(3, 3.0f);
    EXPECT_EQ(p->getParameter(3), 1.0f);
    p->setParameter(3, NAN);
    EXPECT_EQ(p->getParameter(3), 1.0f);
}

TEST(TrigwaveHost, FactoryProgramsAndEdits) {
    auto p = loadTrigwave();
    ASSERT_TRUE(p);
    const char* names[] = {"Default",
                           "Triggered lowpass",
                           "Sample and hold (poly)",
                           "Sample and hold (mono)",
                           "Sample and hold (dry)",
                           "Reverse",
                           "Reverse (filtered)",
                           "Reverse (digital)",
                           "Drumloop mangler",
                           "Deep space 9",
                           "Deep space 10"};
    // clang-format off
    const float rows[11][25] = {
        {1, 0, 0.5, 0.3, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 1, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 0.5, 0.3, 1, 0, 0.3, 0.3, 0.5, 1},
        {1, 0, 1, 0.3, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 0.1, 0, 0.1, 0.1, 0.5, 0.05, 0.8, 0.5, 0.3, 1, 0, 0.3, 0.3, 0.5, 1},
        {1, 0, 1, 0.3, 0, 0.1, 0.1, 0.8, 0.9, 0.5, 1, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 0.5, 0.3, 1, 0, 0.3, 0.3, 0.5, 1},
        {1, 0, 1, 0.3, 0, 0.1, 0.1, 0.8, 0.9, 0.5, 1, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 0.5, 0.3, 1, 1, 0.3, 0.3, 0.5, 1},
        {1, 0, 1, 0.3, 0, 0.1, 0.1, 0.8, 0.9, 0.5, 1, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 0, 0.3, 1, 1, 0, 0.3, 0.5, 1},
        {1, 0, 0.8, 0.3, 0.3, 0, 0, 0, 0, 0.5, 1, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 0.5, 0.3, 1, 0, 0.3, 0.3, 0.5, 1},
        {1, 0, 0.8, 0.3, 0.3, 0, 0, 0, 0, 0.9, 0, 0.3, 0.1, 0.1, 0.5, 0.05, 0.8, 0.5, 0.7, 1, 0, 0.3, 0.3, 0.5, 1},
        {1, 0, 0.8, 0.3, 0.3, 0, 0, 0, 0, 0.9, 0, 0.3, 0.1, 0.1, 0.5, 0.05, 0.8, 0.5, 0.7, 0, 0, 0.3, 0.3, 0.5, 1},
        {1, 0, 0.8, 0.3, 0, 0.2, 0.1, 0.5, 0.05, 0.5, 1, 0, 0.1, 0.1, 0.5, 0.05, 0.5, 0.5, 0.3, 1, 1, 0.3, 0.1, 0.5, 1},
        {1, 0, 1, 0.5, 0.7, 1, 1, 1, 1, 1, 0, 0.6, 1, 1, 0.1, 1, 1, 1, 0.6, 1, 0, 1, 1, 1, 1},
        {1, 0, 1, 0.5, 0.7, 1, 1, 1, 1, 1, 1, 0.6, 1, 1, 0.1, 1, 0, 1, 0.8, 1, 0, 1, 1, 1, 1},
    };
    // clang-format on
    EXPECT_EQ(p->program(), 0);
    for (int prog = 0; prog < 21; ++prog) {
        const int row = prog < 11 ? prog : 0;  // 11 to 20 are copies of "Default"
        std::string name;
        ASSERT_TRUE(p->programNameIndexed(prog, &name));
        EXPECT_EQ(name, padded(names[row], 23)) << prog;
        p->setProgram(prog);
        EXPECT_EQ(p->program(), prog);
        EXPECT_EQ(p->programName(), padded(names[row], 23));
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(p->getParameter(i), rows[row][i]) << prog << " " << i;
    }
    std::string untouched = "untouched";
    EXPECT_FALSE(p->programNameIndexed(21, &untouched));
    EXPECT_FALSE(p->programNameIndexed(-1, &untouched));
    EXPECT_EQ(untouched, "untouched");

    // Edits stay with their program; a long name is cut to 23 characters.
    p->setProgram(0);
    p->setParameter(3, 0.25f);
    p->setProgramName("A program name of thirty chars");
    p->setProgram(1);
    EXPECT_EQ(p->getParameter(3), 0.3f);
    p->setProgram(21);
    p->setProgram(-1);
    EXPECT_EQ(p->program(), 1);
    p->setProgram(0);
    EXPECT_EQ(p->getParameter(3), 0.25f);
    EXPECT_EQ(p->programName(), "A program name of thirt");
}

// At each rate the delay reported to the host is the delay the dry and the bypassed
// signal have, to the sample; the wet signal lines up with them (one sample later where
// the frame is 2048 long).
TEST(TrigwaveHost, ReportedLatencyIsTheMeasuredDelayAtEveryRate) {
    const int frames = 16384;
    for (float fs : {22050.0f, 44100.0f, 96000.0f}) {
        SCOPED_TRACE(fs);
        auto p = loadTrigwave();
        ASSERT_TRUE(p);
        p->prepare(fs, 512);
        EXPECT_EQ(p->initialDelay(), 2048);
        Channels impulse(2, std::vector<float>(frames, 0.0f));
        impulse[0][1000] = 0.5f;
        impulse[1][3001] = -0.25f;
        auto peakAt = [](const std::vector<float>& y) {
            return static_cast<int>(
                std::max_element(y.begin(), y.end(),
                                 [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                y.begin());
        };
        p->setParameter(2, 0.0f);  // dry only
        Channels y = p->run(impulse, 512);
        EXPECT_EQ(peakAt(y[0]) - 1000, p->initialDelay());
        EXPECT_EQ(peakAt(y[1]) - 3001, p->initialDelay());
        EXPECT_NEAR(y[0][3048], 0.5f, 1e-6f);
        p->setBypass(true);
        y = p->run(impulse, 300);
        EXPECT_EQ(peakAt(y[0]) - 1000, p->initialDelay());
        EXPECT_EQ(peakAt(y[1]) - 3001, p->initialDelay());
        EXPECT_NEAR(y[1][5049], -0.25f, 1e-6f);

        // Wet only: one burst held with coherent phases, no width, no reverb, the filter
        // wide open and an envelope at once near full level.
        p->setBypass(false);
        const std::pair<int, float> wet[] = {{2, 1.0f},  {4, 0.0f},  {5, 1.0f},  {6, 1.0f},
                                             {7, 1.0f},  {9, 0.0f},  {10, 1.0f}, {16, 0.5f},
                                             {17, 0.0f}, {18, 0.0f}, {24, 0.0f}};
        for (const auto& [i, v] : wet) p->setParameter(i, v);
        const int start = 5119;  // the burst fills ring blocks from their first sample
        const Channels x = bursts(frames, start, frames, 8000, 0.5f, 4);
        const Channels silentRight = {x[0], std::vector<float>(frames, 0.0f)};
        y = p->run(silentRight, 512);
        const int frameSize = fs < 25000.0f ? 1024 : 2048;
        const int begin = start + 2049 + frameSize / 8;  // past the fade-in
        const int lag = bestLag(y[0], x[0], 2030, 2070, begin, frameSize / 2);
        EXPECT_GE(lag, p->initialDelay());
        EXPECT_LE(lag, p->initialDelay() + 1);
        EXPECT_GT(energy(y[0], begin, begin + frameSize / 2),
                  0.1 * energy(x[0], begin - lag, begin - lag + frameSize / 2));
        EXPECT_EQ(p->initialDelay(), 2048);
    }
}

// Bursts that trigger voice after voice, with random phases and the reverb: the sound does
// not depend on how the host cuts it into blocks, and the double-precision entry gives the
// single-precision samples.
TEST(TrigwaveHost, BlockLengthsAndPrecisionsAgree) {
    const Channels x = bursts(40000, 3000, 5 * 1024, 1024, 0.6f, 5);
    auto fresh = [] {
        auto p = loadTrigwave();
        p->setProgram(2);
        p->setParameter(9, 1.0f);  // randomize
        p->prepare(44100.0f, 4096);
        return p;
    };
    const Channels reference = fresh()->run(x, 4096);
    // Wet sound after the first burst, not just the dry line.
    EXPECT_GT(energy(reference[0], 3000 + 2048 + 1024, 3000 + 2048 + 4096),
              10.0 * energy(x[0], 3000 + 1024, 3000 + 4096));
    for (int block : {1, 7, 64, 1000}) EXPECT_EQ(fresh()->run(x, block), reference) << block;

    std::vector<std::vector<double>> wide(2);
    for (int c = 0; c < 2; ++c) wide[c].assign(x[c].begin(), x[c].end());
    const auto outWide = fresh()->runDouble(wide, 333);
    for (int c = 0; c < 2; ++c)
        for (size_t i = 0; i < reference[c].size(); ++i)
            ASSERT_EQ(outWide[c][i], static_cast<double>(reference[c][i])) << c << " " << i;
}

}  // namespace
}  // namespace qx
