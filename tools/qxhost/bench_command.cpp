// `qxhost bench`: realtime factor of each plug-in on a fixed stereo signal (30 s at 48 kHz by
// default), alone or side by side with a reference plug-in timed in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "tools/qxhost/chain.h"
#include "tools/qxhost/commands.h"
#include "tools/qxhost/common.h"
#include "tools/qxhost/demo_clip.h"

namespace qx::tool {

const char* const kBenchHelp = R"(Usage: qxhost bench [options] PLUGIN.so|DIR...

Measures how much faster than realtime each plug-in processes a fixed signal (the demo
piece, 30 s stereo at 48000 Hz by default), one plug-in at a time.
Realtime factor = signal duration / processing time (higher is faster).

Options:
  -b, --block N        block size (default 512)
  --seconds S          signal length (default 30)
  -r, --rate HZ        sample rate (default 48000)
  --double             use 64-bit processing where supported
  -P, --program N      program index of the measured plug-ins (default: their current one)
  -n, --repeats N      time each plug-in N times and report the fastest run (default 1;
                       5 with --against)
  --against REF.so     also time REF.so in the same run, on the same signal, with the runs
                       interleaved (plug-in, reference, plug-in, reference, ...). Prints the
                       fastest and the median realtime factor of each, and for every
                       plug-in its ratio to the reference (above 1: faster than it). The
                       reference runs in its own current program; -P does not apply to it.

Example: qxhost bench -P 1 build/plugins/palisor.so \
             --against /usr/lib/vst/lsp-plugins/limiter-stereo.so
)";

namespace {

// One loaded plug-in with its input prepared and the duration of each timed run.
class Subject {
  public:
    Subject(std::string library, std::unique_ptr<host::Plugin> plugin, bool wide)
        : library_(std::move(library)),
          plugin_(std::move(plugin)),
          useDouble_(wide && plugin_->canDoubleReplacing()) {}

    void prepare(const Audio& signal, int block) {
        if (useDouble_)
            wide_.fill(*plugin_, signal, block);
        else
            narrow_.fill(*plugin_, signal, block);
    }

    // Processes the whole signal once, in blocks, and records the time it took.
    void run(int block) {
        runs_.push_back(useDouble_ ? wide_.time(*plugin_, block) : narrow_.time(*plugin_, block));
    }

    const std::string& library() const { return library_; }
    host::Plugin& plugin() { return *plugin_; }
    bool usedDouble() const { return useDouble_; }
    double fastest() const { return *std::min_element(runs_.begin(), runs_.end()); }
    double median() const {
        std::vector<double> sorted = runs_;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t half = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[half] : 0.5 * (sorted[half - 1] + sorted[half]);
    }

  private:
    // Planar input in the plug-in's sample type, made once so that runs time processing only.
    template <typename Sample>
    struct Buffers {
        std::vector<std::vector<Sample>> in, out;
        std::vector<Sample*> inPtr, outPtr;
        std::size_t frames = 0;

        void fill(host::Plugin& plugin, const Audio& signal, int block) {
            const int ins = std::max(plugin.numInputs(), 1);
            const int outs = std::max(plugin.numOutputs(), 1);
            frames = signal.frames();
            in.assign(ins, std::vector<Sample>(frames, 0));
            for (int c = 0; c < ins && c < 2; ++c)
                for (std::size_t n = 0; n < frames; ++n)
                    in[c][n] = static_cast<Sample>(signal.channels[c][n]);
            if (plugin.numInputs() == 1)
                for (std::size_t n = 0; n < frames; ++n)
                    in[0][n] =
                        static_cast<Sample>(0.5 * (signal.channels[0][n] + signal.channels[1][n]));
            out.assign(outs, std::vector<Sample>(block));
            inPtr.assign(ins, nullptr);
            outPtr.resize(outs);
            for (int c = 0; c < outs; ++c) outPtr[c] = out[c].data();
        }

        double time(host::Plugin& plugin, int block) {
            const auto begin = std::chrono::steady_clock::now();
            for (std::size_t start = 0; start < frames; start += block) {
                const int n = static_cast<int>(std::min<std::size_t>(block, frames - start));
                for (std::size_t c = 0; c < in.size(); ++c) inPtr[c] = in[c].data() + start;
                if constexpr (sizeof(Sample) == sizeof(double))
                    plugin.processDoubleReplacing(inPtr.data(), outPtr.data(), n);
                else
                    plugin.processReplacing(inPtr.data(), outPtr.data(), n);
            }
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        }
    };

