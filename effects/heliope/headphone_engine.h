// Signal engine of the stereo headphone renderer: the channel matrix, a loudspeaker
// cabinet per input, the ipsilateral head filters, the crosstalk with interaural delay
// and head shadow, the distance law, the room and the output trim.
#pragma once

#include "effects/heliope/headphone_renderer.h"

namespace qx {

class HeadphoneEngine final : public HeadphoneRenderer {
  public:
    // Channel modes ("Channel mode" menu indices).
    enum ChannelMode : int { kStereo = 0, kSwap, kMonoSum, kMonoDifference, kLeftOnly, kRightOnly };

    // Two inputs, two outputs, at 44100 Hz with the default settings.
    HeadphoneEngine();

    // One frame from frameInput(0..1) to output(0..1); the effect adds the input noise
    // first (processBlock does). Audio thread.
    inline void processFrame();

    // Audio thread: n frames from inputs[0..1] (host samples, float or double) to
    // outputs[0..1]; buffers may be shared. n <= 0 touches nothing.
    template <typename T>
    void processBlock(const T* const* inputs, T* const* outputs, int n) {
        runBlock<2>(inputs, outputs, n, [this] { processFrame(); });
    }

  private:
    inline void applyChannelMode();
};

void HeadphoneEngine::applyChannelMode() {
    float& left = frame_[0];
    float& right = frame_[1];
    switch (channelMode_) {
        case kSwap: {
            const float l = left;
            left = right;
            right = l;
            break;
        }
        case kMonoSum:
            left = right = (left + right) * 0.5f;
            break;
        case kMonoDifference:
            left = right = (left - right) * 0.5f;
            break;
        case kLeftOnly:
            silence(1);
            break;
        case kRightOnly:
            silence(0);
            break;
        default:
            break;
    }
}

void HeadphoneEngine::processFrame() {
    applyChannelMode();
    const float speaker0 = cabinet_[0].process(frame_[0]);
    const float speaker1 = cabinet_[1].process(frame_[1]);
    const float ipsi0 = head_[0].ipsilateral(speaker0);
    const float ipsi1 = head_[1].ipsilateral(speaker1);
    // Written first, so a length of 0 reads the sample just written.
    head_[0].itdDelay.write(ipsi0);
    head_[1].itdDelay.write(ipsi1);
    const float contra0 = head_[0].shadow(head_[0].itdDelay.readCurrent());
    const float contra1 = head_[1].shadow(head_[1].itdDelay.readCurrent());

    float ear0, ear1;
    if (!nextDoor_) {
        const DistanceGains g = gains_[0];
        ear0 = g.ipsi * ipsi0 + g.contra * contra1;
        ear1 = g.ipsi * ipsi1 + g.contra * contra0;
        if (roomEnabled_) {
            reverb_.processSample(roomSendShelf_.processSample(speaker0 + speaker1), 0.0f);
            ear0 += reverb_.outputLeft();
            ear1 += reverb_.outputRight();
        }
    } else {
        // Through the wall only the room is heard, fed from the ears' filters.
        reverb_.processSample(roomSendShelf_.processSample(ipsi0 + ipsi1), 0.0f);
        ear0 = reverb_.outputLeft();
        ear1 = reverb_.outputRight();
    }
    out_[0] = ear0 * outputGain_;
    out_[1] = ear1 * outputGain_;
}

}  // namespace qx
