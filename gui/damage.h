// The parts of a frame that need repainting: a short list of rectangles, merged only where
// merging wastes little, so a live view in one corner and a meter in the other are redrawn
// and sent as two small areas instead of one box around both. Fixed storage, no allocation.
#pragma once

#include <array>

#include "gui/geometry.h"

namespace qx::gui {

class CDamageList {
  public:
    static constexpr int kMaxRects = 16;

    // Adds an area: dropped when empty or already covered, merged with a neighbour when the
    // union wastes at most a quarter of its area, otherwise kept apart. Past kMaxRects the
    // two rectangles whose union wastes least are merged.
    void add(const CRect& area);
    void clear() { count_ = 0; }
    bool empty() const { return count_ == 0; }
    int size() const { return count_; }
    const CRect& operator[](int i) const { return rects_[static_cast<size_t>(i)]; }
    const CRect* begin() const { return rects_.data(); }
    const CRect* end() const { return rects_.data() + count_; }
    // Pixels covered (the rectangles never overlap by more than what merging left).
    long area() const;
    CRect bounds() const;
    bool intersects(const CRect& area) const;

  private:
    void removeAt(int i) { rects_[static_cast<size_t>(i)] = rects_[static_cast<size_t>(--count_)]; }
    void mergeCheapestPair();

    std::array<CRect, kMaxRects + 1> rects_{};
    int count_ = 0;
};

}  // namespace qx::gui
