// The suite's visual language in one place: colours, type and the painted parts every skin
// is made of (panel, sections, captions, display wells, knobs, faders, buttons, meters).
// Restyling the suite means editing style.cpp.
#pragma once

#include <cairo.h>

#include <string>

#include "gui/geometry.h"

namespace qx::skin {

struct Rgb {
    double r, g, b;
};

struct Style {
    Rgb accent{0.91, 0.59, 0.16};  // each deliverable has its own accent colour
};

enum class Align { Left, Center, Right };

// Text in the suite's face, `spacing` extra pixels between letters, baseline at y.
void text(cairo_t* cr, const std::string& s, double x, double y, double size, bool bold, Rgb colour,
          Align align = Align::Left, double spacing = 0.0);

void panel(cairo_t* cr, int width, int height);
// The product name in large letters with the accent rule and the subtitle below it.
void logo(cairo_t* cr, const Style& style, double x, double baseline, const char* title,
          const char* subtitle);
void header(cairo_t* cr, const Style& style, int width, const char* title, const char* subtitle);
// An engraved box with a small title in the top left corner.
void section(cairo_t* cr, const Style& style, const gui::CRect& box, const char* title);
// A control caption placed next to `control`.
void captionAbove(cairo_t* cr, const char* s, const gui::CRect& control);
void captionBelow(cairo_t* cr, const char* s, const gui::CRect& control);
void captionLeft(cairo_t* cr, const char* s, const gui::CRect& control);
void captionRight(cairo_t* cr, const char* s, const gui::CRect& control);
// A recessed read-out where a display or the hint line shows its text.
void well(cairo_t* cr, const gui::CRect& box);
// Tick marks beside a vertical meter: value 0..1 of each mark, its text at the left.
void meterMark(cairo_t* cr, const gui::CRect& meter, double value, const char* label);

// Bitmaps. Each paints into a surface of the stated size at the origin.
// A knob of `size` pixels at position 0..1 (one filmstrip frame); a bipolar knob lights its
// ring from the centre.
void knobFrame(cairo_t* cr, const Style& style, int size, double position, bool bipolar = false);
void verticalTrack(cairo_t* cr, int width, int height, int handleLength);
void horizontalTrack(cairo_t* cr, int width, int height, int handleLength);
void faderHandle(cairo_t* cr, const Style& style, int width, int height, bool vertical);
// One state of a push button with a lamp and a legend.
void toggleButton(cairo_t* cr, const Style& style, int width, int height, const char* legend,
                  bool on);
// Colour zones of a meter bar by position 0..1, and its segment pitch (0: continuous).
struct MeterZones {
    double amberFrom = 0.45;
    double redFrom = 0.9;
    int segment = 4;
};
// A meter bar, lit or unlit, green at the bottom through amber to red at the top.
void meterBar(cairo_t* cr, int width, int height, bool lit, const MeterZones& zones = {});
// A continuous bar in the accent colour (gain reduction, correlation).
void accentBar(cairo_t* cr, const Style& style, int width, int height);
// A narrow scale legend: `marks` labels at positions 0..1 of a meter `meterHeight` pixels
// tall whose top is `top` pixels into the legend.
struct ScaleMark {
    double position;
    const char* label;
};
void meterLegend(cairo_t* cr, int width, int top, int meterHeight, const ScaleMark* marks,
                 int count);
// Round push button with a power symbol, lit in the accent colour when on.
void powerButton(cairo_t* cr, const Style& style, int size, bool on);
// Small square button with a lamp, lit when on.
void lampButton(cairo_t* cr, const Style& style, int width, int height, bool on);

}  // namespace qx::skin
