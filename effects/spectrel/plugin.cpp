// The spectrel plug-in: its effect class is what the host's entry point creates.
#include "effects/spectrel/analyzer_effect.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(AnalyzerEffect)
