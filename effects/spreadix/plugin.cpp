// The spreadix plug-in: its effect class is what the host's entry point creates.
#include "effects/spreadix/spreadix_editor.h"
#include "effects/spreadix/spreadix_effect.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(SpreadixEffect, SpreadixEditor)
