// Every failure the tool reports: its message, its exit code, and no output left behind.
#include <filesystem>
#include <fstream>

#include "tests/qxhost/tool_harness.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/preset_file.h"

using namespace qx::tooltest;

namespace {

const std::string kFake = QX_FAKE_PLUGIN;

class Errors : public ScratchTest {};

}  // namespace

TEST_F(Errors, EachFailureHasItsMessageAndExitCodeAndLeavesNoOutput) {
    writeAudioFile(path("stereo.wav"), testSignal(2, 1000), 44100);
    writeAudioFile(path("six.wav"), testSignal(6, 1000), 44100);
    writeAudioFile(path("three.wav"), testSignal(3, 1000), 44100);
    writeAudioFile(path("rate.wav"), testSignal(1, 1000), 22050);
    std::ofstream(path("text.wav")) << "not audio\n";
    std::ofstream(path("text.so")) << "not a library\n";
    std::filesystem::create_directory(path("taken.wav"));  // an output name that is a folder
    {
        std::string error;
        auto preset = qx::host::captureProgram(*qx::host::Plugin::load(kFake, &error));
        ASSERT_TRUE(qx::host::writePresetFile(path("good.fxp"), preset, &error)) << error;
        std::ifstream in(path("good.fxp"), std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(path("cut.fxp"), std::ios::binary) << all.substr(0, all.size() - 5);
        preset.uniqueId = 1234;
        ASSERT_TRUE(qx::host::writePresetFile(path("other.fxp"), preset, &error)) << error;
    }
    const auto before = listing();
    const std::string out = path("out.wav");

    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"render", path("missing.wav"), "-o", out, "-p", kFake}, 3, "missing.wav': no such file"},
        {{"render", path("text.wav"), "-o", out, "-p", kFake},
         3,
         "cannot read '" + path("text.wav")},
        {{"render", path("stereo.wav"), "-o", out, "-p", path("none.so")},
         3,
         "none.so': no such file"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-l", path("none.fxp")},
         3,
         "none.fxp': no such"},
        {{"render", path("stereo.wav"), "-o", out, "-p", path("text.so")},
         4,
         "is not a usable VST 2 plug-in: cannot open"},
        {{"render", path("stereo.wav"), "-o", out, "-p", QX_FAKE_NO_ENTRY},
         4,
         "no VST 2 entry point"},
        {{"render", path("stereo.wav"), "-o", out, "-p", QX_FAKE_NULL},
         4,
         "entry point returned no effect"},
        {{"info", QX_FAKE_NULL}, 4, "entry point returned no effect"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-P", "Loud"},
         5,
         "programs are:\n  0  Unity\n  1  Half"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-P", "4"},
         5,
         "unknown program '4'"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-s", "Mix=0.5"},
         5,
         "parameters are:\n  0  Gain"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-s", "7=0.5"},
         5,
         "unknown parameter '7'"},
        {{"render", path("six.wav"), "-o", out, "-p", kFake},
         6,
         "has 6 channels but Fake Gain has 2 inputs"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-a", path("stereo.wav")},
         6,
         "no input left"},
        {{"render", path("rate.wav"), "-o", out, "-p", kFake, "-a", path("stereo.wav")},
         6,
         "sample rate mismatch"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-m", "1,3"},
         6,
         "asks for channel 3"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-p", kFake, "-m", "1"},
         6,
         "gives 1 sources"},
        {{"render", path("stereo.wav"), "-o", path("taken.wav"), "-p", kFake}, 7, "cannot write"},
        {{"render", path("stereo.wav"), "-o", path("nodir/out.wav"), "-p", kFake},
         7,
         "no directory"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-S", path("nodir/x.fxp")},
         7,
         "cannot write"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-l", path("cut.fxp")},
         8,
         "truncated"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-l", path("text.wav")},
         8,
         "not a preset file"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-l", path("other.fxp")},
         8,
         "plug-in ID 1234"},
        {{"render", path("stereo.wav"), "-o", out}, 2, "no plug-in given"},
        {{"render", path("stereo.wav"), "-p", kFake}, 2, "say where to write"},
        {{"render", path("stereo.wav"), "-o", out, "-p", kFake, "-s", "Gain=2"}, 2, "from 0 to 1"},
        {{"render", path("stereo.wav"), "-o", path("stereo.wav"), "-p", kFake},
         2,
         "would overwrite its input"},
        {{"render", path("stereo.wav"), "-o", out, "-e", "pcm99", "-p", kFake},
         2,
         "unknown encoding 'pcm99'"},
        {{"render", path("stereo.wav"), "-o", out, "--frobnicate", "-p", kFake},
         2,
         "unknown option"},
        {{"transmogrify"}, 2, "unknown command"},
    };
    for (const Case& c : cases) {
        const RunResult r = runTool(c.args);
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        EXPECT_EQ(r.code, c.code) << line << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << line << "\n" << r.err;
        EXPECT_EQ(listing(), before) << line;  // no output, no temporary file
    }
    // The override accepts another plug-in's preset.
    const RunResult ok = runTool({"render", "-q", path("stereo.wav"), "-o", out, "-p", kFake,
                                  "--ignore-id", "-l", path("other.fxp")});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_TRUE(std::filesystem::exists(out));

    const RunResult help = runTool({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("7 an output could not be written"), std::string::npos);
    const RunResult renderHelp = runTool({"render", "--help"});
    EXPECT_EQ(renderHelp.code, 0);
    EXPECT_NE(renderHelp.out.find("--program N|NAME"), std::string::npos);
}
