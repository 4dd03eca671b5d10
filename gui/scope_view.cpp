#include "gui/scope_view.h"

#include <algorithm>
#include <cmath>

namespace qx::gui {

CScopeView::CScopeView(const CRect& size, float xScale, float yScale) : CGraphView(size) {
    // Side on x and mid on y, zero in the middle: position 0.5 + value * scale.
    const double xSpan = 0.5 / std::max(xScale, 1e-6f);
    const double ySpan = 0.5 / std::max(yScale, 1e-6f);
    setAxes(CGraphAxis::linear(-xSpan, xSpan), CGraphAxis::linear(-ySpan, ySpan));
}

void CScopeView::setPairs(const float* left, const float* right, int count) {
    if (!left || !right) return;
    count = std::clamp(count, 0, kMaxPairs);
    bool changed = count != count_;
    for (int i = 0; i < count; ++i) {
        const float l = std::isfinite(left[i]) ? left[i] : 0.0f;
        const float r = std::isfinite(right[i]) ? right[i] : 0.0f;
        changed |= left_[static_cast<size_t>(i)] != l || right_[static_cast<size_t>(i)] != r;
        left_[static_cast<size_t>(i)] = l;
        right_[static_cast<size_t>(i)] = r;
    }
    count_ = count;
    if (changed) dataChanged();
}

void CScopeView::setDotColor(CColor color) {
    dot_ = color;
    setDirty();
}

void CScopeView::drawData(CDrawContext& context) {
    plotPoints(
        context, count_,
        [&](int i) {
            const double l = left_[static_cast<size_t>(i)], r = right_[static_cast<size_t>(i)];
            return std::pair{r - l, l + r};
        },
        dot_);
}

}  // namespace qx::gui
