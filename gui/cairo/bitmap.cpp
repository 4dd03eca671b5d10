// CBitmap and COffscreen on cairo image surfaces.
#include <cairo.h>

#include <cstring>

#include "gui/bitmap.h"
#include "gui/offscreen.h"

namespace qx::gui {

namespace {

struct PngReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->position < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* surface(void* p) {
    return static_cast<cairo_surface_t*>(p);
}

}  // namespace

void CBitmap::adopt(void* native) {
    cairo_surface_t* s = surface(native);
    if (!s || cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        if (s) cairo_surface_destroy(s);
        return;
    }
    surface_ = s;
    width_ = cairo_image_surface_get_width(s);
    height_ = cairo_image_surface_get_height(s);
}

CBitmap::CBitmap(const ResourceSet& resources, int id) : id_(id) {
    const Resource* resource = resources.find(id);
    if (!resource || !resource->png) return;
    PngReader reader{resource->png, resource->size, 0};
    adopt(cairo_image_surface_create_from_png_stream(&readPng, &reader));
}

CBitmap::CBitmap(int width, int height, const std::uint32_t* argb) {
    if (width <= 0 || height <= 0 || !argb) return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < height; ++y)
            std::memcpy(data + y * stride, argb + static_cast<std::size_t>(y) * width,
                        sizeof(std::uint32_t) * static_cast<std::size_t>(width));
        cairo_surface_mark_dirty(s);
    }
    adopt(s);
}

CBitmap::~CBitmap() {
    if (surface_) cairo_surface_destroy(surface(surface_));
}

COffscreen::COffscreen(int width, int height)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width > 0 ? width : 1,
                                          height > 0 ? height : 1)) {
    cairo_surface_t* s = surface(surface_);
    width_ = cairo_image_surface_get_width(s);
    height_ = cairo_image_surface_get_height(s);
    stride_ = cairo_image_surface_get_stride(s);
    data_ = cairo_image_surface_get_data(s);
}

COffscreen::~COffscreen() {
    cairo_surface_destroy(surface(surface_));
}

}  // namespace qx::gui
