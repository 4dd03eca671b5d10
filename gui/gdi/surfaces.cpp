// COffscreen and CBitmap as GDI DIB sections. Bitmaps come from the plug-in's own RT_BITMAP
// resources (32-bit, straight alpha) and are kept premultiplied, as AlphaBlend wants them.
#include <cstring>

#include "gui/bitmap.h"
#include "gui/gdi/gdi_surface.h"
#include "gui/offscreen.h"

namespace qx::gui {

namespace gdi {

Surface* Surface::create(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(bitmap);
        return nullptr;
    }
    auto* surface = new Surface;
    surface->dc = dc;
    surface->bitmap = bitmap;
    surface->previous = SelectObject(dc, bitmap);
    surface->bits = static_cast<std::uint32_t*>(bits);
    surface->width = width;
    surface->height = height;
    std::memset(bits, 0, sizeof(std::uint32_t) * static_cast<std::size_t>(width) * height);
    return surface;
}

Surface::~Surface() {
    if (dc) {
        SelectObject(dc, previous);
        DeleteDC(dc);
    }
    if (bitmap) DeleteObject(bitmap);
}

HMODULE codeModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&codeModule), &module);
    return module;
}

}  // namespace gdi

namespace {

gdi::Surface* surfaceOf(void* p) {
    return static_cast<gdi::Surface*>(p);
}

std::uint32_t premultiplied(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 255) return argb;
    const auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | scale(argb >> 16 & 0xff) << 16 | scale(argb >> 8 & 0xff) << 8 |
           scale(argb & 0xff);
}

// The pixels of a 32-bit RT_BITMAP resource (a DIB without its file header), checked
// against the size the skin says it has: null when anything does not fit.
const std::uint32_t* resourcePixels(const Resource& resource, bool* bottomUp) {
    HMODULE module = gdi::codeModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resource.id), MAKEINTRESOURCEW(2));
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!bytes || size < sizeof(BITMAPINFOHEADER)) return nullptr;
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes, sizeof header);
    const long height = header.biHeight < 0 ? -static_cast<long>(header.biHeight) : header.biHeight;
    if (header.biSize < sizeof header || header.biSize > size || header.biBitCount != 32 ||
        header.biPlanes != 1 ||
        (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS) ||
        header.biWidth != resource.width || height != resource.height)
        return nullptr;
    // BI_BITFIELDS puts three masks after a plain 40-byte header.
    std::size_t offset = header.biSize;
    if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof header) offset += 12;
    const std::size_t pixels = static_cast<std::size_t>(resource.width) * resource.height;
    if (offset > size || (size - offset) / 4 < pixels) return nullptr;
    *bottomUp = header.biHeight > 0;
    return reinterpret_cast<const std::uint32_t*>(bytes + offset);
}

}  // namespace

void CBitmap::adopt(void* native) {
    gdi::Surface* s = surfaceOf(native);
    if (!s) return;
    surface_ = s;
    width_ = s->width;
    height_ = s->height;
}

CBitmap::CBitmap(const ResourceSet& resources, int id) : id_(id) {
    const Resource* resource = resources.find(id);
    if (!resource) return;
    bool bottomUp = false;
    const std::uint32_t* pixels = resourcePixels(*resource, &bottomUp);
    if (!pixels) return;
    gdi::Surface* s = gdi::Surface::create(resource->width, resource->height);
    if (!s) return;
    const int w = resource->width, h = resource->height;
    bool opaque = true;
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* in = pixels + static_cast<std::size_t>(bottomUp ? h - 1 - y : y) * w;
        std::uint32_t* out = s->bits + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            out[x] = premultiplied(in[x]);
            opaque = opaque && (in[x] >> 24) == 255;
        }
    }
    s->opaque = opaque;
    adopt(s);
}

CBitmap::CBitmap(int width, int height, const std::uint32_t* argb) {
    if (width <= 0 || height <= 0 || !argb) return;
    gdi::Surface* s = gdi::Surface::create(width, height);
    if (!s) return;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::memcpy(s->bits, argb, sizeof(std::uint32_t) * count);
    for (std::size_t i = 0; i < count && s->opaque; ++i) s->opaque = (argb[i] >> 24) == 255;
    adopt(s);
}

CBitmap::~CBitmap() {
    delete surfaceOf(surface_);
}

COffscreen::COffscreen(int width, int height)
    : surface_(gdi::Surface::create(width > 0 ? width : 1, height > 0 ? height : 1)) {
    gdi::Surface* s = surfaceOf(surface_);
    width_ = s ? s->width : 0;
    height_ = s ? s->height : 0;
    stride_ = 4 * width_;
    data_ = s ? reinterpret_cast<const unsigned char*>(s->bits) : nullptr;
}

COffscreen::~COffscreen() {
    delete surfaceOf(surface_);
}

}  // namespace qx::gui
