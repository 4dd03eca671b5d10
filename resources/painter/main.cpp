// qxpaint_<deliverable> <deliverable> <out-dir> [--windows]: paints the skin it was built with
// into <out-dir>/<id>.png and writes <out-dir>/<deliverable>_skin.cpp, which embeds the images
// as resources behind qx::skins::<deliverable>() (declared in the generated "skins/<name>.h").
// With --windows the images become 32-bit BMPs (<id>.bmp) listed as RT_BITMAP resources in
// <out-dir>/<deliverable>.rc for the plug-in DLL, and the source holds only their sizes.
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "resources/painter/skin.h"

namespace {

using Bytes = std::vector<unsigned char>;

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

// A 32-bit BMP with straight alpha (BGRA, bottom row first) of an ARGB32 surface.
Bytes bmpOf(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const std::uint32_t pixelBytes = 4u * static_cast<std::uint32_t>(width) * height;
    Bytes out;
    auto put = [&out](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    // BITMAPFILEHEADER, then a 40-byte BITMAPINFOHEADER.
    put(0x4d42, 2);
    put(14 + 40 + pixelBytes, 4);
    put(0, 4);
    put(14 + 40, 4);
    put(40, 4);
    put(static_cast<std::uint32_t>(width), 4);
    put(static_cast<std::uint32_t>(height), 4);
    put(1, 2);
    put(32, 2);
    put(0, 4);  // BI_RGB
    put(pixelBytes, 4);
    put(2835, 4);  // 72 dpi
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            const std::uint32_t a = p >> 24;
            // cairo keeps colours premultiplied; a BMP holds them straight.
            const auto straight = [a](std::uint32_t c) { return a ? (c * 255 + a / 2) / a : 0u; };
            put(a << 24 | straight(p >> 16 & 0xff) << 16 | straight(p >> 8 & 0xff) << 8 |
                    straight(p & 0xff),
                4);
        }
    }
    return out;
}

struct Image {
    Bytes png;
    Bytes bmp;
};

// The painted image as a PNG, and as a BMP too when `bmp` (for Windows).
Image paint(int width, int height, const std::function<void(cairo_t*)>& painter, bool bmp = false) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    // Same text rendering as the editor's displays.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    painter(cr);
    cairo_destroy(cr);
    Image image;
    cairo_surface_write_to_png_stream(surface, &appendPng, &image.png);
    if (bmp) image.bmp = bmpOf(surface);
    cairo_surface_destroy(surface);
    return image;
}

