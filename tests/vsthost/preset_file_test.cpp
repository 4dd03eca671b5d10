// Program and bank files: byte layout, round trips into fresh instances, chunk forms and
// every rejection path.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/vsthost/fake_paths.h"
#include "tools/vsthost/preset_file.h"

using namespace qx::host;
using qx::host::testing::loadFake;
namespace fs = std::filesystem;

namespace {

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) |
           (std::uint32_t(b[at + 2]) << 8) | b[at + 3];
}

fs::path scratchDir() {
    fs::path dir = fs::temp_directory_path() / ("qx_preset_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

// Edits every program of the fake so that nothing equals a factory value.
void editAllPrograms(Plugin& plugin) {
    for (int p = 0; p < plugin.numPrograms(); ++p) {
        plugin.setProgram(p);
        plugin.setProgramName("Edit " + std::to_string(p));
        for (int i = 0; i < plugin.numParams(); ++i)
            plugin.setParameter(i,
                                0.1f * static_cast<float>(p + 1) + 0.03f * static_cast<float>(i));
    }
}

}  // namespace

TEST(PresetFile, ProgramFileLayoutAndRoundTrip) {
    auto source = loadFake();
    ASSERT_TRUE(source);
    source->setProgram(3);
    source->setParameter(0, 0.75f);
    source->setProgramName("My program");
    const PresetFile captured = captureProgram(*source);
    const auto bytes = serializePreset(captured);

    // 'CcnK', size, 'FxCk', version 1, ID, version, count, 28-byte name, 3 floats.
    ASSERT_EQ(bytes.size(), 7u * 4u + 28u + 3u * 4u);
    EXPECT_EQ(be32(bytes, 0), 0x43636e4bu);
    EXPECT_EQ(be32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(be32(bytes, 8), 0x4678436bu);
    EXPECT_EQ(be32(bytes, 12), 1u);
    EXPECT_EQ(be32(bytes, 16), static_cast<std::uint32_t>(source->uniqueId()));
    EXPECT_EQ(be32(bytes, 20), 7u);
    EXPECT_EQ(be32(bytes, 24), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28])), "My program");
    EXPECT_EQ(be32(bytes, 56), 0x3f400000u);  // 0.75f, big-endian
    EXPECT_EQ(be32(bytes, 64), 0x3f800000u);  // Invert program: 1.0f

    const fs::path file = scratchDir() / "program.fxp";
    std::string error;
    ASSERT_TRUE(saveProgramFile(*source, file.string(), &error)) << error;
    auto fresh = loadFake();
    ASSERT_TRUE(fresh);
    ASSERT_TRUE(loadPresetFile(*fresh, file.string(), &error)) << error;
    EXPECT_EQ(fresh->program(), 0);  // a program file goes into the current program
    EXPECT_EQ(fresh->programName(), "My program");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fresh->getParameter(i), source->getParameter(i));
    fs::remove_all(file.parent_path());
}

TEST(PresetFile, BankRoundTripRestoresEveryProgramAndTheCurrentOne) {
    auto source = loadFake();
    ASSERT_TRUE(source);
    editAllPrograms(*source);
    source->setProgram(2);
    const fs::path file = scratchDir() / "bank.fxb";
    std::string error;
    ASSERT_TRUE(saveBankFile(*source, file.string(), &error)) << error;
    EXPECT_EQ(source->program(), 2);

    PresetFile parsed;
    ASSERT_TRUE(readPresetFile(file.string(), &parsed, &error)) << error;
    EXPECT_EQ(parsed.kind, PresetFile::Kind::Bank);
    EXPECT_EQ(parsed.formatVersion, 2);
    EXPECT_EQ(parsed.currentProgram, 2);
    ASSERT_EQ(parsed.programs.size(), 4u);

    auto fresh = loadFake();
    ASSERT_TRUE(fresh);
    ASSERT_TRUE(loadPresetFile(*fresh, file.string(), &error)) << error;
    EXPECT_EQ(fresh->program(), 2);
    for (int p = 0; p < 4; ++p) {
        source->setProgram(p);
        fresh->setProgram(p);
        EXPECT_EQ(fresh->programName(), source->programName());
        for (int i = 0; i < 3; ++i) EXPECT_EQ(fresh->getParameter(i), source->getParameter(i));
    }

    // Version 1 (no current program): the program selected before loading stays selected.
    parsed.currentProgram = -1;
    const auto v1 = serializePreset(parsed);
    EXPECT_EQ(be32(v1, 12), 1u);
    PresetFile reparsed;
    ASSERT_TRUE(parsePreset(v1, &reparsed, &error)) << error;
    auto third = loadFake();
    ASSERT_TRUE(third);
    third->setProgram(1);
    ASSERT_TRUE(applyPreset(*third, reparsed, &error)) << error;
    EXPECT_EQ(third->program(), 1);
    EXPECT_EQ(third->programName(), "Edit 1");
    fs::remove_all(file.parent_path());
}

