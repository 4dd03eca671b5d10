// Cost of the stereo spreader engine per stereo frame at 48 kHz in blocks of 512, for the
// layouts and positions that change the work done.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/spreadix/spreader_engine.h"
#include "effects/spreadix/spreadix_effect.h"
#include "framework/vst2.h"

namespace qx {
namespace {

constexpr int kBlock = 512;

struct Setup {
    float panLeft, panRight;
    bool dipole;
    float synthMix;
};

void run(benchmark::State& state, const Setup& setup, bool accumulate) {
    SpreaderEngine engine;
    engine.setSampleRate(48000.0f);
    engine.setPanLeft(setup.panLeft);
    engine.setPanRight(setup.panRight);
    engine.setDipole(setup.dipole);
    engine.setSynthMix(setup.synthMix);
    engine.setLevelDb(-4.0f);
    std::vector<float> in[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    std::srand(1);
    for (int n = 0; n < kBlock; ++n) {
        const double noise = 0.3 * (2.0 * std::rand() / RAND_MAX - 1.0);
        in[0][n] = static_cast<float>(0.6 * std::sin(0.031 * n) + noise);
        in[1][n] = static_cast<float>(0.6 * std::sin(0.029 * n) - noise);
    }
    float offset = 2.5e-8f;
    for (auto _ : state) {
        offset = -offset;
        benchmark::DoNotOptimize(engine.processBlock(in[0].data(), in[1].data(), out[0].data(),
                                                     out[1].data(), kBlock, offset, accumulate));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    // Seconds per stereo frame, printed with an SI prefix (n = nanoseconds).
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// "Default": both sources on the ITU loudspeakers.
void BM_Default(benchmark::State& state) {
    run(state, {0.25f, 0.75f, false, 0.0f}, false);
}
// "Extra pan (ITU)" with the synthetic side: both crosstalk paths carry signal.
void BM_OutsideWithSynthSide(benchmark::State& state) {
    run(state, {0.0f, 1.0f, false, 0.5f}, false);
}
// The older hosts' accumulating entry, dipole layout.
void BM_DipoleAccumulating(benchmark::State& state) {
    run(state, {0.1f, 0.9f, true, 0.5f}, true);
}

// The whole effect as a host calls it: program "Extra pan (ITU)" with the synthetic side,
// per-block offset, VU peak and the scope pairs handed to the editor.
void BM_EffectProcessReplacing(benchmark::State& state) {
    SpreadixEffect effect(
        [](vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*,
           float) -> vst::VstIntPtr { return opcode == vst::audioMasterVersion ? 2300 : 0; });
    effect.setSampleRate(48000.0f);
    effect.setProgram(1);
    effect.setParameter(kSpreadixSynthMix, 0.5f);
    std::vector<float> in[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    for (int n = 0; n < kBlock; ++n) {
        in[0][n] = static_cast<float>(0.6 * std::sin(0.031 * n));
        in[1][n] = static_cast<float>(0.6 * std::sin(0.029 * n));
    }
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    for (auto _ : state) {
        effect.processReplacing(ins, outs, kBlock);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(effect.getVu());
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Default);
BENCHMARK(BM_OutsideWithSynthSide);
BENCHMARK(BM_DipoleAccumulating);
BENCHMARK(BM_EffectProcessReplacing);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
