// The host library against the hand-written fake plug-in: loading, callback routing,
// identity, programs, processing paths and the close sequence.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/vsthost/fake_paths.h"

using namespace qx::host;
using qx::host::testing::fakePath;
using qx::host::testing::loadFake;
namespace vst = qx::vst;

namespace {

constexpr int kFakeLatency = 32;

// Deterministic stereo test signal, different on each channel.
std::vector<std::vector<float>> testSignal(int frames) {
    std::vector<std::vector<float>> s(2, std::vector<float>(frames));
    for (int n = 0; n < frames; ++n) {
        s[0][n] = std::sin(0.05f * n) * 0.5f;
        s[1][n] = ((n * 7919) % 101) / 101.0f - 0.5f;
    }
    return s;
}

// An empty value removes the variable.
void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        ::unsetenv(name);
    else
        ::setenv(name, value.c_str(), 1);
#endif
}

}  // namespace

TEST(PluginHost, LoadFailuresCarryTheirReason) {
    struct Case {
        std::string path;
        std::string expected;
    };
    const std::string notLibrary =
        (std::filesystem::temp_directory_path() / "qx_vsthost_not_a_library.so").string();
    std::ofstream(notLibrary) << "this is text, not an ELF object\n";
    const Case cases[] = {
        {"/nonexistent/dir/plugin.so", "cannot open /nonexistent/dir/plugin.so: "},
        {notLibrary, "cannot open " + notLibrary + ": "},
        {fakePath("qx_fake_no_entry"), "no VST 2 entry point"},
        {fakePath("qx_fake_null"), "entry point returned no effect"},
        {fakePath("qx_fake_bad_magic"), "bad magic"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Plugin::load(c.path, &error), nullptr) << c.path;
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << error;
        if (c.expected.starts_with("cannot open")) {
            EXPECT_GT(error.size(), c.expected.size());  // dlerror's text follows
        }
    }
    std::filesystem::remove(notLibrary);

    // A library exporting only the older entry name still loads.
    auto mainOnly = loadFake({}, "qx_fake_main_only");
    ASSERT_TRUE(mainOnly);
    EXPECT_EQ(mainOnly->effectName(), "Fake Gain");
}

TEST(PluginHost, CallsDuringConstructionReachTheLoadingHost) {
    for (int version : {2400, 2300, 0}) {
        LoadOptions options;
        options.hostVersion = version;
        options.sampleRate = 48000.0f + version;
        auto plugin = loadFake(options);
        ASSERT_TRUE(plugin);
        // Hook 1: the version the fake saw with a null AEffect*; hook 3: the sample rate it
        // saw with its own not-yet-registered record.
        EXPECT_EQ(plugin->dispatch(vst::effVendorSpecific, 1), version);
        EXPECT_EQ(plugin->dispatch(vst::effVendorSpecific, 3), 48000 + version);
        EXPECT_EQ(plugin->effect()->user, plugin.get());
    }
}

TEST(PluginHost, IdentityAndStringsAreReportedAsWritten) {
    auto plugin = loadFake();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->effectName(), "Fake Gain");
    EXPECT_EQ(plugin->vendorString(), "QX Test");
    EXPECT_EQ(plugin->productString(), "Fake Gain Delay");
    EXPECT_EQ(plugin->vendorVersion(), 1003);
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->category(), vst::kPlugCategEffect);
    EXPECT_EQ(plugin->canDo("bypass"), 1);
    EXPECT_EQ(plugin->canDo("receiveVstMidiEvent"), 0);
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    EXPECT_EQ(plugin->numParams(), 3);
    EXPECT_EQ(plugin->numPrograms(), 4);
    EXPECT_EQ(plugin->initialDelay(), kFakeLatency);
    EXPECT_EQ(plugin->uniqueId(), vst::fourCC('Q', 'x', 'F', 'k'));
    EXPECT_TRUE(plugin->canReplacing());
    EXPECT_TRUE(plugin->canDoubleReplacing());
    EXPECT_EQ(plugin->parameterName(1), "Swap");
    EXPECT_EQ(plugin->parameterLabel(0), "x ");  // trailing space kept
    EXPECT_EQ(plugin->parameterDisplay(0), "1.000");
    plugin->setParameter(0, 0.25f);
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.25f);
    EXPECT_EQ(plugin->parameterDisplay(0), "0.500");
    EXPECT_EQ(plugin->parameterDisplay(2), "Off");
}

TEST(PluginHost, ProgramsSelectNameAndKeepTheirValues) {
    auto plugin = loadFake();
    ASSERT_TRUE(plugin);
    std::string name;
    ASSERT_TRUE(plugin->programNameIndexed(2, &name));
    EXPECT_EQ(name, "Swap");
    EXPECT_FALSE(plugin->programNameIndexed(9, &name));
    plugin->setProgram(1);
    EXPECT_EQ(plugin->program(), 1);
    EXPECT_EQ(plugin->programName(), "Half");
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.25f);
    plugin->setParameter(0, 0.9f);
    plugin->setProgramName("Edited half");
    plugin->setProgram(0);
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.5f);
    EXPECT_EQ(plugin->programNameAt(1), "Edited half");
    EXPECT_EQ(plugin->program(), 0);
    plugin->setProgram(1);
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.9f);
    // Names longer than a program name are cut, not overrun.
    plugin->setProgramName(std::string(100, 'n'));
    EXPECT_EQ(plugin->programName(), std::string(23, 'n'));
}

