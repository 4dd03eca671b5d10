// The effect class every deliverable builds on: the identity answers, parameters kept in
// programs, factory programs, the generic host display, and the hand-off of every change
// to the engine. A deliverable adds its tables, its value mapping (applyParameter and the
// other apply hooks) and its processing.
#pragma once

#include <vector>

#include "framework/audio_effect.h"
#include "framework/pending_changes.h"
#include "framework/plugin_program.h"
#include "framework/plugin_tables.h"

namespace qx {

// How a change reaches the engine: the caller's thread stores it (a parameter in the
// current program, at once, so getParameter answers it) and leaves a note; the engine
// hooks (applyParameter, applySampleRate, applyReset, applyCommand) then run on the audio
// thread at the start of the next block, in the order the changes arrived, or at once on
// the caller's thread when no block can run (see PendingChanges). So an engine is only
// ever touched by one thread at a time and never in the middle of a block, and a program
// change lands whole on one block boundary.
class ProgramEffect : public AudioEffectX {
  public:
    ProgramEffect(vst::audioMasterCallback host, const EffectDescription& description);

    // Any thread. Ignores a non-finite value (the setting stays) and holds a finite one to
    // the parameter's range (0..1, or 0 .. n - 1 for a menu of n entries); stores it in
    // the current program and notes it for the engine.
    void setParameter(int index, float value) override;
    // Any thread: the current program's value.
    float getParameter(int index) override;
    // Makes the program current and applies its values through the virtual setParameter,
    // in ascending index order, all on one block boundary.
    void setProgram(int program) override;
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(int category, int index, char* text) override;
    void getParameterName(int index, char* text) override;
    void getParameterLabel(int index, char* text) override;
    // "%3.3f" of lo (1 - v) + v hi.
    void getParameterDisplay(int index, char* text) override;

    // Any thread. Hz; the engine follows through applySampleRate.
    void setSampleRate(float sampleRate) override;
    // The host's effMainsChanged. Current generation: both reset the engine (applyReset).
    // Older generation: suspend does nothing, resume hands the engine the rate again.
    void suspend() override;
    void resume() override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int getVendorVersion() override;
    int getPlugCategory() override;
    int canDo(const char* text) override;
    bool setBypass(bool on) override;
    bool getErrorText(char* text) override;

    // Audio thread: take the engine and apply pending changes; give it back.
    void beginProcessing() override;
    void endProcessing() override;

    // Any thread: asks the engine to carry out command 0 .. numCommands - 1 (for example an
    // editor's reset button) through applyCommand.
    void postCommand(int command);

    const EffectDescription& description() const { return description_; }
    bool validParameter(int index) const { return index >= 0 && index < numParams(); }
    float displayValue(int index) const;

  protected:
    // Engine hooks, each called on the audio thread between blocks or on the control thread
    // while no block can run, never concurrently with processing or with each other.
    // Maps a stored value (valid index, finite, within its range) to the engine.
    virtual void applyParameter(int index, float value) = 0;
    // Hz, finite and positive.
    virtual void applySampleRate(float /*sampleRate*/) {}
    virtual void applyReset() {}
    virtual void applyCommand(int /*command*/) {}

    // Applies program 0, the identity and the sample rate; called at the end of the
    // deliverable's constructor, when the virtual operations reach the deliverable.
    void finishConstruction();

    PluginProgram& currentProgram() { return programs_[static_cast<size_t>(curProgram_.load())]; }

  private:
    int sampleRateSlot() const { return numParams(); }
    int resetSlot() const { return numParams() + 1; }
    int commandSlot(int command) const { return numParams() + 2 + command; }
    void applyIfIdle();
    // Owner of the engine only.
    void drainChanges();

    const EffectDescription& description_;
    std::vector<PluginProgram> programs_;
    PendingChanges pending_;
    std::vector<float> drained_;  // values read by a drain, by position; sized once
};

}  // namespace qx
