// Setting up plug-ins from command-line steps, routing channels, and the render core.
#include "tools/qxhost/chain.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "tools/qxhost/common.h"

namespace qx::tool {

namespace {

std::mutex gLoadMutex;

std::string count(int n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// "0 Default, 1 Akai S01, ..." for error messages.
std::string numberedList(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += "\n  " + std::to_string(i) + "  " + names[i];
    return text;
}

// Index of `wanted` among `names`: a number in range, else an exact (trimmed) name, else a
// case-insensitive one; the first match wins when names repeat. -1 when nothing matches.
int findByNumberOrName(const std::vector<std::string>& names, const std::string& wanted) {
    long number = 0;
    if (parseInt(wanted, &number))
        return (number >= 0 && number < static_cast<long>(names.size())) ? static_cast<int>(number)
                                                                         : -1;
    const std::string key = trim(wanted);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == key) return static_cast<int>(i);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (lower(names[i]) == lower(key)) return static_cast<int>(i);
    return -1;
}

std::vector<std::string> programNames(host::Plugin& plugin) {
    std::vector<std::string> names;
    for (int p = 0; p < plugin.numPrograms(); ++p) names.push_back(trim(plugin.programNameAt(p)));
    return names;
}

std::vector<std::string> parameterNames(host::Plugin& plugin) {
    std::vector<std::string> names;
    for (int i = 0; i < plugin.numParams(); ++i) names.push_back(trim(plugin.parameterName(i)));
    return names;
}

void applyStep(const PluginStep& step, const PluginSetup& setup, host::Plugin& plugin) {
    switch (step.kind) {
        case PluginStep::Kind::Program:
            plugin.setProgram(step.index);
            break;
        case PluginStep::Kind::Parameter:
            plugin.setParameter(step.index, step.value);
            break;
        case PluginStep::Kind::Preset: {
            std::string error;
            host::ApplyOptions options;
            options.ignoreUniqueId = setup.ignoreId;
            if (!host::applyPreset(plugin, step.preset, &error, options))
                throw ToolError(kExitBadPreset, "cannot load '" + step.text + "' into " +
                                                    displayName(plugin) + ": " + error);
            break;
        }
    }
}

void resolveStep(PluginStep& step, host::Plugin& plugin) {
    const std::string who = displayName(plugin);
    switch (step.kind) {
        case PluginStep::Kind::Program: {
            const auto names = programNames(plugin);
            if (names.empty())
                throw ToolError(kExitUnknownName,
                                "unknown program '" + step.text + "': " + who + " has no programs");
            step.index = findByNumberOrName(names, step.text);
            if (step.index < 0)
                throw ToolError(kExitUnknownName, "unknown program '" + step.text + "' for " + who +
                                                      "; its programs are:" + numberedList(names));
            break;
        }
        case PluginStep::Kind::Parameter: {
            const auto equals = step.text.rfind('=');
            if (equals == std::string::npos || equals == 0)
                throw ToolError(kExitUsage,
                                "parameter setting '" + step.text + "' is not NAME=VALUE");
            double value = 0.0;
            if (!parseDouble(step.text.substr(equals + 1), &value) || value < 0.0 || value > 1.0)
                throw ToolError(kExitUsage, "parameter value in '" + step.text +
                                                "' must be a normalised number from 0 to 1");
            const auto names = parameterNames(plugin);
            step.index = findByNumberOrName(names, step.text.substr(0, equals));
            if (step.index < 0)
                throw ToolError(kExitUnknownName,
                                "unknown parameter '" + step.text.substr(0, equals) + "' for " +
                                    who + "; its parameters are:" + numberedList(names));
            step.value = static_cast<float>(value);
            break;
        }
        case PluginStep::Kind::Preset: {
            if (!std::ifstream(step.text, std::ios::binary))
                throw ToolError(kExitInputFile,
                                "cannot read preset '" + step.text + "': " +
                                    (std::filesystem::exists(step.text) ? "permission denied"
                                                                        : "no such file"));
            std::string error;
            if (!host::readPresetFile(step.text, &step.preset, &error))
                throw ToolError(kExitBadPreset, error);
            break;
        }
    }
}

}  // namespace

std::string displayName(host::Plugin& plugin) {
    std::string name = trim(plugin.effectName());
    if (name.empty()) name = std::filesystem::path(plugin.path()).filename().string();
    return name;
}

std::unique_ptr<host::Plugin> loadPlugin(const std::string& path, float sampleRate) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw ToolError(kExitInputFile, "cannot open plug-in '" + path + "': no such file");
    if (std::filesystem::is_directory(path, ec))
        throw ToolError(kExitInputFile, "cannot open plug-in '" + path + "': it is a directory");
    std::string error;
    host::LoadOptions options;
    options.sampleRate = sampleRate;
    std::unique_ptr<host::Plugin> plugin;
    {
        std::lock_guard lock(gLoadMutex);
        plugin = host::Plugin::load(path, &error, options);
    }
    if (!plugin)
        throw ToolError(kExitNotPlugin, "'" + path + "' is not a usable VST 2 plug-in: " + error);
    return plugin;
}

