// Filmstrip controls with few states: the two-state button and the display-only bitmap
// that switches between the images of a strip.
#pragma once

#include "gui/control.h"

namespace qx::gui {

// Two images stacked vertically (off, on); a click toggles between min and max.
class CMovieButton : public CControl {
  public:
    CMovieButton(const CRect& size, CControlListener* listener, int tag, BitmapRef strip);
    void draw(CDrawContext& context) override;
    bool onMouseDown(CPoint where, const MouseState& state) override;
    bool isOn() const { return getValue() > (min_ + max_) / 2; }
};

// `frames` images stacked vertically; the value (0..1) picks one. No input.
class CMovieBitmap : public CControl {
  public:
    CMovieBitmap(const CRect& size, CControlListener* listener, int tag, int frames,
                 BitmapRef strip);
    void draw(CDrawContext& context) override;
    int currentFrame() const;

  private:
    int frames_;
};

}  // namespace qx::gui
