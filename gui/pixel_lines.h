// One-pixel lines and dots written straight into the pixels of a 32-bit xRGB buffer, clipped
// to a list of rectangles: a thousand-point curve costs microseconds here, where a general
// path stroker takes the better part of a millisecond. Shared by the drawing backends.
#pragma once

#include <array>

#include "gui/geometry.h"

namespace qx::gui {

class PixelLines {
  public:
    static constexpr int kMaxClips = 64;

    // Writes into `data` (rows `stride` bytes apart) inside the `count` clip rectangles,
    // which must lie within the buffer. False (nothing will be drawn) when there are more
    // than kMaxClips; the caller then draws another way.
    bool begin(unsigned char* data, int stride, const CRect* clips, int count);

    // Joined segments one pixel wide through pixel-centre coordinates (x + 0.5 is the centre
    // of column x); antialiased by coverage of the two nearest pixels, or the nearest only.
    void polyline(const CPointF* points, int count, CColor color, bool antialias);
    // The pixel under each point.
    void dots(const CPointF* points, int count, CColor color);
    // The pixels written so far (their bounding box). The alpha byte of each is left 0.
    const CRect& touched() const { return touched_; }

  private:
    void segment(CPointF from, CPointF to, bool last, CColor color, bool antialias);
    void blend(int x, int y, float coverage, CColor color);

    unsigned char* data_ = nullptr;
    int stride_ = 0;
    std::array<CRect, kMaxClips> clips_{};
    int clipCount_ = 0;
    CRect touched_;
};

}  // namespace qx::gui
