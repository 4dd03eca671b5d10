// Integer pixel geometry of the toolkit: points and half-open rectangles in frame
// coordinates (origin at the top left of the editor), and sub-pixel points for paths.
#pragma once

#include <algorithm>

namespace qx::gui {

struct CPoint {
    int x = 0;
    int y = 0;
};

// A point of a path; whole numbers are pixel corners, so x + 0.5 is the centre of column x.
struct CPointF {
    float x = 0.0f;
    float y = 0.0f;
};

// [left, right) x [top, bottom).
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr CRect sized(int x, int y, int width, int height) {
        return {x, y, x + width, y + height};
    }
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr long area() const { return empty() ? 0L : long{width()} * height(); }
    constexpr bool empty() const { return right <= left || bottom <= top; }
    constexpr bool contains(CPoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    constexpr bool encloses(const CRect& r) const {
        return r.left >= left && r.right <= right && r.top >= top && r.bottom <= bottom;
    }
    constexpr bool intersects(const CRect& r) const {
        return !empty() && !r.empty() && r.left < right && left < r.right && r.top < bottom &&
               top < r.bottom;
    }
    CRect intersection(const CRect& r) const {
        CRect out{std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
                  std::min(bottom, r.bottom)};
        return out.empty() ? CRect{} : out;
    }
    // Smallest rectangle holding both; an empty operand is ignored.
    CRect united(const CRect& r) const {
        if (empty()) return r;
        if (r.empty()) return *this;
        return {std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
                std::max(bottom, r.bottom)};
    }
    CRect offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    CRect inset(int dx, int dy) const { return {left + dx, top + dy, right - dx, bottom - dy}; }
    bool operator==(const CRect&) const = default;
};

struct CColor {
    unsigned char r = 0, g = 0, b = 0, a = 255;
    bool operator==(const CColor&) const = default;
};

}  // namespace qx::gui
