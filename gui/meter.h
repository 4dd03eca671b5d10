// Level meters: a lit bar bitmap drawn over an unlit one, from the bottom (vertical) or the
// left (horizontal); meters whose bar falls back by time; K-scale meters with one lit bar
// per scale. Meters are live views (redrawn at the frame's live rate).
#pragma once

#include <atomic>
#include <vector>

#include "gui/ballistics.h"
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

// A meter whose bar rises at once and falls back by time until it meets the reading (a
// negative rate makes a gain-reduction meter: it drops at once and rises back), with an
// optional peak mark.
class CFallOffMeter : public CVuMeter {
  public:
    // `fallPerSecond`: value units per second (see Ballistics for dB and negative rates).
    CFallOffMeter(const CRect& size, BitmapRef onBitmap, BitmapRef offBitmap, float fallPerSecond,
                  int steps = 0, Orientation orientation = Orientation::Vertical);

    // UI thread, once per idle: the new reading; the bar moves by the ballistics over the
    // time since the previous reading (the frame's clock).
    void setValue(float reading) override;
    // Shows the bar at `value` at once (start values, resets).
    void resetValue(float value);
    void setBallistics(const Ballistics& ballistics) { ballistics_ = ballistics; }
    const Ballistics& ballistics() const { return ballistics_; }
    // Peak mark position, 0..1; 0 hides the mark.
    void setPeakValue(float value);
    float getPeakValue() const { return peak_.load(std::memory_order_relaxed); }
    void draw(CDrawContext& context) override;

  private:
    Ballistics ballistics_;
    double lastReading_ = 0.0;
    bool haveReading_ = false;
    std::atomic<float> peak_{0.0f};
};

// The scales of the K system: peak (0 dB reference), K12, K14, K20.
constexpr int kNumKScales = 4;
constexpr float kKScaleOffsetsDb[kNumKScales] = {0.0f, 12.0f, 14.0f, 20.0f};

// A level meter with one lit bar per scale (for example peak, K12, K14, K20) and the
// scale's offset in dB, which read-outs beside it add.
class CKScaleMeter : public CFallOffMeter {
  public:
    struct Scale {
        BitmapRef lit;
        float offsetDb = 0.0f;
    };
    CKScaleMeter(const CRect& size, BitmapRef unlit, std::vector<Scale> scales, float fallPerSecond,
                 int steps = 0, Orientation orientation = Orientation::Vertical);

    // UI thread: shows scale `index` (ignored when out of range).
    void selectScale(int index);
    int scale() const { return scale_; }
    int numScales() const { return static_cast<int>(scales_.size()); }
    float offsetDb() const;

  private:
    std::vector<Scale> scales_;
    int scale_ = 0;
};

}  // namespace qx::gui
