// A bitmap loaded from an embedded resource. A missing or broken resource gives an empty
// bitmap that draws nothing, so an editor never stops over a skin fault.
#pragma once

#include <cairo.h>

#include <memory>

#include "gui/resources.h"

namespace qx::gui {

class CBitmap {
  public:
    CBitmap(const ResourceSet& resources, int id);
    // Wraps an image surface (takes over its reference); for bitmaps made at run time.
    explicit CBitmap(cairo_surface_t* surface);
    ~CBitmap();
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    bool valid() const { return surface_ != nullptr; }
    int id() const { return id_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Null when empty.
    cairo_surface_t* surface() const { return surface_; }

  private:
    int id_ = 0;
    int width_ = 0;
    int height_ = 0;
    cairo_surface_t* surface_ = nullptr;
};

// Controls share bitmaps; the last holder releases it.
using BitmapRef = std::shared_ptr<const CBitmap>;

// Null when the resource is missing.
BitmapRef loadBitmap(const ResourceSet& resources, int id);

}  // namespace qx::gui
