// Test helpers for the headphone renderers: rendering planar buffers through an engine in
// blocks, single-bin spectra, biquad responses and program application.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "dsp/biquad_filter.h"
#include "effects/heliope/heliope_tables.h"

namespace qx::test {

using Channels = std::vector<std::vector<float>>;

// Everything a listener could hear lies far above the -160 dB input noise.
constexpr double kNoiseFloor = 1e-6;
// Two renders whose inputs differ only in that noise still differ by float rounding,
// which the very low poles of the 10 Hz highpasses amplify to about -70 dB.
constexpr double kRounding = 1e-3;

// Renders planar `in` (one vector per engine input) in blocks of `block` frames.
template <class Engine, typename T = float>
Channels render(Engine& e, const Channels& in, int block = 512) {
    const int frames = static_cast<int>(in[0].size());
    const int numInputs = static_cast<int>(in.size());
    std::vector<std::vector<T>> src(numInputs);
    for (int c = 0; c < numInputs; ++c) src[c].assign(in[c].begin(), in[c].end());
    std::vector<T> out0(frames), out1(frames);
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        std::vector<const T*> ins(numInputs);
        for (int c = 0; c < numInputs; ++c) ins[c] = src[c].data() + start;
        T* outs[2] = {out0.data() + start, out1.data() + start};
        e.processBlock(ins.data(), outs, n);
    }
    return {std::vector<float>(out0.begin(), out0.end()),
            std::vector<float>(out1.begin(), out1.end())};
}

inline Channels silence(int channels, int frames) {
    return Channels(channels, std::vector<float>(frames, 0.0f));
}

// Uniform noise in -amplitude..amplitude, reproducible.
inline std::vector<float> noise(int frames, float amplitude, std::uint32_t seed) {
    std::vector<float> x(frames);
    std::uint64_t s = seed * 2654435761u + 1;
    for (float& v : x) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        v = amplitude * (static_cast<float>(s >> 40) / 8388608.0f - 1.0f);
    }
    return x;
}

inline std::vector<float> sine(int frames, float amplitude, double hz, double fs) {
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * n / fs));
    return x;
}

inline std::vector<float> impulse(int frames) {
    std::vector<float> x(frames, 0.0f);
    x[0] = 1.0f;
    return x;
}

// Magnitude of the DFT of x at frequency hz (a single bin, not normalised).
inline double magnitudeAt(const std::vector<float>& x, double hz, double fs, int from = 0) {
    std::complex<double> sum = 0.0;
    const std::complex<double> step = std::polar(1.0, -2.0 * M_PI * hz / fs);
    std::complex<double> w = 1.0;
    for (size_t n = from; n < x.size(); ++n) {
        sum += static_cast<double>(x[n]) * w;
        w *= step;
    }
    return std::abs(sum);
}

inline double rms(const std::vector<float>& x, int from = 0, int to = -1) {
    if (to < 0) to = static_cast<int>(x.size());
    double sum = 0.0;
    for (int n = from; n < to; ++n) sum += static_cast<double>(x[n]) * x[n];
    return to > from ? std::sqrt(sum / (to - from)) : 0.0;
}

inline double peak(const std::vector<float>& x, int from = 0, int to = -1) {
    if (to < 0) to = static_cast<int>(x.size());
    double p = 0.0;
    for (int n = from; n < to; ++n) p = std::max(p, static_cast<double>(std::fabs(x[n])));
    return p;
}

// First index whose magnitude reaches threshold, or -1.
inline int onset(const std::vector<float>& x, float threshold) {
    for (size_t n = 0; n < x.size(); ++n)
        if (std::fabs(x[n]) >= threshold) return static_cast<int>(n);
    return -1;
}

// H(e^jw) of a designed section, from its coefficients.
inline std::complex<double> biquadResponse(const BiquadFilter& f, double hz, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * hz / fs);
    const std::complex<double> z2 = z1 * z1;
    const double b0 = f.b0(), b1 = f.b1(), b2 = f.b2(), a1 = f.a1(), a2 = f.a2();
    return (b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2);
}

// Applies row `program` of a factory table through the shared parameter mapping.
template <class Engine>
void applyProgram(Engine& e, const EffectDescription& d, int program) {
    const float* row = d.factory.row(program);
    for (int i = 0; i < d.factory.numParams; ++i) applyHeliopeParameter(e, i, row[i]);
}

}  // namespace qx::test
