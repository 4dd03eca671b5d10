// The signal screenshot tools and editor tests play so meters and displays move: a 440 Hz
// sine at -6 dBFS on every input, continuing from block to block.
#pragma once

#include <cmath>
#include <vector>

#include "tools/vsthost/plugin_host.h"

namespace qx::host {

class TestTone {
  public:
    // Runs `blocks` blocks of 512 frames through `plugin` (prepared), on the caller's thread;
    // the output is dropped.
    void play(Plugin& plugin, int blocks) {
        constexpr int kFrames = 512;
        constexpr double kStep = 2 * 3.14159265358979 * 440.0 / 44100.0;
        std::vector<std::vector<float>> input(static_cast<std::size_t>(plugin.numInputs()),
                                              std::vector<float>(kFrames));
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < kFrames; ++i) {
                const float s = 0.5f * static_cast<float>(std::sin(phase_));
                phase_ = std::fmod(phase_ + kStep, 2 * 3.14159265358979);
                for (auto& channel : input) channel[static_cast<std::size_t>(i)] = s;
            }
            plugin.run(input, kFrames);
        }
    }

  private:
    double phase_ = 0.0;
};

}  // namespace qx::host
