// The drawing context views paint with: a cairo context on the frame's back buffer,
// clipped to the area being redrawn.
#pragma once

#include <cairo.h>

#include "gui/bitmap.h"
#include "gui/geometry.h"

namespace qx::gui {

enum class TextAlign { Left, Center, Right };

struct CFont {
    const char* family = "DejaVu Sans";
    double size = 11.0;
    bool bold = false;
};

class CDrawContext {
  public:
    // Does not take over the context.
    explicit CDrawContext(cairo_t* cairo);

    cairo_t* cairo() const { return cairo_; }

    // Copies the part of `bitmap` at `source` (top left, bitmap coordinates) into `dest`.
    void drawBitmap(const CBitmap& bitmap, const CRect& dest, CPoint source = {});
    void fillRect(const CRect& rect, CColor color);
    void frameRect(const CRect& rect, CColor color, double lineWidth = 1.0);
    // One line of text, vertically centred in `rect`, clipped to it.
    void drawString(const char* text, const CRect& rect, const CFont& font, CColor color,
                    TextAlign align = TextAlign::Center);
    // Pixel width of `text` in `font`.
    double textWidth(const char* text, const CFont& font);

    void save() { cairo_save(cairo_); }
    void restore() { cairo_restore(cairo_); }
    void clip(const CRect& rect);

  private:
    void selectFont(const CFont& font);

    cairo_t* cairo_;
};

}  // namespace qx::gui
