// The trigwave plug-in: its effect class is what the host's entry point creates.
#include "effects/trigwave/trigwave_editor.h"
#include "effects/trigwave/trigwave_effect.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(TrigwaveEffect, TrigwaveEditor)
