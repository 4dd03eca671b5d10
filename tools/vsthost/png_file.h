// Writes pictures as PNG files without any library, for hosts and tests that capture an
// editor on a platform where no image library is at hand (the Windows builds).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx::host {

// Writes `pixels` (width x height, rows from the top, 0x00RRGGBB) to `path` as an 8-bit RGB
// PNG with uncompressed ("stored") deflate blocks. False when the sizes disagree or the file
// cannot be written. Any thread.
bool writePng(const std::string& path, int width, int height,
              const std::vector<std::uint32_t>& pixels);

}  // namespace qx::host
