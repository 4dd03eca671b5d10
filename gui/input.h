// Mouse gestures of the controls, kept apart from their drawing: the arithmetic that turns
// pointer travel and wheel notches into a control position in 0..1.
#pragma once

#include <algorithm>

namespace qx::gui {

// Keyboard modifiers and buttons at the time of a mouse event.
struct MouseState {
    bool shift = false;    // fine adjustment
    bool control = false;  // return to the default value
    bool left = true;
};

// Shift divides the speed of drags and wheel steps by this.
constexpr float kFineFactor = 10.0f;
// Position change per wheel notch.
constexpr float kWheelStep = 1.0f / 50.0f;

// A drag along one axis: the position follows the pointer's travel, `pixelsPerRange`
// pixels for the whole 0..1 range (ten times more in fine mode). Switching fine mode
// mid-drag re-anchors, so the control never jumps.
class DragGesture {
  public:
    explicit DragGesture(float pixelsPerRange = 200.0f) : pixelsPerRange_(pixelsPerRange) {}

    void setPixelsPerRange(float pixels) { pixelsPerRange_ = std::max(pixels, 1.0f); }
    // coordinate grows in the direction that raises the value (e.g. -y for a knob).
    void begin(int coordinate, float position, bool fine) {
        anchorCoordinate_ = coordinate;
        anchorPosition_ = position;
        position_ = position;
        fine_ = fine;
    }
    // The new position, 0..1.
    float move(int coordinate, bool fine) {
        if (fine != fine_) {
            fine_ = fine;
            rebase(coordinate);
        }
        const float scale = fine_ ? pixelsPerRange_ * kFineFactor : pixelsPerRange_;
        position_ =
            std::clamp(anchorPosition_ + (coordinate - anchorCoordinate_) / scale, 0.0f, 1.0f);
        return position_;
    }
    float position() const { return position_; }

  private:
    void rebase(int coordinate) {
        anchorCoordinate_ = coordinate;
        anchorPosition_ = position_;
    }

    float pixelsPerRange_;
    int anchorCoordinate_ = 0;
    float anchorPosition_ = 0.0f;
    float position_ = 0.0f;
    bool fine_ = false;
};

// The position after `notches` wheel notches (positive raises).
inline float wheelPosition(float position, float notches, bool fine) {
    const float step = fine ? kWheelStep / kFineFactor : kWheelStep;
    return std::clamp(position + notches * step, 0.0f, 1.0f);
}

// The frame of a filmstrip of `frames` images that shows `position` (0..1).
inline int filmstripFrame(float position, int frames) {
    if (frames <= 1) return 0;
    const int frame = static_cast<int>(std::clamp(position, 0.0f, 1.0f) * (frames - 1) + 0.5f);
    return std::clamp(frame, 0, frames - 1);
}

}  // namespace qx::gui
