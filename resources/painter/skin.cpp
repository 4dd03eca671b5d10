#include "resources/painter/skin.h"

#include <cstdio>
#include <cstring>

namespace qx::skin {

namespace {

bool hasWell(gui::ControlKind kind) {
    return kind == gui::ControlKind::ParamDisplay || kind == gui::ControlKind::HintLine ||
           kind == gui::ControlKind::CommandLabel || kind == gui::ControlKind::OptionMenu ||
           kind == gui::ControlKind::PeakHoldReadout;
}

}  // namespace

void paintBackground(cairo_t* cr, const SkinDescription& skin) {
    panel(cr, skin.width, skin.height);
    if (skin.headerBand) header(cr, skin.style, skin.width, skin.title, skin.subtitle);
    if (skin.decorate) skin.decorate(cr, skin.style);
    for (const gui::ControlLayout& row : skin.layout) {
        const gui::CRect box = gui::CRect::sized(row.x, row.y, row.width, row.height);
        if (hasWell(row.kind) && row.bitmap == 0) well(cr, box);
        if (!row.caption) continue;
        switch (row.captionPlace) {
            case gui::Caption::Above:
                captionAbove(cr, row.caption, box);
                break;
            case gui::Caption::Below:
                captionBelow(cr, row.caption, box);
                break;
            case gui::Caption::Left:
                captionLeft(cr, row.caption, box);
                break;
            case gui::Caption::Right:
                captionRight(cr, row.caption, box);
                break;
            case gui::Caption::None:
                break;
        }
    }
}

namespace {
BitmapSpec strip(int id, int size, int frames, bool bipolar) {
    return {id, size, size * frames, [size, frames, bipolar](cairo_t* cr, const Style& style) {
                for (int i = 0; i < frames; ++i) {
                    cairo_save(cr);
                    cairo_translate(cr, 0, i * size);
                    cairo_rectangle(cr, 0, 0, size, size);
                    cairo_clip(cr);
                    knobFrame(cr, style, size, frames > 1 ? double(i) / (frames - 1) : 0.0,
                              bipolar);
                    cairo_restore(cr);
                }
            }};
}
}  // namespace

BitmapSpec knobStrip(int id, int size, int frames) {
    return strip(id, size, frames, false);
}

BitmapSpec bipolarKnobStrip(int id, int size, int frames) {
    return strip(id, size, frames, true);
}

BitmapSpec verticalTrackBitmap(int id, int width, int height, int handleLength) {
    return {id, width, height,
            [=](cairo_t* cr, const Style&) { verticalTrack(cr, width, height, handleLength); }};
}

BitmapSpec horizontalTrackBitmap(int id, int width, int height, int handleLength) {
    return {id, width, height,
            [=](cairo_t* cr, const Style&) { horizontalTrack(cr, width, height, handleLength); }};
}

BitmapSpec faderHandleBitmap(int id, int width, int height, bool vertical) {
    return {id, width, height, [=](cairo_t* cr, const Style& style) {
                faderHandle(cr, style, width, height, vertical);
            }};
}

BitmapSpec toggleButtonBitmap(int id, int width, int height, const char* legend) {
    return {id, width, height * 2, [=](cairo_t* cr, const Style& style) {
                toggleButton(cr, style, width, height, legend, false);
                cairo_translate(cr, 0, height);
                toggleButton(cr, style, width, height, legend, true);
            }};
}

BitmapSpec meterBarBitmap(int id, int width, int height, bool lit, MeterZones zones) {
    return {id, width, height,
            [=](cairo_t* cr, const Style&) { meterBar(cr, width, height, lit, zones); }};
}

MeterZones kScaleZones(double k, double (*position)(double)) {
    return {position(-k), position(-k + 4), 0};
}

BitmapSpec kScaleLegend(int id, int width, int height, double k, double (*position)(double),
                        int meterTop, int meterHeight) {
    return {id, width, height, [=](cairo_t* cr, const Style&) {
                static char labels[8][8];
                ScaleMark marks[8];
                const double at[8] = {0, -6, -12, -18, -24, -30, -36, -54};
                int count = 0;
                for (double db : at) {
                    const double shown = db + k;
                    std::snprintf(labels[count], sizeof labels[count], "%+d",
                                  static_cast<int>(shown));
                    if (shown == 0) std::snprintf(labels[count], sizeof labels[count], "0");
                    marks[count] = {position(db), labels[count]};
                    ++count;
                }
                meterLegend(cr, width, meterTop, meterHeight, marks, count);
            }};
}

}  // namespace qx::skin
