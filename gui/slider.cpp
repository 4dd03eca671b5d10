#include "gui/slider.h"

#include <algorithm>
#include <cmath>

namespace qx::gui {

CSlider::CSlider(const CRect& size, CControlListener* listener, int tag, Orientation orientation,
                 BitmapRef track, BitmapRef handle)
    : CControl(size, listener, tag, std::move(track)),
      orientation_(orientation),
      handle_(std::move(handle)),
      travel_(size) {}

int CSlider::handleLength() const {
    if (!handle_) return 8;
    return orientation_ == Orientation::Vertical ? handle_->height() : handle_->width();
}

int CSlider::travelLength() const {
    const int length = orientation_ == Orientation::Vertical ? travel_.height() : travel_.width();
    return std::max(length - handleLength(), 1);
}

CRect CSlider::handleRect() const {
    const int offset = static_cast<int>(std::lround(position01() * travelLength()));
    const int w = handle_ ? handle_->width() : travel_.width();
    const int h = handle_ ? handle_->height() : travel_.height();
    if (orientation_ == Orientation::Vertical) {
        const int left = travel_.left + (travel_.width() - w) / 2;
        return CRect::sized(left, travel_.bottom - handleLength() - offset, w, h);
    }
    const int top = travel_.top + (travel_.height() - h) / 2;
    return CRect::sized(travel_.left + offset, top, w, h);
}

void CSlider::draw(CDrawContext& context) {
    CView::draw(context);
    if (handle_) context.drawBitmap(*handle_, handleRect());
}

int CSlider::axisCoordinate(CPoint where) const {
    return orientation_ == Orientation::Vertical ? -where.y : where.x;
}

float CSlider::positionUnder(CPoint where) const {
    const int start = orientation_ == Orientation::Vertical ? -travel_.bottom : travel_.left;
    const float centre = axisCoordinate(where) - start - handleLength() / 2.0f;
    return std::clamp(centre / travelLength(), 0.0f, 1.0f);
}

bool CSlider::onMouseDown(CPoint where, const MouseState& state) {
    if (beginPress(state)) return false;
    // A press on the track jumps the handle there; a press on the handle only grabs it.
    if (!handleRect().contains(where)) userSetPosition(positionUnder(where));
    gesture_.setPixelsPerRange(static_cast<float>(travelLength()));
    gesture_.begin(axisCoordinate(where), position01(), state.shift);
    return true;
}

void CSlider::onMouseMoved(CPoint where, const MouseState& state) {
    userSetPosition(gesture_.move(axisCoordinate(where), state.shift));
}

void CSlider::onMouseUp(CPoint /*where*/, const MouseState& /*state*/) {
    endEdit();
}

bool CSlider::onWheel(CPoint /*where*/, float distance, const MouseState& state) {
    wheelGesture(distance, state);
    return true;
}

}  // namespace qx::gui
