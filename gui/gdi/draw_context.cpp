// CDrawContext on GDI: every drawing call of the toolkit ends up here on Windows. Bitmaps go
// through AlphaBlend (msimg32, looked up at run time) or a plain blend when it is missing;
// one-pixel lines, circles and translucent fills are blended straight into the DIB, where
// GDI would draw them without antialiasing or alpha. GDI leaves the alpha byte of the pixels
// it touches undefined, so the context clears it where it drew before it goes.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "gui/draw_context.h"
#include "gui/gdi/gdi_surface.h"
#include "gui/gdi/stroke.h"
#include "gui/pixel_lines.h"

namespace qx::gui {

namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

std::atomic<bool> gAlphaBlendAllowed{true};

// Null when this Windows has no msimg32 (the plain blend takes over).
AlphaBlendFn alphaBlend() {
    if (!gAlphaBlendAllowed.load(std::memory_order_relaxed)) return nullptr;
    static const AlphaBlendFn fn = [] {
        HMODULE module = LoadLibraryW(L"msimg32.dll");
        return module ? reinterpret_cast<AlphaBlendFn>(
                            reinterpret_cast<void*>(GetProcAddress(module, "AlphaBlend")))
                      : nullptr;
    }();
    return fn;
}

COLORREF colorRef(CColor c) {
    return RGB(c.r, c.g, c.b);
}

bool installed(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

std::wstring widen(const char* text);

// The face for a CFont family: the family itself where it is installed (so text keeps the
// widths the layouts were made with), else one every Windows has: Tahoma for sans faces,
// Consolas (Courier New before Vista) for monospaced ones, whose columns matter.
std::wstring windowsFamily(const char* family) {
    static std::mutex mutex;
    static std::vector<std::pair<std::string, std::wstring>> known;
    const std::string name = family ? family : "";
    std::lock_guard lock(mutex);
    for (const auto& [requested, face] : known)
        if (requested == name) return face;
    std::wstring face = widen(name.c_str());
    if (face.empty() || face.size() >= LF_FACESIZE || !installed(face.c_str())) {
        const bool mono =
            name.find("Mono") != std::string::npos || name.find("Courier") != std::string::npos;
        face = !mono ? L"Tahoma" : installed(L"Consolas") ? L"Consolas" : L"Courier New";
    }
    known.emplace_back(name, face);
    return face;
}

std::wstring widen(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

struct Font {
    std::wstring face;
    int height;
    bool bold;
    HFONT handle;
    int ascent;
    int descent;
};

struct Context {
    gdi::Surface* target;
    HDC dc;
    int baseLevel;  // SaveDC at creation, restored at the end
    int depth = 0;  // save() calls not yet restored
    CRect touched;  // where GDI drew: its alpha bytes are cleared at the end
    std::vector<Font> fonts;
    std::vector<float> coverage;  // of the stroke being drawn, reused from one to the next

    CRect bounds() const { return {0, 0, target->width, target->height}; }

    // The current clip as rectangles within the buffer (the whole buffer without a clip).
    std::vector<CRect> clipRects() const {
        std::vector<CRect> out;
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        const int state = GetClipRgn(dc, region);
        if (state != 1) {
            DeleteObject(region);
            out.push_back(bounds());
            return out;
        }
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<unsigned char> data(size);
        if (size && GetRegionData(region, size, reinterpret_cast<RGNDATA*>(data.data()))) {
            const auto* header = reinterpret_cast<const RGNDATAHEADER*>(data.data());
            const auto* rects = reinterpret_cast<const RECT*>(data.data() + header->dwSize);
            for (DWORD i = 0; i < header->nCount; ++i) {
                const CRect r =
                    CRect{static_cast<int>(rects[i].left), static_cast<int>(rects[i].top),
                          static_cast<int>(rects[i].right), static_cast<int>(rects[i].bottom)}
                        .intersection(bounds());
                if (!r.empty()) out.push_back(r);
            }
        }
        DeleteObject(region);
        return out;
    }

    // Records that GDI drew inside the current clip.
    void mark() {
        RECT box;
        if (GetClipBox(dc, &box) > NULLREGION)
            touched =
                touched.united(CRect{static_cast<int>(box.left), static_cast<int>(box.top),
                                     static_cast<int>(box.right), static_cast<int>(box.bottom)}
                                   .intersection(bounds()));
    }

    // Calls blend(pixel, x, y) for each pixel of `area` inside the clip, after GDI's queued
    // drawing has landed.
    template <class Blend>
    void forEachPixel(const CRect& area, Blend&& blend) {
        GdiFlush();
        for (const CRect& clip : clipRects()) {
            const CRect r = clip.intersection(area);
            for (int y = r.top; y < r.bottom; ++y) {
                std::uint32_t* row = target->bits + static_cast<std::size_t>(y) * target->width;
                for (int x = r.left; x < r.right; ++x) blend(row[x], x, y);
            }
        }
    }

    const Font& font(const CFont& wanted) {
        const std::wstring face = windowsFamily(wanted.family);
        // GDI sizes and advances are whole pixels: half sizes round down, so a line keeps
        // within the width its layout was made for.
        const int height = std::max(1, static_cast<int>(std::ceil(wanted.size - 0.5)));
        for (const Font& f : fonts)
            if (f.height == height && f.bold == wanted.bold && f.face == face) return f;
        HFONT handle =
            CreateFontW(-height, 0, 0, 0, wanted.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, face.c_str());
        Font f{face, height, wanted.bold, handle, height, 0};
        if (handle) {
            HGDIOBJ before = SelectObject(dc, handle);
            TEXTMETRICW metrics;
            if (GetTextMetricsW(dc, &metrics)) {
                f.ascent = metrics.tmAscent;
                f.descent = metrics.tmDescent;
            }
            SelectObject(dc, before);
        }
        fonts.push_back(f);
        return fonts.back();
    }
};

Context* ctx(void* p) {
    return static_cast<Context*>(p);
}

// Source-over of colour `c` with coverage `a` (0..1) onto an xRGB pixel.
void blendPixel(std::uint32_t& pixel, CColor c, float a) {
    const auto mix = [a](std::uint32_t under, unsigned over) {
        return static_cast<std::uint32_t>(static_cast<float>(under) +
                                          (static_cast<float>(over) - under) * a + 0.5f);
    };
    pixel = mix(pixel >> 16 & 0xff, c.r) << 16 | mix(pixel >> 8 & 0xff, c.g) << 8 |
            mix(pixel & 0xff, c.b);
}

POINT devicePoint(CPointF p) {
    // Pixel-centre coordinates: column x spans [x, x + 1).
    return {static_cast<LONG>(std::floor(p.x)), static_cast<LONG>(std::floor(p.y))};
}

bool finite(CPointF p) {
    return std::abs(p.x) < 1.0e6f && std::abs(p.y) < 1.0e6f;
}

}  // namespace

void gdi::setAlphaBlendAllowed(bool allowed) {
    gAlphaBlendAllowed.store(allowed, std::memory_order_relaxed);
}

CDrawContext::CDrawContext(COffscreen& target) : native_(nullptr), target_(target.native()) {
    auto* surface = static_cast<gdi::Surface*>(target.native());
    if (!surface) return;
    auto* c = new Context{surface, surface->dc, SaveDC(surface->dc), 0, {}, {}, {}};
    SetBkMode(c->dc, TRANSPARENT);
    SetTextAlign(c->dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    SetPolyFillMode(c->dc, WINDING);
    native_ = c;
}

CDrawContext::~CDrawContext() {
    Context* c = ctx(native_);
    if (!c) return;
    GdiFlush();
    const CRect t = c->touched;
    for (int y = t.top; y < t.bottom; ++y) {
        std::uint32_t* row = c->target->bits + static_cast<std::size_t>(y) * c->target->width;
        for (int x = t.left; x < t.right; ++x) row[x] &= 0x00ffffffu;
    }
    RestoreDC(c->dc, c->baseLevel);  // deselects our fonts, pens and brushes
    for (const Font& f : c->fonts)
        if (f.handle) DeleteObject(f.handle);
    delete c;
}

void CDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& dest, CPoint source) {
    Context* c = ctx(native_);
    auto* image = static_cast<gdi::Surface*>(bitmap.native());
    if (!c || !image || dest.empty()) return;
    // The bitmap placed so that `source` lands on dest's top left; only what it covers.
    const CRect placed =
        CRect::sized(dest.left - source.x, dest.top - source.y, image->width, image->height);
    const CRect r = dest.intersection(placed);
    if (r.empty()) return;
    const int sx = r.left - placed.left, sy = r.top - placed.top;
    if (image->opaque) {
        BitBlt(c->dc, r.left, r.top, r.width(), r.height(), image->dc, sx, sy, SRCCOPY);
        c->mark();
        return;
    }
    if (AlphaBlendFn blend = alphaBlend()) {
        const BLENDFUNCTION function{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        if (blend(c->dc, r.left, r.top, r.width(), r.height(), image->dc, sx, sy, r.width(),
                  r.height(), function)) {
            c->mark();
            return;
        }
    }
    // Premultiplied source over: d = s + d * (1 - sa).
    GdiFlush();
    c->forEachPixel(r, [&](std::uint32_t& pixel, int x, int y) {
        const std::uint32_t s =
            image
                ->bits[static_cast<std::size_t>(y - placed.top) * image->width + (x - placed.left)];
        const std::uint32_t keep = 255 - (s >> 24);
        const auto channel = [&](int shift) {
            return std::min<std::uint32_t>(
                255, (s >> shift & 0xff) + ((pixel >> shift & 0xff) * keep + 127) / 255);
        };
        pixel = channel(16) << 16 | channel(8) << 8 | channel(0);
    });
}

void CDrawContext::fillRect(const CRect& rect, CColor color) {
    Context* c = ctx(native_);
    if (!c || rect.empty() || color.a == 0) return;
    if (color.a < 255) {
        const float a = color.a / 255.0f;
        c->forEachPixel(rect, [&](std::uint32_t& pixel, int, int) { blendPixel(pixel, color, a); });
        return;
    }
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    HBRUSH brush = CreateSolidBrush(colorRef(color));
    FillRect(c->dc, &r, brush);
    DeleteObject(brush);
    c->mark();
}

void CDrawContext::frameRect(const CRect& rect, CColor color, double lineWidth) {
    // Four bands inside the rectangle, as a stroke inset by half its width covers them.
    const int w = std::max(1, static_cast<int>(std::lround(lineWidth)));
    if (rect.width() <= 2 * w || rect.height() <= 2 * w) {
        fillRect(rect, color);
        return;
    }
    fillRect({rect.left, rect.top, rect.right, rect.top + w}, color);
    fillRect({rect.left, rect.bottom - w, rect.right, rect.bottom}, color);
    fillRect({rect.left, rect.top + w, rect.left + w, rect.bottom - w}, color);
    fillRect({rect.right - w, rect.top + w, rect.right, rect.bottom - w}, color);
}

void CDrawContext::selectFont(const CFont& font) {
    Context* c = ctx(native_);
    if (c) SelectObject(c->dc, c->font(font).handle);
}

double CDrawContext::textWidth(const char* text, const CFont& font) {
    Context* c = ctx(native_);
    if (!c || !text || !*text) return 0.0;
    selectFont(font);
    const std::wstring wide = widen(text);
    SIZE size{};
    GetTextExtentPoint32W(c->dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

void CDrawContext::drawString(const char* text, const CRect& rect, const CFont& font, CColor color,
                              TextAlign align) {
    Context* c = ctx(native_);
    if (!c || !text || !*text || rect.empty() || color.a == 0) return;
    const Font& f = c->font(font);
    SelectObject(c->dc, f.handle);
    const std::wstring wide = widen(text);
    SIZE size{};
    GetTextExtentPoint32W(c->dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    double x = rect.left + 2;
    if (align == TextAlign::Center) x = rect.left + (rect.width() - size.cx) / 2.0;
    if (align == TextAlign::Right) x = rect.right - 2 - size.cx;
    // Baseline so the ascent-minus-descent box sits in the middle, on a whole pixel.
    const int y =
        static_cast<int>(std::lround(rect.top + (rect.height() + f.ascent - f.descent) / 2.0));
    SetTextColor(c->dc, colorRef(color));
    const RECT clip{rect.left, rect.top, rect.right, rect.bottom};
    ExtTextOutW(c->dc, static_cast<int>(std::lround(x)), y, ETO_CLIPPED, &clip, wide.c_str(),
                static_cast<UINT>(wide.size()), nullptr);
    c->mark();
}

namespace {

// Lines one pixel wide, solid, with no cap beyond the end point: blended as pixels.
bool hairline(const CLineStyle& style) {
    return style.width == 1.0f && style.dash <= 0.0f && style.cap != LineCap::Round;
}

bool drawHairline(Context* c, const CPointF* points, int count, const CLineStyle& style) {
    const std::vector<CRect> clips = c->clipRects();
    PixelLines lines;
    if (!lines.begin(reinterpret_cast<unsigned char*>(c->target->bits), 4 * c->target->width,
                     clips.data(), static_cast<int>(clips.size())))
        return false;
    GdiFlush();
    lines.polyline(points, count, style.color, style.antialias);
    return true;
}

}  // namespace

void CDrawContext::stroke(const CLineStyle&) {
    // Paths are stroked as they are made (polyline); nothing is pending here.
}

void CDrawContext::line(CPointF from, CPointF to, const CLineStyle& style) {
    const CPointF points[2] = {from, to};
    polyline(points, 2, style);
}

void CDrawContext::polyline(const CPointF* points, int count, const CLineStyle& style) {
    Context* c = ctx(native_);
    if (!c || !points || count < 2 || style.color.a == 0) return;
    if (hairline(style) && drawHairline(c, points, count, style)) return;
    if (style.antialias) {
        // Blended from the stroke's coverage over the part of the clip it can reach.
        RECT clipBox;
        if (GetClipBox(c->dc, &clipBox) <= NULLREGION) return;
        const float reach = style.width + 2.0f;
        float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
        for (int i = 0; i < count; ++i) {
            if (!finite(points[i])) continue;
            left = std::min(left, points[i].x);
            top = std::min(top, points[i].y);
            right = std::max(right, points[i].x);
            bottom = std::max(bottom, points[i].y);
        }
        if (left > right) return;
        const CRect area =
            CRect{static_cast<int>(std::floor(left - reach)),
                  static_cast<int>(std::floor(top - reach)),
                  static_cast<int>(std::ceil(right + reach)),
                  static_cast<int>(std::ceil(bottom + reach))}
                .intersection({static_cast<int>(clipBox.left), static_cast<int>(clipBox.top),
                               static_cast<int>(clipBox.right), static_cast<int>(clipBox.bottom)})
                .intersection(c->bounds());
        if (area.empty()) return;
        gdi::strokeCoverage(points, count, style, area, c->coverage);
        const float alpha = style.color.a / 255.0f;
        c->forEachPixel(area, [&](std::uint32_t& pixel, int x, int y) {
            const float coverage =
                c->coverage[static_cast<std::size_t>(y - area.top) * area.width() +
                            (x - area.left)];
            if (coverage > 0.0f) blendPixel(pixel, style.color, coverage * alpha);
        });
        return;
    }
    // Hard edges on whole pixels: a GDI pen.
    std::vector<POINT> device;
    device.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        if (finite(points[i])) device.push_back(devicePoint(points[i]));
    if (device.size() < 2) return;
    LOGBRUSH brush{BS_SOLID, colorRef(style.color), 0};
    const DWORD cap = style.cap == LineCap::Round    ? PS_ENDCAP_ROUND
                      : style.cap == LineCap::Square ? PS_ENDCAP_SQUARE
                                                     : PS_ENDCAP_FLAT;
    const DWORD dash = static_cast<DWORD>(std::max(1L, std::lround(style.dash)));
    const DWORD dashes[2] = {dash, dash};
    const bool dashed = style.dash > 0.0f;
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | (dashed ? PS_USERSTYLE : PS_SOLID) | cap | PS_JOIN_MITER,
                            static_cast<DWORD>(std::max(1L, std::lround(style.width))), &brush,
                            dashed ? 2 : 0, dashed ? dashes : nullptr);
    if (!pen) return;
    HGDIOBJ before = SelectObject(c->dc, pen);
    Polyline(c->dc, device.data(), static_cast<int>(device.size()));
    SelectObject(c->dc, before);
    DeleteObject(pen);
    c->mark();
}

void CDrawContext::fillPolygon(const CPointF* points, int count, CColor color) {
    Context* c = ctx(native_);
    if (!c || !points || count < 3 || color.a == 0) return;
    std::vector<POINT> device;
    device.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        if (finite(points[i]))
            device.push_back({static_cast<LONG>(std::lround(points[i].x)),
                              static_cast<LONG>(std::lround(points[i].y))});
    if (device.size() < 3) return;
    HBRUSH brush = CreateSolidBrush(colorRef(color));
    HGDIOBJ beforeBrush = SelectObject(c->dc, brush);
    HGDIOBJ beforePen = SelectObject(c->dc, GetStockObject(NULL_PEN));
    Polygon(c->dc, device.data(), static_cast<int>(device.size()));
    SelectObject(c->dc, beforePen);
    SelectObject(c->dc, beforeBrush);
    DeleteObject(brush);
    c->mark();
}

void CDrawContext::points(const CPointF* points, int count, CColor color, int size) {
    Context* c = ctx(native_);
    if (!c || !points || count <= 0 || size <= 0) return;
    if (size == 1) {
        const std::vector<CRect> clips = c->clipRects();
        PixelLines lines;
        if (lines.begin(reinterpret_cast<unsigned char*>(c->target->bits), 4 * c->target->width,
                        clips.data(), static_cast<int>(clips.size()))) {
            GdiFlush();
            lines.dots(points, count, color);
            return;
        }
    }
    const int before = size / 2;
    for (int i = 0; i < count; ++i) {
        if (!finite(points[i])) continue;
        const POINT p = devicePoint(points[i]);
        fillRect(CRect::sized(p.x - before, p.y - before, size, size), color);
    }
}

void CDrawContext::arc(CPointF centre, float radius, float startAngle, float endAngle,
                       const CLineStyle& style) {
    if (!(radius > 0.0f) || !std::isfinite(startAngle) || !std::isfinite(endAngle)) return;
    // As a path: cairo-like arcs, with the hairline writer's antialiasing at one pixel.
    float sweep = endAngle - startAngle;
    const float turn = 2.0f * static_cast<float>(M_PI);
    while (sweep < 0.0f) sweep += turn;
    sweep = std::min(sweep, turn);
    const int steps = std::clamp(static_cast<int>(std::ceil(sweep * radius / 2.0f)), 4, 720);
    std::vector<CPointF> path(static_cast<std::size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        const float a = startAngle + sweep * static_cast<float>(i) / static_cast<float>(steps);
        path[static_cast<std::size_t>(i)] = {centre.x + radius * std::cos(a),
                                             centre.y + radius * std::sin(a)};
    }
    polyline(path.data(), steps + 1, style);
}

void CDrawContext::fillCircle(CPointF centre, float radius, CColor color) {
    Context* c = ctx(native_);
    if (!c || !(radius > 0.0f) || !finite(centre) || color.a == 0) return;
    // Coverage by distance from the centre: an antialiased edge, as cairo draws it.
    const CRect box{static_cast<int>(std::floor(centre.x - radius - 1)),
                    static_cast<int>(std::floor(centre.y - radius - 1)),
                    static_cast<int>(std::ceil(centre.x + radius + 1)),
                    static_cast<int>(std::ceil(centre.y + radius + 1))};
    const float alpha = color.a / 255.0f;
    c->forEachPixel(box, [&](std::uint32_t& pixel, int x, int y) {
        const float dx = static_cast<float>(x) + 0.5f - centre.x;
        const float dy = static_cast<float>(y) + 0.5f - centre.y;
        const float coverage = std::clamp(radius - std::sqrt(dx * dx + dy * dy) + 0.5f, 0.0f, 1.0f);
        if (coverage > 0.0f) blendPixel(pixel, color, coverage * alpha);
    });
}

void CDrawContext::save() {
    Context* c = ctx(native_);
    if (!c) return;
    SaveDC(c->dc);
    ++c->depth;
}

void CDrawContext::restore() {
    Context* c = ctx(native_);
    if (!c || c->depth == 0) return;  // never below the state the context began with
    RestoreDC(c->dc, -1);
    --c->depth;
}

void CDrawContext::clip(const CRect& rect) {
    clip(&rect, 1);
}

void CDrawContext::clip(const CRect* rects, int count) {
    Context* c = ctx(native_);
    if (!c) return;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (int i = 0; i < count; ++i) {
        if (rects[i].empty()) continue;
        HRGN part = CreateRectRgn(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
        CombineRgn(region, region, part, RGN_OR);
        DeleteObject(part);
    }
    // Narrows the clip there is; without one, the region becomes the clip.
    HRGN current = CreateRectRgn(0, 0, 0, 0);
    const bool clipped = GetClipRgn(c->dc, current) == 1;
    DeleteObject(current);
    ExtSelectClipRgn(c->dc, region, clipped ? RGN_AND : RGN_COPY);
    DeleteObject(region);
}

int CDrawContext::clipRects(CRect* rects, int max) const {
    const Context* c = ctx(native_);
    if (!c) return -1;
    const std::vector<CRect> clips = c->clipRects();
    if (static_cast<int>(clips.size()) > max) return -1;
    std::copy(clips.begin(), clips.end(), rects);
    return static_cast<int>(clips.size());
}

}  // namespace qx::gui
