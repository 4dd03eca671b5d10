#include "gui/control.h"

#include <algorithm>
#include <cmath>

namespace qx::gui {

CControl::CControl(const CRect& size, CControlListener* listener, int tag, BitmapRef background)
    : CView(size), listener_(listener), tag_(tag) {
    background_ = std::move(background);
}

void CControl::setValue(float value) {
    if (!std::isfinite(value)) return;
    value = std::clamp(value, min_, max_);
    if (value_.exchange(value, std::memory_order_relaxed) != value) setDirty();
}

void CControl::setTag(int tag) {
    if (tag == tag_) return;
    endEdit();
    const int previous = tag_;
    tag_ = tag;
    if (listener_) listener_->controlTagChanged(this, previous);
}

void CControl::valueChanged() {
    if (listener_) listener_->controlChanged(this);
}

void CControl::beginEdit() {
    if (editing_) return;
    editing_ = true;
    if (listener_) listener_->controlBeginEdit(this);
}

void CControl::endEdit() {
    if (!editing_) return;
    editing_ = false;
    if (listener_) listener_->controlEndEdit(this);
}

bool CControl::beginPress(const MouseState& state) {
    beginEdit();
    if (!state.control) return false;
    userSetValue(getDefaultValue());
    endEdit();
    return true;
}

void CControl::wheelGesture(float notches, const MouseState& state) {
    beginEdit();
    userSetPosition(wheelPosition(position01(), notches, state.shift));
    endEdit();
}

void CControl::userSetValue(float value) {
    // User changes belong to a gesture (begin ... end). One cut short by a change of tag
    // (setTag) changes nothing more until the next gesture begins.
    if (!editing_) return;
    const float before = getValue();
    setValue(value);
    if (getValue() != before) valueChanged();
}

}  // namespace qx::gui
