// Cost of the multiband engine per stereo frame at 48 kHz in blocks of 512, for each
// kernel and for the plain per-sample reference the tests hold it to.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/quassel/multiband_effect.h"
#include "effects/quassel/multiband_engine.h"
#include "effects/quassel/quassel_tables.h"
#include "framework/sample_guard.h"
#include "tests/quassel/multiband_reference.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

constexpr int kBlock = 512;
using Kernel = BandDynamics::Kernel;

enum class Layout { Program, Widest };

// The factory program's values, optionally with 20 bands of order 5.
template <class Engine>
void load(Engine& e, int program, Layout layout) {
    const float* row = kQuasselDescription.factory.row(program);
    e.setSampleRate(48000.0f);
    for (int i = 0; i < kQuasselNumParams; ++i) {
        float x = row[i];
        if (layout == Layout::Widest && (i == kQuasselNumberOfBands || i == kQuasselFilterOrder))
            x = 1.0f;
        applyQuasselParameter(e, i, x);
    }
}

// A drum-and-bass-like stereo block that keeps every band busy.
struct Signal {
    std::vector<float> left, right;
    Signal() : left(kBlock), right(kBlock) {
        std::srand(1);
        for (int n = 0; n < kBlock; ++n) {
            const float noise = 0.2f * (2.0f * std::rand() / RAND_MAX - 1.0f);
            const float kick = std::exp(-0.01f * n) * std::sin(0.012f * n);
            left[n] = 0.7f * kick + 0.3f * std::sin(0.1f * n) + noise;
            right[n] = 0.7f * kick + 0.3f * std::sin(0.13f * n) - noise;
        }
    }
};

void perFrame(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kBlock);
    // Seconds per stereo frame, printed with an SI prefix (n = nanoseconds).
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void runEngine(benchmark::State& state, Kernel kernel, int program, Layout layout) {
    DenormalGuard guard;  // as the plug-in's processing entries set it
    MultibandEngine e;
    if (!e.useKernel(kernel)) {
        state.SkipWithError("kernel not supported here");
        return;
    }
    load(e, program, layout);
    Signal s;
    std::vector<float> outL(kBlock), outR(kBlock);
    const float* in[2] = {s.left.data(), s.right.data()};
    float* out[2] = {outL.data(), outR.data()};
    for (auto _ : state) {
        e.processBlock(in, out, kBlock);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        benchmark::ClobberMemory();
    }
    perFrame(state);
}

void runReference(benchmark::State& state, int program, Layout layout) {
    DenormalGuard guard;
    test::ReferenceMultiband r;
    load(r, program, layout);
    Signal s;
    std::vector<float> outL(kBlock), outR(kBlock);
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            r.processFrame(s.left[n], s.right[n]);
            outL[n] = r.out(0);
            outR[n] = r.out(1);
        }
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        benchmark::ClobberMemory();
    }
    perFrame(state);
}

// The effect as a host reaches it: the record's processReplacing, with the framework's
// block-start checks and the meter publication after every block.
void runEffect(benchmark::State& state, int program, Layout layout) {
    MultibandEffect fx(nullptr);
    fx.setSampleRate(48000.0f);
    fx.setProgram(program);
    if (layout == Layout::Widest) {
        fx.setParameter(kQuasselNumberOfBands, 1.0f);
        fx.setParameter(kQuasselFilterOrder, 1.0f);
    }
    fx.resume();
    Signal s;
    std::vector<float> outL(kBlock), outR(kBlock);
    float* in[2] = {s.left.data(), s.right.data()};
    float* out[2] = {outL.data(), outR.data()};
    vst::AEffect* e = fx.getAeffect();
    for (auto _ : state) {
        e->processReplacing(e, in, out, kBlock);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        benchmark::ClobberMemory();
    }
    perFrame(state);
}

// The speed reference: Debian's LSP Multiband Compressor Stereo in its default state,
// loaded through our host library and timed the same way on the same block.
void BM_LspMultibandCompressorStereo(benchmark::State& state) {
    std::string error;
    auto plugin = host::Plugin::load("/usr/lib/vst/lsp-plugins/mb-compressor-stereo.so", &error);
    if (!plugin) {
        state.SkipWithError(("not installed: " + error).c_str());
        return;
    }
    plugin->prepare(48000.0f, kBlock);
    Signal s;
    std::vector<float> outL(kBlock), outR(kBlock);
    float* in[2] = {s.left.data(), s.right.data()};
    float* out[2] = {outL.data(), outR.data()};
    for (auto _ : state) {
        plugin->processReplacing(in, out, kBlock);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    perFrame(state);
}

// Program 0 ("Default clean", 14 bands of order 4), the widest layout (20 bands of
// order 5), and a program that compresses every band (the power function runs).
constexpr int kCompressing = 7;  // "Drums: multi-band comp"

void BM_Program0(benchmark::State& state, Kernel k) {
    runEngine(state, k, 0, Layout::Program);
}
void BM_Widest(benchmark::State& state, Kernel k) {
    runEngine(state, k, 0, Layout::Widest);
}
void BM_Compressing(benchmark::State& state, Kernel k) {
    runEngine(state, k, kCompressing, Layout::Program);
}
void BM_WidestCompressing(benchmark::State& state, Kernel k) {
    runEngine(state, k, kCompressing, Layout::Widest);
}
void BM_ReferenceProgram0(benchmark::State& state) {
    runReference(state, 0, Layout::Program);
}
void BM_ReferenceWidest(benchmark::State& state) {
    runReference(state, 0, Layout::Widest);
}
void BM_ReferenceCompressing(benchmark::State& state) {
    runReference(state, kCompressing, Layout::Program);
}

void BM_EffectProgram0(benchmark::State& state) {
    runEffect(state, 0, Layout::Program);
}
void BM_EffectWidest(benchmark::State& state) {
    runEffect(state, 0, Layout::Widest);
}
void BM_EffectWidestCompressing(benchmark::State& state) {
    runEffect(state, kCompressing, Layout::Widest);
}

BENCHMARK_CAPTURE(BM_Program0, avx2, Kernel::Avx2);
BENCHMARK_CAPTURE(BM_Program0, sse2, Kernel::Sse2);
BENCHMARK_CAPTURE(BM_Program0, scalar, Kernel::Scalar);
BENCHMARK_CAPTURE(BM_Widest, avx2, Kernel::Avx2);
BENCHMARK_CAPTURE(BM_Widest, sse2, Kernel::Sse2);
BENCHMARK_CAPTURE(BM_Widest, scalar, Kernel::Scalar);
BENCHMARK_CAPTURE(BM_Compressing, avx2, Kernel::Avx2);
BENCHMARK_CAPTURE(BM_Compressing, sse2, Kernel::Sse2);
BENCHMARK_CAPTURE(BM_WidestCompressing, avx2, Kernel::Avx2);
BENCHMARK(BM_EffectProgram0);
BENCHMARK(BM_EffectWidest);
BENCHMARK(BM_EffectWidestCompressing);
BENCHMARK(BM_ReferenceProgram0);
BENCHMARK(BM_LspMultibandCompressorStereo);
BENCHMARK(BM_ReferenceWidest);
BENCHMARK(BM_ReferenceCompressing);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
