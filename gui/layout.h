// Editor layouts as data: one row per control (kind, tag, place, bitmaps, caption). The
// editor framework builds the controls from it and the skin painter paints captions and
// display wells from the same rows, so a position is stated once. No X11 or cairo here.
#pragma once

namespace qx::gui {

enum class ControlKind {
    AnimKnob,      // filmstrip knob: bitmap = strip, frames
    ExpKnob,       // filmstrip knob drawn as value^e: value = e
    VSlider,       // bitmap = track, bitmap2 = handle
    HSlider,       // bitmap = track, bitmap2 = handle
    MovieButton,   // two-state button: bitmap = strip of two
    MovieBitmap,   // display-only strip: bitmap, frames
    OptionMenu,    // entries; value = entry index
    ParamDisplay,  // text of the parameter `tag`
    HintLine,      // the hint line of the last change
    CommandLabel,  // clickable text with a command tag (100 and up)
    FallOffMeter,  // bitmap = unlit, bitmap2 = lit, frames = steps, value = fall per second
    BitmapView,    // shows `bitmap`; the editor may switch it (setBackground)
    // A level meter with one lit bar per scale: bitmap = unlit, bitmap2 = the first lit bar
    // (the others follow in id order), frames = number of scales, value = fall per second.
    KScaleMeter,
    PeakHoldReadout,  // held peak in dB; a click clears it and sends the command `tag`
    Custom,           // a view the editor makes itself (graphs, band displays) at this place
};

// How the painter labels a control on the background.
enum class Caption { None, Above, Below, Left, Right };

constexpr int kNoTag = -1;
// Command tags (editor-only, no parameter) start here.
constexpr int kFirstCommandTag = 100;

struct ControlLayout {
    ControlKind kind;
    int tag;  // parameter index, command tag, or kNoTag
    int x, y, width, height;
    int bitmap = 0;
    int bitmap2 = 0;
    int frames = 0;
    float value = 0.0f;
    const char* caption = nullptr;
    Caption captionPlace = Caption::None;
    const char* const* entries = nullptr;  // option menus: null-terminated
};

}  // namespace qx::gui
