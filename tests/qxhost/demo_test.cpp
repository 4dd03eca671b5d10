// `qxhost demo` on the toy plug-in, whose programs 4 and 5 repeat program 0's values: each
// distinct program is rendered once, and the copies are listed as the program they repeat.
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "tests/qxhost/tool_harness.h"

using namespace qx::tooltest;

namespace {

class Demo : public ScratchTest {};

TEST_F(Demo, RendersEachDistinctProgramOnceAndListsTheCopies) {
    const std::string toyDir = std::filesystem::path(QX_TOY_PLUGIN).parent_path().string();
    const RunResult r = runTool({"demo", "--plugins", toyDir, "--only", "toy", "--out", path("out"),
                                 "--seconds", "0.2", "--no-png", "-q"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> rendered;
    for (const auto& entry : std::filesystem::directory_iterator(path("out/toy")))
        rendered.push_back(entry.path().filename().string());
    std::sort(rendered.begin(), rendered.end());
    EXPECT_EQ(rendered, (std::vector<std::string>{"00_Default.wav", "01_Quiet.wav", "02_Bright.wav",
                                                  "03_Odd.wav"}));
    EXPECT_NE(r.out.find("    4  Default                          as program 0 (same values)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("    5  Default"), std::string::npos);
    EXPECT_EQ(r.out.find("failed"), std::string::npos);
}

double rms(const std::vector<float>& x) {
    double sum = 0.0;
    for (float v : x) sum += double(v) * v;
    return std::sqrt(sum / double(x.size()));
}

// RMS of the first difference over the RMS: about 2 pi f / rate for a tone of f Hz.
double brightness(const std::vector<float>& x) {
    double sum = 0.0;
    for (size_t n = 1; n < x.size(); ++n) sum += double(x[n] - x[n - 1]) * (x[n] - x[n - 1]);
    return std::sqrt(sum / double(x.size() - 1)) / rms(x);
}

// A six-input plug-in gets the piece in 5.1: every channel carries its own part, the LFE
// channel only lows, the surround pair the bright hats.
TEST_F(Demo, SixInputPluginsAreFedTheSurroundClip) {
    const RunResult r =
        runTool({"demo", "--plugins", QX_SUITE_PLUGIN_DIR, "--only", "heliope_surround", "--out",
                 path("out"), "--seconds", "2", "--no-png", "-q"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
    int rate = 0;
    const Planar clip = readAudioFile(path("out/demo_clip_51.wav"), &rate);
    ASSERT_EQ(clip.size(), 6u);
    ASSERT_EQ(rate, 44100);
    enum { L, R, C, Lfe, Ls, Rs };
    for (int c = 0; c < 6; ++c) EXPECT_GT(rms(clip[c]), 0.01) << c;
    // Below 120 Hz: a 120 Hz tone would read 0.017.
    EXPECT_LT(brightness(clip[Lfe]), 0.02);
    EXPECT_GT(brightness(clip[Rs]), 2 * brightness(clip[C]));
    EXPECT_GT(brightness(clip[Ls]), 2 * brightness(clip[C]));
    const Planar out = readAudioFile(path("out/heliope_surround/00_Default.wav"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].size(), clip[0].size());
    EXPECT_GT(rms(out[0]), 0.01);
    // The stereo clip is written as before.
    EXPECT_EQ(readAudioFile(path("out/demo_clip.wav")).size(), 2u);
}

}  // namespace
