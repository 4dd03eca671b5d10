// A goniometer on the graph base: stereo sample pairs plotted as single dots, mid (L + R)
// upwards and side (R - L) to the right, so a mono signal draws a vertical line and a
// left-only one a diagonal from the upper left to the lower right.
#pragma once

#include <array>

#include "gui/graph.h"

namespace qx::gui {

class CScopeView : public CGraphView {
  public:
    static constexpr int kMaxPairs = 256;

    // A pair lands at x = centre + (R - L) xScale width, y = centre - (L + R) yScale height.
    CScopeView(const CRect& size, float xScale = 0.17f, float yScale = 0.22f);

    // UI thread: the pairs to show (at most kMaxPairs); marks the view for redrawing only
    // when they differ from what it shows.
    void setPairs(const float* left, const float* right, int count);
    void setDotColor(CColor color);
    int numPairs() const { return count_; }

  protected:
    void drawData(CDrawContext& context) override;

  private:
    std::array<float, kMaxPairs> left_{};
    std::array<float, kMaxPairs> right_{};
    int count_ = 0;
    CColor dot_{140, 255, 255};
};

}  // namespace qx::gui
