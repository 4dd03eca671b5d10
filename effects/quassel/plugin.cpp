// The quassel plug-in: its effect class and editor are what the host's entry point creates.
#include "effects/quassel/multiband_editor.h"
#include "effects/quassel/multiband_effect.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(MultibandEffect, MultibandEditor)
