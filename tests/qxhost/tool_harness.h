// Running the built qxhost as a subprocess, and reading and writing the audio it works on.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qx::tooltest {

using Planar = std::vector<std::vector<float>>;

struct RunResult {
    int code = -1;
    std::string out, err;
};

// Runs qxhost with these arguments (no shell), capturing both output streams.
RunResult runTool(const std::vector<std::string>& args);

// Float WAV (or another libsndfile format) from planar channels.
void writeAudioFile(const std::string& path, const Planar& channels, int rate, int format = 0);
// Planar channels; *rate set when given. Fails the test when unreadable.
Planar readAudioFile(const std::string& path, int* rate = nullptr);

// A deterministic, busy test signal: different on every channel, within +-0.8.
Planar testSignal(int channels, int frames, unsigned seed = 1);

// A fresh directory per test, removed afterwards.
class ScratchTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // Files in the directory, sorted: to see that nothing was left behind.
    std::vector<std::string> listing() const;
    std::filesystem::path dir_;
};

}  // namespace qx::tooltest
