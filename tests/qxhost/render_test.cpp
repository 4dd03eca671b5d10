// Rendering through the tool's command line: exact samples, latency alignment, channel
// routing, chains and several files at once.
#include <cmath>
#include <filesystem>

#include "tests/qxhost/tool_harness.h"
#include "tools/vsthost/plugin_host.h"

using namespace qx::tooltest;

namespace {

constexpr int kFakeLatency = 32;
const std::string kFake = QX_FAKE_PLUGIN;

Planar scaled(const Planar& in, float gain) {
    Planar out = in;
    for (auto& c : out)
        for (float& v : c) v *= gain;
    return out;
}

std::string suitePlugin(const std::string& name) {
    return std::string(QX_SUITE_PLUGIN_DIR) + "/" + name + ".so";
}

class Render : public ScratchTest {};

}  // namespace

TEST_F(Render, FakePluginGivesExactSamplesAlignedWithTheInput) {
    const Planar input = testSignal(2, 5000);
    writeAudioFile(path("in.wav"), input, 48000);
    auto render = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {"render",        "-q", path("in.wav"), "-o",
                                         path("out.wav"), "-e", "float"};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult r = runTool(args);
        EXPECT_EQ(r.code, 0) << r.err;
        int rate = 0;
        Planar out = readAudioFile(path("out.wav"), &rate);
        EXPECT_EQ(rate, 48000);
        return out;
    };

    // The Half program halves; the 32-sample delay is removed and the tail flushed.
    const Planar half = render({"-p", kFake, "-P", "Half"});
    EXPECT_EQ(half, scaled(input, 0.5f));
    for (const char* block : {"1", "7", "4096"})
        EXPECT_EQ(render({"-b", block, "-p", kFake, "-P", "1"}), half) << "block " << block;
    EXPECT_EQ(render({"--double", "-p", kFake, "-P", "Half"}), half);

    // Without compensation the delay stays and the length is still the input's.
    const Planar delayed = render({"--no-latency-comp", "-p", kFake, "-P", "half"});
    ASSERT_EQ(delayed[0].size(), input[0].size());
    for (std::size_t n = 0; n < input[0].size(); ++n) {
        const float expected = n < kFakeLatency ? 0.0f : 0.5f * input[1][n - kFakeLatency];
        ASSERT_EQ(delayed[1][n], expected) << n;
    }

    // Programs by index, parameters by name and by index, applied in order.
    const Planar swapped = render({"-p", kFake, "-P", "2"});
    EXPECT_EQ(swapped[0], input[1]);
    EXPECT_EQ(swapped[1], input[0]);
    EXPECT_EQ(render({"-p", kFake, "-s", "Gain=0.125"}), scaled(input, 0.25f));
    EXPECT_EQ(render({"-p", kFake, "-s", "gain=0.125", "-s", "2=1"}), scaled(input, -0.25f));
    // Each program keeps its own values: an edit to Half leaves Unity alone.
    EXPECT_EQ(render({"-p", kFake, "-P", "Half", "-s", "Gain=0.125", "-P", "Unity"}), input);
}

TEST_F(Render, ChannelsAreRoutedFromMonoAuxAndMaps) {
    const Planar stereo = testSignal(2, 3000, 7);
    const Planar mono = {stereo[0]}, aux = {stereo[1]};
    writeAudioFile(path("stereo.wav"), stereo, 44100);
    writeAudioFile(path("mono.wav"), mono, 44100);
    writeAudioFile(path("aux.wav"), aux, 44100);
    auto render = [&](const std::string& in, std::vector<std::string> pluginOptions) {
        std::vector<std::string> args = {"render",        "-q", path(in), "-o",
                                         path("out.wav"), "-p", kFake};
        args.insert(args.end(), pluginOptions.begin(), pluginOptions.end());
        const RunResult r = runTool(args);
        EXPECT_EQ(r.code, 0) << r.err;
        return readAudioFile(path("out.wav"));
    };
    const Planar duplicated = render("mono.wav", {});
    EXPECT_EQ(duplicated[0], mono[0]);
    EXPECT_EQ(duplicated[1], mono[0]);
    const Planar silentRight = render("mono.wav", {"--silent-aux"});
    EXPECT_EQ(silentRight[0], mono[0]);
    EXPECT_EQ(silentRight[1], std::vector<float>(mono[0].size(), 0.0f));
    EXPECT_EQ(render("mono.wav", {"--aux", path("aux.wav")}), stereo);
    const Planar mapped = render("stereo.wav", {"--map", "2,1"});
    EXPECT_EQ(mapped[0], stereo[1]);
    EXPECT_EQ(mapped[1], stereo[0]);
    const Planar fromAux = render("mono.wav", {"--aux", path("aux.wav"), "--map", "a1,0"});
    EXPECT_EQ(fromAux[0], aux[0]);
    EXPECT_EQ(fromAux[1], std::vector<float>(mono[0].size(), 0.0f));
}

