// A chain of plug-ins as the command line describes it: how each is set up (programs,
// parameters, presets, in command-line order), where its inputs come from, and the render
// core that runs audio through it with latency compensation.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "tools/qxhost/audio_file.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/preset_file.h"

namespace qx::tool {

// One setting for a plug-in, applied in the order given.
struct PluginStep {
    enum class Kind { Program, Parameter, Preset };
    Kind kind = Kind::Program;
    std::string text;  // as typed, for messages
    // Resolved by resolvePlugin():
    int index = -1;
    float value = 0.0f;
    host::PresetFile preset;
};

// Where one plug-in input is fed from.
struct InputSource {
    enum class Kind { Main, Aux, Silence };
    Kind kind = Kind::Main;
    int channel = 0;
};

struct PluginSetup {
    std::string path;
    std::vector<PluginStep> steps;
    std::vector<std::string> savePaths;  // .fxp (current program) or .fxb (all programs)
    std::string auxPath;                 // extra inputs from this file
    bool silentAux = false;              // extra inputs silent
    std::string map;                     // explicit routing, e.g. "1,2,a1,0"
    bool ignoreId = false;
};

struct RenderSettings {
    int blockFrames = 512;
    bool useDouble = false;
    bool compensateLatency = true;
};

struct StageReport {
    std::string name;
    int latency = 0;       // removed from the output when compensating
    int latencyAtEnd = 0;  // what the plug-in reported after rendering
    bool usedDouble = false;
};

// Loads a plug-in library. ToolError kExitInputFile when the file is missing, kExitNotPlugin
// when it is not a VST 2 plug-in. Loading is serialised across threads: some plug-in
// libraries initialise shared state in their entry point.
std::unique_ptr<host::Plugin> loadPlugin(const std::string& path, float sampleRate = 44100.0f);

// Resolves names and indices against a loaded instance and reads preset files, then applies
// the steps to it. ToolError kExitUnknownName listing the valid names, kExitInputFile for a
// missing preset, kExitBadPreset for an unusable one.
void resolvePlugin(PluginSetup& setup, host::Plugin& plugin);
// Applies already resolved steps to a fresh instance.
void applySteps(const PluginSetup& setup, host::Plugin& plugin);
// Saves the state to each of setup.savePaths. ToolError kExitWrite.
void savePresets(const PluginSetup& setup, host::Plugin& plugin);

// The route from `sourceChannels` channels (plus `auxChannels` from the aux file, -1 when
// none) to the plug-in's inputs. ToolError kExitChannels when the counts cannot be matched,
// kExitUsage for a malformed map.
std::vector<InputSource> routeInputs(const PluginSetup& setup, int sourceChannels, int auxChannels,
                                     int pluginInputs, const std::string& sourceName,
                                     const std::string& pluginName);

// Runs `input` (one channel per plug-in input, all the same length) through a prepared
// plug-in. With latency compensation the reported initial delay (read after one silent
// priming block) is removed and the tail flushed, so the output has the input's length and
// lines up with it. `progress` (optional) advances by input frames as they are done.
Planar renderThrough(host::Plugin& plugin, const Planar& input, std::size_t frames, int sampleRate,
                     const RenderSettings& settings, std::atomic<long long>* progress,
                     StageReport* report);

// Feeds a plug-in according to a route.
Planar routeAudio(const std::vector<InputSource>& route, const Planar& source, const Planar* aux,
                  std::size_t frames);

// The display name of a plug-in: its effect name, else the library's file name.
std::string displayName(host::Plugin& plugin);

}  // namespace qx::tool
