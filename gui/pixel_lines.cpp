#include "gui/pixel_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qx::gui {

bool PixelLines::begin(unsigned char* data, int stride, const CRect* clips, int count) {
    if (!data || count > kMaxClips) return false;
    data_ = data;
    stride_ = stride;
    clipCount_ = 0;
    for (int i = 0; i < count; ++i)
        if (!clips[i].empty()) clips_[static_cast<size_t>(clipCount_++)] = clips[i];
    return true;
}

void PixelLines::blend(int x, int y, float coverage, CColor color) {
    if (coverage <= 0.0f) return;
    bool inside = false;
    for (int i = 0; i < clipCount_ && !inside; ++i)
        inside = clips_[static_cast<size_t>(i)].contains({x, y});
    if (!inside) return;
    auto* pixel = reinterpret_cast<std::uint32_t*>(data_ + y * stride_) + x;
    const float a = std::min(coverage, 1.0f) * color.a / 255.0f;
    const auto mix = [a](std::uint32_t under, unsigned over) {
        return static_cast<std::uint32_t>(static_cast<float>(under) +
                                          (static_cast<float>(over) - under) * a + 0.5f);
    };
    const std::uint32_t p = *pixel;
    *pixel = mix(p >> 16 & 0xff, color.r) << 16 | mix(p >> 8 & 0xff, color.g) << 8 |
             mix(p & 0xff, color.b);
    touched_ = touched_.united(CRect::sized(x, y, 1, 1));
}

void PixelLines::segment(CPointF from, CPointF to, bool last, CColor color, bool antialias) {
    // Pixel-centre space: pixel (i, j) is centred on (i, j).
    const float x0 = from.x - 0.5f, y0 = from.y - 0.5f, x1 = to.x - 0.5f, y1 = to.y - 0.5f;
    const bool steep = std::abs(y1 - y0) > std::abs(x1 - x0);
    // Along the major axis from one end to the other; the end pixel belongs to the next
    // segment, so a joint is covered once.
    const float a0 = steep ? y0 : x0, a1 = steep ? y1 : x1;
    const float b0 = steep ? x0 : y0, b1 = steep ? x1 : y1;
    const int start = static_cast<int>(std::lround(a0)), end = static_cast<int>(std::lround(a1));
    const int step = end >= start ? 1 : -1;
    const float slope = a1 != a0 ? (b1 - b0) / (a1 - a0) : 0.0f;
    for (int major = start;; major += step) {
        if (major == end && !last) break;
        const float minor = b0 + slope * (static_cast<float>(major) - a0);
        if (antialias) {
            const float base = std::floor(minor);
            const float f = minor - base;
            const int j = static_cast<int>(base);
            if (steep) {
                blend(j, major, 1.0f - f, color);
                blend(j + 1, major, f, color);
            } else {
                blend(major, j, 1.0f - f, color);
                blend(major, j + 1, f, color);
            }
        } else {
            const int j = static_cast<int>(std::lround(minor));
            if (steep)
                blend(j, major, 1.0f, color);
            else
                blend(major, j, 1.0f, color);
        }
        if (major == end) break;
    }
}

void PixelLines::polyline(const CPointF* points, int count, CColor color, bool antialias) {
    for (int i = 1; i < count; ++i) {
        const CPointF a = points[i - 1], b = points[i];
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) ||
            !std::isfinite(b.y))
            continue;
        // Far outside every clip there is nothing to draw (and no reason to walk it).
        constexpr float kFar = 1.0e6f;
        if (std::abs(a.x) > kFar || std::abs(a.y) > kFar || std::abs(b.x) > kFar ||
            std::abs(b.y) > kFar)
            continue;
        segment(a, b, i == count - 1, color, antialias);
    }
}

void PixelLines::dots(const CPointF* points, int count, CColor color) {
    for (int i = 0; i < count; ++i) {
        if (!(std::abs(points[i].x) < 1.0e6f && std::abs(points[i].y) < 1.0e6f)) continue;
        blend(static_cast<int>(std::floor(points[i].x)), static_cast<int>(std::floor(points[i].y)),
              1.0f, color);
    }
}

}  // namespace qx::gui
