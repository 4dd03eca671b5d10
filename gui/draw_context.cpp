#include "gui/draw_context.h"

#include <cmath>

namespace qx::gui {

namespace {

void setColor(cairo_t* cr, CColor c) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
}

}  // namespace

CDrawContext::CDrawContext(cairo_t* cairo) : cairo_(cairo) {
    // Text crisp at 1:1: grey antialiasing, hinted outlines and metrics.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cairo_, options);
    cairo_font_options_destroy(options);
}

void CDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& dest, CPoint source) {
    if (!bitmap.valid() || dest.empty()) return;
    cairo_save(cairo_);
    cairo_rectangle(cairo_, dest.left, dest.top, dest.width(), dest.height());
    cairo_clip(cairo_);
    cairo_set_source_surface(cairo_, bitmap.surface(), dest.left - source.x, dest.top - source.y);
    cairo_pattern_set_filter(cairo_get_source(cairo_), CAIRO_FILTER_NEAREST);
    cairo_paint(cairo_);
    cairo_restore(cairo_);
}

void CDrawContext::fillRect(const CRect& rect, CColor color) {
    setColor(cairo_, color);
    cairo_rectangle(cairo_, rect.left, rect.top, rect.width(), rect.height());
    cairo_fill(cairo_);
}

void CDrawContext::frameRect(const CRect& rect, CColor color, double lineWidth) {
    setColor(cairo_, color);
    cairo_set_line_width(cairo_, lineWidth);
    const double inset = lineWidth / 2;
    cairo_rectangle(cairo_, rect.left + inset, rect.top + inset, rect.width() - lineWidth,
                    rect.height() - lineWidth);
    cairo_stroke(cairo_);
}

void CDrawContext::selectFont(const CFont& font) {
    cairo_select_font_face(cairo_, font.family, CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo_, font.size);
}

double CDrawContext::textWidth(const char* text, const CFont& font) {
    selectFont(font);
    cairo_text_extents_t extents;
    cairo_text_extents(cairo_, text, &extents);
    return extents.x_advance;
}

void CDrawContext::drawString(const char* text, const CRect& rect, const CFont& font, CColor color,
                              TextAlign align) {
    if (!text || !*text || rect.empty()) return;
    cairo_save(cairo_);
    clip(rect);
    selectFont(font);
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cairo_, &fontExtents);
    cairo_text_extents_t extents;
    cairo_text_extents(cairo_, text, &extents);
    double x = rect.left + 2;
    if (align == TextAlign::Center) x = rect.left + (rect.width() - extents.x_advance) / 2;
    if (align == TextAlign::Right) x = rect.right - 2 - extents.x_advance;
    // Baseline so the ascent-minus-descent box sits in the middle, on a whole pixel.
    const double y =
        std::round(rect.top + (rect.height() + fontExtents.ascent - fontExtents.descent) / 2);
    setColor(cairo_, color);
    cairo_move_to(cairo_, std::round(x), y);
    cairo_show_text(cairo_, text);
    cairo_restore(cairo_);
}

void CDrawContext::clip(const CRect& rect) {
    cairo_rectangle(cairo_, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cairo_);
}

}  // namespace qx::gui
