// `qxhost demo`: generates the demo clip and renders it through every plug-in in a folder
// with each of its factory programs, writing audio, a picture per program and a summary.
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "tools/qxhost/analysis.h"
#include "tools/qxhost/chain.h"
#include "tools/qxhost/commands.h"
#include "tools/qxhost/common.h"
#include "tools/qxhost/demo_clip.h"
#include "tools/qxhost/progress.h"

#include <sndfile.h>

namespace qx::tool {

const char* const kDemoHelp = R"(Usage: qxhost demo [options]

Generates a short demo clip (drums, bass, chords, wide stereo) as OUT/demo_clip.wav, renders
it through every plug-in in the plug-in folder with each of its distinct factory programs
into OUT/<plug-in>/<NN>_<program>.wav (a plug-in with six inputs gets the same piece in 5.1,
OUT/demo_clip_51.wav, instruments placed around the listener), draws OUT/<plug-in>/<NN>_<program>.png (level over
time and long-term spectrum, input against output) and prints a summary table. Programs
whose values are all the same as an earlier one's (such as copies of "Default") are rendered
once, and the table lists them with the program they repeat.

Options:
  --plugins DIR      folder of plug-ins (default build/plugins)
  --out DIR          output folder (default out/demo)
  --only NAME        only this plug-in (file name without .so); may be repeated
  --seconds S        clip length (default 10)
  -r, --rate HZ      clip sample rate (default 44100)
  -b, --block N      block size (default 512)
  -j, --jobs N       renders at once (default: one per core)
  --no-png           skip the pictures
  -q, --quiet        no progress bar
)";

namespace {

struct DemoJob {
    std::string library, deliverable, pluginName, programName;
    int program = -1;       // -1: the plug-in has no programs; render its current state
    int sameAs = -1;        // an earlier program with exactly these values: not rendered
    bool surround = false;  // six inputs: fed the 5.1 clip
    // Results:
    double peak = 0.0, rms = 0.0;
    int latency = 0;
    bool done = false;
};

constexpr int kSurroundInputs = 6;

// A clip fed to any input layout: as it is where the counts agree; a stereo clip gives mono
// plug-ins the sum and extra inputs silence.
Planar feedClip(const Audio& clip, int inputs) {
    const std::size_t frames = clip.frames();
    if (static_cast<int>(clip.channels.size()) == inputs) return clip.channels;
    if (inputs == 1) {
        std::vector<double> mono(frames);
        for (std::size_t n = 0; n < frames; ++n)
            mono[n] = 0.5 * (clip.channels[0][n] + clip.channels[1][n]);
        return {mono};
    }
    Planar routed;
    for (int c = 0; c < inputs; ++c)
        routed.push_back(c < 2 ? clip.channels[c] : std::vector<double>(frames, 0.0));
    return routed;
}

}  // namespace

