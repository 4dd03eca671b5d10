// The GDI objects behind COffscreen and CBitmap: a top-down 32-bit DIB section selected into
// a memory DC of its own, so drawing, AlphaBlend and BitBlt use it without selecting it
// again. Seen only by the Windows backends (gui/gdi, gui/win32).
#pragma once

#include <windows.h>

#include <cstdint>

namespace qx::gui::gdi {

struct Surface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;     // the DC's own bitmap, put back before deletion
    std::uint32_t* bits = nullptr;  // `height` rows of `width` pixels, top row first
    int width = 0;
    int height = 0;
    // Every alpha is 255 (bitmaps only): drawn with a plain copy.
    bool opaque = true;

    // A black (all zero) surface of width x height; null when GDI refuses.
    static Surface* create(int width, int height);
    ~Surface();
};

// Tests: false draws translucent bitmaps with the plain blend, as where msimg32 is missing.
void setAlphaBlendAllowed(bool allowed);

// The module (plug-in DLL or program) that holds this code: its resources are the skin,
// its instance registers the window class.
HMODULE codeModule();

}  // namespace qx::gui::gdi