void resolvePlugin(PluginSetup& setup, host::Plugin& plugin) {
    // Resolve and apply one by one: a bank loaded earlier can rename the programs a later
    // step selects by name.
    for (PluginStep& step : setup.steps) {
        resolveStep(step, plugin);
        applyStep(step, setup, plugin);
    }
}

void applySteps(const PluginSetup& setup, host::Plugin& plugin) {
    for (const PluginStep& step : setup.steps) applyStep(step, setup, plugin);
}

void savePresets(const PluginSetup& setup, host::Plugin& plugin) {
    for (const std::string& path : setup.savePaths) {
        std::string error;
        const bool bank = lower(std::filesystem::path(path).extension().string()) == ".fxb";
        const bool ok = bank ? host::saveBankFile(plugin, path, &error)
                             : host::saveProgramFile(plugin, path, &error);
        if (!ok) throw ToolError(kExitWrite, error);
    }
}

std::vector<InputSource> routeInputs(const PluginSetup& setup, int sourceChannels, int auxChannels,
                                     int pluginInputs, const std::string& sourceName,
                                     const std::string& pluginName) {
    std::vector<InputSource> route;
    if (!setup.map.empty()) {
        std::size_t start = 0;
        while (start <= setup.map.size()) {
            const std::size_t comma = std::min(setup.map.find(',', start), setup.map.size());
            std::string token = trim(setup.map.substr(start, comma - start));
            start = comma + 1;
            InputSource source;
            long number = 0;
            const bool aux = !token.empty() && (token[0] == 'a' || token[0] == 'A');
            if (!parseInt(aux ? token.substr(1) : token, &number) || number < 0 ||
                (aux && number == 0))
                throw ToolError(
                    kExitUsage,
                    "bad --map entry '" + token +
                        "' (use 1-based channel numbers, aN for aux channel N, 0 for silence)");
            if (aux) {
                if (number > auxChannels)
                    throw ToolError(kExitChannels,
                                    "--map asks for aux channel " + std::to_string(number) +
                                        " but the aux input has " +
                                        std::to_string(std::max(auxChannels, 0)) + " channels");
                source = {InputSource::Kind::Aux, static_cast<int>(number - 1)};
            } else if (number == 0) {
                source = {InputSource::Kind::Silence, 0};
            } else {
                if (number > sourceChannels)
                    throw ToolError(kExitChannels,
                                    "--map asks for channel " + std::to_string(number) + " but " +
                                        sourceName + " has " + std::to_string(sourceChannels));
                source = {InputSource::Kind::Main, static_cast<int>(number - 1)};
            }
            route.push_back(source);
        }
        if (static_cast<int>(route.size()) != pluginInputs)
            throw ToolError(kExitChannels, "--map gives " + std::to_string(route.size()) +
                                               " sources but " + pluginName + " has " +
                                               std::to_string(pluginInputs) + " inputs");
        return route;
    }
    const int aux = std::max(auxChannels, 0);
    if (sourceChannels == pluginInputs && aux == 0) {
        for (int c = 0; c < pluginInputs; ++c) route.push_back({InputSource::Kind::Main, c});
        return route;
    }
    if (sourceChannels == 1 && pluginInputs == 2 && aux == 0 && !setup.silentAux) {
        // Mono into a stereo plug-in: the same signal on both sides.
        return {{InputSource::Kind::Main, 0}, {InputSource::Kind::Main, 0}};
    }
    if (sourceChannels < pluginInputs && (auxChannels >= 0 || setup.silentAux)) {
        const int missing = pluginInputs - sourceChannels;
        if (auxChannels >= 0 && aux != missing)
            throw ToolError(kExitChannels,
                            pluginName + " has " + count(pluginInputs, "input") + "; " +
                                sourceName + " fills " + std::to_string(sourceChannels) +
                                ", so the aux input must have " + std::to_string(missing) +
                                " channels, not " + std::to_string(aux));
        for (int c = 0; c < sourceChannels; ++c) route.push_back({InputSource::Kind::Main, c});
        for (int c = 0; c < missing; ++c)
            route.push_back(auxChannels >= 0 ? InputSource{InputSource::Kind::Aux, c}
                                             : InputSource{InputSource::Kind::Silence, 0});
        return route;
    }
    std::string hint;
    if (sourceChannels < pluginInputs)
        hint = "; feed the other " + std::to_string(pluginInputs - sourceChannels) +
               " with --aux FILE or --silent-aux, or choose sources with --map";
    else
        hint = "; choose " + std::to_string(pluginInputs) + " of them with --map (e.g. --map " +
               (pluginInputs == 1 ? std::string("1") : std::string("1,2")) + ")";
    if (auxChannels >= 0 && sourceChannels >= pluginInputs)
        hint = "; there is no input left for the aux file";
    throw ToolError(kExitChannels, "channel mismatch: " + sourceName + " has " +
                                       count(sourceChannels, "channel") + " but " + pluginName +
                                       " has " + count(pluginInputs, "input") + hint);
}

