// Subprocess runner and audio file helpers for the tool's tests.
#include "tests/qxhost/tool_harness.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace qx::tooltest {

namespace {

std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

RunResult runTool(const std::vector<std::string>& args) {
    const auto base = std::filesystem::temp_directory_path() /
                      ("qxhost_run_" + std::to_string(::getpid()) + "_" +
                       std::to_string(reinterpret_cast<std::uintptr_t>(&args)));
    const std::string outFile = base.string() + ".out", errFile = base.string() + ".err";
    std::vector<char*> argv;
    std::string binary = QXHOST_BIN;
    argv.push_back(binary.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    RunResult result;
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(outFile);
    result.err = slurp(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return result;
}

void writeAudioFile(const std::string& path, const Planar& channels, int rate, int format) {
    SF_INFO info{};
    info.channels = static_cast<int>(channels.size());
    info.samplerate = rate;
    info.format = format ? format : (SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const std::size_t frames = channels.empty() ? 0 : channels[0].size();
    std::vector<float> interleaved;
    for (std::size_t n = 0; n < frames; ++n)
        for (const auto& c : channels) interleaved.push_back(c[n]);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
}

Planar readAudioFile(const std::string& path, int* rate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (!file) return {};
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    Planar channels(info.channels, std::vector<float>(static_cast<std::size_t>(info.frames)));
    for (sf_count_t n = 0; n < info.frames; ++n)
        for (int c = 0; c < info.channels; ++c) channels[c][n] = interleaved[n * info.channels + c];
    if (rate) *rate = info.samplerate;
    return channels;
}

Planar testSignal(int channels, int frames, unsigned seed) {
    Planar s(channels, std::vector<float>(frames));
    unsigned state = seed * 2654435761u + 1;
    for (int c = 0; c < channels; ++c)
        for (int n = 0; n < frames; ++n) {
            state = state * 1664525u + 1013904223u;
            const float noise = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
            s[c][n] = 0.5f * std::sin(0.01f * (c + 1) * n) + 0.6f * noise;
        }
    return s;
}

void ScratchTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("qxhost_test_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" +
            info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
}

void ScratchTest::TearDown() {
    std::filesystem::remove_all(dir_);
}

std::vector<std::string> ScratchTest::listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qx::tooltest
