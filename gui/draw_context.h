// The drawing context views paint with: bitmaps, rectangles, text and paths on a pixel
// buffer, clipped to the area being redrawn. The one place (with CBitmap and COffscreen)
// that knows the drawing backend; views, controls and editors see only this interface.
#pragma once

#include "gui/bitmap.h"
#include "gui/geometry.h"
#include "gui/offscreen.h"

namespace qx::gui {

enum class TextAlign { Left, Center, Right };

struct CFont {
    const char* family = "DejaVu Sans";
    double size = 11.0;
    bool bold = false;
};

// Butt ends at the end point; Round and Square reach half the width beyond it.
enum class LineCap { Butt, Round, Square };

struct CLineStyle {
    CColor color{255, 255, 255};
    float width = 1.0f;
    LineCap cap = LineCap::Butt;
    // Length of the dashes and of the gaps between them; 0 draws a solid line.
    float dash = 0.0f;
    // false: hard edges, for lines that must land on whole pixels.
    bool antialias = true;
};

class CDrawContext {
  public:
    // Draws into `target` until destroyed; the pixels are in the buffer from then on.
    explicit CDrawContext(COffscreen& target);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    // Copies the part of `bitmap` at `source` (top left, bitmap coordinates) into `dest`.
    void drawBitmap(const CBitmap& bitmap, const CRect& dest, CPoint source = {});
    void fillRect(const CRect& rect, CColor color);
    void frameRect(const CRect& rect, CColor color, double lineWidth = 1.0);
    // One line of text, vertically centred in `rect`, clipped to it.
    void drawString(const char* text, const CRect& rect, const CFont& font, CColor color,
                    TextAlign align = TextAlign::Center);
    // Pixel width of `text` in `font`.
    double textWidth(const char* text, const CFont& font);

    // Paths, in frame coordinates (see CPointF).
    void line(CPointF from, CPointF to, const CLineStyle& style);
    // Joined segments through `count` points; fewer than two draw nothing.
    void polyline(const CPointF* points, int count, const CLineStyle& style);
    void fillPolygon(const CPointF* points, int count, CColor color);
    // A square dot of `size` pixels on the pixel that holds each point (size 1: exactly that
    // pixel), all in one colour.
    void points(const CPointF* points, int count, CColor color, int size = 1);
    // Angles in radians, clockwise from the positive x axis (screen coordinates).
    void arc(CPointF centre, float radius, float startAngle, float endAngle,
             const CLineStyle& style);
    void fillCircle(CPointF centre, float radius, CColor color);

    // Clipping: narrows the drawable area until the matching restore.
    void save();
    void restore();
    void clip(const CRect& rect);
    // The union of `count` rectangles.
    void clip(const CRect* rects, int count);
    // The current clip as at most `max` rectangles; answers how many, or -1 when it is not
    // such a list (then nothing may be left out for lying outside it).
    int clipRects(CRect* rects, int max) const;

  private:
    void selectFont(const CFont& font);
    void stroke(const CLineStyle& style);

    void* native_;  // the backend's context
    void* target_;
};

}  // namespace qx::gui
