// The toy plug-in module: what the host's entry point creates.
#include "framework/plugin_effect_with_editor.h"
#include "tests/framework/toy_plugin/toy_effect.h"

QX_DEFINE_PLUGIN(toy::ToyEffect)
