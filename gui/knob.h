// Knobs: one input behaviour (vertical drag, Shift for fine, Ctrl-click for the default,
// wheel) and several ways to draw the position.
#pragma once

#include "gui/control.h"
#include "gui/input.h"

namespace qx::gui {

// Input of every knob. The drag works on the drawn position; valueToPosition and
// positionToValue let a subclass bend the scale.
class CKnobBase : public CControl {
  public:
    CKnobBase(const CRect& size, CControlListener* listener, int tag, BitmapRef background);

    bool onMouseDown(CPoint where, const MouseState& state) override;
    void onMouseMoved(CPoint where, const MouseState& state) override;
    void onMouseUp(CPoint where, const MouseState& state) override;
    bool onWheel(CPoint where, float distance, const MouseState& state) override;

    // Pixels of vertical travel for the whole range.
    void setDragRange(float pixels) { gesture_.setPixelsPerRange(pixels); }
    virtual float valueToPosition(float value) const { return value; }
    virtual float positionToValue(float position) const { return position; }
    float position() const { return valueToPosition(getValue()); }

  private:
    DragGesture gesture_;
};

// A background bitmap with a drawn pointer line from the centre.
class CKnob : public CKnobBase {
  public:
    CKnob(const CRect& size, CControlListener* listener, int tag, BitmapRef background);
    void draw(CDrawContext& context) override;
    void setPointerColor(CColor color) { pointerColor_ = color; }
    // Radius of the pointer's inner and outer end, in pixels.
    void setPointerInset(float inner, float outer) {
        pointerInner_ = inner;
        pointerOuter_ = outer;
    }

  private:
    CColor pointerColor_{240, 240, 240};
    float pointerInner_ = 4.0f;
    float pointerOuter_ = 0.0f;  // 0: radius minus 4 pixels
};

// A filmstrip of `frames` images stacked vertically, one per position.
class CAnimKnob : public CKnobBase {
  public:
    CAnimKnob(const CRect& size, CControlListener* listener, int tag, int frames, BitmapRef strip);
    void draw(CDrawContext& context) override;
    int frames() const { return frames_; }
    int currentFrame() const;

  private:
    int frames_;
};

// A filmstrip knob that draws value^e and reports position^(1/e) when moved.
class CExpKnob : public CAnimKnob {
  public:
    CExpKnob(const CRect& size, CControlListener* listener, int tag, int frames, BitmapRef strip,
             float exponent = 1.0f);
    float valueToPosition(float value) const override;
    float positionToValue(float position) const override;

  private:
    float exponent_;
};

}  // namespace qx::gui
