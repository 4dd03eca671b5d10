// The GDI drawing backend on its own: what the views draw lands where the clip allows, reads
// back as 0x00RRGGBB whatever GDI did to the alpha bytes, and translucent bitmaps come out
// the same through AlphaBlend and through the plain blend used where msimg32 is missing.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gui/draw_context.h"
#include "gui/gdi/gdi_surface.h"
#include "gui/gdi/stroke.h"

namespace qx::gui {
namespace {

constexpr std::uint32_t rgb(CColor c) {
    return static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(c.g) << 8 | c.b;
}

const CColor kRed{200, 0, 0}, kBlue{0, 0, 200}, kGreen{0, 180, 0}, kWhite{255, 255, 255};

TEST(GdiDrawing, EveryKindOfDrawingReadsBackAsXrgb) {
    COffscreen image(80, 40);
    const std::uint32_t argb[4] = {0xff00ff00u, 0x80400000u, 0x00000000u, 0xff0000ffu};
    const CBitmap bitmap(2, 2, argb);
    {
        CDrawContext c(image);
        c.fillRect({0, 0, 80, 40}, kBlue);
        c.drawString("Hg 0%", {0, 0, 80, 20}, CFont{}, kWhite);
        const CPointF zigzag[3] = {{2, 30}, {40, 22}, {78, 38}};
        c.polyline(zigzag, 3, {kRed, 3.0f, LineCap::Round});
        c.fillCircle({60, 30}, 6, kGreen);
        c.drawBitmap(bitmap, {10, 24, 12, 26});
        c.frameRect({0, 0, 80, 40}, kRed, 2.0);
    }
    int text = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(image.row(y)[x] >> 24, 0u) << "alpha byte at " << x << ", " << y;
            ASSERT_EQ(image.pixel(x, y), image.row(y)[x]);
            text += y >= 2 && y < 20 && x >= 2 && x < 78 && image.pixel(x, y) != rgb(kBlue);
        }
    EXPECT_GT(text, 20);  // the string was drawn
    EXPECT_EQ(image.pixel(0, 0), rgb(kRed));
    EXPECT_EQ(image.pixel(1, 39), rgb(kRed));
    EXPECT_EQ(image.pixel(2, 39), rgb(kRed));
    EXPECT_EQ(image.pixel(3, 3), rgb(kBlue));     // inside the 2-pixel frame
    EXPECT_EQ(image.pixel(60, 30), rgb(kGreen));  // the circle's middle
    EXPECT_EQ(image.pixel(10, 24), 0x00ff00u);    // opaque bitmap pixel
    EXPECT_EQ(image.pixel(11, 25), 0x0000ffu);
    EXPECT_EQ(image.pixel(10, 25), rgb(kBlue));  // fully transparent one
    EXPECT_EQ(image.pixel(11, 24), 0x400064u);   // half-covering red over blue
    EXPECT_EQ(image.pixel(12, 24), rgb(kBlue));  // the bitmap ends at its width
}

TEST(GdiDrawing, ClipsNarrowUniteAndRestore) {
    COffscreen image(40, 20);
    {
        CDrawContext c(image);
        c.fillRect({0, 0, 40, 20}, kRed);
        c.save();
        c.clip({5, 5, 25, 15});
        c.clip({15, 0, 40, 20});  // narrows to x 15..25
        c.fillRect({0, 0, 40, 20}, kBlue);
        c.restore();
        c.save();
        const CRect two[2] = {{0, 0, 2, 2}, {30, 16, 40, 20}};
        c.clip(two, 2);
        c.fillRect({0, 0, 40, 20}, kGreen);
        // The one-pixel writer keeps to the same rectangles.
        c.line({0.5f, 18.5f}, {39.5f, 18.5f}, {kWhite, 1.0f, LineCap::Butt, 0.0f, false});
        c.restore();
        c.restore();  // one restore too many leaves the context as it began
        c.fillRect({0, 10, 1, 11}, kWhite);
    }

    EXPECT_EQ(image.pixel(14, 10), rgb(kRed));
    EXPECT_EQ(image.pixel(15, 5), rgb(kBlue));
    EXPECT_EQ(image.pixel(24, 14), rgb(kBlue));
    EXPECT_EQ(image.pixel(25, 10), rgb(kRed));
    EXPECT_EQ(image.pixel(20, 4), rgb(kRed));
    EXPECT_EQ(image.pixel(1, 1), rgb(kGreen));
    EXPECT_EQ(image.pixel(2, 1), rgb(kRed));
    EXPECT_EQ(image.pixel(29, 18), rgb(kRed));
    EXPECT_EQ(image.pixel(30, 18), rgb(kWhite));
    EXPECT_EQ(image.pixel(39, 18), rgb(kWhite));
    EXPECT_EQ(image.pixel(35, 17), rgb(kGreen));
    EXPECT_EQ(image.pixel(0, 10), rgb(kWhite));
}

TEST(GdiDrawing, StrokesCoverTheirWidthCapsJointsAndDashes) {
    const CRect area{0, 0, 48, 24};
    std::vector<float> cover;
    auto at = [&](int x, int y) { return cover[static_cast<std::size_t>(y) * area.width() + x]; };
    // 3 pixels wide along row 10's centre line, x 10..30.
    const CPointF bar[2] = {{10.0f, 10.5f}, {30.0f, 10.5f}};
    gdi::strokeCoverage(bar, 2, {kWhite, 3.0f, LineCap::Butt}, area, cover);
    for (int x = 10; x < 30; ++x)
        for (int y = 9; y <= 11; ++y) ASSERT_FLOAT_EQ(at(x, y), 1.0f) << x << ", " << y;
    EXPECT_EQ(at(20, 8), 0.0f);
    EXPECT_EQ(at(20, 12), 0.0f);
    EXPECT_EQ(at(9, 10), 0.0f);  // a butt end stops at the end point
    EXPECT_EQ(at(30, 10), 0.0f);
    gdi::strokeCoverage(bar, 2, {kWhite, 3.0f, LineCap::Square}, area, cover);
    EXPECT_FLOAT_EQ(at(9, 10), 1.0f);  // half the width beyond
    EXPECT_FLOAT_EQ(at(8, 10), 0.5f);
    gdi::strokeCoverage(bar, 2, {kWhite, 3.0f, LineCap::Round}, area, cover);
    EXPECT_GT(at(8, 10), 0.0f);
    EXPECT_EQ(at(8, 9), at(8, 11));
    EXPECT_LT(at(8, 9), at(8, 10));  // rounded, not square

    // A right-angled corner has no notch on its outside.
    const CPointF corner[3] = {{10.0f, 20.5f}, {30.5f, 20.5f}, {30.5f, 2.0f}};
    gdi::strokeCoverage(corner, 3, {kWhite, 3.0f, LineCap::Butt}, area, cover);
    EXPECT_FLOAT_EQ(at(30, 20), 1.0f);
    EXPECT_GT(at(31, 21), 0.5f);

    // Dashes of 4 with gaps of 4, the pattern carried on across the joint at x 6.
    const CPointF dashed[3] = {{0.0f, 5.5f}, {6.0f, 5.5f}, {40.0f, 5.5f}};
    gdi::strokeCoverage(dashed, 3, {kWhite, 1.0f, LineCap::Butt, 4.0f}, area, cover);
    for (int x = 0; x < 40; ++x) EXPECT_FLOAT_EQ(at(x, 5), x % 8 < 4 ? 1.0f : 0.0f) << x;
}

// A frame of a filmstrip with every alpha from 0 to 255, drawn over a striped background
// under a clip, with AlphaBlend or with the plain blend.
std::vector<std::uint32_t> blended(bool alphaBlend) {
    constexpr int w = 64, h = 8;
    std::vector<std::uint32_t> strip(static_cast<std::size_t>(w) * h * 2);
    for (int y = 0; y < 2 * h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t a = y < h ? 255u : static_cast<std::uint32_t>(x * 255 / (w - 1));
            const std::uint32_t r = (x * 4 % 256) * a / 255, g = (y * 16 % 256) * a / 255;
            strip[static_cast<std::size_t>(y) * w + x] = a << 24 | r << 16 | g << 8 | (a / 2);
        }
    const CBitmap bitmap(w, 2 * h, strip.data());
    COffscreen image(w + 4, h + 4);
    gdi::setAlphaBlendAllowed(alphaBlend);
    {
        CDrawContext c(image);
        for (int x = 0; x < w + 4; ++x)
            c.fillRect({x, 0, x + 1, h + 4}, x % 2 ? CColor{30, 200, 90} : CColor{240, 20, 160});
        c.clip({0, 0, w - 4, h + 4});
        c.drawBitmap(bitmap, CRect::sized(2, 2, w, h), {0, h});  // the second frame
    }
    gdi::setAlphaBlendAllowed(true);
    std::vector<std::uint32_t> out;
    for (int y = 0; y < image.height(); ++y)
        out.insert(out.end(), image.row(y), image.row(y) + image.width());
    return out;
}

TEST(GdiDrawing, TranslucentBitmapsBlendAlikeWithoutAlphaBlend) {
    const std::vector<std::uint32_t> gdi = blended(true), plain = blended(false);
    ASSERT_EQ(gdi.size(), plain.size());
    const int width = 68;
    for (std::size_t i = 0; i < gdi.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = gdi[i] >> shift & 0xff, b = plain[i] >> shift & 0xff;
            ASSERT_LE(std::abs(a - b), 1) << "pixel " << i % width << ", " << i / width;
        }
    }
    // Past the clip the background stays; where alpha is 0 as well; opaque pixels replace it.
    EXPECT_EQ(plain[3 * width + 62], 0xf014a0u);
    EXPECT_EQ(plain[3 * width + 63], 0x1ec85au);
    EXPECT_EQ(plain[3 * width + 2], 0xf014a0u);
    EXPECT_EQ(plain[3 * width + 59] >> 24, 0u);
}

}  // namespace
}  // namespace qx::gui
