// Host side of the VST 2 interface: library loading, the host callback and thin wrappers
// around the dispatcher and the processing entries.
#include "tools/vsthost/plugin_host.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tools/vsthost/platform.h"

namespace qx::host {

namespace {

// Calls made while the entry point runs arrive with a null (or not yet registered) AEffect*;
// they belong to the plug-in this thread is loading.
thread_local Plugin* tLoading = nullptr;

constexpr char kHostName[] = "QX host";

extern "C" vst::VstIntPtr hostCallbackEntry(vst::AEffect* effect, vst::VstInt32 opcode,
                                            vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                            float opt) {
    Plugin* plugin = nullptr;
    if (effect && effect->user) plugin = static_cast<Plugin*>(effect->user);
    if (!plugin) plugin = tLoading;
    if (!plugin) {
        // Not ours (or after the record was handed back): answer only the version.
        return opcode == vst::audioMasterVersion ? vst::kVstVersion : 0;
    }
    return plugin->hostCallback(opcode, index, value, ptr, opt);
}

void copyText(void* ptr, const char* text, std::size_t capacity) {
    if (!ptr) return;
    std::strncpy(static_cast<char*>(ptr), text, capacity - 1);
    static_cast<char*>(ptr)[capacity - 1] = '\0';
}

template <typename Sample>
using Planar = std::vector<std::vector<Sample>>;

std::size_t longestChannel(const auto& input) {
    std::size_t frames = 0;
    for (const auto& channel : input) frames = std::max(frames, channel.size());
    return frames;
}

}  // namespace

std::unique_ptr<Plugin> Plugin::load(const std::string& path, std::string* error,
                                     LoadOptions options) {
    auto fail = [&](const std::string& message) -> std::unique_ptr<Plugin> {
        if (error) *error = message;
        return nullptr;
    };
    std::string why;
    void* library = platform::openLibrary(path, &why);
    if (!library) return fail("cannot open " + path + ": " + why);
    auto entry =
        reinterpret_cast<vst::VstPluginMainProc>(platform::findSymbol(library, "VSTPluginMain"));
    if (!entry)
        entry = reinterpret_cast<vst::VstPluginMainProc>(platform::findSymbol(library, "main"));
    if (!entry) {
        platform::closeLibrary(library);
        return fail("no VST 2 entry point");
    }
    std::unique_ptr<Plugin> plugin(new Plugin(path, library, options));
    Plugin* previous = tLoading;
    tLoading = plugin.get();
    vst::AEffect* effect = entry(&hostCallbackEntry);
    tLoading = previous;
    if (!effect) {
        plugin->library_ = nullptr;
        platform::closeLibrary(library);
        return fail("entry point returned no effect");
    }
    if (effect->magic != vst::kEffectMagic) {
        // Nothing in the record can be trusted, not even its dispatcher: leave it alone.
        plugin->library_ = nullptr;
        platform::closeLibrary(library);
        return fail("bad magic");
    }
    effect->user = plugin.get();
    plugin->effect_ = effect;
    return plugin;
}

Plugin::Plugin(std::string path, void* library, LoadOptions options)
    : path_(std::move(path)),
      library_(library),
      options_(options),
      sampleRate_(options.sampleRate),
      blockSize_(options.blockSize) {}

Plugin::~Plugin() {
    close();
    platform::closeLibrary(library_);
}

vst::VstIntPtr Plugin::dispatch(int opcode, int index, vst::VstIntPtr value, void* ptr, float opt) {
    if (!effect_ || !effect_->dispatcher) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Plugin::close() {
    if (!effect_) return;
    if (resumed_) suspend();
    dispatch(vst::effClose);
    effect_ = nullptr;
}

vst::VstIntPtr Plugin::hostCallback(int opcode, int index, vst::VstIntPtr value, void* ptr,
                                    float opt) {
    (void)value;
    switch (opcode) {
        case vst::audioMasterVersion:
            return options_.hostVersion;
        case vst::audioMasterGetSampleRate:
            return static_cast<vst::VstIntPtr>(sampleRate_);
        case vst::audioMasterGetBlockSize:
            return blockSize_;
        case vst::audioMasterCurrentId:
            return effect_ ? effect_->uniqueID : 0;
        case vst::audioMasterGetVendorString:
        case vst::audioMasterGetProductString:
            copyText(ptr, kHostName, 64);
            return 1;
        case vst::audioMasterGetVendorVersion:
            return 1;
        case vst::audioMasterIdle:
            return 0;
        case vst::audioMasterGetCurrentProcessLevel:
            return 4;  // offline rendering
        case vst::audioMasterCanDo: {
            if (!ptr) return 0;
            std::string what(static_cast<const char*>(ptr));
            return (what == "sendVstEvents" || what == "sizeWindow" || what == "offline") ? 1 : 0;
        }
        case vst::audioMasterAutomate:
        case vst::audioMasterBeginEdit:
        case vst::audioMasterEndEdit: {
            std::lock_guard lock(eventsMutex_);
            events_.push_back({opcode, index, opcode == vst::audioMasterAutomate ? opt : 0.0f});
            return 1;
        }
        default:
            return 0;
    }
}

std::string Plugin::readString(int opcode, int index) {
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string Plugin::effectName() {
    return readString(vst::effGetEffectName, 0);
}
std::string Plugin::vendorString() {
    return readString(vst::effGetVendorString, 0);
}
std::string Plugin::productString() {
    return readString(vst::effGetProductString, 0);
}
int Plugin::vendorVersion() {
    return static_cast<int>(dispatch(vst::effGetVendorVersion));
}
int Plugin::vstVersion() {
    return static_cast<int>(dispatch(vst::effGetVstVersion));
}
int Plugin::category() {
    return static_cast<int>(dispatch(vst::effGetPlugCategory));
}
int Plugin::tailSize() {
    return static_cast<int>(dispatch(vst::effGetTailSize));
}

int Plugin::canDo(const std::string& text) {
    std::string copy = text;  // the plug-in gets a writable, NUL-terminated buffer
    return static_cast<int>(dispatch(vst::effCanDo, 0, 0, copy.data()));
}

int Plugin::numParams() const {
    return effect_ ? effect_->numParams : 0;
}
int Plugin::numPrograms() const {
    return effect_ ? effect_->numPrograms : 0;
}
int Plugin::numInputs() const {
    return effect_ ? effect_->numInputs : 0;
}
int Plugin::numOutputs() const {
    return effect_ ? effect_->numOutputs : 0;
}
int Plugin::initialDelay() const {
    return effect_ ? effect_->initialDelay : 0;
}
int Plugin::flags() const {
    return effect_ ? effect_->flags : 0;
}
int Plugin::uniqueId() const {
    return effect_ ? effect_->uniqueID : 0;
}
int Plugin::version() const {
    return effect_ ? effect_->version : 0;
}

bool Plugin::canDoubleReplacing() const {
    return effect_ && (effect_->flags & vst::effFlagsCanDoubleReplacing) &&
           effect_->processDoubleReplacing;
}

std::string Plugin::parameterName(int i) {
    return readString(vst::effGetParamName, i);
}
std::string Plugin::parameterLabel(int i) {
    return readString(vst::effGetParamLabel, i);
}
std::string Plugin::parameterDisplay(int i) {
    return readString(vst::effGetParamDisplay, i);
}

float Plugin::getParameter(int i) {
    if (!effect_ || !effect_->getParameter) return 0.0f;
    return effect_->getParameter(effect_, i);
}

void Plugin::setParameter(int i, float v) {
    if (effect_ && effect_->setParameter) effect_->setParameter(effect_, i, v);
}

void Plugin::setProgram(int p) {
    dispatch(vst::effBeginSetProgram);
    dispatch(vst::effSetProgram, 0, p);
    dispatch(vst::effEndSetProgram);
}

int Plugin::program() {
    return static_cast<int>(dispatch(vst::effGetProgram));
}
std::string Plugin::programName() {
    return readString(vst::effGetProgramName, 0);
}

void Plugin::setProgramName(const std::string& name) {
    // Program names are at most 24 bytes with the terminator; longer ones are cut here so a
    // plug-in that copies blindly cannot overrun.
    char buffer[vst::kVstMaxProgNameLen] = {};
    std::strncpy(buffer, name.c_str(), sizeof buffer - 1);
    dispatch(vst::effSetProgramName, 0, 0, buffer);
}

bool Plugin::programNameIndexed(int index, std::string* name) {
    char buffer[256] = {};
    bool answered = dispatch(vst::effGetProgramNameIndexed, index, -1, buffer) != 0;
    buffer[sizeof buffer - 1] = '\0';
    if (answered && name) *name = buffer;
    return answered;
}

std::string Plugin::programNameAt(int p) {
    std::string name;
    if (programNameIndexed(p, &name)) return name;
    int current = program();
    if (current == p) return programName();
    setProgram(p);
    name = programName();
    setProgram(current);
    return name;
}

void Plugin::open() {
    dispatch(vst::effOpen);
    opened_ = true;
}

void Plugin::setSampleRate(float rate) {
    sampleRate_ = rate;
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, rate);
}

void Plugin::setBlockSize(int frames) {
    blockSize_ = frames;
    dispatch(vst::effSetBlockSize, 0, frames);
}

void Plugin::resume() {
    dispatch(vst::effMainsChanged, 0, 1);
    resumed_ = true;
}

void Plugin::suspend() {
    dispatch(vst::effMainsChanged, 0, 0);
    resumed_ = false;
}

bool Plugin::setBypass(bool on) {
    return dispatch(vst::effSetBypass, 0, on ? 1 : 0) != 0;
}

void Plugin::prepare(float rate, int blockFrames) {
    if (!opened_) open();
    if (resumed_) suspend();
    setSampleRate(rate);
    setBlockSize(blockFrames);
    resume();
}

void Plugin::processReplacing(float** in, float** out, int frames) {
    if (effect_ && effect_->processReplacing) effect_->processReplacing(effect_, in, out, frames);
}

void Plugin::processDoubleReplacing(double** in, double** out, int frames) {
    if (effect_ && effect_->processDoubleReplacing)
        effect_->processDoubleReplacing(effect_, in, out, frames);
}

void Plugin::processAccumulating(float** in, float** out, int frames) {
    if (effect_ && effect_->process) effect_->process(effect_, in, out, frames);
}

float Plugin::vu() {
    return static_cast<float>(dispatch(vst::effGetVu)) / 32767.0f;
}

std::vector<std::vector<float>> Plugin::run(const std::vector<std::vector<float>>& input,
                                            int blockFrames) {
    const std::size_t frames = longestChannel(input);
    const int ins = numInputs(), outs = numOutputs();
    const int block = std::max(1, blockFrames);
    Planar<float> output(outs, std::vector<float>(frames, 0.0f));
    // Separate block buffers: plug-ins may assume inputs and outputs do not alias, and may
    // read channel pointers beyond what they announced; give every pointer real storage.
    Planar<float> inBlock(std::max(ins, 1), std::vector<float>(block));
    Planar<float> outBlock(std::max(outs, 1), std::vector<float>(block));
    std::vector<float*> inPtr, outPtr;
    for (auto& c : inBlock) inPtr.push_back(c.data());
    for (auto& c : outBlock) outPtr.push_back(c.data());
    const bool replacing = canReplacing() && effect_ && effect_->processReplacing;
    for (std::size_t start = 0; start < frames; start += block) {
        const int n = static_cast<int>(std::min<std::size_t>(block, frames - start));
        for (int c = 0; c < ins; ++c) {
            for (int i = 0; i < n; ++i) {
                const std::size_t at = start + i;
                inBlock[c][i] = (c < static_cast<int>(input.size()) && at < input[c].size())
                                    ? input[c][at]
                                    : 0.0f;
            }
        }
        if (replacing) {
            processReplacing(inPtr.data(), outPtr.data(), n);
        } else {
            for (auto& c : outBlock) std::fill(c.begin(), c.begin() + n, 0.0f);
            processAccumulating(inPtr.data(), outPtr.data(), n);
        }
        for (int c = 0; c < outs; ++c)
            std::copy(outBlock[c].begin(), outBlock[c].begin() + n, output[c].begin() + start);
    }
    return output;
}

std::vector<std::vector<double>> Plugin::runDouble(const std::vector<std::vector<double>>& input,
                                                   int blockFrames) {
    if (!canDoubleReplacing()) {
        Planar<float> narrow(input.size());
        for (std::size_t c = 0; c < input.size(); ++c)
            narrow[c].assign(input[c].begin(), input[c].end());
        Planar<float> result = run(narrow, blockFrames);
        Planar<double> wide(result.size());
        for (std::size_t c = 0; c < result.size(); ++c)
            wide[c].assign(result[c].begin(), result[c].end());
        return wide;
    }
    const std::size_t frames = longestChannel(input);
    const int ins = numInputs(), outs = numOutputs();
    const int block = std::max(1, blockFrames);
    Planar<double> output(outs, std::vector<double>(frames, 0.0));
    Planar<double> inBlock(std::max(ins, 1), std::vector<double>(block));
    Planar<double> outBlock(std::max(outs, 1), std::vector<double>(block));
    std::vector<double*> inPtr, outPtr;
    for (auto& c : inBlock) inPtr.push_back(c.data());
    for (auto& c : outBlock) outPtr.push_back(c.data());
    for (std::size_t start = 0; start < frames; start += block) {
        const int n = static_cast<int>(std::min<std::size_t>(block, frames - start));
        for (int c = 0; c < ins; ++c) {
            for (int i = 0; i < n; ++i) {
                const std::size_t at = start + i;
                inBlock[c][i] = (c < static_cast<int>(input.size()) && at < input[c].size())
                                    ? input[c][at]
                                    : 0.0;
            }
        }
        processDoubleReplacing(inPtr.data(), outPtr.data(), n);
        for (int c = 0; c < outs; ++c)
            std::copy(outBlock[c].begin(), outBlock[c].begin() + n, output[c].begin() + start);
    }
    return output;
}

std::vector<HostEvent> Plugin::events() {
    std::lock_guard lock(eventsMutex_);
    return events_;
}

void Plugin::clearEvents() {
    std::lock_guard lock(eventsMutex_);
    events_.clear();
}

std::vector<std::string> listPluginLibraries(const std::string& directory) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        if (entry.path().extension() == platform::pluginExtension() && entry.is_regular_file(ec))
            found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace qx::host
