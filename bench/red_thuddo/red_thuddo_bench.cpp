// Cost of the compressor per stereo frame at 48 kHz in blocks of 512: the engine alone,
// and through the effect record as a host calls it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "effects/red_thuddo/compressor_effect.h"
#include "effects/red_thuddo/compressor_math.h"
#include "effects/red_thuddo/red_thuddo_binding.h"
#include "tools/vsthost/plugin_host.h"

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

// A programme with a pumping level, and a different key, so the gain keeps moving.
template <typename T>
void fillTestInputs(std::vector<T> (&in)[4]) {
    std::srand(1);
    for (int j = 0; j < 4; ++j) {
        in[j].resize(kBlock);
        for (int n = 0; n < kBlock; ++n) {
            const double noise = 0.2 * (2.0 * std::rand() / RAND_MAX - 1.0);
            const double envelope = 0.5 + 0.5 * std::sin(0.013 * n + j);
            in[j][n] = static_cast<T>(envelope * (0.7 * std::sin(0.031 * (j + 1) * n) + noise));
        }
    }
}

template <typename T>
void runEngine(benchmark::State& state, int numInputs, int program, bool sidechain, bool limiter) {
    CompressorEngine engine(numInputs);
    applyRedThuddoProgram(engine, program);
    engine.setSampleRate(48000.0f);
    engine.setSidechain(sidechain);
    engine.setLimiter(limiter);
    engine.reset();
    std::vector<T> in[4], out[2];
    fillTestInputs(in);
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

// Through the effect record: the host's entry, change hand-off and meter publication.
template <class Effect, typename T>
void runEffect(benchmark::State& state, int program) {
    Effect fx(nullptr);
    fx.setProgram(program);
    fx.setSampleRate(48000.0f);
    fx.resume();
    std::vector<T> in[4], out[2];
    fillTestInputs(in);
    for (auto& o : out) o.assign(kBlock, T(0));
    T* ins[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    T* outs[2] = {out[0].data(), out[1].data()};
    vst::AEffect* e = fx.getAeffect();
    for (auto _ : state) {
        if constexpr (std::is_same_v<T, float>)
            e->processReplacing(e, ins, outs, kBlock);
        else
            e->processDoubleReplacing(e, ins, outs, kBlock);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
    }
    reportPerFrame(state);
}

void BM_EffectProgram0(benchmark::State& state) {
    runEffect<RedThuddoEffect, float>(state, 0);
}
void BM_EffectProgram0Double(benchmark::State& state) {
    runEffect<RedThuddoEffect, double>(state, 0);
}
void BM_EffectProgram32(benchmark::State& state) {
    runEffect<RedThuddoEffect, float>(state, 32);
}
void BM_AltEffectProgram32(benchmark::State& state) {
    runEffect<RedThuddoAltEffect, float>(state, 32);
}

// The built module and the speed reference (Debian's LSP Compressor Stereo in its default
// state), both loaded through our host library and timed on the same stereo block.
void runLoaded(benchmark::State& state, const char* path, int program) {
    std::string error;
    auto plugin = host::Plugin::load(path, &error);
    if (!plugin) {
        state.SkipWithError(("cannot load: " + error).c_str());
        return;
    }
    if (program >= 0) plugin->setProgram(program);
    plugin->prepare(48000.0f, kBlock);
    std::vector<float> in[4], out[2];
    fillTestInputs(in);
    in[2].assign(kBlock, 0.0f);  // no side chain: both plug-ins see the same stereo input
    in[3].assign(kBlock, 0.0f);
    for (auto& o : out) o.assign(kBlock, 0.0f);
    float* ins[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    for (auto _ : state) {
        plugin->processReplacing(ins, outs, kBlock);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
    }
    reportPerFrame(state);
}

void BM_ModuleProgram0(benchmark::State& state) {
    runLoaded(state, QX_RED_THUDDO_PATH, 0);
}
void BM_LspCompressorStereo(benchmark::State& state) {
    runLoaded(state, "/usr/lib/vst/lsp-plugins/compressor-stereo.so", -1);
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
BENCHMARK(BM_EffectProgram0);
BENCHMARK(BM_EffectProgram0Double);
BENCHMARK(BM_EffectProgram32);
BENCHMARK(BM_AltEffectProgram32);
BENCHMARK(BM_ModuleProgram0);
BENCHMARK(BM_LspCompressorStereo);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
