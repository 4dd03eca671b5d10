// The one-pixel line writer (gui/pixel_lines.h) on a cairo context: its target's pixels
// inside its clip rectangles, with cairo told which pixels changed behind its back.
#pragma once

#include <cairo.h>

#include "gui/pixel_lines.h"

namespace qx::gui::cairo_backend {

class PixelWriter {
  public:
    // Prepares writing for context `c`: true when its target is an RGB24 image surface, its
    // transformation the identity and its clip a list of rectangles (what the toolkit
    // makes); otherwise the caller draws with cairo.
    bool begin(cairo_t* c);
    // Tells cairo which pixels changed.
    ~PixelWriter();

    void polyline(const CPointF* points, int count, CColor color, bool antialias) {
        lines_.polyline(points, count, color, antialias);
    }
    void dots(const CPointF* points, int count, CColor color) { lines_.dots(points, count, color); }

  private:
    cairo_surface_t* surface_ = nullptr;
    PixelLines lines_;
};

}  // namespace qx::gui::cairo_backend
