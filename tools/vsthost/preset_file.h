// Program (.fxp) and bank (.fxb) files: parsing, writing, and moving their contents into and
// out of a loaded plug-in. Parameter forms are read and written; chunk forms are read and
// handed to plug-ins that take chunks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx::host {

class Plugin;

struct PresetProgram {
    std::string name;
    std::vector<float> values;        // parameter form
    std::vector<std::uint8_t> chunk;  // chunk form ('FPCh')
};

struct PresetFile {
    enum class Kind { Program, Bank };
    Kind kind = Kind::Program;
    bool chunked = false;   // 'FPCh' / 'FBCh'
    int formatVersion = 1;  // 1, or 2 for a bank carrying the current program
    int uniqueId = 0;
    int pluginVersion = 0;
    int numParams = 0;                    // parameter forms
    int currentProgram = -1;              // bank version 2; -1 when absent
    std::vector<PresetProgram> programs;  // one for a program file
    std::vector<std::uint8_t> bankChunk;  // 'FBCh'
};

// Parses file contents. False with *error on wrong magic, unknown kind, truncation or
// inconsistent counts.
bool parsePreset(const std::vector<std::uint8_t>& bytes, PresetFile* out, std::string* error);
// Serialises; a bank is written as version 2 when currentProgram >= 0, else version 1.
std::vector<std::uint8_t> serializePreset(const PresetFile& preset);

bool readPresetFile(const std::string& path, PresetFile* out, std::string* error);
// Writes to a temporary file in the same directory and renames it into place, so a failed
// write leaves no partial file behind.
bool writePresetFile(const std::string& path, const PresetFile& preset, std::string* error);

// The plug-in's current program (parameter form), and all programs as a version 2 bank.
// Capturing a bank selects each program in turn and re-selects the current one.
PresetFile captureProgram(Plugin& plugin);
PresetFile captureBank(Plugin& plugin);

struct ApplyOptions {
    bool ignoreUniqueId = false;  // load a preset saved by a plug-in with another ID
};
// Loads a preset into the plug-in. A program goes into the current program (values and
// name). A bank fills programs 0..n-1 (selecting each, setting its name and values), then
// selects the bank's current program (version 2) or the one that was current before.
bool applyPreset(Plugin& plugin, const PresetFile& preset, std::string* error,
                 ApplyOptions options = {});

// Convenience: read + apply, capture + write.
bool loadPresetFile(Plugin& plugin, const std::string& path, std::string* error,
                    ApplyOptions options = {});
bool saveProgramFile(Plugin& plugin, const std::string& path, std::string* error);
bool saveBankFile(Plugin& plugin, const std::string& path, std::string* error);

}  // namespace qx::host
