#include "gui/gdi/stroke.h"

#include <algorithm>
#include <cmath>

namespace qx::gui::gdi {

namespace {

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

bool usable(CPointF p) {
    return std::abs(p.x) < 1.0e6f && std::abs(p.y) < 1.0e6f;
}

class Rasteriser {
  public:
    Rasteriser(const CRect& area, float halfWidth, std::vector<float>& coverage)
        : area_(area), half_(halfWidth), coverage_(coverage) {}

    // The piece from p to q; `capped` ends get `cap`, the others are round joints.
    void piece(CPointF p, CPointF q, bool cappedStart, bool cappedEnd, LineCap cap) {
        const bool round0 = !cappedStart || cap == LineCap::Round;
        const bool round1 = !cappedEnd || cap == LineCap::Round;
        const float ext0 = cappedStart && cap == LineCap::Square ? half_ : 0.0f;
        const float ext1 = cappedEnd && cap == LineCap::Square ? half_ : 0.0f;
        const float dx = q.x - p.x, dy = q.y - p.y;
        const float length = std::sqrt(dx * dx + dy * dy);
        // A zero-length piece has no direction: only round or square ends draw a dot.
        const float ux = length > 1e-6f ? dx / length : 1.0f;
        const float uy = length > 1e-6f ? dy / length : 0.0f;
        if (length <= 1e-6f && !round0 && ext0 == 0.0f) return;
        const float reach = half_ + std::max(ext0, ext1) + 1.0f;
        const CRect box = CRect{static_cast<int>(std::floor(std::min(p.x, q.x) - reach)),
                                static_cast<int>(std::floor(std::min(p.y, q.y) - reach)),
                                static_cast<int>(std::ceil(std::max(p.x, q.x) + reach)),
                                static_cast<int>(std::ceil(std::max(p.y, q.y) + reach))}
                              .intersection(area_);
        for (int y = box.top; y < box.bottom; ++y) {
            float* row = coverage_.data() + static_cast<std::size_t>(y - area_.top) * area_.width();
            const float cy = static_cast<float>(y) + 0.5f - p.y;
            for (int x = box.left; x < box.right; ++x) {
                const float cx = static_cast<float>(x) + 0.5f - p.x;
                const float along = cx * ux + cy * uy;
                float c;
                if (along < 0.0f && round0) {
                    c = clamp01(half_ - std::sqrt(cx * cx + cy * cy) + 0.5f);
                } else if (along > length && round1) {
                    const float ex = cx - dx, ey = cy - dy;
                    c = clamp01(half_ - std::sqrt(ex * ex + ey * ey) + 0.5f);
                } else {
                    c = clamp01(half_ - std::abs(cx * -uy + cy * ux) + 0.5f);
                    if (!round0) c *= clamp01(along + ext0 + 0.5f);
                    if (!round1) c *= clamp01(length + ext1 - along + 0.5f);
                }
                float& cell = row[x - area_.left];
                cell = std::max(cell, c);
            }
        }
    }

  private:
    CRect area_;
    float half_;
    std::vector<float>& coverage_;
};

}  // namespace

void strokeCoverage(const CPointF* points, int count, const CLineStyle& style, const CRect& area,
                    std::vector<float>& coverage) {
    coverage.assign(static_cast<std::size_t>(std::max(0L, area.area())), 0.0f);
    if (area.empty() || count < 2 || !(style.width > 0.0f)) return;
    Rasteriser raster(area, style.width / 2.0f, coverage);
    const float dash = style.dash > 0.0f ? style.dash : 0.0f;
    // Position in the dash pattern (on for `dash`, off for `dash`), carried across joints.
    float phase = 0.0f;
    for (int i = 1; i < count; ++i) {
        const CPointF a = points[i - 1], b = points[i];
        if (!usable(a) || !usable(b)) continue;
        // The polyline's own ends carry the cap; a break at a non-finite point does too.
        const bool first = i == 1 || !usable(points[i - 2]);
        const bool last = i == count - 1 || !usable(points[i + 1]);
        if (dash == 0.0f) {
            raster.piece(a, b, first, last, style.cap);
            continue;
        }
        const float dx = b.x - a.x, dy = b.y - a.y;
        const float length = std::sqrt(dx * dx + dy * dy);
        float at = 0.0f;
        while (at < length) {
            const bool on = std::fmod(phase, 2.0f * dash) < dash;
            const float left = dash - std::fmod(phase, dash);
            const float step = std::min(left, length - at);
            if (on) {
                const float t0 = at / length, t1 = (at + step) / length;
                raster.piece({a.x + dx * t0, a.y + dy * t0}, {a.x + dx * t1, a.y + dy * t1}, true,
                             true, style.cap);
            }
            at += step;
            phase = std::fmod(phase + step, 2.0f * dash);
        }
    }
}

}  // namespace qx::gui::gdi
