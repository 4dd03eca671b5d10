#include "gui/cairo/pixel_writer.h"

#include <cmath>

namespace qx::gui::cairo_backend {

bool PixelWriter::begin(cairo_t* c) {
    cairo_surface_t* target = cairo_get_target(c);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_RGB24)
        return false;
    cairo_matrix_t m;
    cairo_get_matrix(c, &m);
    if (m.xx != 1.0 || m.yy != 1.0 || m.xy != 0.0 || m.yx != 0.0 || m.x0 != 0.0 || m.y0 != 0.0)
        return false;
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(c);
    const bool rectangles =
        list->status == CAIRO_STATUS_SUCCESS && list->num_rectangles <= PixelLines::kMaxClips;
    const CRect bounds{0, 0, cairo_image_surface_get_width(target),
                       cairo_image_surface_get_height(target)};
    CRect clips[PixelLines::kMaxClips];
    int count = 0;
    for (int i = 0; rectangles && i < list->num_rectangles; ++i) {
        const cairo_rectangle_t& r = list->rectangles[i];
        clips[count++] = CRect{static_cast<int>(std::ceil(r.x)), static_cast<int>(std::ceil(r.y)),
                               static_cast<int>(std::floor(r.x + r.width)),
                               static_cast<int>(std::floor(r.y + r.height))}
                             .intersection(bounds);
    }
    cairo_rectangle_list_destroy(list);
    if (!rectangles) return false;
    cairo_surface_flush(target);  // cairo's own drawing lands first
    if (!lines_.begin(cairo_image_surface_get_data(target), cairo_image_surface_get_stride(target),
                      clips, count))
        return false;
    surface_ = target;
    return true;
}

PixelWriter::~PixelWriter() {
    const CRect& touched = lines_.touched();
    if (surface_ && !touched.empty())
        cairo_surface_mark_dirty_rectangle(surface_, touched.left, touched.top, touched.width(),
                                           touched.height());
}

}  // namespace qx::gui::cairo_backend
