#include "gui/knob.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qx::gui {

CKnobBase::CKnobBase(const CRect& size, CControlListener* listener, int tag, BitmapRef background)
    : CControl(size, listener, tag, std::move(background)) {}

bool CKnobBase::onMouseDown(CPoint where, const MouseState& state) {
    if (beginPress(state)) return false;
    gesture_.begin(-where.y, position(), state.shift);
    return true;
}

void CKnobBase::onMouseMoved(CPoint where, const MouseState& state) {
    userSetValue(positionToValue(gesture_.move(-where.y, state.shift)));
}

void CKnobBase::onMouseUp(CPoint /*where*/, const MouseState& /*state*/) {
    endEdit();
}

bool CKnobBase::onWheel(CPoint /*where*/, float distance, const MouseState& state) {
    beginEdit();
    userSetValue(positionToValue(wheelPosition(position(), distance, state.shift)));
    endEdit();
    return true;
}

CKnob::CKnob(const CRect& size, CControlListener* listener, int tag, BitmapRef background)
    : CKnobBase(size, listener, tag, std::move(background)) {}

void CKnob::draw(CDrawContext& context) {
    CView::draw(context);
    // 300 degrees of travel, the gap at the bottom.
    const double angle =
        (-150.0 + 300.0 * std::clamp(position(), 0.0f, 1.0f)) * std::numbers::pi / 180.0;
    const double cx = size_.left + size_.width() / 2.0;
    const double cy = size_.top + size_.height() / 2.0;
    const double outer =
        pointerOuter_ > 0 ? pointerOuter_ : std::min(size_.width(), size_.height()) / 2.0 - 4.0;
    const auto at = [&](double radius) {
        return CPointF{static_cast<float>(cx + radius * std::sin(angle)),
                       static_cast<float>(cy - radius * std::cos(angle))};
    };
    context.line(at(pointerInner_), at(outer), {pointerColor_, 2.0f, LineCap::Round});
}

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int tag, int frames,
                     BitmapRef strip)
    : CKnobBase(size, listener, tag, std::move(strip)), frames_(std::max(frames, 1)) {}

int CAnimKnob::currentFrame() const {
    return filmstripFrame(position(), frames_);
}

void CAnimKnob::draw(CDrawContext& context) {
    if (!background_) return;
    const int frameHeight = background_->height() / frames_;
    context.drawBitmap(*background_, size_, {0, currentFrame() * frameHeight});
}

CExpKnob::CExpKnob(const CRect& size, CControlListener* listener, int tag, int frames,
                   BitmapRef strip, float exponent)
    : CAnimKnob(size, listener, tag, frames, std::move(strip)),
      exponent_(exponent > 0.0f ? exponent : 1.0f) {}

float CExpKnob::valueToPosition(float value) const {
    return std::pow(std::clamp(value, 0.0f, 1.0f), exponent_);
}

float CExpKnob::positionToValue(float position) const {
    return std::pow(std::clamp(position, 0.0f, 1.0f), 1.0f / exponent_);
}

}  // namespace qx::gui
