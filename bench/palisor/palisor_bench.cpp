// Cost of the limiter's processing entries per stereo frame at 48 kHz.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/palisor/limiter_effect.h"

namespace qx {
namespace {

constexpr int kBlock = 512;

// Each iteration processes max(block, 512) frames in host calls of `block` frames.
template <typename T>
void runEffect(benchmark::State& state, int program, bool worstCase, int block = kBlock) {
    LimiterEffect fx(nullptr);
    fx.setSampleRate(48000.0f);
    fx.setProgram(program);
    if (worstCase) {
        fx.setParameter(kLimiterInterSamplePeak, 1.0f);
        fx.setParameter(kLimiterDithering, 4.0f);  // 16 bits, 8-tap shaping
        fx.setParameter(kLimiterXcorrThreshold, 0.6f);
        fx.setParameter(kLimiterSoftclipAmount, 0.5f);
    }
    fx.resume();
    // A loud, partly correlated programme that keeps every gain stage busy.
    const int frames = std::max(block, kBlock);
    std::vector<T> in[2] = {std::vector<T>(frames), std::vector<T>(frames)};
    std::vector<T> out[2] = {std::vector<T>(frames), std::vector<T>(frames)};
    std::srand(1);
    for (int n = 0; n < frames; ++n) {
        const double noise = 0.3 * (2.0 * std::rand() / RAND_MAX - 1.0);
        in[0][n] = static_cast<T>(0.9 * std::sin(0.031 * n) + noise);
        in[1][n] = static_cast<T>(0.9 * std::sin(0.029 * n) - noise);
    }
    for (auto _ : state) {
        for (int start = 0; start < frames; start += block) {
            T* ins[2] = {in[0].data() + start, in[1].data() + start};
            T* outs[2] = {out[0].data() + start, out[1].data() + start};
            if constexpr (sizeof(T) == sizeof(float))
                fx.processReplacing(ins, outs, block);
            else
                fx.processDoubleReplacing(ins, outs, block);
        }
        benchmark::DoNotOptimize(out[0].data());
        benchmark::DoNotOptimize(out[1].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
    // Seconds per stereo frame, printed with an SI prefix (n = nanoseconds).
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(frames),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Program1Float(benchmark::State& state) {
    runEffect<float>(state, 1, false);
}
void BM_Program1Double(benchmark::State& state) {
    runEffect<double>(state, 1, false);
}
void BM_EveryStageFloat(benchmark::State& state) {
    runEffect<float>(state, 2, true);
}
// Host block lengths: the fixed cost of a processing call against the work per frame.
void BM_Program1FloatBlock(benchmark::State& state) {
    runEffect<float>(state, 1, false, static_cast<int>(state.range(0)));
}

BENCHMARK(BM_Program1Float);
BENCHMARK(BM_Program1Double);
BENCHMARK(BM_EveryStageFloat);
BENCHMARK(BM_Program1FloatBlock)->Arg(1)->Arg(16)->Arg(64)->Arg(4096);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
