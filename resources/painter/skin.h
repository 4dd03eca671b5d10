// A skin is a small description: the editor's layout rows, a title, an accent colour, the
// sections and scales to engrave, and the bitmaps to paint. The painter turns it into PNG
// images and a source file that embeds them.
#pragma once

#include <cairo.h>

#include <functional>
#include <span>
#include <vector>

#include "gui/layout.h"
#include "resources/painter/style.h"

namespace qx::skin {

struct BitmapSpec {
    int id;
    int width;
    int height;
    std::function<void(cairo_t*, const Style&)> paint;
};

struct SkinDescription {
    const char* name;  // the deliverable
    const char* title;
    const char* subtitle;
    int width;
    int height;
    Style style;
    // false: no title band; the decoration places the logo itself.
    bool headerBand = true;
    std::span<const gui::ControlLayout> layout;
    // Sections, scales and other engraving, painted under the captions.
    std::function<void(cairo_t*, const Style&)> decorate;
    // Every bitmap but the background (1024), which comes from the fields above.
    std::vector<BitmapSpec> bitmaps;
};

// The background: plate, header, decoration, then wells and captions from the layout.
void paintBackground(cairo_t* cr, const SkinDescription& skin);

// Common bitmaps in the suite's style.
BitmapSpec knobStrip(int id, int size, int frames);
BitmapSpec verticalTrackBitmap(int id, int width, int height, int handleLength);
BitmapSpec horizontalTrackBitmap(int id, int width, int height, int handleLength);
BitmapSpec faderHandleBitmap(int id, int width, int height, bool vertical);
// Two states stacked: off above on.
BitmapSpec toggleButtonBitmap(int id, int width, int height, const char* legend);
BitmapSpec meterBarBitmap(int id, int width, int height, bool lit, MeterZones zones = {});
BitmapSpec bipolarKnobStrip(int id, int size, int frames);

// K-scale meters, placed by the skin's `position` of a dBFS level (0..1 up the bar).
// Colour zones: green up to the K reference (-k dBFS), amber to 4 dB above it, red above.
MeterZones kScaleZones(double k, double (*position)(double));
// The legend strip beside such a meter: 0 down to -54 dBFS, labelled as read on scale K`k`
// (0 for plain peak), for a bar `meterHeight` high starting `meterTop` pixels down.
BitmapSpec kScaleLegend(int id, int width, int height, double k, double (*position)(double),
                        int meterTop, int meterHeight);

// The skin a painter paints: each skin source defines it, and each plug-in's painter links
// exactly one skin source.
SkinDescription describeSkin();

}  // namespace qx::skin
