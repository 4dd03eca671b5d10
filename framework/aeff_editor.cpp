#include "framework/aeff_editor.h"

namespace qx {

AEffEditor::AEffEditor(AudioEffect* effect) : effect_(effect) {
    if (effect_) effect_->setEditor(this);
}

bool AEffEditor::getRect(vst::ERect** rect) {
    if (!rect) return false;
    *rect = &rect_;
    return true;
}

bool AEffEditor::open(void* parentWindow) {
    systemWindow_ = parentWindow;
    return true;
}

void AEffEditor::close() {
    systemWindow_ = nullptr;
}

void AEffEditor::beginEdit(int index) {
    if (auto* x = dynamic_cast<AudioEffectX*>(effect_)) x->beginEdit(index);
}

void AEffEditor::endEdit(int index) {
    if (auto* x = dynamic_cast<AudioEffectX*>(effect_)) x->endEdit(index);
}

}  // namespace qx
