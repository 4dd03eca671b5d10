// Level meters: a lit bar bitmap drawn over an unlit one, from the bottom (vertical) or the
// left (horizontal).
#pragma once

#include <atomic>

#include "gui/control.h"
#include "gui/slider.h"

namespace qx::gui {

class CVuMeter : public CControl {
  public:
    // `steps`: the bar grows in this many equal steps (0: one per pixel).
    CVuMeter(const CRect& size, BitmapRef onBitmap, BitmapRef offBitmap, int steps = 0,
             Orientation orientation = Orientation::Vertical);
    void draw(CDrawContext& context) override;
    // Pixels of the bar lit for a value (0..1).
    int litLength(float value) const;
    // UI thread: switches the lit bar (for example with the meter's scale); the unlit one is
    // the background (setBackground).
    void setLitBitmap(BitmapRef bitmap);

  protected:
    int length() const;
    // Draws the lit bitmap over the part of the bar from `from` to `to` pixels.
    void drawLit(CDrawContext& context, int from, int to);

    BitmapRef on_;
    Orientation orientation_;
    int steps_;
};

// A meter whose bar falls back by `step` per update until it meets the reading (a negative
// step makes a gain-reduction meter: it drops at once and rises back gradually), with an
// optional peak mark.
class CFallOffMeter : public CVuMeter {
  public:
    CFallOffMeter(const CRect& size, BitmapRef onBitmap, BitmapRef offBitmap, float step,
                  int steps = 0, Orientation orientation = Orientation::Vertical);

    // UI thread, once per idle: the new reading; the bar moves by the fall-off rule.
    void setValue(float reading) override;
    // Shows the bar at `value` at once (start values, resets).
    void resetValue(float value) { CVuMeter::setValue(value); }
    // Peak mark position, 0..1; 0 hides the mark.
    void setPeakValue(float value);
    float getPeakValue() const { return peak_.load(std::memory_order_relaxed); }
    void draw(CDrawContext& context) override;

  private:
    float step_;
    std::atomic<float> peak_{0.0f};
};

}  // namespace qx::gui
