// A band display: N vertical bars, each the control of one parameter of a family (tag =
// first tag + band), dragged one at a time, with a level overlay per band that falls by a
// set release in dB per second and a gain overlay that recovers at the same speed.
#pragma once

#include <array>
#include <functional>

#include "gui/ballistics.h"
#include "gui/control.h"
#include "gui/input.h"

namespace qx::gui {

struct BandStyle {
    // Bitmaps of a skin, drawn from the bottom like a meter's bars (at least as tall as the
    // view, as wide as a bar); without them the colours below are filled.
    BitmapRef trackBitmap;
    BitmapRef barBitmap;
    CColor track{24, 26, 30};
    CColor bar{232, 150, 40};
    CColor level{235, 235, 235};
    CColor gain{90, 180, 235};
    int gap = 2;      // pixels between bars
    int overlay = 2;  // thickness of the overlay marks
};

// One bar: a vertical control of its band's parameter. Press and drag anywhere on it: the
// value follows the pointer (Shift: ten times finer, relative), Ctrl-click: default.
class CBandBar : public CControl {
  public:
    CBandBar(const CRect& size, CControlListener* listener, int tag, const BandStyle* style);

    bool onMouseDown(CPoint where, const MouseState& state) override;
    void onMouseMoved(CPoint where, const MouseState& state) override;
    void onMouseUp(CPoint where, const MouseState& state) override;
    bool onWheel(CPoint where, float distance, const MouseState& state) override;
    void draw(CDrawContext& context) override;

    // UI thread: overlay marks at positions 0..1 of the bar (below 0: hidden); redraws only
    // when a mark moves to another pixel.
    void setOverlays(float level, float gain);
    void setViewSize(const CRect& size);

  private:
    float positionAt(CPoint where) const;
    int markRow(float position) const;

    const BandStyle* style_;
    DragGesture gesture_;
    int levelRow_ = -1;
    int gainRow_ = -1;
};

class CBandView : public CViewContainer {
  public:
    static constexpr int kMaxBands = 32;
    // Maps an overlay reading (linear) to a bar position 0..1.
    using Placement = std::function<float(float linear)>;

    // `maxBands` bars (at most kMaxBands) for the parameters firstTag .. firstTag + maxBands
    // - 1, all in use.
    CBandView(const CRect& size, CControlListener* listener, int firstTag, int maxBands);

    // UI thread: bands in use (the others are hidden); the bars share the width.
    void setBandCount(int count);
    int bandCount() const { return count_; }
    int maxBands() const { return max_; }
    CBandBar* bar(int band) const;
    void setStyle(const BandStyle& style);

    // UI thread, once per idle: the readings of the bands in use. A level rises at once and
    // falls by the release; a gain drops at once and recovers by it. Null skips a kind.
    void setOverlays(const float* levels, const float* gains, int count);
    // dB per second.
    void setRelease(float dbPerSecond);
    // How readings are placed on the bars (default: 0 dB at the top, -60 dB at the bottom).
    void setPlacement(Placement placement);

  private:
    void layout();

    int max_;
    int count_;
    BandStyle style_;
    std::array<CBandBar*, kMaxBands> bars_{};
    std::array<float, kMaxBands> level_{};
    std::array<float, kMaxBands> gain_{};
    Ballistics levelBallistics_{20.0f, Ballistics::Unit::Decibel};
    Ballistics gainBallistics_{-20.0f, Ballistics::Unit::Decibel};
    Placement placement_;
    double lastReading_ = 0.0;
    bool haveReading_ = false;
};

}  // namespace qx::gui
