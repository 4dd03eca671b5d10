// The red_thuddo_alt plug-in: two inputs (with "Sidechain" on, input 2 keys input 1), copper
// skin.
#include "effects/red_thuddo/compressor_builds.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(RedThuddoAltEffect, RedThuddoAltEditor)
