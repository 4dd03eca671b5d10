// The pixel access of COffscreen, the same whichever backend made the buffer.
#include "gui/offscreen.h"

#include <cstddef>

namespace qx::gui {

const std::uint32_t* COffscreen::row(int y) const {
    return reinterpret_cast<const std::uint32_t*>(data_ + static_cast<std::ptrdiff_t>(y) * stride_);
}

std::uint32_t COffscreen::pixel(int x, int y) const {
    if (!data_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return row(y)[x] & 0xffffffu;
}

}  // namespace qx::gui
