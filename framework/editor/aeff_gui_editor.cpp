#include "framework/editor/aeff_gui_editor.h"

#include <cstdint>

namespace qx {

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect, const gui::ResourceSet& resources)
    : AEffEditor(effect),
      resources_(resources),
      background_(gui::loadBitmap(resources, kBackgroundBitmap)),
      bitmaps_(resources) {
    rect_.top = 0;
    rect_.left = 0;
    rect_.right = static_cast<std::int16_t>(background_ ? background_->width() : 0);
    rect_.bottom = static_cast<std::int16_t>(background_ ? background_->height() : 0);
}

AEffGUIEditor::~AEffGUIEditor() {
    frame_.reset();
}

bool AEffGUIEditor::open(void* parentWindow) {
    if (frame_) close();  // a host that opens twice gets a fresh window
    return AEffEditor::open(parentWindow);
}

void AEffGUIEditor::close() {
    frame_.reset();
    bitmaps_ = gui::CBitmapCache(resources_);
    AEffEditor::close();
}

void AEffGUIEditor::idle() {
    if (frame_) frame_->idle();
}

gui::BitmapRef AEffGUIEditor::loadBitmap(int id) {
    if (id == 0) return nullptr;  // layout rows without a bitmap
    return id == kBackgroundBitmap ? background_ : bitmaps_.get(id);
}

gui::CFrame* AEffGUIEditor::createFrame() {
    frame_ =
        std::make_unique<gui::CFrame>(gui::CRect{0, 0, rect_.right, rect_.bottom}, background_);
    return frame_.get();
}

bool AEffGUIEditor::showFrame() {
    const auto parent = reinterpret_cast<std::uintptr_t>(systemWindow_);
    if (frame_ && frame_->open(parent)) return true;
    close();
    return false;
}

}  // namespace qx
