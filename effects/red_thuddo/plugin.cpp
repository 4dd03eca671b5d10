// The red_thuddo plug-in: four inputs, programme on 1-2 and side chain on 3-4, red skin.
#include "effects/red_thuddo/compressor_builds.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(RedThuddoEffect, RedThuddoEditor)