Bytes paintPng(int width, int height, const std::function<void(cairo_t*)>& painter) {
    return paint(width, height, painter).png;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

struct Painted {
    int id;
    int width;
    int height;
    Image image;
};

// A picture of the editor as the layout places the bitmaps (knobs at 60 %, meters at 70 %,
// buttons off), to judge a skin before its editor exists. Not embedded.
Bytes preview(const qx::skin::SkinDescription& skin, const std::vector<Painted>& images) {
    std::vector<cairo_surface_t*> surfaces;
    auto image = [&](int id) -> cairo_surface_t* {
        for (const Painted& p : images) {
            if (p.id != id) continue;
            struct Reader {
                const Bytes* bytes;
                size_t at;
            } reader{&p.image.png, 0};
            cairo_surface_t* s = cairo_image_surface_create_from_png_stream(
                [](void* c, unsigned char* out, unsigned int n) {
                    auto* r = static_cast<Reader*>(c);
                    if (r->bytes->size() - r->at < n) return CAIRO_STATUS_READ_ERROR;
                    std::copy_n(r->bytes->data() + r->at, n, out);
                    r->at += n;
                    return CAIRO_STATUS_SUCCESS;
                },
                &reader);
            surfaces.push_back(s);
            return s;
        }
        return nullptr;
    };
    auto blit = [](cairo_t* cr, cairo_surface_t* s, double x, double y, double w, double h,
                   double sx, double sy) {
        if (!s) return;
        cairo_save(cr);
        cairo_rectangle(cr, x, y, w, h);
        cairo_clip(cr);
        cairo_set_source_surface(cr, s, x - sx, y - sy);
        cairo_paint(cr);
        cairo_restore(cr);
    };
    return paintPng(skin.width, skin.height, [&](cairo_t* cr) {
        blit(cr, image(1024), 0, 0, skin.width, skin.height, 0, 0);
        for (const qx::gui::ControlLayout& row : skin.layout) {
            const double x = row.x, y = row.y, w = row.width, h = row.height;
            switch (row.kind) {
                case qx::gui::ControlKind::AnimKnob:
                case qx::gui::ControlKind::ExpKnob:
                    blit(cr, image(row.bitmap), x, y, w, h, 0, h * int(0.6 * (row.frames - 1)));
                    break;
                case qx::gui::ControlKind::VSlider:
                case qx::gui::ControlKind::HSlider: {
                    blit(cr, image(row.bitmap), x, y, w, h, 0, 0);
                    cairo_surface_t* handle = image(row.bitmap2);
                    if (!handle) break;
                    const int hw = cairo_image_surface_get_width(handle);
                    const int hh = cairo_image_surface_get_height(handle);
                    if (row.kind == qx::gui::ControlKind::VSlider)
                        blit(cr, handle, x + (w - hw) / 2, y + (h - hh) * 0.3, hw, hh, 0, 0);
                    else
                        blit(cr, handle, x + (w - hw) * 0.5, y + (h - hh) / 2, hw, hh, 0, 0);
                    break;
                }
                case qx::gui::ControlKind::FallOffMeter:
                case qx::gui::ControlKind::KScaleMeter:
                    blit(cr, image(row.bitmap), x, y, w, h, 0, 0);
                    blit(cr, image(row.bitmap2), x, y + h * 0.3, w, h * 0.7, 0, h * 0.3);
                    break;
                case qx::gui::ControlKind::MovieButton:
                case qx::gui::ControlKind::MovieBitmap:
                case qx::gui::ControlKind::BitmapView:
                case qx::gui::ControlKind::OptionMenu:
                case qx::gui::ControlKind::HintLine:
                case qx::gui::ControlKind::ParamDisplay:
                case qx::gui::ControlKind::CommandLabel:
                case qx::gui::ControlKind::PeakHoldReadout:
                case qx::gui::ControlKind::Custom:
                    if (row.bitmap) blit(cr, image(row.bitmap), x, y, w, h, 0, 0);
                    break;
            }
        }
        for (cairo_surface_t* s : surfaces) cairo_surface_destroy(s);
        surfaces.clear();
    });
}

std::string embedSource(const std::string& name, const std::vector<Painted>& images) {
    std::string s;
    s += "// Generated by qxpaint from the " + name + " skin description; do not edit.\n";
    s += "#include \"skins/" + name + ".h\"\n\nnamespace qx::skins {\n\nnamespace {\n\n";
    char hex[8];
    for (const Painted& image : images) {
        s += "const unsigned char kImage" + std::to_string(image.id) + "[] = {";
        const Bytes& png = image.image.png;
        for (size_t i = 0; i < png.size(); ++i) {
            if (i % 24 == 0) s += "\n   ";
            std::snprintf(hex, sizeof hex, " %u,", png[i]);
            s += hex;
        }
        s += "\n};\n\n";
    }
    s += "const gui::Resource kResources[] = {\n";
    for (const Painted& image : images) {
        const std::string id = std::to_string(image.id);
        s += "    {" + id + ", " + std::to_string(image.width) + ", " +
             std::to_string(image.height) + ", kImage" + id + ", sizeof kImage" + id + "},\n";
    }
    s += "};\n\n}  // namespace\n\n";
    s += "const gui::ResourceSet& " + name + "() {\n";
    s += "    static const gui::ResourceSet set{kResources, " + std::to_string(images.size()) +
         "};\n    return set;\n}\n\n}  // namespace qx::skins\n";
    return s;
}

// The Windows skin: sizes only, the pixels are RT_BITMAP resources of the DLL.
std::string windowsSource(const std::string& name, const std::vector<Painted>& images) {
    std::string s;
    s += "// Generated by qxpaint from the " + name + " skin description; do not edit.\n";
    s += "// The images are the DLL's RT_BITMAP resources (" + name + ".rc).\n";
    s += "#include \"skins/" + name + ".h\"\n\nnamespace qx::skins {\n\nnamespace {\n\n";
    s += "const gui::Resource kResources[] = {\n";
    for (const Painted& image : images)
        s += "    {" + std::to_string(image.id) + ", " + std::to_string(image.width) + ", " +
             std::to_string(image.height) + ", nullptr, 0},\n";
    s += "};\n\n}  // namespace\n\n";
    s += "const gui::ResourceSet& " + name + "() {\n";
    s += "    static const gui::ResourceSet set{kResources, " + std::to_string(images.size()) +
         "};\n    return set;\n}\n\n}  // namespace qx::skins\n";
    return s;
}

std::string resourceScript(const std::string& name, const std::string& outDir,
                           const std::vector<Painted>& images) {
    std::string s = "// Generated by qxpaint: the " + name + " skin's bitmaps; do not edit.\n";
    for (const Painted& image : images)
        s += std::to_string(image.id) + " BITMAP \"" + outDir + "/" + std::to_string(image.id) +
             ".bmp\"\n";
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const bool windows = argc == 4 && std::string(argv[3]) == "--windows";
    if (argc != 3 && !windows) {
        std::fprintf(stderr, "usage: %s <deliverable> <out-dir> [--windows]\n", argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    const std::string outDir = argv[2];
    const qx::skin::SkinDescription description = qx::skin::describeSkin();
    const qx::skin::SkinDescription* skin = &description;
    if (!skin->name || name != skin->name) {
        std::fprintf(stderr, "qxpaint: this painter paints the %s skin, not %s\n",
                     skin->name ? skin->name : "(unnamed)", name.c_str());
        return 1;
    }
    std::vector<Painted> images;
    images.push_back({1024, skin->width, skin->height,
                      paint(
                          skin->width, skin->height,
                          [skin](cairo_t* cr) { qx::skin::paintBackground(cr, *skin); }, windows)});
    for (const qx::skin::BitmapSpec& bitmap : skin->bitmaps) {
        images.push_back({bitmap.id, bitmap.width, bitmap.height,
                          paint(
                              bitmap.width, bitmap.height,
                              [&](cairo_t* cr) { bitmap.paint(cr, skin->style); }, windows)});
    }
    if (windows) {
        for (const Painted& image : images) {
            if (!writeFile(outDir + "/" + std::to_string(image.id) + ".bmp", image.image.bmp)) {
                std::fprintf(stderr, "qxpaint: cannot write image %d\n", image.id);
                return 1;
            }
        }
        const std::string script = resourceScript(name, outDir, images);
        const std::string source = windowsSource(name, images);
        if (!writeFile(outDir + "/" + name + ".rc", Bytes(script.begin(), script.end())) ||
            !writeFile(outDir + "/" + name + "_skin.cpp", Bytes(source.begin(), source.end()))) {
            std::fprintf(stderr, "qxpaint: cannot write the resource script or source\n");
            return 1;
        }
        cairo_debug_reset_static_data();
        return 0;
    }
    for (const Painted& image : images) {
        if (image.image.png.empty() ||
            !writeFile(outDir + "/" + std::to_string(image.id) + ".png", image.image.png)) {
            std::fprintf(stderr, "qxpaint: cannot write image %d\n", image.id);
            return 1;
        }
    }
    if (!writeFile(outDir + "/preview.png", preview(*skin, images))) {
        std::fprintf(stderr, "qxpaint: cannot write the preview\n");
        return 1;
    }
    const std::string source = embedSource(name, images);
    if (!writeFile(outDir + "/" + name + "_skin.cpp", Bytes(source.begin(), source.end()))) {
        std::fprintf(stderr, "qxpaint: cannot write the source\n");
        return 1;
    }
    cairo_debug_reset_static_data();
    return 0;
}
