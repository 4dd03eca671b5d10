// Antialiased strokes for the GDI backend, whose own pens have hard edges: the coverage of a
// line of any width, with its caps, joints and dashes, rasterised into a buffer that the
// context then blends in one pass (so joints and crossings are not blended twice).
#pragma once

#include <vector>

#include "gui/draw_context.h"

namespace qx::gui::gdi {

// Coverage 0..1 of the stroke of `style` through `points` over `area` (frame pixels): one
// float per pixel, rows of area.width(), resized and cleared here. Interior joints are round;
// the ends (and each dash's) get style.cap. Non-finite points break the line there.
void strokeCoverage(const CPointF* points, int count, const CLineStyle& style, const CRect& area,
                    std::vector<float>& coverage);

}  // namespace qx::gui::gdi
