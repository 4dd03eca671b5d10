// Signals and block runners shared by the compressor engine tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "compressor_reference.h"
#include "effects/red_thuddo/compressor_engine.h"

namespace qx::test {

// Up to four planar input channels; unused ones stay silent.
struct Inputs {
    std::vector<float> ch[4];
    explicit Inputs(int frames) {
        for (auto& c : ch) c.assign(static_cast<size_t>(frames), 0.0f);
    }
    int frames() const { return static_cast<int>(ch[0].size()); }
};

struct Stereo {
    std::vector<float> left, right;
};

inline std::vector<float> sine(int frames, float amplitude, double hz, double phase = 0.0,
                               double fs = 44100.0) {
    std::vector<float> x(static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n)
        x[n] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * n / fs + phase));
    return x;
}

inline std::vector<float> noise(int frames, float amplitude, unsigned seed) {
    std::srand(seed);
    std::vector<float> x(static_cast<size_t>(frames));
    for (float& v : x) v = amplitude * (2.0f * static_cast<float>(std::rand()) / RAND_MAX - 1.0f);
    return x;
}

inline void configure(CompressorEngine& e, const CompressorSettings& s) {
    e.setSampleRate(s.sampleRate);
    e.setPreGainDb(s.preGainDb);
    e.setPostGainDb(s.postGainDb);
    e.setLimiter(s.limiter);
    e.setMono(s.mono);
    e.setSidechain(s.sidechain);
    e.setListen(s.listen);
    e.setSoftKnee(s.softKnee);
    e.setReleaseCurve(s.releaseCurve);
    e.setHighPassHz(s.highPassHz);
    e.setLowPassHz(s.lowPassHz);
    e.setHysteresis(s.hysteresis);
    e.setAttack(s.attack);
    e.setHold(s.hold);
    e.setRelease(s.release);
    e.setRatio1(s.ratio1);
    e.setRatio2(s.ratio2);
    e.setThresholdDb(s.thresholdDb);
    e.setDryWet(s.dryWet);
    e.setMaxGainDb(s.maxGainDb);
    e.reset();
}

// Runs the whole signal through processBlock in blocks of `block` frames of host type T;
// `each` sees the engine after every block.
template <typename T = float, typename Each>
Stereo run(CompressorEngine& e, const Inputs& in, int block, Each each) {
    const int frames = in.frames();
    std::vector<T> src[4], dst[2];
    for (int j = 0; j < 4; ++j) src[j].assign(in.ch[j].begin(), in.ch[j].end());
    for (auto& d : dst) d.assign(static_cast<size_t>(frames), T(0));
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        const T* ins[4] = {src[0].data() + start, src[1].data() + start, src[2].data() + start,
                           src[3].data() + start};
        T* outs[2] = {dst[0].data() + start, dst[1].data() + start};
        e.processBlock(ins, outs, n);
        each();
    }
    Stereo out;
    out.left.assign(dst[0].begin(), dst[0].end());
    out.right.assign(dst[1].begin(), dst[1].end());
    return out;
}

template <typename T = float>
Stereo run(CompressorEngine& e, const Inputs& in, int block = 64) {
    return run<T>(e, in, block, [] {});
}

}  // namespace qx::test
