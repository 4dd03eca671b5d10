// Signal engine of the 5.1 headphone renderer: six inputs (L, R, C, LFE, Ls, Rs), each
// through its own loudspeaker cabinet, with bass management for the subwoofer models,
// rendered through a front and a surround pair of ear entries of the same head model.
#pragma once

#include "effects/heliope/headphone_renderer.h"

namespace qx {

class SurroundHeadphoneEngine final : public HeadphoneRenderer {
  public:
    enum Input : int { kL = 0, kR, kC, kLfe, kLs, kRs };
    // Channel modes ("Channel mode" menu indices).
    enum ChannelMode : int {
        kSurround = 0,
        kItuDownmix,
        kMonoOnCenter,
        kNoLfe,
        kLOnly,  // kLOnly + i keeps input i alone, up to kRsOnly
        kROnly,
        kCOnly,
        kLfeOnly,
        kLsOnly,
        kRsOnly,
        kFrontOnly,
        kSurroundsOnly,
    };
    // The two subwoofer and satellite models: their LFE chain carries the sum of all six
    // inputs. Unknown indices above them sound like the reference, without bass
    // management (it would double every input in the front ears).
    static constexpr int kFirstBassManagedCabinet = 12;
    static constexpr int kLastBassManagedCabinet = 13;

    // Six inputs, two outputs, at 44100 Hz with the default settings. Here "Cue
    // strength", "Head size", "Ear size", "Distance" and "Generate ITDs" run the full
    // recomputation and so empty the reverb.
    SurroundHeadphoneEngine();

    // One frame from frameInput(0..5) to output(0..1). Audio thread.
    inline void processFrame();

    // Audio thread: n frames from inputs[0..5] to outputs[0..1]; buffers may be shared.
    // Bypassed, L and R pass and the other inputs are dropped. n <= 0 touches nothing.
    template <typename T>
    void processBlock(const T* const* inputs, T* const* outputs, int n) {
        runBlock<6>(inputs, outputs, n, [this] { processFrame(); });
    }

  private:
    inline void applyChannelMode();
};

void SurroundHeadphoneEngine::applyChannelMode() {
    constexpr float kDownmix = 0.70710677f;
    float* const f = frame_.data();
    int silenced = 0;  // bit i: input i is replaced by its noise
    switch (channelMode_) {
        case kItuDownmix:
            f[kL] = f[kL] + kDownmix * (f[kC] + f[kLfe] + f[kLs]);
            f[kR] = f[kR] + kDownmix * (f[kC] + f[kLfe] + f[kRs]);
            silenced = 1 << kC | 1 << kLfe | 1 << kLs | 1 << kRs;
            break;
        case kMonoOnCenter:
            f[kC] = f[kL] + f[kR] + f[kC] + f[kLfe] + kDownmix * (f[kLs] + f[kRs]);
            silenced = 0x3f & ~(1 << kC);
            break;
        case kNoLfe:
            f[kL] = f[kL] + 0.5f * f[kLfe];
            f[kR] = f[kR] + 0.5f * f[kLfe];
            silenced = 1 << kLfe;
            break;
        case kLOnly:
        case kROnly:
        case kCOnly:
        case kLfeOnly:
        case kLsOnly:
        case kRsOnly:
            silenced = 0x3f & ~(1 << (channelMode_ - kLOnly));
            break;
        case kFrontOnly:
            silenced = 1 << kLfe | 1 << kLs | 1 << kRs;
            break;
        case kSurroundsOnly:
            silenced = 1 << kL | 1 << kR | 1 << kC | 1 << kLfe;
            break;
        default:
            return;
    }
    for (int c = 0; c < 6; ++c)
        if (silenced & (1 << c)) silence(c);
}

void SurroundHeadphoneEngine::processFrame() {
    applyChannelMode();
    const float* const f = frame_.data();
    const bool bassManaged =
        cabinetIndex_ >= kFirstBassManagedCabinet && cabinetIndex_ <= kLastBassManagedCabinet;
    const float lfeFeed = bassManaged ? f[kL] + f[kR] + f[kC] + f[kLfe] + f[kLs] + f[kRs] : f[kLfe];
    float s[6];
    s[kL] = cabinet_[kL].process(f[kL]);
    s[kR] = cabinet_[kR].process(f[kR]);
    s[kC] = cabinet_[kC].process(f[kC]);
    s[kLfe] = cabinet_[kLfe].process(lfeFeed);
    s[kLs] = cabinet_[kLs].process(f[kLs]);
    s[kRs] = cabinet_[kRs].process(f[kRs]);

    // Crosstalk: shadowed, then delayed towards the other ear.
    const DistanceGains front = gains_[0];
    const DistanceGains back = gains_[1];
    head_[0].itdDelay.write(head_[0].shadow(s[kL] * front.contra));
    head_[1].itdDelay.write(head_[1].shadow(s[kR] * front.contra));
    head_[2].itdDelay.write(head_[2].shadow(s[kLs] * back.contra));
    head_[3].itdDelay.write(head_[3].shadow(s[kRs] * back.contra));

    // Each ear entry hears its own speaker (front: with centre and LFE) and the other
    // side's crosstalk, through its head filters.
    const float e0 = head_[0].ipsilateral(front.ipsi * (s[kL] + s[kC] + s[kLfe]) +
                                          head_[1].itdDelay.readCurrent());
    const float e1 = head_[1].ipsilateral(front.ipsi * (s[kR] + s[kC] + s[kLfe]) +
                                          head_[0].itdDelay.readCurrent());
    const float e2 = head_[2].ipsilateral(back.ipsi * s[kLs] + head_[3].itdDelay.readCurrent());
    const float e3 = head_[3].ipsilateral(back.ipsi * s[kRs] + head_[2].itdDelay.readCurrent());

    float ear0, ear1;
    if (!nextDoor_) {
        ear0 = e0 + e2;
        ear1 = e1 + e3;
        if (roomEnabled_) {
            const float send = s[0] + s[1] + s[2] + s[3] + s[4] + s[5];
            reverb_.processSample(roomSendShelf_.processSample(send), 0.0f);
            ear0 += reverb_.outputLeft();
            ear1 += reverb_.outputRight();
        }
    } else {
        reverb_.processSample(roomSendShelf_.processSample(e0 + e1 + e2 + e3), 0.0f);
        ear0 = reverb_.outputLeft();
        ear1 = reverb_.outputRight();
    }
    out_[0] = ear0 * outputGain_;
    out_[1] = ear1 * outputGain_;
}

}  // namespace qx
