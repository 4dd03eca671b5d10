// Cost of the analyzer plug-in per stereo frame at 48 kHz in blocks of 512, through its
// processing entry as a host calls it: pass-through, analysis and the publication of the
// meters and spectra. With the editor's side: reading the newest spectrum and meters as an
// idle call does.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/spectrel/analyzer_effect.h"
#include "framework/plugin_effect_with_editor.h"

namespace qx {
namespace {

constexpr int kBlock = 512;

void run(benchmark::State& state, int program, bool readLikeEditor) {
    PluginEffectWithEditor<AnalyzerEffect> fx(nullptr);
    fx.setSampleRate(48000.0f);
    fx.setProgram(program);
    std::vector<float> in[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    std::srand(1);
    for (int n = 0; n < kBlock; ++n) {
        const double noise = 0.3 * (2.0 * std::rand() / RAND_MAX - 1.0);
        in[0][n] = static_cast<float>(0.6 * std::sin(0.031 * n) + noise);
        in[1][n] = static_cast<float>(0.6 * std::sin(0.029 * n) - noise);
    }
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    vst::AEffect* e = fx.getAeffect();
    float sink = 0.0f;
    for (auto _ : state) {
        e->processReplacing(e, ins, outs, kBlock);
        if (readLikeEditor) {
            bool fresh = false;
            if (const AnalyzerSpectrum* s = fx.latestSpectrum(&fresh)) sink += s->left[40];
            sink += fx.meters().peakSince[0].take(MeterReader::Editor);
        }
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_EffectDefault(benchmark::State& state) {
    run(state, 0, false);
}
void BM_EffectCdMaster(benchmark::State& state) {
    run(state, 2, false);
}
void BM_EffectDefaultWithEditorReads(benchmark::State& state) {
    run(state, 0, true);
}

BENCHMARK(BM_EffectDefault);
BENCHMARK(BM_EffectCdMaster);
BENCHMARK(BM_EffectDefaultWithEditorReads);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