int demoCommand(const std::vector<std::string>& args) {
    std::string pluginDir = "build/plugins", outDir = "out/demo";
    std::vector<std::string> only;
    double seconds = 10.0;
    int rate = 44100, block = 512, jobs = 0;
    bool pictures = true, quiet = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--plugins")
            pluginDir = optionValue(args, &i);
        else if (a == "--out")
            outDir = optionValue(args, &i);
        else if (a == "--only")
            only.push_back(optionValue(args, &i));
        else if (a == "--seconds") {
            if (!parseDouble(optionValue(args, &i), &seconds) || seconds <= 0.0 || seconds > 600.0)
                throw ToolError(kExitUsage, "--seconds needs a length from 0 to 600");
        } else if (a == "-r" || a == "--rate")
            rate = intOption(args, &i, 8000, 384000);
        else if (a == "-b" || a == "--block")
            block = intOption(args, &i, 1, 1 << 16);
        else if (a == "-j" || a == "--jobs")
            jobs = intOption(args, &i, 1, 1024);
        else if (a == "--no-png")
            pictures = false;
        else if (a == "-q" || a == "--quiet")
            quiet = true;
        else
            throw ToolError(kExitUsage, "unknown option '" + a + "' (see qxhost demo --help)");
    }
    if (!std::filesystem::is_directory(pluginDir))
        throw ToolError(kExitInputFile, "no plug-in folder '" + pluginDir +
                                            "' (build the suite first, or give --plugins)");
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) throw ToolError(kExitWrite, "cannot create '" + outDir + "': " + ec.message());

    const Audio clip = makeDemoClip(rate, seconds);
    const std::string clipPath = (std::filesystem::path(outDir) / "demo_clip.wav").string();
    writeAudio(clipPath, clip, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Analysis clipAnalysis = analyse(clip);
    Audio surroundClip;
    Analysis surroundAnalysis;

    // One job per (plug-in, program), listed up front so the work spreads over all cores.
    std::vector<DemoJob> work;
    ExitCode result = kExitOk;
    for (const std::string& library : host::listPluginLibraries(pluginDir)) {
        const std::string deliverable = stem(library);
        if (!only.empty() && std::find(only.begin(), only.end(), deliverable) == only.end())
            continue;
        try {
            auto plugin = loadPlugin(library, static_cast<float>(rate));
            const std::string name = displayName(*plugin);
            if (plugin->numOutputs() < 1) throw ToolError(kExitChannels, name + " has no outputs");
            const bool surround = plugin->numInputs() == kSurroundInputs;
            if (surround && surroundClip.channels.empty()) {
                surroundClip = makeSurroundDemoClip(rate, seconds);
                writeAudio((std::filesystem::path(outDir) / "demo_clip_51.wav").string(),
                           surroundClip, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
                surroundAnalysis = analyse(surroundClip);
            }
            if (plugin->numPrograms() == 0)
                work.push_back({library, deliverable, name, "Current", -1, -1, surround});
            // A program is told apart by its values; the first with a given row renders it.
            std::map<std::vector<float>, int> firstWithValues;
            for (int p = 0; p < plugin->numPrograms(); ++p) {
                const std::string programName = trim(plugin->programNameAt(p));
                plugin->setProgram(p);
                std::vector<float> values(static_cast<std::size_t>(plugin->numParams()));
                for (int i = 0; i < plugin->numParams(); ++i) values[i] = plugin->getParameter(i);
                const int first = firstWithValues.try_emplace(values, p).first->second;
                work.push_back({library, deliverable, name, programName, p, first == p ? -1 : first,
                                surround});
            }
        } catch (const ToolError& e) {
            printError(e.what());
            result = e.code();
        }
        std::filesystem::create_directories(std::filesystem::path(outDir) / deliverable, ec);
    }

    std::vector<DemoJob*> renders;
    for (DemoJob& job : work)
        if (job.sameAs < 0) renders.push_back(&job);
    ProgressBar progress(
        static_cast<long long>(clip.frames()) * static_cast<long long>(renders.size()),
        static_cast<int>(renders.size()), !quiet);
    RenderSettings settings;
    settings.blockFrames = block;
    parallelFor(static_cast<int>(renders.size()), jobs, [&](int j) {
        DemoJob& job = *renders[j];
        try {
            auto plugin = loadPlugin(job.library, static_cast<float>(rate));
            if (job.program >= 0) plugin->setProgram(job.program);
            StageReport report;
            Audio rendered;
            rendered.sampleRate = rate;
            const Audio& input = job.surround ? surroundClip : clip;
            const Analysis& inputAnalysis = job.surround ? surroundAnalysis : clipAnalysis;
            rendered.channels =
                renderThrough(*plugin, feedClip(input, plugin->numInputs()), input.frames(), rate,
                              settings, &progress.counter(), &report);
            char number[16];
            std::snprintf(number, sizeof number, "%02d_", std::max(job.program, 0));
            const std::filesystem::path base = std::filesystem::path(outDir) / job.deliverable /
                                               (number + sanitiseFileName(job.programName));
            writeAudio(base.string() + ".wav", rendered, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
            const Analysis analysis = analyse(rendered);
            if (pictures) {
                const std::string subtitle =
                    "program " + std::to_string(std::max(job.program, 0)) + " \"" +
                    job.programName + "\"   peak " + dbText(analysis.peak) + " dBFS   RMS " +
                    dbText(analysis.rms) + " dBFS   latency " + std::to_string(report.latency) +
                    " samples (removed)   input" + (job.surround ? " (5.1)" : "") + " peak " +
                    dbText(inputAnalysis.peak) + " dBFS, RMS " + dbText(inputAnalysis.rms) +
                    " dBFS";
                writeComparisonPng(base.string() + ".png",
                                   job.pluginName + " (" + job.deliverable + ")", subtitle,
                                   inputAnalysis, analysis);
            }
            job.peak = analysis.peak;
            job.rms = analysis.rms;
            job.latency = report.latency;
            job.done = true;
        } catch (const ToolError& e) {
            progress.message("qxhost: " + job.deliverable + " program " +
                             std::to_string(job.program) + ": " + e.what() + "\n");
        }
        progress.itemFinished();
    });
    progress.stop();

    std::printf("Demo clip: %s (%.1f s, %d Hz, peak %s dBFS, RMS %s dBFS)\n", clipPath.c_str(),
                seconds, rate, dbText(clipAnalysis.peak).c_str(), dbText(clipAnalysis.rms).c_str());
    std::string current;
    for (const DemoJob& job : work) {
        if (job.deliverable != current) {
            current = job.deliverable;
            std::printf("\n%s (%s) -> %s/%s/\n", job.deliverable.c_str(), job.pluginName.c_str(),
                        outDir.c_str(), job.deliverable.c_str());
            std::printf("  %3s  %-24s %10s %10s %8s\n", "#", "program", "peak dBFS", "RMS dBFS",
                        "latency");
        }
        if (job.sameAs >= 0) {
            std::printf("  %3d  %-24s %10s program %d (same values)\n", job.program,
                        job.programName.c_str(), "as", job.sameAs);
            continue;
        }
        if (!job.done) {
            std::printf("  %3d  %-24s %10s\n", job.program, job.programName.c_str(), "failed");
            if (result == kExitOk) result = kExitFailure;
            continue;
        }
        std::printf("  %3d  %-24s %10s %10s %8d\n", std::max(job.program, 0),
                    job.programName.c_str(), dbText(job.peak).c_str(), dbText(job.rms).c_str(),
                    job.latency);
    }
    if (work.empty()) std::printf("No plug-ins found in %s\n", pluginDir.c_str());
    return result;
}

}  // namespace qx::tool
