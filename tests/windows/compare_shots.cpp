// Compares an editor's Windows screenshot with its Linux one, both PNG, read with cairo:
// the pictures must have the same size, and fonts and antialiasing may differ only a little.
//
//   compare_shots <linux.png> <windows.png> <max mean difference> <max far share>
//
// The mean difference is over every channel of every pixel, in levels of 255; a pixel is far
// when one of its channels differs by more than kFarLevels. Prints both figures; exit 1 when
// one passes its limit, 2 when a file cannot be read or the sizes differ.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kFarLevels = 64;

cairo_surface_t* readPng(const char* path) {
    cairo_surface_t* image = cairo_image_surface_create_from_png(path);
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(image);
        return image;
    }
    std::fprintf(stderr, "compare_shots: cannot read %s\n", path);
    cairo_surface_destroy(image);
    return nullptr;
}

std::uint32_t pixelAt(cairo_surface_t* image, int x, int y) {
    std::uint32_t p;
    std::memcpy(
        &p, cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image) + 4 * x,
        sizeof p);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: compare_shots <linux.png> <windows.png> <max mean> <max far share>\n");
        return 2;
    }
    cairo_surface_t* a = readPng(argv[1]);
    cairo_surface_t* b = readPng(argv[2]);
    if (!a || !b) return 2;
    const int width = cairo_image_surface_get_width(a), height = cairo_image_surface_get_height(a);
    if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b)) {
        std::fprintf(stderr, "compare_shots: %dx%d against %dx%d\n", width, height,
                     cairo_image_surface_get_width(b), cairo_image_surface_get_height(b));
        return 2;
    }
    double sum = 0;
    long far = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixelAt(a, x, y), q = pixelAt(b, x, y);
            int largest = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = std::abs(static_cast<int>((p >> shift) & 0xff) -
                                       static_cast<int>((q >> shift) & 0xff));
                sum += d;
                if (d > largest) largest = d;
            }
            far += largest > kFarLevels;
        }
    const double pixels = static_cast<double>(width) * height;
    const double mean = sum / (3 * pixels), farShare = far / pixels;
    const double maxMean = std::atof(argv[3]), maxFar = std::atof(argv[4]);
    std::printf(
        "%dx%d: mean difference %.2f levels (limit %.2f), %.2f%% of pixels far (limit %.2f%%)\n",
        width, height, mean, maxMean, 100 * farShare, 100 * maxFar);
    cairo_surface_destroy(a);
    cairo_surface_destroy(b);
    return mean <= maxMean && farShare <= maxFar ? 0 : 1;
}
