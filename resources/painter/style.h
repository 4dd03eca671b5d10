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
// A knob of `size` pixels at position 0..1 (one filmstrip frame).
void knobFrame(cairo_t* cr, const Style& style, int size, double position);
void verticalTrack(cairo_t* cr, int width, int height, int handleLength);
void horizontalTrack(cairo_t* cr, int width, int height, int handleLength);
void faderHandle(cairo_t* cr, const Style& style, int width, int height, bool vertical);
// One state of a push button with a lamp and a legend.
void toggleButton(cairo_t* cr, const Style& style, int width, int height, const char* legend,
                  bool on);
// A segmented meter bar, lit or unlit, green at the bottom through amber to red at the top.
void meterBar(cairo_t* cr, int width, int height, bool lit);

}  // namespace qx::skin
