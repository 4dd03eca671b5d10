// Both compressor builds driven as a host drives them: identity and channel answers,
// parameters, programs, the side-chain routing, block-size invariance and both precisions
// over the side-chain programs, through the exported entry point. (Bank round trips are the
// plug-in conformance suite's.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/vsthost/host_test_support.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

using host::Plugin;
using testing::padded;
using Channels = std::vector<std::vector<float>>;

struct Build {
    const char* path;
    const char* name;
    int inputs;
};

const Build kBuilds[] = {
    {QX_RED_THUDDO_PATH, "QX Red Thuddo Pro", 4},
    {QX_RED_THUDDO_ALT_PATH, "QX Red Thuddo Pro alt", 2},
};

constexpr int kSidechain = 4;
constexpr int kThreshold = 15;
constexpr int kRatio1 = 13;

class RedThuddoHost : public ::testing::TestWithParam<Build> {
  protected:
    std::unique_ptr<Plugin> load() { return testing::loadPlugin(GetParam().path); }
};

std::vector<float> sine(int frames, float amplitude, float step, float phase = 0.0f) {
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n) x[n] = amplitude * std::sin(step * n + phase);
    return x;
}

// A programme whose level moves, so the gain keeps working.
Channels music(int frames, int channels, unsigned seed) {
    std::srand(seed);
    Channels x(channels, std::vector<float>(frames));
    for (int c = 0; c < channels; ++c) {
        float lp = 0.0f;
        for (int n = 0; n < frames; ++n) {
            lp = 0.95f * lp + 0.05f * (2.0f * std::rand() / RAND_MAX - 1.0f);
            const float swell = 0.5f + 0.5f * std::sin(0.002f * n + c);
            x[c][n] = swell * (0.5f * std::sin((0.02f + 0.01f * c) * n) + 4.0f * lp);
        }
    }
    return x;
}

float peak(const std::vector<float>& x, int from, int to) {
    float p = 0.0f;
    for (int n = from; n < to; ++n) p = std::max(p, std::fabs(x[n]));
    return p;
}

double rms(const std::vector<float>& x, int from, int to) {
    double sum = 0.0;
    for (int n = from; n < to; ++n) sum += static_cast<double>(x[n]) * x[n];
    return std::sqrt(sum / (to - from));
}

TEST_P(RedThuddoHost, IdentityAndChannelAnswers) {
    const Build& build = GetParam();
    auto p = load();
    ASSERT_TRUE(p);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "before effOpen" : "after resume and suspend");
        EXPECT_EQ(p->effect()->magic, vst::kEffectMagic);
        EXPECT_EQ(p->uniqueId(), ('Q' << 24) | ('X' << 16) | ('R' << 8) | 'T');
        EXPECT_EQ(p->version(), 1);
        EXPECT_EQ(p->numInputs(), build.inputs);
        EXPECT_EQ(p->numOutputs(), 2);
        EXPECT_EQ(p->numParams(), 20);
        EXPECT_EQ(p->numPrograms(), 40);
        EXPECT_EQ(p->initialDelay(), 0);
        const int required = vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing |
                             vst::effFlagsNoSoundInStop;
        EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor, required);
        EXPECT_FALSE(p->programChunks());
        EXPECT_EQ(p->effectName(), build.name);
        EXPECT_EQ(p->productString(), build.name);
        EXPECT_EQ(p->vendorString(), "QX");
        EXPECT_EQ(p->vendorVersion(), 103);
        EXPECT_EQ(p->vstVersion(), 2400);
        EXPECT_EQ(p->category(), vst::kPlugCategEffect);
        EXPECT_EQ(p->tailSize(), 0);
        for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in1out",
                                "1in2out", "2in1out", "2in2out"})
            EXPECT_EQ(p->canDo(yes), 1) << yes;
        for (const char* no : {"bypass", "Bypass", "", "sendVstEvents", "sendVstMidiEvent",
                               "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
                               "offline", "midiProgramNames", "2in2out "})
            EXPECT_EQ(p->canDo(no), -1) << '"' << no << '"';
        // No host bypass: the default answer, and the parameter stays.
        EXPECT_FALSE(p->setBypass(true));
        EXPECT_EQ(p->getParameter(1), 0.0f);
        // No chunks, no speaker arrangement of its own: the defaults.
        void* chunk = nullptr;
        EXPECT_EQ(p->dispatch(vst::effGetChunk, 0, 0, &chunk), 0);
        EXPECT_EQ(p->dispatch(vst::effGetSpeakerArrangement, 0, 0, nullptr), 0);
        char error[256] = {};
        p->dispatch(vst::effGetErrorText, 0, 0, error);
        EXPECT_STREQ(error, "Error");
        p->prepare(48000.0f, 256);
        p->suspend();
    }
}

