// Third-party plug-ins (the LSP collection, when installed): loading, processing, the
// delay they apply, and a program-file round trip of their state.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

#include <unistd.h>

#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/preset_file.h"

using namespace qx::host;

namespace {

std::unique_ptr<Plugin> loadLsp(const std::string& name) {
    std::string error;
    auto plugin = Plugin::load(std::string(QX_LSP_DIR) + "/" + name + ".so", &error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

int findParameter(Plugin& plugin, const std::string& name) {
    for (int i = 0; i < plugin.numParams(); ++i)
        if (plugin.parameterName(i) == name) return i;
    return -1;
}

}  // namespace

TEST(LspHost, CompressorProcessesAndItsStateSurvivesAProgramFile) {
    if (!std::filesystem::is_directory(QX_LSP_DIR)) GTEST_SKIP() << "LSP plug-ins not installed";
    auto plugin = loadLsp("compressor-stereo");
    ASSERT_TRUE(plugin);
    EXPECT_FALSE(plugin->effectName().empty());
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    ASSERT_GT(plugin->numParams(), 10);
    for (int i = 0; i < plugin->numParams(); ++i) EXPECT_FALSE(plugin->parameterName(i).empty());
    plugin->prepare(48000.0f, 256);

    const int ratio = findParameter(*plugin, "cr");
    const int threshold = findParameter(*plugin, "al");
    ASSERT_GE(ratio, 0);
    ASSERT_GE(threshold, 0);
    plugin->setParameter(ratio, 0.6f);
    plugin->setParameter(threshold, 0.5f);
    const std::string ratioText = plugin->parameterDisplay(ratio);

    std::mt19937 rng(5);
    std::uniform_real_distribution<float> noise(-0.8f, 0.8f);
    std::vector<std::vector<float>> input(2, std::vector<float>(24000));
    for (auto& channel : input)
        for (float& s : channel) s = noise(rng);
    auto output = plugin->run(input, 256);
    ASSERT_EQ(output.size(), 2u);
    double energy = 0.0;
    for (const auto& channel : output)
        for (float s : channel) {
            ASSERT_TRUE(std::isfinite(s));
            energy += double(s) * s;
        }
    EXPECT_GT(energy, 0.0);

    const auto file =
        std::filesystem::temp_directory_path() / ("qx_lsp_" + std::to_string(::getpid()) + ".fxp");
    std::string error;
    ASSERT_TRUE(saveProgramFile(*plugin, file.string(), &error)) << error;
    auto fresh = loadLsp("compressor-stereo");
    ASSERT_TRUE(fresh);
    fresh->prepare(48000.0f, 256);
    ASSERT_TRUE(loadPresetFile(*fresh, file.string(), &error)) << error;
    for (int i = 0; i < plugin->numParams(); ++i)
        EXPECT_NEAR(fresh->getParameter(i), plugin->getParameter(i), 1e-6f)
            << plugin->parameterName(i);
    EXPECT_EQ(fresh->parameterDisplay(ratio), ratioText);
    std::filesystem::remove(file);
}

TEST(LspHost, DelayCompensatorDelaysByTheSamplesItDisplays) {
    if (!std::filesystem::is_directory(QX_LSP_DIR)) GTEST_SKIP() << "LSP plug-ins not installed";
    auto plugin = loadLsp("comp-delay-stereo");
    ASSERT_TRUE(plugin);
    plugin->prepare(48000.0f, 128);
    const int samples = findParameter(*plugin, "samp");
    ASSERT_GE(samples, 0);
    plugin->setParameter(samples, 0.01f);
    const int delay = std::stoi(plugin->parameterDisplay(samples));
    ASSERT_GT(delay, 0);
    std::vector<std::vector<float>> impulse(2, std::vector<float>(delay + 2000, 0.0f));
    impulse[0][500] = 1.0f;
    impulse[1][700] = -0.5f;
    // Settings reach the DSP on the next block: let one block pass first.
    plugin->run(std::vector<std::vector<float>>(2, std::vector<float>(128)), 128);
    auto out = plugin->run(impulse, 128);
    auto firstNonZero = [](const std::vector<float>& v) {
        for (std::size_t i = 0; i < v.size(); ++i)
            if (std::fabs(v[i]) > 1e-3f) return static_cast<int>(i);
        return -1;
    };
    EXPECT_EQ(firstNonZero(out[0]), 500 + delay);
    EXPECT_EQ(firstNonZero(out[1]), 700 + delay);
    EXPECT_NEAR(out[1][700 + delay], -0.5f, 1e-3f);
}
