// The base of the toolkit's live displays (spectrum, transfer curve, goniometer): axes that
// map values to pixels (linear, logarithmic, decibel or any mapping an editor supplies), a
// grid with labels, and plotting helpers for polylines, point clouds and markers. A graph is
// a live view: it redraws at the frame's live rate, and only after whoever feeds it marked
// its data changed.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "gui/view.h"

namespace qx::gui {

// Places values along an axis: position 0 at the left (or bottom) end, 1 at the other.
class CGraphAxis {
  public:
    using Map = std::function<double(double)>;

    // Linear from lo to hi.
    static CGraphAxis linear(double lo, double hi);
    // Logarithmic from lo to hi (both > 0); values at or below 0 lie far below lo.
    static CGraphAxis logarithmic(double lo, double hi);
    // Linear amplitudes (dbPerDecade 20) or powers (10) on a range of loDb..hiDb.
    static CGraphAxis decibel(double loDb, double hiDb, double dbPerDecade = 20.0);
    // Any monotonic mapping with its inverse.
    static CGraphAxis custom(Map toPosition, Map fromPosition);

    double position(double value) const;
    double value(double position) const;

  private:
    enum class Scale { Linear, Logarithmic, Decibel, Custom };
    Scale scale_ = Scale::Linear;
    double lo_ = 0.0;
    double hi_ = 1.0;
    double dbPerDecade_ = 20.0;
    Map toPosition_;
    Map fromPosition_;
};

struct GraphStyle {
    // Filled before the background bitmap (if any) and the grid; alpha 0: none, for a
    // bitmap that covers the whole view.
    CColor background{14, 16, 18};
    CColor grid{62, 66, 72};
    float gridDash = 0.0f;  // 0: solid grid lines
    CColor label{160, 160, 160};
    CFont labelFont{"DejaVu Sans", 8.0, false};
};

struct GridLine {
    double value;
    std::string label;  // empty: no label
};

class CGraphView : public CView {
  public:
    explicit CGraphView(const CRect& size);

    // The part of the view the axes span (default: the whole view).
    void setPlotArea(const CRect& plot);
    const CRect& plotArea() const { return plot_; }
    void setAxes(CGraphAxis x, CGraphAxis y);
    const CGraphAxis& xAxis() const { return x_; }
    const CGraphAxis& yAxis() const { return y_; }
    // Vertical grid lines at x values, labelled along the bottom; horizontal ones at y
    // values, labelled at the left.
    void setGrid(std::vector<GridLine> xLines, std::vector<GridLine> yLines);
    void setStyle(const GraphStyle& style);
    const GraphStyle& style() const { return style_; }

    // Frame coordinates of the centre of the pixel a value falls on: position 0 is the first
    // column (bottom row) of the plot area, 1 the last column (top row).
    float xPixel(double x) const;
    float yPixel(double y) const;
    // The values at a pixel (frame coordinates).
    double xValue(float pixel) const;
    double yValue(float pixel) const;

    // Any thread: the data changed; the view is redrawn on the next live redraw.
    void dataChanged() { setDirty(); }

    void draw(CDrawContext& context) override;
    // Adds the whole view when it is dirty, otherwise only the areas given to damageArea.
    void collectDirty(CDamageList& damage, bool live) override;

  protected:
    // Draws the data, clipped to the plot area, over background and grid.
    virtual void drawData(CDrawContext& /*context*/) {}
    // UI thread: only `area` (frame coordinates) needs redrawing on the next live redraw,
    // for data that moved there; cheaper than dataChanged when most of the view stays. Areas
    // damaged before the redraw are joined into one rectangle.
    void damageArea(const CRect& area) { partial_ = partial_.united(area.intersection(size_)); }
    // Called when the plot area or the axes change: data pixels computed before are stale.
    virtual void layoutChanged() {}
    // During draw: whether any of `area` (frame coordinates) is being redrawn; what lies
    // wholly outside may be left out.
    bool meetsClip(const CRect& area) const;

    // A pixel for (x, y), held inside the plot area so curves run along its edges rather
    // than leave it.
    CPointF plotPoint(double x, double y) const;
    // Its coordinates one at a time.
    float plotX(double x) const;
    float plotY(double y) const;
    // Joins count points (x, y) = at(i); `at` returns a std::pair of values.
    template <class At>
    void plotPolyline(CDrawContext& context, int count, At at, const CLineStyle& style) {
        context.polyline(mapPoints(count, at), count, style);
    }
    // One dot per point, on the pixel the point falls on (points outside are left out).
    template <class At>
    void plotPoints(CDrawContext& context, int count, At at, CColor color, int size = 1) {
        scratch_.resize(static_cast<size_t>(std::max(count, 0)));
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            const auto [x, y] = at(i);
            const CPointF p{xPixel(x), yPixel(y)};
            if (plot_.contains(
                    {static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y))}))
                scratch_[static_cast<size_t>(kept++)] = p;
        }
        context.points(scratch_.data(), kept, color, size);
    }
    // A filled dot of `radius` pixels at (x, y).
    void plotMarker(CDrawContext& context, double x, double y, float radius, CColor color);

  private:
    template <class At>
    const CPointF* mapPoints(int count, At at) {
        scratch_.resize(static_cast<size_t>(std::max(count, 0)));
        for (int i = 0; i < count; ++i) {
            const auto [x, y] = at(i);
            scratch_[static_cast<size_t>(i)] = plotPoint(x, y);
        }
        return scratch_.data();
    }
    void drawGrid(CDrawContext& context);

    CRect plot_;
    CGraphAxis x_;
    CGraphAxis y_;
    std::vector<GridLine> xGrid_;
    std::vector<GridLine> yGrid_;
    GraphStyle style_;
    std::vector<CPointF> scratch_;  // grows to the largest plot, then stays
    CRect partial_;
    // The clip of the draw in progress; -1: unknown, everything counts as inside.
    std::array<CRect, 64> clips_{};
    int clipCount_ = -1;
};

}  // namespace qx::gui
