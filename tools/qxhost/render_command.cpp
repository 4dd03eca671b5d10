// `qxhost render`: audio files through a chain of plug-ins, one output per input, in
// parallel. Everything that can be checked is checked before any audio is processed.
#include <sndfile.h>

#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>

#include "tools/qxhost/audio_file.h"
#include "tools/qxhost/chain.h"
#include "tools/qxhost/commands.h"
#include "tools/qxhost/common.h"
#include "tools/qxhost/progress.h"

namespace qx::tool {

const char* const kRenderHelp =
    R"(Usage: qxhost render [options] INPUT... -p PLUGIN.so [plug-in options] [-p PLUGIN.so ...]

Runs each INPUT through the chain of plug-ins (in the order of -p) and writes one output per
input. The sample rate is the input file's. Several inputs are rendered in parallel.

Output:
  -o, --output FILE        output file (a single INPUT only)
  -d, --output-dir DIR     write DIR/<input name>.<type> for each INPUT (DIR is created)
  -t, --type TYPE          file type: wav, flac, aiff, caf, w64, rf64, ogg, au
                           (default: from the output name, else the input's type)
  -e, --encoding ENC       sample type: pcm8, pcm16, pcm24, pcm32, float, double, vorbis, ...
                           (default: the input's when the type allows it, else float/pcm24)

Processing:
  -b, --block N            block size in frames (default 512)
      --double             64-bit processing for plug-ins that support it
      --no-latency-comp    keep the plug-ins' reported delay (default: remove it and flush
                           the tail, so the output lines up with the input and has its length)
  -j, --jobs N             files rendered at once (default: one per core)
  -q, --quiet              no progress bar, no summary, no warnings

Plug-in options (apply to the -p before them; settings are applied in the order given):
  -p, --plugin FILE        add a VST 2 plug-in (.so) to the chain
  -P, --program N|NAME     select a program by index or name
  -s, --set NAME=VALUE     set a parameter (by name or index) to a normalised value 0..1
  -l, --load FILE          load a program (.fxp) or bank (.fxb)
      --ignore-id          accept a preset saved by a plug-in with another ID
  -S, --save FILE          save the resulting state: .fxb saves all programs, else .fxp
  -a, --aux FILE           feed the plug-in's remaining inputs (side chain, surround
                           channels) from FILE; it must have exactly that many channels
      --silent-aux         feed the remaining inputs with silence
  -m, --map LIST           choose the source of every input: 1-based channel numbers of
                           the incoming signal, aN for channel N of the aux file, 0 for
                           silence, e.g. --map 1,2,a1,a2
  A mono signal into a stereo plug-in is fed to both inputs. Between plug-ins the outputs of
  one feed the inputs of the next by the same rules.
  Without INPUT, the chain is only set up, so -S can save a state without rendering.

Examples:
  qxhost render in.wav -o out.flac -p eraslip.so -P Telephone
  qxhost render in.wav -o out.wav -e float -p a.so -s "Out=0.6" -p b.so -l preset.fxp
  qxhost render -j 4 -d rendered/ *.wav -p comp.so -a sidechain.wav
)";