    std::string library_;
    std::unique_ptr<host::Plugin> plugin_;
    bool useDouble_;
    Buffers<float> narrow_;
    Buffers<double> wide_;
    std::vector<double> runs_;
};

struct BenchOptions {
    int block = 512, rate = 48000, program = -1, repeats = 0;
    double seconds = 30.0;
    bool wide = false;
    std::string against;
    std::vector<std::string> targets;
};

BenchOptions parseBenchOptions(const std::vector<std::string>& args) {
    BenchOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-b" || a == "--block")
            o.block = intOption(args, &i, 1, 1 << 16);
        else if (a == "-r" || a == "--rate")
            o.rate = intOption(args, &i, 8000, 384000);
        else if (a == "-P" || a == "--program")
            o.program = intOption(args, &i, 0, 1 << 20);
        else if (a == "-n" || a == "--repeats")
            o.repeats = intOption(args, &i, 1, 1000);
        else if (a == "--double")
            o.wide = true;
        else if (a == "--against")
            o.against = optionValue(args, &i);
        else if (a == "--seconds") {
            if (!parseDouble(optionValue(args, &i), &o.seconds) || o.seconds <= 0.0 ||
                o.seconds > 3600.0)
                throw ToolError(kExitUsage, "--seconds needs a length from 0 to 3600");
        } else if (a.size() > 1 && a[0] == '-')
            throw ToolError(kExitUsage, "unknown option '" + a + "' (see qxhost bench --help)");
        else
            o.targets.push_back(a);
    }
    if (o.targets.empty())
        throw ToolError(kExitUsage, "no plug-in given (qxhost bench PLUGIN.so|DIR...)");
    if (o.repeats == 0) o.repeats = o.against.empty() ? 1 : 5;
    return o;
}

// Loads, selects the program and prepares one plug-in; ToolError when that fails.
std::unique_ptr<Subject> makeSubject(const std::string& library, const BenchOptions& o, int program,
                                     const Audio& signal) {
    auto plugin = loadPlugin(library, static_cast<float>(o.rate));
    if (program >= 0) {
        if (program >= plugin->numPrograms())
            throw ToolError(kExitUnknownName,
                            displayName(*plugin) + " has no program " + std::to_string(program));
        plugin->setProgram(program);
    }
    plugin->prepare(static_cast<float>(o.rate), o.block);
    auto subject = std::make_unique<Subject>(library, std::move(plugin), o.wide);
    subject->prepare(signal, o.block);
    return subject;
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

}  // namespace

int benchCommand(const std::vector<std::string>& args) {
    const BenchOptions o = parseBenchOptions(args);
    // Named files must work; a folder may hold libraries that are not plug-ins.
    std::vector<std::pair<std::string, bool>> libraries;
    for (const auto& t : o.targets) {
        if (std::filesystem::is_directory(t)) {
            for (const auto& l : host::listPluginLibraries(t)) libraries.push_back({l, false});
        } else {
            libraries.push_back({t, true});
        }
    }

    const Audio signal = makeDemoClip(o.rate, o.seconds);
    // The reference is loaded first: without it a comparison means nothing.
    std::unique_ptr<Subject> reference;
    if (!o.against.empty()) reference = makeSubject(o.against, o, -1, signal);

    std::printf("Signal: %g s stereo at %d Hz, block %d, %s", o.seconds, o.rate, o.block,
                o.wide ? "64-bit" : "32-bit");
    if (o.repeats > 1)
        std::printf("; fastest of %d runs%s", o.repeats, reference ? ", interleaved" : "");
    std::printf("\n");
    if (reference)
        std::printf("%-28s %-30s %7s %9s %11s %11s\n", "library", "plug-in", "latency", "time s",
                    "x realtime", "median");
    else
        std::printf("%-28s %-30s %7s %9s %11s\n", "library", "plug-in", "latency", "time s",
                    "x realtime");

    ExitCode result = kExitOk;
    std::vector<std::unique_ptr<Subject>> measured;
    for (const auto& [library, named] : libraries) {
        try {
            measured.push_back(makeSubject(library, o, o.program, signal));
        } catch (const ToolError& e) {
            std::printf("%-28s (skipped: %s)\n", fileName(library).c_str(), e.what());
            if (result == kExitOk && named) result = e.code();
        }
    }
    std::fflush(stdout);

    auto factor = [&](double seconds) { return o.seconds / std::max(seconds, 1e-9); };
    auto report = [&](Subject& s, const char* note) {
        std::printf("%-28s %-30s %7d %9.4f %10.1fx", fileName(s.library()).c_str(),
                    displayName(s.plugin()).c_str(), s.plugin().initialDelay(), s.fastest(),
                    factor(s.fastest()));
        if (reference) std::printf(" %10.1fx", factor(s.median()));
        std::printf("%s%s\n", o.wide && !s.usedDouble() ? "  (32-bit only)" : "", note);
    };

    if (!reference) {
        // One plug-in at a time, each through all of its runs.
        for (auto& s : measured) {
            for (int r = 0; r < o.repeats; ++r) s->run(o.block);
            report(*s, "");
            std::fflush(stdout);
        }
        return result;
    }

    // Each round runs every plug-in and the reference once, so a change in the machine's
    // load reaches both sides of a comparison alike.
    for (int r = 0; r < o.repeats; ++r) {
        for (auto& s : measured) {
            s->run(o.block);
            reference->run(o.block);
        }
        if (measured.empty()) reference->run(o.block);
    }
    for (auto& s : measured) report(*s, "");
    report(*reference, "  (reference)");
    for (auto& s : measured) {
        std::printf("ratio %s / %s: %.3f (fastest runs), %.3f (medians)\n",
                    fileName(s->library()).c_str(), fileName(reference->library()).c_str(),
                    reference->fastest() / s->fastest(), reference->median() / s->median());
    }
    return result;
}

}  // namespace qx::tool
