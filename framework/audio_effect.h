// The effect base classes hosts talk to: they own the effect record, turn dispatcher
// opcodes into virtual operations and give the VST 2 defaults for everything else.
#pragma once

#include <atomic>

#include "framework/vst2.h"

namespace qx {

class AEffEditor;

// The two framework generations: the current one (VST 2.4: single and double precision
// replacing processing) and the older one (VST 2.3: accumulating and replacing single
// precision processing, a VU value for the host).
enum class Generation { Current, Older };

// Key event handed to the editor by effEditKeyDown / effEditKeyUp.
struct VstKeyCode {
    int character;
    unsigned char virt;
    unsigned char modifier;
};

class AudioEffect {
  public:
    AudioEffect(vst::audioMasterCallback host, int numPrograms, int numParams,
                Generation generation);
    // Deletes the editor, if one is attached.
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    vst::AEffect* getAeffect() { return &record_; }
    Generation generation() const { return generation_; }

    // --- Operations a deliverable overrides (defaults are the VST base behaviour) ---
    virtual void open() {}
    virtual void close() {}
    virtual void setProgram(int program) { curProgram_ = program; }
    virtual int getProgram() { return curProgram_; }
    virtual void setProgramName(const char* /*name*/) {}
    virtual void getProgramName(char* name) { name[0] = 0; }
    virtual void getParameterLabel(int /*index*/, char* /*label*/) {}
    virtual void getParameterDisplay(int /*index*/, char* /*text*/) {}
    virtual void getParameterName(int /*index*/, char* /*text*/) {}
    virtual void setParameter(int /*index*/, float /*value*/) {}
    virtual float getParameter(int /*index*/) { return 0.0f; }
    // A user edit from the editor: set the value, then tell the host.
    virtual void setParameterAutomated(int index, float value);
    // Peak since the last call, 0..1; only the older generation reports it.
    virtual float getVu() { return 0.0f; }
    virtual int getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual int setChunk(void* /*data*/, int /*byteSize*/, bool /*isPreset*/) { return 0; }
    // Sample rate in Hz, already checked to be finite and positive by the boundary.
    virtual void setSampleRate(float sampleRate) {
        sampleRate_.store(sampleRate, std::memory_order_relaxed);
    }
    virtual void setBlockSize(int blockSize) {
        blockSize_.store(blockSize, std::memory_order_relaxed);
    }
    virtual void suspend() {}
    virtual void resume() {}

    // Audio thread. The boundary has checked the pointers and cleaned non-finite input
    // into the engine's reach, see the processing trampolines.
    virtual void process(float** inputs, float** outputs, int frames);
    virtual void processReplacing(float** inputs, float** outputs, int frames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, int /*frames*/) {
    }
    // Audio thread: the processing entries call these around every processing call that
    // reaches the effect (not around empty or refused ones), whichever entry the host uses.
    virtual void beginProcessing() {}
    virtual void endProcessing() {}

    virtual vst::VstIntPtr dispatcher(vst::VstInt32 opcode, vst::VstInt32 index,
                                      vst::VstIntPtr value, void* ptr, float opt);

    float getSampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
    int getBlockSize() const { return blockSize_.load(std::memory_order_relaxed); }
    int numParams() const { return record_.numParams; }
    int numPrograms() const { return record_.numPrograms; }

    // The editor attaches itself here; attaching sets effFlagsHasEditor.
    void setEditor(AEffEditor* editor);
    AEffEditor* getEditor() const { return editor_; }

    // Host callback; answers 0 when the host gave none.
    vst::VstIntPtr callHost(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                            void* ptr = nullptr, float opt = 0.0f);
    vst::audioMasterCallback hostCallback() const { return host_; }

  protected:
    // Record setters used by the constructors of the deliverables.
    void setNumInputs(int inputs) { record_.numInputs = inputs; }
    void setNumOutputs(int outputs) { record_.numOutputs = outputs; }
    void setUniqueID(vst::VstInt32 id) { record_.uniqueID = id; }
    void setInitialDelay(int delay) { record_.initialDelay = delay; }
    void setFlag(vst::VstInt32 flag, bool on);
    void canProcessReplacing(bool on = true) { setFlag(vst::effFlagsCanReplacing, on); }
    void canDoubleReplacing(bool on = true);
    void noTail(bool on = true) { setFlag(vst::effFlagsNoSoundInStop, on); }
    void canMono(bool on = true) { setFlag(vst::effFlagsCanMono, on); }
    void hasVu(bool on = true) { setFlag(vst::effFlagsHasVu, on); }
    void hasClip(bool on = true) { setFlag(vst::effFlagsHasClip, on); }

    // Written by setProgram on the control thread; read wherever the program is needed.
    std::atomic<int> curProgram_{0};

  private:
    static vst::VstIntPtr dispatchEntry(vst::AEffect* e, vst::VstInt32 opcode, vst::VstInt32 index,
                                        vst::VstIntPtr value, void* ptr, float opt);
    static void processEntry(vst::AEffect* e, float** inputs, float** outputs,
                             vst::VstInt32 frames);
    static void processReplacingEntry(vst::AEffect* e, float** inputs, float** outputs,
                                      vst::VstInt32 frames);
    static void processDoubleReplacingEntry(vst::AEffect* e, double** inputs, double** outputs,
                                            vst::VstInt32 frames);
    static void setParameterEntry(vst::AEffect* e, vst::VstInt32 index, float value);
    static float getParameterEntry(vst::AEffect* e, vst::VstInt32 index);

    vst::AEffect record_{};
    vst::audioMasterCallback host_;
    Generation generation_;
    AEffEditor* editor_ = nullptr;
    std::atomic<float> sampleRate_{44100.0f};
    std::atomic<int> blockSize_{1024};
};

class AudioEffectX : public AudioEffect {
  public:
    using AudioEffect::AudioEffect;

    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual int getVendorVersion() { return 0; }
    // 1 can do, -1 cannot, 0 don't know.
    virtual int canDo(const char* /*text*/) { return 0; }
    virtual int getPlugCategory();
    virtual bool setBypass(bool /*on*/) { return false; }
    virtual bool getProgramNameIndexed(int /*category*/, int /*index*/, char* /*text*/) {
        return false;
    }
    virtual int getGetTailSize() { return 0; }
    virtual bool getErrorText(char* /*text*/) { return false; }
    virtual int getVstVersion();
    virtual bool canParameterBeAutomated(int /*index*/) { return true; }
    virtual bool string2parameter(int /*index*/, char* /*text*/) { return false; }
    virtual bool setProcessPrecision(int /*precision*/) { return false; }

    // Editor helpers: bracket a user gesture so hosts record automation as one edit.
    bool beginEdit(int index);
    bool endEdit(int index);
    // Lets the host run its idle while a control is dragged.
    void masterIdle();

    vst::VstIntPtr dispatcher(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                              void* ptr, float opt) override;
};

// Copies text into a host buffer of `size` bytes, always terminated.
void copyString(char* destination, const char* source, int size);

}  // namespace qx
