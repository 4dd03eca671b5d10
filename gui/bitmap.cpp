#include "gui/bitmap.h"

#include <cstring>

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

}  // namespace

CBitmap::CBitmap(const ResourceSet& resources, int id) : id_(id) {
    const Resource* resource = resources.find(id);
    if (!resource || !resource->png) return;
    PngReader reader{resource->png, resource->size, 0};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(&readPng, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return;
    }
    surface_ = surface;
    width_ = cairo_image_surface_get_width(surface);
    height_ = cairo_image_surface_get_height(surface);
}

CBitmap::CBitmap(cairo_surface_t* surface) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        if (surface) cairo_surface_destroy(surface);
        return;
    }
    surface_ = surface;
    width_ = cairo_image_surface_get_width(surface);
    height_ = cairo_image_surface_get_height(surface);
}

CBitmap::~CBitmap() {
    if (surface_) cairo_surface_destroy(surface_);
}

BitmapRef loadBitmap(const ResourceSet& resources, int id) {
    auto bitmap = std::make_shared<const CBitmap>(resources, id);
    return bitmap->valid() ? bitmap : nullptr;
}

}  // namespace qx::gui