// A 5.1 file feeds a six-input plug-in directly; a stereo file reaches it through --map, and
// the same routing from a 5.1 file whose other channels are silent sounds the same.
TEST_F(Render, SixChannelFilesAndMappedStereoThroughTheSurroundRenderer) {
    const std::string surround = std::string(QX_SUITE_PLUGIN_DIR) + "/heliope_surround.so";
    Planar six = testSignal(6, 4000, 3);
    writeAudioFile(path("six.wav"), six, 48000);
    const Planar stereo = {six[0], six[1]};
    writeAudioFile(path("stereo.wav"), stereo, 48000);
    for (int c = 2; c < 6; ++c) six[c].assign(six[c].size(), 0.0f);
    writeAudioFile(path("front.wav"), six, 48000);
    auto render = [&](const std::string& in, std::vector<std::string> options) {
        std::vector<std::string> args = {"render",        "-q", path(in), "-o",
                                         path("out.wav"), "-p", surround};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult r = runTool(args);
        EXPECT_EQ(r.code, 0) << r.err;
        int rate = 0;
        Planar out = readAudioFile(path("out.wav"), &rate);
        EXPECT_EQ(rate, 48000);
        return out;
    };
    const Planar all = render("six.wav", {});
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].size(), 4000u);
    const Planar mapped = render("stereo.wav", {"--map", "1,2,0,0,0,0"});
    ASSERT_EQ(mapped.size(), 2u);
    EXPECT_EQ(mapped, render("front.wav", {}));
    EXPECT_NE(mapped, all);
    // Without a map the two missing inputs are named.
    const RunResult refused =
        runTool({"render", "-q", path("stereo.wav"), "-o", path("x.wav"), "-p", surround});
    EXPECT_EQ(refused.code, 6);
    EXPECT_NE(refused.err.find("6 inputs"), std::string::npos) << refused.err;
}

TEST_F(Render, ChainEqualsRenderingTwice) {
    // A second plug-in with real processing when one is available.
    std::vector<std::string> second = {"-p", kFake, "-P", "Swap"};
    if (std::filesystem::exists(suitePlugin("eraslip")))
        second = {"-p", suitePlugin("eraslip"), "-P", "Akai S01"};
    else if (std::filesystem::exists(std::string(QX_LSP_DIR) + "/limiter-stereo.so"))
        second = {"-p", std::string(QX_LSP_DIR) + "/limiter-stereo.so", "-s", "th=0.3"};
    writeAudioFile(path("in.wav"), testSignal(2, 6000, 3), 44100);
    auto run = [&](const std::string& in, const std::string& out, std::vector<std::string> chain) {
        std::vector<std::string> args = {"render", "-q", path(in), "-o", path(out), "-e", "float"};
        args.insert(args.end(), chain.begin(), chain.end());
        const RunResult r = runTool(args);
        EXPECT_EQ(r.code, 0) << r.err;
    };
    std::vector<std::string> both = {"-p", kFake, "-P", "Half"};
    both.insert(both.end(), second.begin(), second.end());
    run("in.wav", "chain.wav", both);
    run("in.wav", "first.wav", {"-p", kFake, "-P", "Half"});
    run("first.wav", "twice.wav", second);
    const Planar chained = readAudioFile(path("chain.wav"));
    EXPECT_EQ(chained, readAudioFile(path("twice.wav")));
    EXPECT_NE(chained, readAudioFile(path("first.wav")));
}

TEST_F(Render, SeveralInputsRenderInParallelIntoTheirOwnOutputs) {
    std::vector<Planar> inputs;
    std::vector<std::string> args = {"render",    "-q", "-j",   "2",  "-d",
                                     path("out"), "-t", "flac", "-e", "pcm24"};
    for (int k = 0; k < 4; ++k) {
        inputs.push_back(testSignal(2, 2000 + 501 * k, 10 + k));
        const std::string name = "in" + std::to_string(k) + ".wav";
        writeAudioFile(path(name), inputs.back(), 32000);
        args.push_back(path(name));
    }
    args.insert(args.end(), {"-p", kFake, "-P", "Half"});
    const RunResult r = runTool(args);
    ASSERT_EQ(r.code, 0) << r.err;
    for (int k = 0; k < 4; ++k) {
        int rate = 0;
        const Planar out = readAudioFile(path("out/in" + std::to_string(k) + ".flac"), &rate);
        EXPECT_EQ(rate, 32000);
        ASSERT_EQ(out.size(), 2u);
        ASSERT_EQ(out[0].size(), inputs[k][0].size());
        for (int c = 0; c < 2; ++c)
            for (std::size_t n = 0; n < out[c].size(); ++n)
                ASSERT_NEAR(out[c][n], 0.5f * inputs[k][c][n], 1.0f / (1 << 23))
                    << k << " " << c << " " << n;
    }
}

