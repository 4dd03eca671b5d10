// A short generated test piece: drums with sharp onsets, bass, chords, and a stereo image
// with both centre and side content. Deterministic for a given rate and length.
#pragma once

#include "tools/qxhost/audio_file.h"

namespace qx::tool {

// Stereo, peak normalised to -1 dBFS.
Audio makeDemoClip(int sampleRate, double seconds);

}  // namespace qx::tool
