// The tool with third-party plug-ins (the LSP collection, when installed): listing, info,
// rendering and a saved and reloaded state; and the benchmark's report.
#include <cmath>
#include <filesystem>

#include "tests/qxhost/tool_harness.h"
#include "tools/vsthost/preset_file.h"

using namespace qx::tooltest;

namespace {

const std::string kLspDir = QX_LSP_DIR;

class ThirdParty : public ScratchTest {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kLspDir)) GTEST_SKIP() << "LSP plug-ins not installed";
        ScratchTest::SetUp();
    }
};

}  // namespace

TEST_F(ThirdParty, LspPluginsAreListedRenderedAndTheirStateRoundTrips) {
    RunResult r = runTool({"info", kLspDir});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("compressor-stereo.so"), std::string::npos);
    EXPECT_NE(r.out.find("Compressor Stereo"), std::string::npos);
    EXPECT_NE(r.out.find("(not a VST 2 plug-in"), std::string::npos);  // the shared core library

    const std::string compressor = kLspDir + "/compressor-stereo.so";
    r = runTool({"info", compressor});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* expected :
         {"Name:        Compressor Stereo", "Inputs:      2", "Latency:", "Parameters:", " cr "})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected;

    Planar input = testSignal(2, 24000, 4);
    writeAudioFile(path("in.wav"), input, 48000);
    r = runTool({"render", "-q", path("in.wav"), "-o", path("a.wav"), "-p", compressor, "-s",
                 "cr=0.6", "-s", "al=0.5", "-S", path("state.fxp")});
    ASSERT_EQ(r.code, 0) << r.err;
    const Planar a = readAudioFile(path("a.wav"));
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(a[0].size(), input[0].size());
    for (const auto& c : a)
        for (float v : c) ASSERT_TRUE(std::isfinite(v));
    EXPECT_NE(a, input);

    r = runTool({"render", "-q", path("in.wav"), "-o", path("b.wav"), "-p", compressor, "-l",
                 path("state.fxp"), "-S", path("again.fxp")});
    ASSERT_EQ(r.code, 0) << r.err;
    qx::host::PresetFile first, second;
    std::string error;
    ASSERT_TRUE(qx::host::readPresetFile(path("state.fxp"), &first, &error)) << error;
    ASSERT_TRUE(qx::host::readPresetFile(path("again.fxp"), &second, &error)) << error;
    ASSERT_EQ(first.programs[0].values.size(), second.programs[0].values.size());
    for (std::size_t i = 0; i < first.programs[0].values.size(); ++i)
        EXPECT_NEAR(first.programs[0].values[i], second.programs[0].values[i], 1e-6f) << i;
    EXPECT_EQ(readAudioFile(path("b.wav")), a);
}

TEST_F(ThirdParty, BenchReportsARealtimeFactorPerPlugin) {
    const RunResult r =
        runTool({"bench", "--seconds", "1", QX_FAKE_PLUGIN, kLspDir + "/comp-delay-stereo.so"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Fake Gain"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Delay Compensator Stereo"), std::string::npos) << r.out;
    // Each measured line ends in a positive factor followed by "x".
    int factors = 0;
    for (std::size_t at = r.out.find("x\n"); at != std::string::npos;
         at = r.out.find("x\n", at + 1)) {
        const std::size_t space = r.out.rfind(' ', at);
        EXPECT_GT(std::stod(r.out.substr(space + 1, at - space - 1)), 0.0);
        ++factors;
    }
    EXPECT_EQ(factors, 2);
}
