// The 5.1 headphone renderer as a plug-in: the stereo renderer's effect with six inputs
// (L, R, C, LFE, Ls, Rs), and the answers a host asks a six-input effect about its
// loudspeaker layout and pins.
#pragma once

#include "effects/heliope/heliope_surround_tables.h"
#include "effects/heliope/renderer_effect.h"

namespace qx {

// The host's layout records (VST 2.4 layout), only as far as this effect fills them.
namespace speaker {

constexpr vst::VstInt32 kArrangementStereo = 1;  // L R
constexpr vst::VstInt32 kArrangement51 = 15;     // L R C Lfe Ls Rs
constexpr int kMaxNameLength = 64;
constexpr int kMaxSpeakers = 8;

struct Properties {
    float azimuth;  // radians, -pi..pi, 0 ahead, negative to the left
    float elevation;
    float radius;  // metres
    float reserved;
    char name[kMaxNameLength];
    vst::VstInt32 type;  // 1 L, 2 R, 3 C, 4 Lfe, 5 Ls, 6 Rs
    char future[28];
};

struct Arrangement {
    vst::VstInt32 type;
    vst::VstInt32 numChannels;
    Properties speakers[kMaxSpeakers];
};

// effGetInputProperties / effGetOutputProperties
struct PinProperties {
    char label[64];
    vst::VstInt32 flags;  // 1 active, 2 first of a stereo pair, 4 arrangement type valid
    vst::VstInt32 arrangementType;
    char shortLabel[8];
    char future[48];
};

}  // namespace speaker

class SurroundEffect : public RendererEffect<SurroundHeadphoneEngine> {
  public:
    explicit SurroundEffect(vst::audioMasterCallback host);

    // Adds the layout answers: effSetSpeakerArrangement accepts six inputs and two outputs
    // (answer 1) and refuses any other count (0); effGetSpeakerArrangement hands out 5.1 in,
    // stereo out; the pin queries name L, R, C, LFE, Ls, Rs and the two ears. Any thread.
    vst::VstIntPtr dispatcher(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                              void* ptr, float opt) override;

  private:
    // Owned by the effect, handed out by pointer; never written after construction.
    speaker::Arrangement inputArrangement_{};
    speaker::Arrangement outputArrangement_{};
};

}  // namespace qx