TEST(PluginHost, ProcessingPathsAgreeAndAreBlockSizeInvariant) {
    const int frames = 1000;
    const auto input = testSignal(frames);
    auto plugin = loadFake();
    ASSERT_TRUE(plugin);
    plugin->setProgram(2);  // Swap: out L = in R delayed, out R = in L delayed
    std::vector<std::vector<float>> reference;
    for (int block : {1, 7, 64, 4096}) {
        plugin->prepare(44100.0f, block);
        auto out = plugin->run(input, block);
        ASSERT_EQ(out.size(), 2u);
        ASSERT_EQ(out[0].size(), static_cast<std::size_t>(frames));
        for (int n = 0; n < frames; ++n) {
            const float expectL = n >= kFakeLatency ? input[1][n - kFakeLatency] : 0.0f;
            const float expectR = n >= kFakeLatency ? input[0][n - kFakeLatency] : 0.0f;
            ASSERT_FLOAT_EQ(out[0][n], expectL) << "block " << block << " frame " << n;
            ASSERT_FLOAT_EQ(out[1][n], expectR) << "block " << block << " frame " << n;
        }
        if (reference.empty()) reference = out;
        EXPECT_EQ(out, reference) << "block " << block;
    }

    // Double precision: same result; a missing input channel reads as silence.
    std::vector<std::vector<double>> wide(1, std::vector<double>(input[0].begin(), input[0].end()));
    plugin->prepare(44100.0f, 64);
    auto outDouble = plugin->runDouble(wide, 64);
    ASSERT_EQ(outDouble.size(), 2u);
    for (int n = kFakeLatency; n < frames; ++n) {
        ASSERT_EQ(outDouble[0][n], 0.0);
        ASSERT_DOUBLE_EQ(outDouble[1][n], input[0][n - kFakeLatency]);
    }

    // The accumulating entry adds to what is already in the output buffers.
    plugin->setProgram(1);  // Half gain
    plugin->prepare(44100.0f, 64);
    std::vector<float> inL(64, 1.0f), inR(64, -1.0f), outL(64, 0.25f), outR(64, 0.25f);
    float* in[] = {inL.data(), inR.data()};
    float* out[] = {outL.data(), outR.data()};
    plugin->processAccumulating(in, out, 64);
    EXPECT_FLOAT_EQ(outL[0], 0.25f);
    EXPECT_FLOAT_EQ(outL[40], 0.75f);
    EXPECT_FLOAT_EQ(outR[40], -0.25f);
    EXPECT_NEAR(plugin->vu(), 0.5f, 1e-3f);

    // Bypass answered by the plug-in: unity, still delayed.
    EXPECT_TRUE(plugin->setBypass(true));
    plugin->prepare(44100.0f, 64);
    auto bypassed = plugin->run(input, 64);
    EXPECT_FLOAT_EQ(bypassed[0][kFakeLatency + 5], input[0][5]);
}

TEST(PluginHost, EventsAreRecordedFromConcurrentCallbacksPerInstance) {
    auto first = loadFake();
    auto second = loadFake();
    ASSERT_TRUE(first && second);
    constexpr int kGestures = 2000;
    std::thread a([&] { first->dispatch(vst::effVendorSpecific, 2, kGestures); });
    std::thread b([&] { first->dispatch(vst::effVendorSpecific, 2, kGestures); });
    second->dispatch(vst::effVendorSpecific, 2, 5);
    a.join();
    b.join();
    const auto events = first->events();
    ASSERT_EQ(events.size(), 2u * 3u * kGestures);
    int begins = 0, automates = 0, ends = 0;
    for (const HostEvent& e : events) {
        if (e.opcode == vst::audioMasterBeginEdit) ++begins;
        if (e.opcode == vst::audioMasterEndEdit) ++ends;
        if (e.opcode == vst::audioMasterAutomate) {
            ++automates;
            EXPECT_EQ(e.value, 0.25f);
        }
        EXPECT_TRUE(e.index >= 0 && e.index < 3);
    }
    EXPECT_EQ(begins, 2 * kGestures);
    EXPECT_EQ(automates, 2 * kGestures);
    EXPECT_EQ(ends, 2 * kGestures);
    ASSERT_EQ(second->events().size(), 15u);
    EXPECT_EQ(second->events()[1].opcode, vst::audioMasterAutomate);
    EXPECT_EQ(second->events()[1].index, 0);
    first->clearEvents();
    EXPECT_TRUE(first->events().empty());
    EXPECT_EQ(second->events().size(), 15u);
}

TEST(PluginHost, CloseIsSentExactlyOnce) {
    const auto log = std::filesystem::temp_directory_path() /
                     ("qx_vsthost_close_" + std::to_string(::getpid()) + ".log");
    std::filesystem::remove(log);
    setEnvironment("QX_FAKE_CLOSE_LOG", log.string());
    auto countCloses = [&] {
        std::ifstream in(log);
        int n = 0;
        for (std::string line; std::getline(in, line);) n += line == "close";
        return n;
    };
    {
        auto plugin = loadFake();
        ASSERT_TRUE(plugin);
        plugin->prepare(48000.0f, 128);
    }
    EXPECT_EQ(countCloses(), 1);
    {
        auto plugin = loadFake();
        ASSERT_TRUE(plugin);
        plugin->close();
        plugin->close();
        EXPECT_EQ(plugin->effect(), nullptr);
        EXPECT_EQ(plugin->dispatch(vst::effGetVendorVersion), 0);
        EXPECT_EQ(plugin->numParams(), 0);
    }
    EXPECT_EQ(countCloses(), 2);
    setEnvironment("QX_FAKE_CLOSE_LOG", "");
    std::filesystem::remove(log);
}
