// Cost of the analyzer engine per stereo frame at 48 kHz in blocks of 512: the pass-through
// copy plus the analysis, in each configuration that changes the work done.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/spectrel/analyzer_engine.h"

namespace qx {
namespace {

constexpr int kBlock = 512;

template <typename T>
void run(benchmark::State& state, bool isp, bool spectrum) {
    AnalyzerEngine engine;
    engine.updateSampleRate(48000.0f);
    engine.setSlowAveraging(false);
    engine.setInterSamplePeak(isp);
    engine.setSpectrumOn(spectrum);
    // A loud, partly correlated programme.
    std::vector<T> in[2] = {std::vector<T>(kBlock), std::vector<T>(kBlock)};
    std::vector<T> out[2] = {std::vector<T>(kBlock), std::vector<T>(kBlock)};
    std::srand(1);
    for (int n = 0; n < kBlock; ++n) {
        const double noise = 0.3 * (2.0 * std::rand() / RAND_MAX - 1.0);
        in[0][n] = static_cast<T>(0.6 * std::sin(0.031 * n) + noise);
        in[1][n] = static_cast<T>(0.6 * std::sin(0.029 * n) - noise);
    }
    for (auto _ : state) {
        engine.processBlock(in[0].data(), in[1].data(), out[0].data(), out[1].data(), kBlock);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::DoNotOptimize(out[1].data());
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(engine.peakLevel(0));
    state.SetItemsProcessed(state.iterations() * kBlock);
    // Seconds per stereo frame, printed with an SI prefix (n = nanoseconds).
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The factory default: spectrum on, inter-sample peaks off.
void BM_DefaultFloat(benchmark::State& state) {
    run<float>(state, false, true);
}
void BM_DefaultDouble(benchmark::State& state) {
    run<double>(state, false, true);
}
// "CD master" and the other mastering programs: inter-sample peaks on.
void BM_InterSamplePeakFloat(benchmark::State& state) {
    run<float>(state, true, true);
}
void BM_SpectrumOffFloat(benchmark::State& state) {
    run<float>(state, false, false);
}

BENCHMARK(BM_DefaultFloat);
BENCHMARK(BM_DefaultDouble);
BENCHMARK(BM_InterSamplePeakFloat);
BENCHMARK(BM_SpectrumOffFloat);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
