#include "framework/program_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qx {

using namespace vst;

ProgramEffect::ProgramEffect(audioMasterCallback host, const EffectDescription& description)
    : AudioEffectX(host, description.factory.numPrograms, description.parameters.count,
                   description.identity.generation),
      description_(description),
      // Slots: the parameters, the sample rate, a reset, then the commands.
      pending_(description.parameters.count + 2 + std::max(description.numCommands, 0)),
      drained_(static_cast<size_t>(pending_.numSlots())) {
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
    // Once here for every effect and every source (host, program, editor, setBypass): a
    // non-finite value would poison an engine, so the setting stays as it was.
    if (!validParameter(index) || !std::isfinite(value)) return;
    const float held = std::clamp(value, 0.0f, description_.parameters.maximum(index));
    currentProgram().setValue(index, held);
    pending_.mark(index);
    applyIfIdle();
}

float ProgramEffect::getParameter(int index) {
    if (!validParameter(index)) return 0.0f;
    return currentProgram().value(index);
}

void ProgramEffect::setProgram(int program) {
    if (program < 0 || program >= numPrograms()) return;
    pending_.openBatch();
    curProgram_ = program;
    const PluginProgram& values = programs_[static_cast<size_t>(program)];
    for (int i = 0; i < numParams(); ++i) setParameter(i, values.value(i));
    pending_.closeBatch();
    applyIfIdle();
}

void ProgramEffect::setSampleRate(float sampleRate) {
    AudioEffect::setSampleRate(sampleRate);
    pending_.mark(sampleRateSlot());
    applyIfIdle();
}

void ProgramEffect::suspend() {
    pending_.hostSuspended();
    if (generation() == Generation::Current) pending_.mark(resetSlot());
    applyIfIdle();
}

void ProgramEffect::resume() {
    pending_.mark(generation() == Generation::Current ? resetSlot() : sampleRateSlot());
    applyIfIdle();
    pending_.hostResumed();
}

void ProgramEffect::postCommand(int command) {
    if (command < 0 || command >= description_.numCommands) return;
    pending_.mark(commandSlot(command));
    applyIfIdle();
}

void ProgramEffect::beginProcessing() {
    pending_.enterAudio();
    if (pending_.anyPending()) drainChanges();
}

void ProgramEffect::endProcessing() {
    pending_.leaveAudio();
}

void ProgramEffect::applyIfIdle() {
    pending_.applyIfIdle([this] { drainChanges(); });
}

void ProgramEffect::drainChanges() {
    const int params = numParams();
    // The program is looked up inside the drain's reads: a program change swaps it only
    // within a batch, which the drain notices and answers by putting everything back.
    const PluginProgram* program = nullptr;
    float* const drained = drained_.data();
    pending_.drain(
        [&](int slot, int k) {
            if (!program) program = &programs_[static_cast<size_t>(curProgram_.load())];
            if (slot < params)
                drained[k] = program->value(slot);
            else if (slot == sampleRateSlot())
                drained[k] = getSampleRate();
        },
        [&](int slot, int k) {
            if (slot < params)
                applyParameter(slot, drained[k]);
            else if (slot == sampleRateSlot())
                applySampleRate(drained[k]);
            else if (slot == resetSlot())
                applyReset();
            else
                applyCommand(slot - commandSlot(0));
        });
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
    const float v = programs_[static_cast<size_t>(curProgram_.load())].value(index);
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
