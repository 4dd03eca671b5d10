// One-pixel lines and dots written straight into the pixels of an xRGB image surface,
// clipped to the context's clip rectangles: a thousand-point curve costs microseconds here,
// where cairo's general stroker takes the better part of a millisecond.
#pragma once

#include <cairo.h>

#include <array>

#include "gui/geometry.h"

namespace qx::gui::cairo_backend {

class PixelWriter {
  public:
    // Prepares writing for context `c`: true when its target is an RGB24 image surface, its
    // transformation the identity and its clip a list of rectangles (what the toolkit
    // makes); otherwise the caller draws with cairo.
    bool begin(cairo_t* c);
    // Tells cairo which pixels changed behind its back.
    ~PixelWriter();

    // Joined segments one pixel wide through pixel-centre coordinates (x + 0.5 is the centre
    // of column x); antialiased by coverage of the two nearest pixels, or the nearest only.
    void polyline(const CPointF* points, int count, CColor color, bool antialias);
    // The pixel under each point.
    void dots(const CPointF* points, int count, CColor color);

  private:
    void segment(CPointF from, CPointF to, bool last, CColor color, bool antialias);
    void blend(int x, int y, float coverage, CColor color);

    cairo_surface_t* surface_ = nullptr;
    unsigned char* data_ = nullptr;
    int stride_ = 0;
    std::array<CRect, 32> clips_{};
    int clipCount_ = 0;
    CRect touched_;
};

}  // namespace qx::gui::cairo_backend
