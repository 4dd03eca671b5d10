// `qxhost info`: what a plug-in says about itself; for a folder, one line per library.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "tools/qxhost/chain.h"
#include "tools/qxhost/commands.h"
#include "tools/qxhost/common.h"

namespace qx::tool {

const char* const kInfoHelp = R"(Usage: qxhost info [options] PLUGIN.so|DIR...

Prints a plug-in's identity, latency, inputs and outputs, every parameter (name, label,
display text, normalised value) and every program. For a folder, prints one line for each
.so in it, marking libraries that are not VST 2 plug-ins.

Options:
  -r, --rate HZ      sample rate to report at (default 44100); the latency is read after
                     one block of silence, as render does
  -b, --block N      block size (default 512)
)";

namespace {

const char* categoryName(int category) {
    static const char* const kNames[] = {"Unknown",     "Effect",      "Synth",   "Analysis",
                                         "Mastering",   "Spatialiser", "Room FX", "Surround FX",
                                         "Restoration", "Offline",     "Shell",   "Generator"};
    return category >= 0 && category < 12 ? kNames[category] : "Unknown";
}

std::string idText(int id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((id >> shift) & 0xff);
        if (c < 32 || c > 126) {
            text.clear();
            break;
        }
        text += c;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(id));
    return text.empty() ? std::string(hex) : "'" + text + "' (" + hex + ")";
}

std::string flagText(int flags) {
    struct Flag {
        int bit;
        const char* name;
    };
    static const Flag kFlags[] = {{vst::effFlagsHasEditor, "editor"},
                                  {vst::effFlagsCanReplacing, "replacing"},
                                  {vst::effFlagsCanDoubleReplacing, "double"},
                                  {vst::effFlagsProgramChunks, "chunks"},
                                  {vst::effFlagsIsSynth, "synth"},
                                  {vst::effFlagsNoSoundInStop, "no-sound-in-stop"}};
    std::string text;
    for (const Flag& f : kFlags)
        if (flags & f.bit) {
            if (!text.empty()) text += ' ';
            text += f.name;
        }
    return text.empty() ? "-" : text;
}

void describe(const std::string& path, int rate, int block) {
    auto plugin = loadPlugin(path, static_cast<float>(rate));
    const int latencyBefore = plugin->initialDelay();
    plugin->prepare(static_cast<float>(rate), block);
    plugin->run(std::vector<std::vector<float>>(std::max(plugin->numInputs(), 1),
                                                std::vector<float>(block)),
                block);
    const int latency = plugin->initialDelay();
    std::printf("File:        %s\n", path.c_str());
    std::printf("Name:        %s\n", trim(plugin->effectName()).c_str());
    std::printf("Vendor:      %s\n", trim(plugin->vendorString()).c_str());
    std::printf("Product:     %s\n", trim(plugin->productString()).c_str());
    std::printf("Version:     %d (record %d), VST %d\n", plugin->vendorVersion(), plugin->version(),
                plugin->vstVersion());
    std::printf("Unique ID:   %s\n", idText(plugin->uniqueId()).c_str());
    std::printf("Category:    %s\n", categoryName(plugin->category()));
    std::printf("Flags:       %s\n", flagText(plugin->flags()).c_str());
    std::printf("Inputs:      %d\nOutputs:     %d\n", plugin->numInputs(), plugin->numOutputs());
    if (latencyBefore != latency)
        std::printf("Latency:     %d samples at %d Hz (%d before processing)\n", latency, rate,
                    latencyBefore);
    else
        std::printf("Latency:     %d samples at %d Hz\n", latency, rate);
    std::printf("Tail:        %d samples\n", plugin->tailSize());
    std::printf("Parameters:  %d\n", plugin->numParams());
    if (plugin->numParams() > 0)
        std::printf("  %4s  %-24s %-16s %-10s %s\n", "#", "name", "display", "label", "value");
    for (int i = 0; i < plugin->numParams(); ++i)
        std::printf("  %4d  %-24s %-16s %-10s %.6f\n", i, trim(plugin->parameterName(i)).c_str(),
                    trim(plugin->parameterDisplay(i)).c_str(),
                    trim(plugin->parameterLabel(i)).c_str(), plugin->getParameter(i));
    const int current = plugin->program();
    std::printf("Programs:    %d\n", plugin->numPrograms());
    for (int p = 0; p < plugin->numPrograms(); ++p)
        std::printf("  %4d%s %s\n", p, p == current ? "*" : " ",
                    trim(plugin->programNameAt(p)).c_str());
}

void listFolder(const std::string& dir) {
    const auto libraries = host::listPluginLibraries(dir);
    if (libraries.empty()) std::printf("%s: no .so files\n", dir.c_str());
    for (const auto& path : libraries) {
        const std::string file = std::filesystem::path(path).filename().string();
        try {
            auto plugin = loadPlugin(path);
            std::printf("%-36s %-32s %2d in %2d out %4d params %3d programs\n", file.c_str(),
                        displayName(*plugin).c_str(), plugin->numInputs(), plugin->numOutputs(),
                        plugin->numParams(), plugin->numPrograms());
        } catch (const ToolError& e) {
            std::printf("%-36s (not a VST 2 plug-in: %s)\n", file.c_str(), e.what());
        }
    }
}

}  // namespace

int infoCommand(const std::vector<std::string>& args) {
    int rate = 44100, block = 512;
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-r" || a == "--rate")
            rate = intOption(args, &i, 1000, 1536000);
        else if (a == "-b" || a == "--block")
            block = intOption(args, &i, 1, 1 << 16);
        else if (a.size() > 1 && a[0] == '-')
            throw ToolError(kExitUsage, "unknown option '" + a + "' (see qxhost info --help)");
        else
            targets.push_back(a);
    }
    if (targets.empty()) throw ToolError(kExitUsage, "no plug-in given (qxhost info PLUGIN.so)");
    for (std::size_t t = 0; t < targets.size(); ++t) {
        if (t > 0) std::printf("\n");
        if (std::filesystem::is_directory(targets[t]))
            listFolder(targets[t]);
        else
            describe(targets[t], rate, block);
        std::fflush(stdout);
    }
    return kExitOk;
}

}  // namespace qx::tool
