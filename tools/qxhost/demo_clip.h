// A short generated test piece: drums with sharp onsets, bass, chords, and a stereo image
// with both centre and side content. Deterministic for a given rate and length.
#pragma once

#include "tools/qxhost/audio_file.h"

namespace qx::tool {

// Stereo, peak normalised to -1 dBFS.
Audio makeDemoClip(int sampleRate, double seconds);

// The same piece as 5.1 (L, R, C, LFE, Ls, Rs) with the instruments placed around the
// listener: kick, snare and bass in the centre, the kick and bass below 120 Hz in the LFE
// channel, chords on the front pair and softer behind, hats on the surround pair. Peak
// normalised to -1 dBFS.
Audio makeSurroundDemoClip(int sampleRate, double seconds);

}  // namespace qx::tool
