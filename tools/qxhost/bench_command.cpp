// `qxhost bench`: realtime factor of each plug-in on a fixed 30 s stereo signal at 48 kHz.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "tools/qxhost/chain.h"
#include "tools/qxhost/commands.h"
#include "tools/qxhost/common.h"
#include "tools/qxhost/demo_clip.h"

namespace qx::tool {

const char* const kBenchHelp = R"(Usage: qxhost bench [options] PLUGIN.so|DIR...

Measures how much faster than realtime each plug-in processes a fixed signal (the demo
piece, 30 s stereo at 48000 Hz by default), in its default program, one plug-in at a time.
Realtime factor = signal duration / processing time (higher is faster).

Options:
  -b, --block N      block size (default 512)
  --seconds S        signal length (default 30)
  -r, --rate HZ      sample rate (default 48000)
  --double           use 64-bit processing where supported
  -P, --program N    program index to measure (default: the plug-in's current one)
)";

namespace {

struct BenchResult {
    double seconds = 0.0;
    int latency = 0;
};

template <typename Sample>
double timeProcessing(host::Plugin& plugin, const Audio& signal, int block) {
    const int ins = std::max(plugin.numInputs(), 1), outs = std::max(plugin.numOutputs(), 1);
    const std::size_t frames = signal.frames();
    std::vector<std::vector<Sample>> in(ins, std::vector<Sample>(frames, 0));
    for (int c = 0; c < ins && c < 2; ++c)
        for (std::size_t n = 0; n < frames; ++n)
            in[c][n] = static_cast<Sample>(signal.channels[c][n]);
    if (plugin.numInputs() == 1)
        for (std::size_t n = 0; n < frames; ++n)
            in[0][n] = static_cast<Sample>(0.5 * (signal.channels[0][n] + signal.channels[1][n]));
    std::vector<std::vector<Sample>> out(outs, std::vector<Sample>(block));
    std::vector<Sample*> inPtr(ins), outPtr(outs);
    for (int c = 0; c < outs; ++c) outPtr[c] = out[c].data();
    const auto begin = std::chrono::steady_clock::now();
    for (std::size_t start = 0; start < frames; start += block) {
        const int n = static_cast<int>(std::min<std::size_t>(block, frames - start));
        for (int c = 0; c < ins; ++c) inPtr[c] = in[c].data() + start;
        if constexpr (sizeof(Sample) == sizeof(double))
            plugin.processDoubleReplacing(inPtr.data(), outPtr.data(), n);
        else
            plugin.processReplacing(inPtr.data(), outPtr.data(), n);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

}  // namespace

int benchCommand(const std::vector<std::string>& args) {
    int block = 512, rate = 48000, program = -1;
    double seconds = 30.0;
    bool wide = false;
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-b" || a == "--block")
            block = intOption(args, &i, 1, 1 << 16);
        else if (a == "-r" || a == "--rate")
            rate = intOption(args, &i, 8000, 384000);
        else if (a == "-P" || a == "--program")
            program = intOption(args, &i, 0, 1 << 20);
        else if (a == "--double")
            wide = true;
        else if (a == "--seconds") {
            if (!parseDouble(optionValue(args, &i), &seconds) || seconds <= 0.0 || seconds > 3600.0)
                throw ToolError(kExitUsage, "--seconds needs a length from 0 to 3600");
        } else if (a.size() > 1 && a[0] == '-')
            throw ToolError(kExitUsage, "unknown option '" + a + "' (see qxhost bench --help)");
        else
            targets.push_back(a);
    }
    if (targets.empty())
        throw ToolError(kExitUsage, "no plug-in given (qxhost bench PLUGIN.so|DIR...)");
    // Named files must work; a folder may hold libraries that are not plug-ins.
    std::vector<std::pair<std::string, bool>> libraries;
    for (const auto& t : targets) {
        if (std::filesystem::is_directory(t)) {
            for (const auto& l : host::listPluginLibraries(t)) libraries.push_back({l, false});
        } else {
            libraries.push_back({t, true});
        }
    }

    const Audio signal = makeDemoClip(rate, seconds);
    std::printf("Signal: %.0f s stereo at %d Hz, block %d, %s\n", seconds, rate, block,
                wide ? "64-bit" : "32-bit");
    std::printf("%-28s %-30s %7s %9s %11s\n", "library", "plug-in", "latency", "time s",
                "x realtime");
    ExitCode result = kExitOk;
    for (const auto& [library, named] : libraries) {
        const std::string file = std::filesystem::path(library).filename().string();
        try {
            auto plugin = loadPlugin(library, static_cast<float>(rate));
            if (program >= 0) {
                if (program >= plugin->numPrograms())
                    throw ToolError(kExitUnknownName, displayName(*plugin) + " has no program " +
                                                          std::to_string(program));
                plugin->setProgram(program);
            }
            plugin->prepare(static_cast<float>(rate), block);
            const bool useDouble = wide && plugin->canDoubleReplacing();
            const double elapsed = useDouble ? timeProcessing<double>(*plugin, signal, block)
                                             : timeProcessing<float>(*plugin, signal, block);
            std::printf("%-28s %-30s %7d %9.3f %10.1fx%s\n", file.c_str(),
                        displayName(*plugin).c_str(), plugin->initialDelay(), elapsed,
                        seconds / std::max(elapsed, 1e-9),
                        wide && !useDouble ? "  (32-bit only)" : "");
        } catch (const ToolError& e) {
            std::printf("%-28s (skipped: %s)\n", file.c_str(), e.what());
            if (result == kExitOk && named) result = e.code();
        }
        std::fflush(stdout);
    }
    return result;
}

}  // namespace qx::tool