TEST_F(Render, EraslipDefaultsMatchDirectHosting) {
    const std::string eraslip = suitePlugin("eraslip");
    if (!std::filesystem::exists(eraslip)) GTEST_SKIP() << "eraslip.so not built";
    // A 1 kHz sine at -12 dBFS on the left, the busy signal on the right.
    Planar input = testSignal(2, 44100 / 2, 5);
    for (std::size_t n = 0; n < input[0].size(); ++n)
        input[0][n] = 0.25f * std::sin(2.0f * 3.14159265f * 1000.0f * n / 44100.0f);
    writeAudioFile(path("in.wav"), input, 44100);
    const RunResult r = runTool(
        {"render", "-q", path("in.wav"), "-o", path("out.wav"), "-e", "float", "-p", eraslip});
    ASSERT_EQ(r.code, 0) << r.err;
    const Planar out = readAudioFile(path("out.wav"));

    std::string error;
    auto plugin = qx::host::Plugin::load(eraslip, &error);
    ASSERT_TRUE(plugin) << error;
    plugin->prepare(44100.0f, 512);
    const Planar direct = plugin->run(input, 512);
    // Not bit-exact: the tool runs a silent block first to read the latency, which moves
    // eraslip's per-block anti-denormal offsets (about 1e-7) along by one.
    ASSERT_EQ(out.size(), direct.size());
    for (std::size_t c = 0; c < out.size(); ++c) {
        ASSERT_EQ(out[c].size(), direct[c].size());
        for (std::size_t n = 0; n < out[c].size(); ++n)
            ASSERT_NEAR(out[c][n], direct[c][n], 1e-4f) << c << " " << n;
    }
    EXPECT_NE(out, input);  // 16 bits and the 4-pole filters are not transparent

    // Out -4 dB; a 1 kHz tone sits well inside the 8820 Hz passband.
    double inPower = 0.0, outPower = 0.0;
    for (std::size_t n = 4410; n < input[0].size(); ++n) {
        inPower += input[0][n] * input[0][n];
        outPower += out[0][n] * out[0][n];
    }
    EXPECT_NEAR(10.0 * std::log10(outPower / inPower), -4.0, 0.5);
}

TEST_F(Render, LatencyCompensationLinesUpAThirdPartyLimiter) {
    const std::string limiter = std::string(QX_LSP_DIR) + "/limiter-stereo.so";
    if (!std::filesystem::exists(limiter)) GTEST_SKIP() << "LSP plug-ins not installed";
    // Quiet enough that the limiter only delays: compensated output equals the input.
    const Planar input = scaled(testSignal(2, 20000, 9), 0.1f);
    writeAudioFile(path("in.wav"), input, 44100);
    const RunResult r =
        runTool({"render", "-q", path("in.wav"), "-o", path("out.wav"), "-p", limiter});
    ASSERT_EQ(r.code, 0) << r.err;
    const Planar out = readAudioFile(path("out.wav"));
    ASSERT_EQ(out[0].size(), input[0].size());
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
        for (std::size_t n = 0; n < input[c].size(); ++n)
            worst = std::max(worst, std::fabs(double(out[c][n]) - input[c][n]));
    EXPECT_LT(worst, 1e-4);

    const RunResult kept = runTool(
        {"render", path("in.wav"), "-o", path("kept.wav"), "--no-latency-comp", "-p", limiter});
    ASSERT_EQ(kept.code, 0) << kept.err;
    EXPECT_NE(kept.err.find("latency kept: Limiter Stereo 220"), std::string::npos) << kept.err;
    const Planar late = readAudioFile(path("kept.wav"));
    for (std::size_t n = 220; n < input[0].size(); n += 97)
        ASSERT_NEAR(late[0][n], input[0][n - 220], 1e-4);
}

TEST_F(Render, SuiteLimiterOutputIsShiftedByExactlyItsLatency) {
    const std::string palisor = suitePlugin("palisor");
    if (!std::filesystem::exists(palisor)) GTEST_SKIP() << "palisor.so not built";
    writeAudioFile(path("in.wav"), testSignal(2, 8000, 12), 44100);
    RunResult r = runTool(
        {"render", path("in.wav"), "-o", path("aligned.wav"), "-e", "float", "-p", palisor});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("latency removed: QX Palisor Pro 512"), std::string::npos) << r.err;
    r = runTool({"render", "-q", path("in.wav"), "-o", path("late.wav"), "-e", "float",
                 "--no-latency-comp", "-p", palisor});
    ASSERT_EQ(r.code, 0) << r.err;
    const Planar aligned = readAudioFile(path("aligned.wav")),
                 late = readAudioFile(path("late.wav"));
    ASSERT_EQ(aligned[0].size(), 8000u);
    ASSERT_EQ(late[0].size(), 8000u);
    for (int c = 0; c < 2; ++c)
        for (std::size_t n = 0; n + 512 < late[c].size(); ++n)
            ASSERT_EQ(aligned[c][n], late[c][n + 512]) << c << " " << n;
}
