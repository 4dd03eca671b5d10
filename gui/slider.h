// Sliders: a handle bitmap moving over a track (the control's background), vertical with the
// maximum at the top, or horizontal with the maximum at the right.
#pragma once

#include "gui/control.h"
#include "gui/input.h"

namespace qx::gui {

enum class Orientation { Vertical, Horizontal };

class CSlider : public CControl {
  public:
    // `travel` is the part of the view the handle moves in (defaults to the whole view).
    CSlider(const CRect& size, CControlListener* listener, int tag, Orientation orientation,
            BitmapRef track, BitmapRef handle);

    void setTravel(const CRect& travel) { travel_ = travel; }
    Orientation orientation() const { return orientation_; }
    // Where the handle is drawn for the current value.
    CRect handleRect() const;

    void draw(CDrawContext& context) override;
    bool onMouseDown(CPoint where, const MouseState& state) override;
    void onMouseMoved(CPoint where, const MouseState& state) override;
    void onMouseUp(CPoint where, const MouseState& state) override;
    bool onWheel(CPoint where, float distance, const MouseState& state) override;

  private:
    int handleLength() const;
    int travelLength() const;
    // Pointer coordinate along the axis, growing towards the maximum.
    int axisCoordinate(CPoint where) const;
    // Position (0..1) that puts the handle's centre under the pointer.
    float positionUnder(CPoint where) const;

    Orientation orientation_;
    BitmapRef handle_;
    CRect travel_;
    DragGesture gesture_;
};

}  // namespace qx::gui
