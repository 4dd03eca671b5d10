// CDrawContext on cairo: every drawing call of the toolkit ends up here.
#include "gui/draw_context.h"

#include <cairo.h>

#include <cmath>

#include "gui/cairo/pixel_writer.h"

namespace qx::gui {

namespace {

cairo_t* cr(void* p) {
    return static_cast<cairo_t*>(p);
}

void setColor(cairo_t* c, CColor color) {
    cairo_set_source_rgba(c, color.r / 255.0, color.g / 255.0, color.b / 255.0, color.a / 255.0);
}

void addRects(cairo_t* c, const CRect* rects, int count) {
    for (int i = 0; i < count; ++i)
        cairo_rectangle(c, rects[i].left, rects[i].top, rects[i].width(), rects[i].height());
}

}  // namespace

CDrawContext::CDrawContext(COffscreen& target)
    : native_(cairo_create(static_cast<cairo_surface_t*>(target.native()))),
      target_(target.native()) {
    // Text crisp at 1:1: grey antialiasing, hinted outlines and metrics.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr(native_), options);
    cairo_font_options_destroy(options);
}

CDrawContext::~CDrawContext() {
    cairo_destroy(cr(native_));
    cairo_surface_flush(static_cast<cairo_surface_t*>(target_));
}

void CDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& dest, CPoint source) {
    if (!bitmap.valid() || dest.empty()) return;
    cairo_t* c = cr(native_);
    cairo_save(c);
    cairo_rectangle(c, dest.left, dest.top, dest.width(), dest.height());
    cairo_clip(c);
    cairo_set_source_surface(c, static_cast<cairo_surface_t*>(bitmap.native()),
                             dest.left - source.x, dest.top - source.y);
    cairo_pattern_set_filter(cairo_get_source(c), CAIRO_FILTER_NEAREST);
    cairo_paint(c);
    cairo_restore(c);
}

void CDrawContext::fillRect(const CRect& rect, CColor color) {
    cairo_t* c = cr(native_);
    setColor(c, color);
    cairo_rectangle(c, rect.left, rect.top, rect.width(), rect.height());
    cairo_fill(c);
}

void CDrawContext::frameRect(const CRect& rect, CColor color, double lineWidth) {
    cairo_t* c = cr(native_);
    setColor(c, color);
    cairo_set_line_width(c, lineWidth);
    const double inset = lineWidth / 2;
    cairo_rectangle(c, rect.left + inset, rect.top + inset, rect.width() - lineWidth,
                    rect.height() - lineWidth);
    cairo_stroke(c);
}

void CDrawContext::selectFont(const CFont& font) {
    cairo_select_font_face(cr(native_), font.family, CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr(native_), font.size);
}

double CDrawContext::textWidth(const char* text, const CFont& font) {
    selectFont(font);
    cairo_text_extents_t extents;
    cairo_text_extents(cr(native_), text, &extents);
    return extents.x_advance;
}

void CDrawContext::drawString(const char* text, const CRect& rect, const CFont& font, CColor color,
                              TextAlign align) {
    if (!text || !*text || rect.empty()) return;
    cairo_t* c = cr(native_);
    cairo_save(c);
    clip(rect);
    selectFont(font);
    cairo_font_extents_t fontExtents;
    cairo_font_extents(c, &fontExtents);
    cairo_text_extents_t extents;
    cairo_text_extents(c, text, &extents);
    double x = rect.left + 2;
    if (align == TextAlign::Center) x = rect.left + (rect.width() - extents.x_advance) / 2;
    if (align == TextAlign::Right) x = rect.right - 2 - extents.x_advance;
    // Baseline so the ascent-minus-descent box sits in the middle, on a whole pixel.
    const double y =
        std::round(rect.top + (rect.height() + fontExtents.ascent - fontExtents.descent) / 2);
    setColor(c, color);
    cairo_move_to(c, std::round(x), y);
    cairo_show_text(c, text);
    cairo_restore(c);
}