TEST_P(RedThuddoHost, ParameterNamesLabelsAndDisplays) {
    auto p = load();
    ASSERT_TRUE(p);
    const char* names[20] = {"Post gain",     "Bypass",      "Limiter",        "Mono",
                             "Sidechain",     "Listen",      "High pass freq", "Low pass freq",
                             "Hysteresis",    "Attack time", "Hold time",      "Release time",
                             "Soft knee",     "Ratio 1",     "Ratio 2",        "Threshold",
                             "Release curve", "Pre gain",    "Dry wet ratio",  "Max gain"};
    const char* labels[20] = {"dB", "  ", "  ", "  ", "  ", "  ", "Hz", "Hz", "% ", "ms",
                              "ms", "ms", "  ", "  ", "  ", "dB", "  ", "dB", "% ", "dB"};
    // Program 0 "Default: clean" as the host displays it.
    const char* displays[20] = {"0.000",   "0.000",   "0.000",    "0.000",   "0.000",
                                "0.000",   "229.780", "5075.000", "25.000",  "15.095",
                                "0.000",   "120.880", "0.000",    "1.000",   "1.000",
                                "-20.000", "1.000",   "0.000",    "100.000", "40.000"};
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(p->parameterName(i), padded(names[i], 15)) << i;
        EXPECT_EQ(p->parameterLabel(i), labels[i]) << i;
        EXPECT_EQ(p->parameterDisplay(i), displays[i]) << i;
    }
    // Switches display their range too: "Limiter" on reads 1, "Release curve" off reads 1.
    p->setParameter(2, 1.0f);
    EXPECT_EQ(p->parameterDisplay(2), "1.000");
    p->setParameter(16, 0.0f);
    EXPECT_EQ(p->parameterDisplay(16), "1.000");
    p->setParameter(16, 1.0f);
    EXPECT_EQ(p->parameterDisplay(16), "2.000");
    p->setParameter(kRatio1, 1.0f);
    EXPECT_EQ(p->parameterDisplay(kRatio1), "10.100");

    // Values outside 0..1 are held to it; other indices are ignored.
    p->setParameter(0, 3.0f);
    EXPECT_EQ(p->getParameter(0), 1.0f);
    p->setParameter(20, 0.5f);
    p->setParameter(-1, 0.5f);
    EXPECT_EQ(p->getParameter(20), 0.0f);
    EXPECT_EQ(p->parameterName(20), "");
    EXPECT_EQ(p->parameterDisplay(-1), "");
}

TEST_P(RedThuddoHost, FortyProgramsKeepEditsAndNames) {
    auto p = load();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->program(), 0);
    EXPECT_EQ(p->programName(), padded("Default: clean", 23));
    int sidechainPrograms = 0;
    for (int i = 0; i < 40; ++i) {
        std::string indexed;
        ASSERT_TRUE(p->programNameIndexed(i, &indexed));
        p->setProgram(i);
        EXPECT_EQ(p->program(), i);
        EXPECT_EQ(p->programName(), indexed);
        EXPECT_EQ(p->getParameter(1), 0.0f) << i;   // bypass
        EXPECT_EQ(p->getParameter(3), 0.0f) << i;   // mono
        EXPECT_EQ(p->getParameter(5), 0.0f) << i;   // listen
        EXPECT_EQ(p->getParameter(19), 1.0f) << i;  // max gain 40 dB
        if (p->getParameter(kSidechain) > 0.5f) {
            ++sidechainPrograms;
            EXPECT_EQ(i, 32);
            EXPECT_EQ(indexed, padded("SCh: music+voice stereo", 23));
        }
    }
    EXPECT_EQ(sidechainPrograms, 1);
    std::string name;
    ASSERT_TRUE(p->programNameIndexed(13, &name));
    EXPECT_EQ(name, padded("Drums: distorted kick", 23));
    ASSERT_TRUE(p->programNameIndexed(39, &name));
    EXPECT_EQ(name, padded("Default: clean", 23));
    std::string untouched = "untouched";
    EXPECT_FALSE(p->programNameIndexed(40, &untouched));
    EXPECT_EQ(untouched, "untouched");

    // setProgram(40) changes nothing: neither the program nor a value.
    p->setProgram(14);
    p->setParameter(kThreshold, 0.33f);
    p->setProgram(40);
    EXPECT_EQ(p->program(), 14);
    EXPECT_EQ(p->getParameter(kThreshold), 0.33f);
    p->setProgramName("A program name of thirty chars");
    p->setProgram(0);
    EXPECT_EQ(p->getParameter(kThreshold), 0.6f);
    p->setProgram(14);
    EXPECT_EQ(p->getParameter(kThreshold), 0.33f);
    EXPECT_EQ(p->programName(), "A program name of thirt");
}

