// What each deliverable provides to the shared entry point, and the process-wide flag
// that a failed editor allocation leaves behind.
#pragma once

#include "framework/audio_effect.h"

namespace qx {

// Defined once per deliverable: allocates its effect (with editor) or returns null.
AudioEffect* createEffectInstance(vst::audioMasterCallback host);

// Set when allocating an editor fails; never cleared, so every later instance in the
// process is refused as well.
extern bool constructionFailed;

}  // namespace qx
