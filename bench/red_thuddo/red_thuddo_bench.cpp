// Cost of the compressor engine per stereo frame at 48 kHz in blocks of 512.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/red_thuddo/compressor_math.h"
#include "effects/red_thuddo/red_thuddo_binding.h"

namespace qx {
namespace {

constexpr int kBlock = 512;

// Seconds per stereo frame, printed with an SI prefix (n = nanoseconds).
void reportPerFrame(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <typename T>
void runEngine(benchmark::State& state, int numInputs, int program, bool sidechain, bool limiter) {
    CompressorEngine engine(numInputs);
    applyRedThuddoProgram(engine, program);
    engine.setSampleRate(48000.0f);
    engine.setSidechain(sidechain);
    engine.setLimiter(limiter);
    engine.reset();
    // A programme with a pumping level, and a different key, so the gain keeps moving.
    std::vector<T> in[4], out[2];
    std::srand(1);
    for (int j = 0; j < 4; ++j) {
        in[j].resize(kBlock);
        for (int n = 0; n < kBlock; ++n) {
            const double noise = 0.2 * (2.0 * std::rand() / RAND_MAX - 1.0);
            const double envelope = 0.5 + 0.5 * std::sin(0.013 * n + j);
            in[j][n] = static_cast<T>(envelope * (0.7 * std::sin(0.031 * (j + 1) * n) + noise));
        }
    }
    for (auto& o : out) o.assign(kBlock, T(0));
    const T* ins[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    T* outs[2] = {out[0].data(), out[1].data()};
    for (auto _ : state) {
        engine.processBlock(ins, outs, kBlock);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::DoNotOptimize(out[1].data());
        benchmark::ClobberMemory();
    }
    reportPerFrame(state);
}

void BM_Program0(benchmark::State& state) {
    runEngine<float>(state, 4, 0, false, false);
}
void BM_Program0SideChain(benchmark::State& state) {
    runEngine<float>(state, 4, 0, true, false);
}
void BM_Program0Double(benchmark::State& state) {
    runEngine<double>(state, 4, 0, false, false);
}
void BM_Program0AltSideChain(benchmark::State& state) {
    runEngine<float>(state, 2, 0, true, false);
}
// Soft knee, hysteresis and the output limiter on the side chain.
void BM_Program32Limiter(benchmark::State& state) {
    runEngine<float>(state, 4, 32, true, true);
}

// The per-frame gain curve alone: one power evaluation per frame.
void BM_GainCurve(benchmark::State& state) {
    std::vector<float> envelope(kBlock), gain(kBlock);
    for (int n = 0; n < kBlock; ++n) envelope[n] = std::pow(10.0f, -3.0f + 6.0f * n / kBlock);
    const float e1 = -0.45f, e2 = 0.2f;
    for (auto _ : state) {
        compressor_math::curveGains(envelope.data(), gain.data(), kBlock, e1, e2, true);
        benchmark::DoNotOptimize(gain.data());
        benchmark::ClobberMemory();
    }
    reportPerFrame(state);
}

BENCHMARK(BM_Program0);
BENCHMARK(BM_Program0SideChain);
BENCHMARK(BM_Program0Double);
BENCHMARK(BM_Program0AltSideChain);
BENCHMARK(BM_Program32Limiter);
BENCHMARK(BM_GainCurve);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