Planar routeAudio(const std::vector<InputSource>& route, const Planar& source, const Planar* aux,
                  std::size_t frames) {
    Planar routed;
    for (const InputSource& s : route) {
        std::vector<double> channel(frames, 0.0);
        const std::vector<double>* from = nullptr;
        if (s.kind == InputSource::Kind::Main) from = &source[s.channel];
        if (s.kind == InputSource::Kind::Aux && aux) from = &(*aux)[s.channel];
        if (from) std::copy_n(from->begin(), std::min(frames, from->size()), channel.begin());
        routed.push_back(std::move(channel));
    }
    return routed;
}

Planar renderThrough(host::Plugin& plugin, const Planar& input, std::size_t frames, int sampleRate,
                     const RenderSettings& settings, std::atomic<long long>* progress,
                     StageReport* report) {
    const int block = std::max(1, settings.blockFrames);
    const int ins = plugin.numInputs(), outs = plugin.numOutputs();
    const bool wide = settings.useDouble && plugin.canDoubleReplacing();
    plugin.prepare(static_cast<float>(sampleRate), block);
    // Some plug-ins settle their latency only once processing has started: run one silent
    // block, read it, then restart so the priming leaves no trace.
    plugin.run(std::vector<std::vector<float>>(std::max(ins, 1), std::vector<float>(block, 0.0f)),
               block);
    const int latency = std::max(0, plugin.initialDelay());
    plugin.suspend();
    plugin.resume();
    const std::size_t skip = settings.compensateLatency ? static_cast<std::size_t>(latency) : 0;
    const std::size_t total = frames + skip;
    const std::size_t chunk = static_cast<std::size_t>(block) * std::max(1, 65536 / block);
    Planar output(outs, std::vector<double>(frames, 0.0));
    for (std::size_t start = 0; start < total; start += chunk) {
        const std::size_t n = std::min(chunk, total - start);
        auto take = [&](auto zero) {
            using Sample = decltype(zero);
            std::vector<std::vector<Sample>> piece(std::max(ins, 1), std::vector<Sample>(n, zero));
            for (int c = 0; c < ins && c < static_cast<int>(input.size()); ++c)
                for (std::size_t i = 0; i < n && start + i < frames; ++i)
                    piece[c][i] = static_cast<Sample>(input[c][start + i]);
            return piece;
        };
        auto place = [&](const auto& result) {
            for (int c = 0; c < outs; ++c)
                for (std::size_t i = 0; i < n; ++i) {
                    const std::size_t at = start + i;
                    if (at >= skip && at - skip < frames) output[c][at - skip] = result[c][i];
                }
        };
        if (wide) {
            place(plugin.runDouble(take(0.0), block));
        } else {
            place(plugin.run(take(0.0f), block));
        }
        if (progress && start < frames)
            *progress += static_cast<long long>(std::min(n, frames - start));
    }
    if (report) {
        report->name = displayName(plugin);
        report->latency = latency;
        report->latencyAtEnd = plugin.initialDelay();
        report->usedDouble = wide;
    }
    return output;
}

}  // namespace qx::tool
