// Every built plug-in against what any host may do to it: hostile dispatcher calls,
// non-finite and absurd input, odd block sizes, and a saved bank restored into a fresh
// instance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/plugins/plugin_list.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/preset_file.h"

namespace qx {
namespace {

using host::Plugin;

std::unique_ptr<Plugin> load(const std::string& path) {
    std::string error;
    auto plugin = Plugin::load(path, &error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

std::vector<std::vector<float>> music(int channels, int frames, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    std::vector<std::vector<float>> x(channels, std::vector<float>(frames));
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i)
            x[c][i] = 0.5f * std::sin(0.02f * i * (c + 1)) + ((i / 700) % 3 == 0 ? noise(rng) : 0);
    return x;
}

bool allFinite(const std::vector<std::vector<float>>& x) {
    for (const auto& ch : x)
        for (float v : ch)
            if (!std::isfinite(v)) return false;
    return true;
}

class Conformance : public ::testing::TestWithParam<std::string> {};

TEST_P(Conformance, SurvivesHostileDispatcherCalls) {
    auto p = load(GetParam());
    ASSERT_TRUE(p);
    std::mt19937 rng(1234);
    // Large, zeroed buffers stand in for every pointer argument, so any opcode can be
    // answered without writing past what a host hands over.
    std::vector<char> buffer(4096);
    const int skipped[] = {vst::effClose,
                           vst::effEditOpen,
                           vst::effEditClose,
                           vst::effEditIdle,
                           vst::effEditGetRect,
                           vst::effGetChunk,
                           vst::effSetChunk,
                           vst::effProcessEvents,
                           vst::effSetSpeakerArrangement,
                           vst::effGetSpeakerArrangement,
                           vst::effVendorSpecific};
    for (int n = 0; n < 20000; ++n) {
        int opcode = static_cast<int>(rng() % 90);
        if (std::find(std::begin(skipped), std::end(skipped), opcode) != std::end(skipped))
            continue;
        const int indices[] = {
            0, 1, -1, 7, 100000, -100000, INT32_MIN, INT32_MAX, static_cast<int>(rng())};
        const vst::VstIntPtr values[] = {
            0, 1, -1, 44100, INTPTR_MAX, INTPTR_MIN, static_cast<vst::VstIntPtr>(rng())};
        const float opts[] = {0.0f, 1.0f, -1.0f, 44100.0f, 1e30f, -1e30f, NAN, INFINITY, 3.0f};
        std::fill(buffer.begin(), buffer.end(), 0);
        std::strcpy(buffer.data(), "plugAsSend");
        p->dispatch(opcode, indices[rng() % 9], values[rng() % 7], buffer.data(), opts[rng() % 9]);
        p->setParameter(indices[rng() % 9], opts[rng() % 9]);
        (void)p->getParameter(indices[rng() % 9]);
    }
    // Whatever happened, the plug-in still processes to finite output at a sane rate.
    p->setSampleRate(44100.0f);
    p->setBlockSize(512);
    p->resume();
    EXPECT_TRUE(allFinite(p->run(music(p->numInputs(), 4096, 1))));
}

TEST_P(Conformance, NonFiniteAndAbsurdInputRecovers) {
    auto p = load(GetParam());
    ASSERT_TRUE(p);
    for (float rate : {1.0f, 4000.0f, 11025.0f, 44100.0f, 192000.0f, 384000.0f, 1e9f}) {
        SCOPED_TRACE(rate);
        p->suspend();
        p->setSampleRate(rate);
        p->resume();
        for (int program = 0; program < p->numPrograms(); program += 3) {
            p->setProgram(program);
            auto burst = music(p->numInputs(), 2000, program);
            for (auto& ch : burst)
                for (int i = 100; i < 1900; i += 7)
                    ch[i] = (i % 3 == 0) ? NAN : (i % 3 == 1 ? INFINITY : -1e38f);
            p->run(burst, 333);
            auto after = p->run(music(p->numInputs(), 20000, 9), 333);
            ASSERT_TRUE(allFinite(after)) << "program " << program;
        }
    }
}

TEST_P(Conformance, BlockSizeInvariantAndDoubleMatchesSingle) {
    const auto input = music(2, 9000, 5);
    std::vector<std::vector<float>> reference;
    for (int block : {4096, 1, 7, 64, 65}) {
        auto p = load(GetParam());
        ASSERT_TRUE(p);
        p->prepare(48000.0f, block);
        std::vector<std::vector<float>> in(p->numInputs(), std::vector<float>(9000));
        for (int c = 0; c < p->numInputs(); ++c) in[c] = input[c % 2];
        auto out = p->run(in, block);
        if (reference.empty()) {
            reference = out;
            continue;
        }
        // The anti-denormal offsets differ by block, so allow their size.
        for (size_t c = 0; c < out.size(); ++c)
            for (size_t i = 0; i < out[c].size(); ++i)
                ASSERT_NEAR(out[c][i], reference[c][i], 1e-5f) << "block " << block << " at " << i;
    }
    auto p = load(GetParam());
    ASSERT_TRUE(p);
    if (!p->canDoubleReplacing()) return;
    p->prepare(48000.0f, 4096);
    std::vector<std::vector<double>> in(p->numInputs(), std::vector<double>(9000));
    for (int c = 0; c < p->numInputs(); ++c)
        for (int i = 0; i < 9000; ++i) in[c][i] = input[c % 2][i];
    auto out = p->runDouble(in, 4096);
    for (size_t c = 0; c < out.size(); ++c)
        for (size_t i = 0; i < out[c].size(); ++i)
            ASSERT_EQ(static_cast<float>(out[c][i]), reference[c][i]) << i;
}

TEST_P(Conformance, BankRoundTripRestoresNamesValuesAndSound) {
    auto a = load(GetParam());
    ASSERT_TRUE(a);
    std::mt19937 rng(77);
    for (int prog = 0; prog < a->numPrograms(); ++prog) {
        a->setProgram(prog);
        a->setProgramName("Mine " + std::to_string(prog));
        for (int i = 0; i < a->numParams(); ++i)
            if (rng() % 3 == 0) a->setParameter(i, a->getParameter(i) * 0.5f + 0.1f);
    }
    a->setProgram(a->numPrograms() - 1);
    const std::string path = ::testing::TempDir() + "/bank_" + std::to_string(getpid()) + ".fxb";
    std::string error;
    ASSERT_TRUE(host::saveBankFile(*a, path, &error)) << error;

    auto b = load(GetParam());
    ASSERT_TRUE(b);
    ASSERT_TRUE(host::loadPresetFile(*b, path, &error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(b->program(), a->program());
    for (int prog = 0; prog < a->numPrograms(); ++prog) {
        a->setProgram(prog);
        b->setProgram(prog);
        EXPECT_EQ(b->programName(), a->programName());
        for (int i = 0; i < a->numParams(); ++i) EXPECT_EQ(b->getParameter(i), a->getParameter(i));
    }
    const int last = a->numPrograms() - 1;
    a->setProgram(last);
    b->setProgram(last);
    a->prepare(44100.0f, 256);
    b->prepare(44100.0f, 256);
    const auto in = music(a->numInputs(), 5000, 3);
    const auto outA = a->run(in, 256);
    const auto outB = b->run(in, 256);
    EXPECT_EQ(outA, outB);
}

INSTANTIATE_TEST_SUITE_P(Plugins, Conformance, ::testing::ValuesIn(kPluginPaths),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(info.param.rfind('/') + 1);
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace qx