void CDrawContext::stroke(const CLineStyle& style) {
    cairo_t* c = cr(native_);
    cairo_save(c);
    setColor(c, style.color);
    cairo_set_line_width(c, style.width);
    cairo_set_line_cap(c, style.cap == LineCap::Round    ? CAIRO_LINE_CAP_ROUND
                          : style.cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                         : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(c, CAIRO_LINE_JOIN_MITER);
    if (style.dash > 0.0f) {
        const double dash = style.dash;
        cairo_set_dash(c, &dash, 1, 0.0);
    }
    if (!style.antialias) cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
    cairo_stroke(c);
    cairo_restore(c);
}

namespace {

// Lines one pixel wide, solid, with no cap beyond the end point: written as pixels.
bool hairline(const CLineStyle& style) {
    return style.width == 1.0f && style.dash <= 0.0f && style.cap != LineCap::Round;
}

}  // namespace

void CDrawContext::line(CPointF from, CPointF to, const CLineStyle& style) {
    cairo_t* c = cr(native_);
    if (hairline(style)) {
        cairo_backend::PixelWriter writer;
        if (writer.begin(c)) {
            const CPointF points[2] = {from, to};
            writer.polyline(points, 2, style.color, style.antialias);
            return;
        }
    }
    cairo_move_to(c, from.x, from.y);
    cairo_line_to(c, to.x, to.y);
    stroke(style);
}

void CDrawContext::polyline(const CPointF* points, int count, const CLineStyle& style) {
    if (!points || count < 2) return;
    cairo_t* c = cr(native_);
    if (hairline(style)) {
        cairo_backend::PixelWriter writer;
        if (writer.begin(c)) {
            writer.polyline(points, count, style.color, style.antialias);
            return;
        }
    }
    cairo_move_to(c, points[0].x, points[0].y);
    for (int i = 1; i < count; ++i) cairo_line_to(c, points[i].x, points[i].y);
    stroke(style);
}

void CDrawContext::fillPolygon(const CPointF* points, int count, CColor color) {
    if (!points || count < 3) return;
    cairo_t* c = cr(native_);
    cairo_move_to(c, points[0].x, points[0].y);
    for (int i = 1; i < count; ++i) cairo_line_to(c, points[i].x, points[i].y);
    cairo_close_path(c);
    setColor(c, color);
    cairo_fill(c);
}

void CDrawContext::points(const CPointF* points, int count, CColor color, int size) {
    if (!points || count <= 0 || size <= 0) return;
    cairo_t* c = cr(native_);
    if (size == 1) {
        cairo_backend::PixelWriter writer;
        if (writer.begin(c)) {
            writer.dots(points, count, color);
            return;
        }
    }
    const int before = size / 2;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) continue;
        cairo_rectangle(c, std::floor(points[i].x) - before, std::floor(points[i].y) - before, size,
                        size);
    }
    setColor(c, color);
    cairo_fill(c);
}

void CDrawContext::arc(CPointF centre, float radius, float startAngle, float endAngle,
                       const CLineStyle& style) {
    cairo_t* c = cr(native_);
    cairo_new_sub_path(c);
    cairo_arc(c, centre.x, centre.y, radius, startAngle, endAngle);
    stroke(style);
}

void CDrawContext::fillCircle(CPointF centre, float radius, CColor color) {
    cairo_t* c = cr(native_);
    cairo_new_sub_path(c);
    cairo_arc(c, centre.x, centre.y, radius, 0.0, 2.0 * M_PI);
    setColor(c, color);
    cairo_fill(c);
}

void CDrawContext::save() {
    cairo_save(cr(native_));
}

void CDrawContext::restore() {
    cairo_restore(cr(native_));
}

void CDrawContext::clip(const CRect& rect) {
    clip(&rect, 1);
}

void CDrawContext::clip(const CRect* rects, int count) {
    cairo_t* c = cr(native_);
    cairo_new_path(c);
    addRects(c, rects, count);
    cairo_clip(c);
}

int CDrawContext::clipRects(CRect* rects, int max) const {
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr(native_));
    int count = -1;
    if (list->status == CAIRO_STATUS_SUCCESS && list->num_rectangles <= max) {
        count = list->num_rectangles;
        for (int i = 0; i < count; ++i) {
            const cairo_rectangle_t& r = list->rectangles[i];
            // The toolkit clips to whole pixels; round outwards all the same.
            rects[i] = {static_cast<int>(std::floor(r.x)), static_cast<int>(std::floor(r.y)),
                        static_cast<int>(std::ceil(r.x + r.width)),
                        static_cast<int>(std::ceil(r.y + r.height))};
        }
    }
    cairo_rectangle_list_destroy(list);
    return count;
}

}  // namespace qx::gui
