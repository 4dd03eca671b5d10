#include "framework/audio_effect.h"

#include <cmath>
#include <cstring>

#include "framework/aeff_editor.h"
#include "framework/sample_guard.h"

namespace qx {

using namespace vst;

namespace {

AudioEffect* effectOf(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

// Host channel arrays are trusted only when every pointer the record announces is there.
template <typename T>
bool channelsPresent(T** channels, int count) {
    if (!channels) return false;
    for (int c = 0; c < count; ++c)
        if (!channels[c]) return false;
    return true;
}

template <typename T>
void silenceOutputs(T** outputs, int count, int frames) {
    if (!outputs) return;
    for (int c = 0; c < count; ++c)
        if (outputs[c]) std::memset(outputs[c], 0, sizeof(T) * static_cast<size_t>(frames));
}

// The highest rate any engine is asked to handle; keeps integer conversions of the rate
// (and buffer positions derived from it) well defined for absurd host values.
constexpr float kMaxSampleRate = 10.0e6f;

}  // namespace

void copyString(char* destination, const char* source, int size) {
    if (!destination || size <= 0) return;
    if (!source) source = "";
    int i = 0;
    for (; i < size - 1 && source[i]; ++i) destination[i] = source[i];
    destination[i] = 0;
}

AudioEffect::AudioEffect(audioMasterCallback host, int numPrograms, int numParams,
                         Generation generation)
    : host_(host), generation_(generation) {
    record_.magic = kEffectMagic;
    record_.dispatcher = &AudioEffect::dispatchEntry;
    record_.process = &AudioEffect::processEntry;
    record_.setParameter = &AudioEffect::setParameterEntry;
    record_.getParameter = &AudioEffect::getParameterEntry;
    record_.numPrograms = numPrograms;
    record_.numParams = numParams;
    record_.numInputs = 1;
    record_.numOutputs = 2;
    record_.flags = generation == Generation::Current ? effFlagsCanReplacing : 0;
    record_.ioRatio = 1.0f;
    record_.object = this;
    record_.uniqueID = fourCC('N', 'o', 'E', 'f');
    record_.version = 1;
    record_.processReplacing = &AudioEffect::processReplacingEntry;
    record_.processDoubleReplacing =
        generation == Generation::Current ? &AudioEffect::processDoubleReplacingEntry : nullptr;
}

AudioEffect::~AudioEffect() {
    AEffEditor* editor = editor_;
    editor_ = nullptr;
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* editor) {
    editor_ = editor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(VstInt32 flag, bool on) {
    if (on)
        record_.flags |= flag;
    else
        record_.flags &= ~flag;
}

void AudioEffect::canDoubleReplacing(bool on) {
    // The older generation has no double-precision entry at all.
    setFlag(effFlagsCanDoubleReplacing, on && generation_ == Generation::Current);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return host_ ? host_(&record_, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(int index, float value) {
    setParameter(index, value);
    // The host records what the effect kept (a value held to its range), so that a later
    // getParameter agrees with the automation.
    const bool known = index >= 0 && index < numParams();
    callHost(audioMasterAutomate, index, 0, nullptr, known ? getParameter(index) : value);
}

void AudioEffect::process(float** /*inputs*/, float** /*outputs*/, int /*frames*/) {
    // The accumulating entry leaves the outputs alone unless a deliverable implements it.
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effOpen:
            open();
            return 0;
        case effSetProgram:
            if (value >= 0 && value < record_.numPrograms) setProgram(static_cast<int>(value));
            return 0;
        case effGetProgram:
            return getProgram();
        case effSetProgramName:
            if (text) setProgramName(text);
            return 0;
        case effGetProgramName:
            if (text) getProgramName(text);
            return 0;
        case effGetParamLabel:
            if (text) getParameterLabel(index, text);
            return 0;
        case effGetParamDisplay:
            if (text) getParameterDisplay(index, text);
            return 0;
        case effGetParamName:
            if (text) getParameterName(index, text);
            return 0;
        case effGetVu: {
            const float vu = getVu();
            return std::isfinite(vu) ? static_cast<VstIntPtr>(vu * 32767.0f) : 0;
        }
        case effSetSampleRate:
            if (std::isfinite(opt) && opt > 0.0f) setSampleRate(std::fmin(opt, kMaxSampleRate));
            return 0;
        case effSetBlockSize:
            if (value > 0 && value <= (1 << 24)) setBlockSize(static_cast<int>(value));
            return 0;
        case effMainsChanged:
            if (value)
                resume();
            else
                suspend();
            return 0;
        case effEditGetRect:
            if (editor_ && ptr) return editor_->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
            return 0;
        case effEditOpen:
            if (editor_) return editor_->open(ptr) ? 1 : 0;
            return 0;
        case effEditClose:
            if (editor_) editor_->close();
            return 0;
        case effEditIdle:
            if (editor_) editor_->idle();
            return 0;
        case effIdentify:
            return fourCC('N', 'v', 'E', 'f');
        case effGetChunk:
            if (!ptr) return 0;
            return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk:
            if (!ptr || value <= 0 || value > 0x7fffffff) return 0;
            return setChunk(ptr, static_cast<int>(value), index != 0);
        default:
            return 0;
    }
}

int AudioEffectX::getPlugCategory() {
    return (getAeffect()->flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

int AudioEffectX::getVstVersion() {
    return generation() == Generation::Current ? kVstVersion : kVstVersionOlder;
}

bool AudioEffectX::beginEdit(int index) {
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(int index) {
    return callHost(audioMasterEndEdit, index) != 0;
}

void AudioEffectX::masterIdle() {
    callHost(audioMasterIdle);
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effCanBeAutomated:
            return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter:
            if (!text || index < 0 || index >= numParams()) return 0;
            return string2parameter(index, text) ? 1 : 0;
        case effGetNumProgramCategories:
            return 1;
        case effGetProgramNameIndexed:
            if (!text) return 0;
            return getProgramNameIndexed(static_cast<int>(value), index, text) ? 1 : 0;
        case effGetPlugCategory:
            return getPlugCategory();
        case effSetBlockSizeAndSampleRate:
            AudioEffect::dispatcher(effSetBlockSize, 0, value, nullptr, 0.0f);
            return AudioEffect::dispatcher(effSetSampleRate, 0, 0, nullptr, opt);
        case effSetBypass:
            return setBypass(value != 0) ? 1 : 0;
        case effGetEffectName:
            return text && getEffectName(text) ? 1 : 0;
        case effGetErrorText:
            return text && getErrorText(text) ? 1 : 0;
        case effGetVendorString:
            return text && getVendorString(text) ? 1 : 0;
        case effGetProductString:
            return text && getProductString(text) ? 1 : 0;
        case effGetVendorVersion:
            return getVendorVersion();
        case effCanDo:
            return canDo(text ? text : "");
        case effGetTailSize:
            return getGetTailSize();
        case effGetVstVersion:
            return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp:
            if (AEffEditor* editor = getEditor()) {
                VstKeyCode key{index, static_cast<unsigned char>(value),
                               static_cast<unsigned char>(std::isfinite(opt) ? opt : 0.0f)};
                const bool used =
                    opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
                return used ? 1 : 0;
            }
            return 0;
        case effSetEditKnobMode:
            if (AEffEditor* editor = getEditor())
                return editor->setKnobMode(static_cast<int>(value)) ? 1 : 0;
            return 0;
        case effSetProcessPrecision:
            return setProcessPrecision(static_cast<int>(value)) ? 1 : 0;
        default:
            return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

// --- Entry points stored in the effect record ---

VstIntPtr AudioEffect::dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                     void* ptr, float opt) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0;
    if (opcode == effClose) {
        effect->close();
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

namespace {

// Shared checks of the three processing entries: a live effect, a positive frame count and
// every channel pointer the record announces. Replacing entries silence what outputs they
// can when the host's arrays are incomplete; the accumulating one leaves them alone.
template <typename T, typename Run>
void guardedProcess(AEffect* e, T** inputs, T** outputs, VstInt32 frames, bool replacing,
                    Run&& run) {
    AudioEffect* effect = effectOf(e);
    if (!effect || frames <= 0) return;
    if (!channelsPresent(inputs, e->numInputs) || !channelsPresent(outputs, e->numOutputs)) {
        if (replacing) silenceOutputs(outputs, e->numOutputs, frames);
        return;
    }
    DenormalGuard guard;
    effect->beginProcessing();
    run(*effect);
    effect->endProcessing();
}

}  // namespace

void AudioEffect::processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
    guardedProcess(e, inputs, outputs, frames, false,
                   [&](AudioEffect& fx) { fx.process(inputs, outputs, frames); });
}

void AudioEffect::processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 frames) {
    guardedProcess(e, inputs, outputs, frames, true,
                   [&](AudioEffect& fx) { fx.processReplacing(inputs, outputs, frames); });
}

void AudioEffect::processDoubleReplacingEntry(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 frames) {
    guardedProcess(e, inputs, outputs, frames, true,
                   [&](AudioEffect& fx) { fx.processDoubleReplacing(inputs, outputs, frames); });
}

void AudioEffect::setParameterEntry(AEffect* e, VstInt32 index, float value) {
    if (AudioEffect* effect = effectOf(e)) effect->setParameter(index, value);
}

float AudioEffect::getParameterEntry(AEffect* e, VstInt32 index) {
    AudioEffect* effect = effectOf(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

}  // namespace qx