// The side chain changes the gain of the programme and is never heard.
TEST_P(RedThuddoHost, SideChainDrivesTheGainAndIsNeverHeard) {
    const Build& build = GetParam();
    auto p = load();
    ASSERT_TRUE(p);
    p->prepare(44100.0f, 512);
    p->setProgram(32);  // side chain on
    const int frames = 44100;
    const int keyFrom = frames / 2;
    std::vector<float> programme = sine(frames, 0.05f, 0.031f);
    std::vector<float> key = sine(frames, 0.8f, 0.05f);
    std::fill(key.begin(), key.begin() + keyFrom, 0.0f);
    const int keyInput = build.inputs == 4 ? 2 : 1;

    // Key alone: the outputs stay silent (only the -160 dB offset).
    Channels onlyKey(build.inputs, std::vector<float>(frames, 0.0f));
    onlyKey[keyInput] = key;
    if (build.inputs == 4) onlyKey[3] = key;
    Channels out = p->run(onlyKey);
    for (int c = 0; c < 2; ++c) EXPECT_LT(peak(out[c], 0, frames), 1e-6f) << c;

    // Programme with the key coming in half-way: the programme ducks when the key starts.
    p->suspend();
    p->resume();
    Channels both(build.inputs, std::vector<float>(frames, 0.0f));
    both[0] = programme;
    if (build.inputs == 4) {
        both[1] = programme;
        both[2] = both[3] = key;
    } else {
        both[1] = key;
    }
    out = p->run(both);
    for (int c = 0; c < 2; ++c) {
        const double before = rms(out[c], keyFrom - 8000, keyFrom);
        const double during = rms(out[c], frames - 8000, frames);
        EXPECT_GT(before, 0.02) << c;
        EXPECT_LT(during, 0.5 * before) << c;
    }
    if (build.inputs == 2) {
        // The alternative build writes its first input to both outputs.
        for (int n = 0; n < frames; ++n) ASSERT_EQ(out[0][n], out[1][n]) << n;
    }

    // Side chain off: the four-input build ignores inputs 3-4 entirely (fresh instances,
    // since the side-chain filters keep their state across a reset).
    if (build.inputs == 4) {
        Channels outputs[2];
        for (Channels& result : outputs) {
            auto fresh = load();
            ASSERT_TRUE(fresh);
            fresh->prepare(44100.0f, 512);
            fresh->setProgram(32);
            fresh->setParameter(kSidechain, 0.0f);
            result = fresh->run(both);
            both[2].assign(frames, 0.0f);
            both[3].assign(frames, 0.0f);
        }
        EXPECT_EQ(outputs[0], outputs[1]);
    }
}

// Blocks of any length give the same samples, and double precision gives the single
// precision result for inputs that are exact floats.
TEST_P(RedThuddoHost, BlockSizesAndPrecisionsAgree) {
    const Build& build = GetParam();
    const Channels in = music(9000, build.inputs, 11);
    std::vector<std::vector<double>> inDouble;
    for (const auto& c : in) inDouble.emplace_back(c.begin(), c.end());
    for (int program : {0, 7, 13, 20, 32}) {
        SCOPED_TRACE(program);
        Channels reference;
        for (int block : {4096, 1, 7, 64, 65, 512}) {
            auto p = load();
            ASSERT_TRUE(p);
            p->setProgram(program);
            p->prepare(48000.0f, block);
            Channels out = p->run(in, block);
            for (const auto& c : out)
                for (float s : c) ASSERT_TRUE(std::isfinite(s));
            if (reference.empty())
                reference = out;
            else
                EXPECT_EQ(out, reference) << "block " << block;
        }
        auto p = load();
        ASSERT_TRUE(p);
        p->setProgram(program);
        p->prepare(48000.0f, 333);
        const auto outDouble = p->runDouble(inDouble, 333);
        ASSERT_EQ(outDouble.size(), 2u);
        for (int c = 0; c < 2; ++c)
            for (size_t n = 0; n < reference[c].size(); ++n)
                ASSERT_EQ(outDouble[c][n], static_cast<double>(reference[c][n])) << c << ' ' << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, RedThuddoHost, ::testing::ValuesIn(kBuilds),
                         [](const ::testing::TestParamInfo<Build>& info) {
                             return std::string(info.param.inputs == 4 ? "RedThuddo"
                                                                       : "RedThuddoAlt");
                         });

}  // namespace
}  // namespace qx
