// The effect class every deliverable builds on: the identity answers, parameters kept in
// programs, factory programs, the generic host display. A deliverable adds its tables, its
// value mapping (applyParameter) and its processing.
#pragma once

#include <vector>

#include "framework/audio_effect.h"
#include "framework/plugin_program.h"
#include "framework/plugin_tables.h"

namespace qx {

class ProgramEffect : public AudioEffectX {
  public:
    ProgramEffect(vst::audioMasterCallback host, const EffectDescription& description);

    // Stores the value in the current program, then maps it to the engine.
    void setParameter(int index, float value) override;
    float getParameter(int index) override;
    // Makes the program current and applies its values through the virtual setParameter,
    // in ascending index order.
    void setProgram(int program) override;
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(int category, int index, char* text) override;
    void getParameterName(int index, char* text) override;
    void getParameterLabel(int index, char* text) override;
    // "%3.3f" of lo (1 - v) + v hi.
    void getParameterDisplay(int index, char* text) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int getVendorVersion() override;
    int getPlugCategory() override;
    int canDo(const char* text) override;
    bool setBypass(bool on) override;
    bool getErrorText(char* text) override;

    const EffectDescription& description() const { return description_; }
    bool validParameter(int index) const { return index >= 0 && index < numParams(); }
    float displayValue(int index) const;

  protected:
    // Maps a normalised value to the engine; index is valid.
    virtual void applyParameter(int index, float value) = 0;

    // Applies program 0 and the identity; called at the end of the deliverable's
    // constructor, when the virtual operations reach the deliverable.
    void finishConstruction();

    PluginProgram& currentProgram() { return programs_[static_cast<size_t>(curProgram_)]; }

  private:
    const EffectDescription& description_;
    std::vector<PluginProgram> programs_;
};

}  // namespace qx
