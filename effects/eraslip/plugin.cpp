// The eraslip plug-in: its effect class is what the host's entry point creates.
#include "effects/eraslip/lofi_effect.h"
#include "framework/plugin_effect_with_editor.h"

// QX_HEADLESS: a build for a platform the editor toolkit has no backend for yet.
#ifndef QX_HEADLESS
#include "effects/eraslip/lofi_editor.h"
QX_DEFINE_PLUGIN(LofiEffect, LofiEditor)
#else
QX_DEFINE_PLUGIN(LofiEffect)
#endif
