// The eraslip plug-in: its effect class is what the host's entry point creates.
#include "effects/eraslip/lofi_editor.h"
#include "effects/eraslip/lofi_effect.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(LofiEffect, LofiEditor)
