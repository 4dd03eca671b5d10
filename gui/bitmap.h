// Bitmaps: decoded from a plug-in's embedded resources or made from pixels at run time. A
// missing or broken resource gives an empty bitmap that draws nothing, so an editor never
// stops over a skin fault. An editor decodes each resource once (CBitmapCache).
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "gui/resources.h"

namespace qx::gui {

class CBitmap {
  public:
    // Decodes resource `id` (PNG).
    CBitmap(const ResourceSet& resources, int id);
    // Copies width x height premultiplied ARGB pixels (0xAARRGGBB, rows of `width`).
    CBitmap(int width, int height, const std::uint32_t* argb);
    ~CBitmap();
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    bool valid() const { return surface_ != nullptr; }
    int id() const { return id_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The drawing backend's image, null when empty.
    void* native() const { return surface_; }

  private:
    void adopt(void* surface);

    int id_ = 0;
    int width_ = 0;
    int height_ = 0;
    void* surface_ = nullptr;
};

// Controls share bitmaps; the last holder releases it.
using BitmapRef = std::shared_ptr<const CBitmap>;

// Decodes a resource; null when it is missing or broken.
BitmapRef loadBitmap(const ResourceSet& resources, int id);

// One decoded copy of each resource for an editor: every control that asks for the same id
// gets the same bitmap. UI thread.
class CBitmapCache {
  public:
    explicit CBitmapCache(const ResourceSet& resources) : resources_(resources) {}

    // The bitmap of resource `id`, decoded on first use; null when missing.
    BitmapRef get(int id);
    // Drops the cache's references; bitmaps still held by views live on until released.
    void clear() { entries_.clear(); }
    // Resources decoded so far (each id once while cached).
    int decodes() const { return decodes_; }

  private:
    ResourceSet resources_;
    std::vector<std::pair<int, BitmapRef>> entries_;
    int decodes_ = 0;
};

}  // namespace qx::gui
