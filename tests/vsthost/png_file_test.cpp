// The library-free PNG writer against a real decoder (cairo's): every pixel comes back, also
// when the picture spans several stored deflate blocks, and bad input writes nothing.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/vsthost/png_file.h"

namespace qx::host {
namespace {

TEST(PngFile, CairoReadsBackEveryPixelAndBadInputIsRefused) {
    // 151 x 163 RGB rows are 72 k of raw data: two stored blocks, the second one partial.
    const int width = 151, height = 163;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint32_t>((x * 7) & 0xff) << 16 |
                static_cast<std::uint32_t>((y * 5) & 0xff) << 8 |
                static_cast<std::uint32_t>((x * y) & 0xff);
    const std::string path = ::testing::TempDir() + "png_file_test.png";
    ASSERT_TRUE(writePng(path, width, height, pixels));

    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(image), width);
    ASSERT_EQ(cairo_image_surface_get_height(image), height);
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t p;
            std::memcpy(&p, data + y * stride + 4 * x, 4);
            wrong += (p & 0x00ffffffu) != pixels[static_cast<std::size_t>(y) * width + x];
        }
    EXPECT_EQ(wrong, 0);
    cairo_surface_destroy(image);

    // One row, one pixel: the smallest picture is still a valid file.
    ASSERT_TRUE(writePng(path, 1, 1, {0x00abcdefu}));
    image = cairo_image_surface_create_from_png(path.c_str());
    EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(image);
    std::remove(path.c_str());

    EXPECT_FALSE(writePng(path, width, height + 1, pixels));  // too few pixels
    EXPECT_FALSE(writePng(path, 0, 0, {}));
    EXPECT_FALSE(writePng(::testing::TempDir() + "no/such/dir/x.png", 1, 1, {0u}));
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

}  // namespace
}  // namespace qx::host
