// The palisor plug-in: its effect class and editor are what the host's entry point creates.
#include "effects/palisor/limiter_editor.h"
#include "effects/palisor/limiter_effect.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(LimiterEffect, LimiterEditor)
