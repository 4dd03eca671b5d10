// The spectrel plug-in: the effect class and its editor, as the host's entry point creates
// them.
#include "effects/spectrel/analyzer_editor.h"
#include "framework/plugin_effect_with_editor.h"

QX_DEFINE_PLUGIN(AnalyzerEffect, AnalyzerEditor)