TEST(PresetFile, RejectsBadFilesWithClearMessages) {
    auto plugin = loadFake();
    ASSERT_TRUE(plugin);
    std::string error;
    PresetFile parsed;
    const auto program = serializePreset(captureProgram(*plugin));
    const auto bank = serializePreset(captureBank(*plugin));

    // Every truncation of a valid file is refused, never read past the end.
    for (const auto* whole : {&program, &bank}) {
        for (std::size_t n = 0; n < whole->size(); ++n) {
            std::vector<std::uint8_t> cut(whole->begin(), whole->begin() + n);
            EXPECT_FALSE(parsePreset(cut, &parsed, &error)) << n;
            EXPECT_NE(error.find("truncated"), std::string::npos) << n << ": " << error;
        }
    }

    auto badMagic = program;
    badMagic[0] = 'X';
    EXPECT_FALSE(parsePreset(badMagic, &parsed, &error));
    EXPECT_NE(error.find("not a preset file"), std::string::npos) << error;
    auto badKind = program;
    badKind[8] = 'Z';
    EXPECT_FALSE(parsePreset(badKind, &parsed, &error));
    EXPECT_NE(error.find("unknown preset kind"), std::string::npos) << error;

    // Another plug-in's ID is refused unless overridden.
    PresetFile foreign = captureProgram(*plugin);
    foreign.uniqueId = qx::vst::fourCC('O', 't', 'h', 'r');
    foreign.programs[0].values = {0.1f, 0.2f, 0.3f};
    EXPECT_FALSE(applyPreset(*plugin, foreign, &error));
    EXPECT_NE(error.find("'Othr'"), std::string::npos) << error;
    EXPECT_NE(plugin->getParameter(0), 0.1f);
    ApplyOptions override;
    override.ignoreUniqueId = true;
    EXPECT_TRUE(applyPreset(*plugin, foreign, &error, override)) << error;
    EXPECT_EQ(plugin->getParameter(2), 0.3f);

    PresetFile wrongCount = captureProgram(*plugin);
    wrongCount.programs[0].values.push_back(0.5f);
    EXPECT_FALSE(applyPreset(*plugin, wrongCount, &error));
    EXPECT_NE(error.find("4 parameters"), std::string::npos) << error;

    EXPECT_FALSE(readPresetFile("/nonexistent/x.fxp", &parsed, &error));
    EXPECT_NE(error.find("cannot open /nonexistent/x.fxp"), std::string::npos) << error;
    EXPECT_FALSE(writePresetFile("/nonexistent/x.fxp", foreign, &error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

TEST(PresetFile, ChunkFormsGoThroughSetChunk) {
    auto plugin = loadFake();
    ASSERT_TRUE(plugin);
    auto toBytes = [](std::vector<float> v) {
        std::vector<std::uint8_t> b(v.size() * sizeof(float));
        std::memcpy(b.data(), v.data(), b.size());
        return b;
    };
    PresetFile program;
    program.chunked = true;
    program.uniqueId = plugin->uniqueId();
    program.programs.push_back({"Chunked", {}, toBytes({0.2f, 0.7f, 0.9f})});
    PresetFile parsed;
    std::string error;
    ASSERT_TRUE(parsePreset(serializePreset(program), &parsed, &error)) << error;
    EXPECT_TRUE(parsed.chunked);
    ASSERT_TRUE(applyPreset(*plugin, parsed, &error)) << error;
    EXPECT_EQ(plugin->getParameter(1), 0.7f);
    EXPECT_EQ(plugin->programName(), "Chunked");

    PresetFile bank;
    bank.kind = PresetFile::Kind::Bank;
    bank.chunked = true;
    bank.uniqueId = plugin->uniqueId();
    std::vector<float> all;
    for (int k = 0; k < 12; ++k) all.push_back(k / 12.0f);
    bank.bankChunk = toBytes(all);
    ASSERT_TRUE(parsePreset(serializePreset(bank), &parsed, &error)) << error;
    ASSERT_TRUE(applyPreset(*plugin, parsed, &error)) << error;
    plugin->setProgram(3);
    EXPECT_EQ(plugin->getParameter(2), 11 / 12.0f);

    // The main-only variant is the same fake; clear its chunk flag to see the refusal.
    auto other = loadFake({}, "qx_fake_main_only");
    ASSERT_TRUE(other);
    other->effect()->flags &= ~qx::vst::effFlagsProgramChunks;
    EXPECT_FALSE(applyPreset(*other, parsed, &error));
    EXPECT_NE(error.find("does not accept chunks"), std::string::npos) << error;
}
