// The heliope plug-in: its effect class is what the host's entry point creates.
#include "effects/heliope/renderer_editor.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(HeliopeEffect, HeliopeEditor)
