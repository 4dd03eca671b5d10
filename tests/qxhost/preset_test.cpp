// .fxp and .fxb files written by the tool restore every value and name when read back.
#include <filesystem>
#include <fstream>

#include "tests/qxhost/tool_harness.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/preset_file.h"

using namespace qx::tooltest;
using qx::host::PresetFile;

namespace {

const std::string kFake = QX_FAKE_PLUGIN;

PresetFile parse(const std::string& file) {
    PresetFile preset;
    std::string error;
    EXPECT_TRUE(qx::host::readPresetFile(file, &preset, &error)) << error;
    return preset;
}

std::vector<char> bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Presets : public ScratchTest {};

}  // namespace

TEST_F(Presets, ToolWrittenFilesRestoreEveryValueAndName) {
    // State set on the command line, saved without rendering.
    RunResult r = runTool({"render", "-p", kFake, "-P", "Half", "-s", "Gain=0.3", "-s", "Swap=1",
                           "-S", path("a.fxp"), "-S", path("a.fxb")});
    ASSERT_EQ(r.code, 0) << r.err;
    const PresetFile program = parse(path("a.fxp"));
    ASSERT_EQ(program.programs.size(), 1u);
    EXPECT_EQ(program.programs[0].name, "Half");
    EXPECT_EQ(program.programs[0].values, (std::vector<float>{0.3f, 1.0f, 0.0f}));
    const PresetFile bank = parse(path("a.fxb"));
    EXPECT_EQ(bank.formatVersion, 2);
    EXPECT_EQ(bank.currentProgram, 1);
    ASSERT_EQ(bank.programs.size(), 4u);
    EXPECT_EQ(bank.programs[3].name, "Invert");
    EXPECT_EQ(bank.programs[1].values, program.programs[0].values);

    // A bank with every name and value edited, made by the library, goes through the tool
    // (load, save) unchanged, and its current program comes out as the .fxp.
    {
        std::string error;
        auto plugin = qx::host::Plugin::load(kFake, &error);
        ASSERT_TRUE(plugin) << error;
        for (int p = 0; p < plugin->numPrograms(); ++p) {
            plugin->setProgram(p);
            plugin->setProgramName("Edited " + std::to_string(p));
            for (int i = 0; i < plugin->numParams(); ++i)
                plugin->setParameter(i, 0.05f * (p * 3 + i + 1));
        }
        plugin->setProgram(2);
        ASSERT_TRUE(qx::host::saveBankFile(*plugin, path("edited.fxb"), &error)) << error;
    }
    r = runTool({"render", "-p", kFake, "-l", path("edited.fxb"), "-S", path("round.fxb"), "-S",
                 path("round.fxp")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(bytes(path("round.fxb")), bytes(path("edited.fxb")));
    const PresetFile current = parse(path("round.fxp"));
    EXPECT_EQ(current.programs[0].name, "Edited 2");
    EXPECT_EQ(current.programs[0].values, parse(path("edited.fxb")).programs[2].values);

    // A program selected by its new name after the bank renamed it.
    r = runTool(
        {"render", "-p", kFake, "-l", path("edited.fxb"), "-P", "edited 1", "-S", path("one.fxp")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(parse(path("one.fxp")).programs[0].name, "Edited 1");

    // Loading the .fxp sounds like the settings it was saved from.
    writeAudioFile(path("in.wav"), testSignal(2, 3000), 44100);
    r = runTool({"render", "-q", path("in.wav"), "-o", path("direct.wav"), "-p", kFake, "-P",
                 "Half", "-s", "Gain=0.3", "-s", "Swap=1"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = runTool({"render", "-q", path("in.wav"), "-o", path("preset.wav"), "-p", kFake, "-l",
                 path("a.fxp")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readAudioFile(path("preset.wav")), readAudioFile(path("direct.wav")));
}
