// A 32-bit xRGB pixel buffer that views are drawn into: the frame's back buffer and the
// pop-up list's image. The window system copies from it; tests read its pixels.
#pragma once

#include <cstdint>

namespace qx::gui {

class COffscreen {
  public:
    // At least 1 x 1 pixels; starts black.
    COffscreen(int width, int height);
    ~COffscreen();
    COffscreen(const COffscreen&) = delete;
    COffscreen& operator=(const COffscreen&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // Bytes from one row to the next.
    int stride() const { return stride_; }
    // Row y, pixels as 0x00RRGGBB in host byte order. Valid once a drawing context on this
    // buffer is gone (contexts flush when destroyed).
    const std::uint32_t* row(int y) const;
    // 0x00RRGGBB of a pixel; 0 outside the buffer.
    std::uint32_t pixel(int x, int y) const;

    // The drawing backend's surface behind the buffer.
    void* native() const { return surface_; }

  private:
    void* surface_;
    const unsigned char* data_;
    int width_;
    int height_;
    int stride_;
};

}  // namespace qx::gui
