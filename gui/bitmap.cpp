#include "gui/bitmap.h"

namespace qx::gui {

BitmapRef loadBitmap(const ResourceSet& resources, int id) {
    auto bitmap = std::make_shared<const CBitmap>(resources, id);
    return bitmap->valid() ? bitmap : nullptr;
}

BitmapRef CBitmapCache::get(int id) {
    for (const auto& [cachedId, bitmap] : entries_)
        if (cachedId == id) return bitmap;
    ++decodes_;
    BitmapRef bitmap = loadBitmap(resources_, id);
    // A missing resource is remembered too, so it is not looked for again.
    entries_.emplace_back(id, bitmap);
    return bitmap;
}

}  // namespace qx::gui
