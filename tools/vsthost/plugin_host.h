// Loads a VST 2 plug-in from a shared library and drives it as a host would: the host
// callback, identity queries, parameters, programs, lifecycle and processing.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/vst2.h"

namespace qx::host {

// A callback the plug-in made that a test or tool may want to inspect.
// audioMasterAutomate carries the value in `value`; Begin/EndEdit carry 0.
struct HostEvent {
    int opcode;
    int index;
    float value;
};

struct LoadOptions {
    // Answer to audioMasterVersion; 0 simulates a host older than VST 2.
    int hostVersion = 2400;
    // Initial answers to audioMasterGetSampleRate / GetBlockSize (until setSampleRate /
    // setBlockSize change them).
    float sampleRate = 44100.0f;
    int blockSize = 512;
};

// One loaded plug-in instance. Not copyable; all calls except events() / clearEvents() and
// the host callback belong to one thread at a time, as in any host.
class Plugin {
  public:
    // Loads the library (dlopen, or LoadLibrary on Windows), looks up VSTPluginMain then main
    // and calls it with the host callback. Does not send effOpen (see open() / prepare()).
    // Returns null and sets *error on failure.
    static std::unique_ptr<Plugin> load(const std::string& path, std::string* error,
                                        LoadOptions options = {});
    // effMainsChanged(0) if resumed, effClose unless already closed, then dlclose.
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // Null after close().
    vst::AEffect* effect() const { return effect_; }
    const std::string& path() const { return path_; }
    // Raw dispatcher call; answers 0 once closed.
    vst::VstIntPtr dispatch(int opcode, int index = 0, vst::VstIntPtr value = 0,
                            void* ptr = nullptr, float opt = 0.0f);
    // effClose now; idempotent. The effect record is gone afterwards.
    void close();
    bool closed() const { return effect_ == nullptr; }

    // Identity.
    std::string effectName();
    std::string vendorString();
    std::string productString();
    int vendorVersion();
    int vstVersion();
    int category();
    int canDo(const std::string& text);
    int tailSize();
    int numParams() const;
    int numPrograms() const;
    int numInputs() const;
    int numOutputs() const;
    int initialDelay() const;
    int flags() const;
    int uniqueId() const;
    int version() const;
    bool canReplacing() const { return flags() & vst::effFlagsCanReplacing; }
    bool canDoubleReplacing() const;
    bool programChunks() const { return flags() & vst::effFlagsProgramChunks; }

    // Parameters and programs. Strings are read into a 256-byte zeroed buffer and returned
    // as written (up to the first NUL), not trimmed.
    std::string parameterName(int i);
    std::string parameterLabel(int i);
    std::string parameterDisplay(int i);
    float getParameter(int i);
    void setParameter(int i, float v);
    void setProgram(int p);
    int program();
    std::string programName();
    void setProgramName(const std::string& name);
    // effGetProgramNameIndexed; false when the plug-in does not answer it.
    bool programNameIndexed(int index, std::string* name);
    // Name of program p: indexed query, else by selecting it (and re-selecting the current).
    std::string programNameAt(int p);

    // Lifecycle. Each sends its opcode every time it is called.
    void open();
    void setSampleRate(float rate);
    void setBlockSize(int frames);
    void resume();
    void suspend();
    bool setBypass(bool on);
    // open (once), sample rate, block size, resume: the usual sequence before processing.
    void prepare(float rate, int blockFrames);
    float sampleRate() const { return sampleRate_; }
    int blockSize() const { return blockSize_; }
    bool resumed() const { return resumed_; }

    // Processing with channel pointer arrays as the host hands them over.
    void processReplacing(float** in, float** out, int frames);
    void processDoubleReplacing(double** in, double** out, int frames);
    // The deprecated accumulating `process` entry: adds into out.
    void processAccumulating(float** in, float** out, int frames);
    // effGetVu / 32767.
    float vu();

    // Planar convenience: numInputs() channels in (missing channels read as silence, extra
    // ones are ignored), numOutputs() x frames out, where frames is the longest input channel.
    // Processes in blocks of at most blockFrames; uses processReplacing, or the accumulating
    // entry into zeroed outputs when the plug-in cannot replace.
    std::vector<std::vector<float>> run(const std::vector<std::vector<float>>& input,
                                        int blockFrames = 512);
    // As run(), through processDoubleReplacing; a plug-in without double precision is run in
    // single precision with conversion on the way in and out.
    std::vector<std::vector<double>> runDouble(const std::vector<std::vector<double>>& input,
                                               int blockFrames = 512);

    // Recorded host events (automation, begin/end edit), in arrival order; thread-safe.
    std::vector<HostEvent> events();
    void clearEvents();

    // Answers to the plug-in's calls; public so the C callback can reach it.
    vst::VstIntPtr hostCallback(int opcode, int index, vst::VstIntPtr value, void* ptr, float opt);

  private:
    Plugin(std::string path, void* library, LoadOptions options);
    std::string readString(int opcode, int index);

    std::string path_;
    void* library_ = nullptr;
    vst::AEffect* effect_ = nullptr;
    LoadOptions options_;
    float sampleRate_;
    int blockSize_;
    bool opened_ = false;
    bool resumed_ = false;
    std::mutex eventsMutex_;
    std::vector<HostEvent> events_;
};

// The plug-in library names in a folder (*.so, or *.dll on Windows), sorted; empty when the
// folder is missing.
std::vector<std::string> listPluginLibraries(const std::string& directory);

}  // namespace qx::host
