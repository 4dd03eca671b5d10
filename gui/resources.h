// Bitmap resources embedded in a plug-in: PNG images numbered from 1024 (the background),
// produced by the skin painter at build time.
#pragma once

#include <cstddef>

namespace qx::gui {

struct Resource {
    int id;
    int width;  // of the whole image (a filmstrip holds all its frames)
    int height;
    const unsigned char* png;
    std::size_t size;
};

// The resources of one deliverable, sorted by id.
struct ResourceSet {
    const Resource* entries = nullptr;
    int count = 0;

    const Resource* find(int id) const {
        for (int i = 0; i < count; ++i)
            if (entries[i].id == id) return &entries[i];
        return nullptr;
    }
};

}  // namespace qx::gui
