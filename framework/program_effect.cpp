#include "framework/program_effect.h"

#include <cstdio>
#include <cstring>

namespace qx {

using namespace vst;

ProgramEffect::ProgramEffect(audioMasterCallback host, const EffectDescription& description)
    : AudioEffectX(host, description.factory.numPrograms, description.parameters.count,
                   description.identity.generation),
      description_(description) {
    programs_.reserve(static_cast<size_t>(description.factory.numPrograms));
    for (int i = 0; i < description.factory.numPrograms; ++i)
        programs_.emplace_back(description.parameters, description.factory);
    curProgram_ = 0;
    for (int i = 0; i < description.factory.numPrograms; ++i)
        programs_[static_cast<size_t>(i)].loadFactory(description.factory, i);
}

void ProgramEffect::finishConstruction() {
    setProgram(0);
    const EffectIdentity& id = description_.identity;
    setNumInputs(id.numInputs);
    setNumOutputs(id.numOutputs);
    setUniqueID(id.uniqueId);
    setInitialDelay(id.initialDelay);
    setFlag(id.flags & ~effFlagsCanDoubleReplacing, true);
    if (id.flags & effFlagsCanDoubleReplacing) canDoubleReplacing(true);
    setSampleRate(getSampleRate());
}

void ProgramEffect::setParameter(int index, float value) {
    if (!validParameter(index)) return;
    currentProgram().values[static_cast<size_t>(index)] = value;
    applyParameter(index, value);
}

float ProgramEffect::getParameter(int index) {
    if (!validParameter(index)) return 0.0f;
    return currentProgram().values[static_cast<size_t>(index)];
}

void ProgramEffect::setProgram(int program) {
    if (program < 0 || program >= numPrograms()) return;
    curProgram_ = program;
    for (int i = 0; i < numParams(); ++i)
        setParameter(i, programs_[static_cast<size_t>(program)].values[static_cast<size_t>(i)]);
}

void ProgramEffect::setProgramName(const char* name) {
    if (name) currentProgram().setName(name);
}

void ProgramEffect::getProgramName(char* name) {
    copyString(name, currentProgram().name, kProgramNameSize);
}

bool ProgramEffect::getProgramNameIndexed(int /*category*/, int index, char* text) {
    if (index < 0 || index >= numPrograms()) return false;
    copyString(text, programs_[static_cast<size_t>(index)].name, kProgramNameSize);
    return true;
}

void ProgramEffect::getParameterName(int index, char* text) {
    if (!validParameter(index)) return;
    copyString(text, currentProgram().paramNames[static_cast<size_t>(index)].data(),
               kParamNameSize);
}

void ProgramEffect::getParameterLabel(int index, char* text) {
    if (!validParameter(index)) return;
    // The current generation's labels are two characters; the older one's are 15.
    const int size = generation() == Generation::Current ? 3 : kParamLabelSize;
    copyString(text, currentProgram().paramLabels[static_cast<size_t>(index)].data(), size);
}

float ProgramEffect::displayValue(int index) const {
    const ParameterDisplayRange& range = description_.parameters.displayRanges[index];
    const float v = programs_[static_cast<size_t>(curProgram_)].values[static_cast<size_t>(index)];
    return range.minimum * (1.0f - v) + v * range.maximum;
}

void ProgramEffect::getParameterDisplay(int index, char* text) {
    if (!validParameter(index) || !text) return;
    std::snprintf(text, kParamNameSize, "%3.3f", static_cast<double>(displayValue(index)));
}

bool ProgramEffect::getEffectName(char* name) {
    copyString(name, description_.identity.effectName, kVstMaxEffectNameLen);
    return true;
}

bool ProgramEffect::getVendorString(char* text) {
    copyString(text, description_.identity.vendorString, kVstMaxVendorStrLen);
    return true;
}

bool ProgramEffect::getProductString(char* text) {
    copyString(text, description_.identity.productString, kVstMaxProductStrLen);
    return true;
}

int ProgramEffect::getVendorVersion() {
    return description_.identity.vendorVersion;
}

int ProgramEffect::getPlugCategory() {
    return generation() == Generation::Current ? kPlugCategEffect : AudioEffectX::getPlugCategory();
}

int ProgramEffect::canDo(const char* text) {
    for (const char* const* yes = description_.identity.canDoYes; yes && *yes; ++yes)
        if (std::strcmp(*yes, text) == 0) return 1;
    return -1;
}

bool ProgramEffect::setBypass(bool on) {
    const int index = description_.identity.bypassParameter;
    if (!validParameter(index)) return false;
    setParameter(index, on ? 1.0f : 0.0f);
    return true;
}

bool ProgramEffect::getErrorText(char* text) {
    copyString(text, "Error", 256);
    return true;
}

}  // namespace qx
