// The toy plug-in's skin: one knob and its caption, enough to show a skin painted and
// embedded through add_qx_plugin.
#include "resources/painter/skin.h"
#include "tests/framework/toy_plugin/toy_params.h"

namespace qx::skin {

namespace {

constexpr int kKnobBitmap = 1025;
constexpr gui::ControlLayout kLayout[] = {
    {gui::ControlKind::AnimKnob, toy::kGain, 40, 50, 50, 50, kKnobBitmap, 0, 33, 0.0f, "GAIN",
     gui::Caption::Above},
};

}  // namespace

SkinDescription describeSkin() {
    SkinDescription skin;
    skin.name = "toy";
    skin.title = "TOY";
    skin.subtitle = "TEST PLUG-IN";
    skin.width = 130;
    skin.height = 120;
    skin.layout = kLayout;
    skin.bitmaps = {knobStrip(kKnobBitmap, 50, 33)};
    return skin;
}

}  // namespace qx::skin