namespace {

struct RenderOptions {
    std::vector<std::string> inputs;
    std::string output, outputDir;
    OutputFormat format;
    RenderSettings settings;
    int jobs = 0;
    bool quiet = false;
    std::vector<PluginSetup> chain;
};

PluginStep step(PluginStep::Kind kind, const std::string& text) {
    PluginStep s;
    s.kind = kind;
    s.text = text;
    return s;
}

RenderOptions parseRender(const std::vector<std::string>& args) {
    RenderOptions o;
    auto current = [&](const std::string& option) -> PluginSetup& {
        if (o.chain.empty())
            throw ToolError(kExitUsage, option + " needs a plug-in before it (-p FILE)");
        return o.chain.back();
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output")
            o.output = optionValue(args, &i);
        else if (a == "-d" || a == "--output-dir")
            o.outputDir = optionValue(args, &i);
        else if (a == "-t" || a == "--type")
            o.format.type = optionValue(args, &i);
        else if (a == "-e" || a == "--encoding")
            o.format.encoding = optionValue(args, &i);
        else if (a == "-b" || a == "--block")
            o.settings.blockFrames = intOption(args, &i, 1, 1 << 16);
        else if (a == "--double")
            o.settings.useDouble = true;
        else if (a == "--no-latency-comp")
            o.settings.compensateLatency = false;
        else if (a == "-j" || a == "--jobs")
            o.jobs = intOption(args, &i, 1, 1024);
        else if (a == "-q" || a == "--quiet")
            o.quiet = true;
        else if (a == "-p" || a == "--plugin") {
            o.chain.emplace_back();
            o.chain.back().path = optionValue(args, &i);
        } else if (a == "-P" || a == "--program")
            current(a).steps.push_back(step(PluginStep::Kind::Program, optionValue(args, &i)));
        else if (a == "-s" || a == "--set")
            current(a).steps.push_back(step(PluginStep::Kind::Parameter, optionValue(args, &i)));
        else if (a == "-l" || a == "--load")
            current(a).steps.push_back(step(PluginStep::Kind::Preset, optionValue(args, &i)));
        else if (a == "--ignore-id")
            current(a).ignoreId = true;
        else if (a == "-S" || a == "--save")
            current(a).savePaths.push_back(optionValue(args, &i));
        else if (a == "-a" || a == "--aux")
            current(a).auxPath = optionValue(args, &i);
        else if (a == "--silent-aux")
            current(a).silentAux = true;
        else if (a == "-m" || a == "--map")
            current(a).map = optionValue(args, &i);
        else if (a.size() > 1 && a[0] == '-')
            throw ToolError(kExitUsage, "unknown option '" + a + "' (see qxhost render --help)");
        else
            o.inputs.push_back(a);
    }
    if (o.chain.empty()) throw ToolError(kExitUsage, "no plug-in given (-p PLUGIN.so)");
    if (!o.output.empty() && !o.outputDir.empty())
        throw ToolError(kExitUsage, "give either -o or -d, not both");
    if (o.inputs.size() > 1 && !o.output.empty())
        throw ToolError(kExitUsage, "-o takes one input; use -d DIR for several");
    if (!o.inputs.empty() && o.output.empty() && o.outputDir.empty())
        throw ToolError(kExitUsage, "say where to write: -o FILE or -d DIR");
    return o;
}

struct Job {
    std::string input, output;
    AudioInfo info;
    int format = 0;
};

std::string outputPathFor(const RenderOptions& o, const std::string& input) {
    if (!o.output.empty()) return o.output;
    std::filesystem::path name = std::filesystem::path(input).filename();
    if (!o.format.type.empty()) {
        std::string extension = lower(o.format.type);
        extension.insert(extension.begin(), '.');
        name.replace_extension(extension);
    }
    return (std::filesystem::path(o.outputDir) / name).string();
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

// Validates the chain against one input's channel layout (and the aux files).
void checkRouting(const RenderOptions& o, const Job& job,
                  const std::vector<std::unique_ptr<host::Plugin>>& probes,
                  const std::vector<AudioInfo>& aux) {
    int channels = job.info.channels;
    std::string source = "'" + job.input + "'";
    for (std::size_t s = 0; s < o.chain.size(); ++s) {
        host::Plugin& plugin = *probes[s];
        const int auxChannels = o.chain[s].auxPath.empty() ? -1 : aux[s].channels;
        if (auxChannels >= 0 && aux[s].sampleRate != job.info.sampleRate)
            throw ToolError(kExitChannels, "sample rate mismatch: '" + o.chain[s].auxPath +
                                               "' is " + std::to_string(aux[s].sampleRate) +
                                               " Hz, '" + job.input + "' is " +
                                               std::to_string(job.info.sampleRate) + " Hz");
        routeInputs(o.chain[s], channels, auxChannels, plugin.numInputs(), source,
                    displayName(plugin));
        channels = plugin.numOutputs();
        source = displayName(plugin) + "'s output";
    }
    if (channels <= 0) throw ToolError(kExitChannels, "the chain has no outputs");
}

void renderJob(const RenderOptions& o, const Job& job, ProgressBar& progress) {
    Audio audio = readAudio(job.input);
    const std::size_t frames = audio.frames();
    std::vector<StageReport> reports;
    Planar signal = std::move(audio.channels);
    for (const PluginSetup& setup : o.chain) {
        auto plugin = loadPlugin(setup.path, static_cast<float>(audio.sampleRate));
        applySteps(setup, *plugin);
        Audio aux;
        if (!setup.auxPath.empty()) aux = readAudio(setup.auxPath);
        const auto route =
            routeInputs(setup, static_cast<int>(signal.size()),
                        setup.auxPath.empty() ? -1 : static_cast<int>(aux.channels.size()),
                        plugin->numInputs(), "'" + job.input + "'", displayName(*plugin));
        const Planar routed =
            routeAudio(route, signal, setup.auxPath.empty() ? nullptr : &aux.channels, frames);
        StageReport report;
        signal = renderThrough(*plugin, routed, frames, audio.sampleRate, o.settings,
                               &progress.counter(), &report);
        reports.push_back(report);
    }
    audio.channels = std::move(signal);
    const std::size_t clipped = writeAudio(job.output, audio, job.format);
    progress.itemFinished();
    if (o.quiet) return;
    std::string text;
    for (const auto& r : reports) {
        if (r.latencyAtEnd != r.latency)
            text += "qxhost: warning: " + r.name + " changed its latency from " +
                    std::to_string(r.latency) + " to " + std::to_string(r.latencyAtEnd) +
                    " samples while rendering '" + job.input + "'\n";
        if (o.settings.useDouble && !r.usedDouble)
            text +=
                "qxhost: warning: " + r.name + " has no 64-bit processing; rendered in 32-bit\n";
    }
    text += job.input + " -> " + job.output + "  (" + std::to_string(audio.channels.size()) +
            " ch, " + std::to_string(audio.sampleRate) + " Hz, " + describeFormat(job.format) +
            "; latency " + (o.settings.compensateLatency ? "removed" : "kept") + ":";
    for (std::size_t k = 0; k < reports.size(); ++k)
        text += (k ? ", " : " ") + reports[k].name + " " + std::to_string(reports[k].latency);
    text += ")\n";
    if (clipped)
        text += "qxhost: warning: " + job.output + ": " + std::to_string(clipped) +
                " samples clipped at full scale\n";
    progress.message(text);
}

}  // namespace

int renderCommand(const std::vector<std::string>& args) {
    RenderOptions o = parseRender(args);

    // 1. Inputs readable; 2. plug-ins load and every name resolves; 3. channels match;
    // 4. outputs are writable names. Only then save presets and render.
    std::vector<Job> jobs;
    for (const std::string& input : o.inputs) jobs.push_back({input, "", probeAudio(input)});
    const float probeRate = jobs.empty() ? 44100.0f : static_cast<float>(jobs[0].info.sampleRate);
    std::vector<std::unique_ptr<host::Plugin>> probes;
    std::vector<AudioInfo> aux(o.chain.size());
    for (std::size_t s = 0; s < o.chain.size(); ++s) {
        probes.push_back(loadPlugin(o.chain[s].path, probeRate));
        resolvePlugin(o.chain[s], *probes.back());
        if (!o.chain[s].auxPath.empty()) aux[s] = probeAudio(o.chain[s].auxPath);
    }
    std::set<std::string> outputs;
    for (Job& job : jobs) {
        checkRouting(o, job, probes, aux);
        job.output = outputPathFor(o, job.input);
        if (samePath(job.output, job.input))
            throw ToolError(kExitUsage, "output '" + job.output + "' would overwrite its input");
        if (!outputs.insert(std::filesystem::weakly_canonical(job.output).string()).second)
            throw ToolError(kExitUsage, "two inputs would both be written to '" + job.output + "'");
        const std::filesystem::path dir = std::filesystem::path(job.output).parent_path();
        // An output folder given with -d is created once everything else has been checked.
        if (!dir.empty() && !std::filesystem::is_directory(dir) && o.outputDir.empty())
            throw ToolError(kExitWrite, "cannot write '" + job.output + "': no directory '" +
                                            dir.string() + "'");
        job.format = resolveFormat(job.output, o.format, job.info.format,
                                   probes.back()->numOutputs(), job.info.sampleRate);
    }
    if (!o.outputDir.empty() && !jobs.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.outputDir, ec);
        if (ec) throw ToolError(kExitWrite, "cannot create '" + o.outputDir + "': " + ec.message());
    }
    for (std::size_t s = 0; s < o.chain.size(); ++s) savePresets(o.chain[s], *probes[s]);
    probes.clear();

    long long totalFrames = 0;
    for (const Job& job : jobs)
        totalFrames += job.info.frames * static_cast<long long>(o.chain.size());
    ProgressBar progress(totalFrames, static_cast<int>(jobs.size()), !o.quiet);
    std::vector<ExitCode> codes(jobs.size(), kExitOk);
    parallelFor(static_cast<int>(jobs.size()), o.jobs, [&](int j) {
        try {
            renderJob(o, jobs[j], progress);
        } catch (const ToolError& e) {
            progress.message("qxhost: " + std::string(e.what()) + "\n");
            codes[j] = e.code();
        } catch (const std::exception& e) {
            progress.message("qxhost: " + jobs[j].input + ": " + e.what() + "\n");
            codes[j] = kExitFailure;
        }
    });
    progress.stop();
    for (ExitCode code : codes)
        if (code != kExitOk) return code;
    return kExitOk;
}

}  // namespace qx::tool
