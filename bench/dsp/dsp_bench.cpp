// Cost of each block's processing call, and RealFft against FFTW's single-precision
// real transforms of the same sizes.
#include <fftw3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "dsp/allpass_delay.h"
#include "dsp/biquad_filter.h"
#include "dsp/delay_line.h"
#include "dsp/noise_source.h"
#include "dsp/one_pole_filter.h"
#include "dsp/real_fft.h"
#include "dsp/room_reverb.h"

namespace {

constexpr int kBlock = 4096;

std::vector<float> noise(int n) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x) v = dist(rng);
    return x;
}

// Runs body over a block of input per iteration and reports time per sample.
template <typename Body>
void perSample(benchmark::State& state, Body body) {
    const std::vector<float> in = noise(kBlock);
    float sink = 0.0f;
    for (auto _ : state) {
        for (float x : in) sink += body(x);
        benchmark::DoNotOptimize(sink);
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_OnePoleFilter(benchmark::State& state) {
    qx::OnePoleFilter f;
    f.setCutoff(1000.0f, 44100);
    perSample(state, [&](float x) {
        f.process(x);
        return f.output();
    });
}
BENCHMARK(BM_OnePoleFilter);

void BM_BiquadFilter(benchmark::State& state) {
    qx::BiquadFilter f;
    f.design(44100.0f, qx::kBiquadBell, 1000.0f, 1.0f, -8.0f, 0.0f, true);
    perSample(state, [&](float x) { return f.processSample(x); });
}
BENCHMARK(BM_BiquadFilter);

void BM_BiquadFilterLite(benchmark::State& state) {
    qx::BiquadFilterLite f;
    f.design(44100.0f, qx::kBiquadHighShelf, 3000.0f, 1.0f, 6.0f);
    perSample(state, [&](float x) { return f.processSample(x); });
}
BENCHMARK(BM_BiquadFilterLite);

void BM_DelayLineWriteRead(benchmark::State& state) {
    qx::DelayLine d;
    d.init(1000, 2048, 0.5f);
    perSample(state, [&](float x) {
        const float y = d.readCurrent();
        d.write(x);
        return y;
    });
}
BENCHMARK(BM_DelayLineWriteRead);

void BM_DelayLineDampedInterpolated(benchmark::State& state) {
    qx::DelayLine d;
    d.init(1000, 2048, 0.5f);
    d.setDamping(3000.0f, 44100);
    perSample(state, [&](float x) {
        const float y = d.readInterpolated(123.25f);
        d.writeDamped(x + 0.5f * y);
        return y;
    });
}
BENCHMARK(BM_DelayLineDampedInterpolated);

void BM_AllpassDelay(benchmark::State& state) {
    qx::AllpassDelay a;
    a.init(263, 1152, 0.6f);
    perSample(state, [&](float x) { return a.processSample(x); });
}
BENCHMARK(BM_AllpassDelay);

void BM_NoiseSource(benchmark::State& state) {
    qx::NoiseSource n;
    n.setLevel(-96.0f);
    perSample(state, [&](float x) { return x + n.nextSample(); });
}
BENCHMARK(BM_NoiseSource);

void BM_RoomReverb(benchmark::State& state) {
    qx::RoomReverb r(state.range(0) ? qx::RoomReverb::Variant::Trigwave
                                    : qx::RoomReverb::Variant::Renderer);
    r.setModulation(state.range(1) != 0);
    r.setLowNarrowing(true);
    perSample(state, [&](float x) {
        r.processSample(x, -x);
        return r.outputLeft() + r.outputRight();
    });
}
BENCHMARK(BM_RoomReverb)
    ->ArgNames({"trigwave", "modulated"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 1});

// Other engineers share the machine, so each transform is run five times and the fastest
// run (the least disturbed) is what the ratio summary compares.
void fftSizes(benchmark::internal::Benchmark* b) {
    b->Arg(1024)->Arg(2048)->Repetitions(5)->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

void recordTime(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The forward transform of n points (range 0) with the best kernel, or with the given
// one (0 plain, 1 SSE2, 2 AVX2; skipped where this processor cannot run it).
void timeForward(benchmark::State& state, int kernel = -1) {
    const int n = static_cast<int>(state.range(0));
    qx::RealFft fft(n);
    if (kernel >= 0 && !fft.useKernel(static_cast<qx::RealFft::Kernel>(kernel))) {
        state.SkipWithError("kernel not supported here");
        return;
    }
    std::vector<float> in = noise(n), out(n);
    for (auto _ : state) {
        fft.forward(out.data(), in.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    recordTime(state);
}

void BM_RealFftForward(benchmark::State& state) {
    timeForward(state);
}
BENCHMARK(BM_RealFftForward)->Apply(fftSizes);

void BM_RealFftForwardKernel(benchmark::State& state) {
    timeForward(state, static_cast<int>(state.range(1)));
}
BENCHMARK(BM_RealFftForwardKernel)
    ->ArgNames({"n", "kernel"})
    ->Args({2048, 0})
    ->Args({2048, 1})
    ->Args({2048, 2});

void BM_RealFftInverse(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    qx::RealFft fft(n);
    std::vector<float> in = noise(n), out(n);
    for (auto _ : state) {
        fft.inverse(out.data(), in.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    recordTime(state);
}
BENCHMARK(BM_RealFftInverse)->Apply(fftSizes);

void BM_FftwR2c(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    float* in = fftwf_alloc_real(n);
    fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const std::vector<float> x = noise(n);
    std::copy(x.begin(), x.end(), in);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
    recordTime(state);
}
BENCHMARK(BM_FftwR2c)->Apply(fftSizes);

void BM_FftwC2r(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    float* out = fftwf_alloc_real(n);
    fftwf_complex* in = fftwf_alloc_complex(n / 2 + 1);
    // c2r overwrites its input, so the plan works on a copy refreshed each time.
    fftwf_complex* source = fftwf_alloc_complex(n / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_c2r_1d(n, in, out, FFTW_MEASURE);
    const std::vector<float> x = noise(n + 2);
    for (int k = 0; k <= n / 2; ++k) {
        source[k][0] = x[2 * k];
        source[k][1] = (k == 0 || k == n / 2) ? 0.0f : x[2 * k + 1];
    }
    for (auto _ : state) {
        std::copy(&source[0][0], &source[0][0] + n + 2, &in[0][0]);
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(source);
    fftwf_free(in);
    fftwf_free(out);
    recordTime(state);
}
BENCHMARK(BM_FftwC2r)->Apply(fftSizes);

// The input refresh of BM_FftwC2r alone, subtracted from it in the summary.
void BM_FftwC2rInputCopy(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    fftwf_complex* in = fftwf_alloc_complex(n / 2 + 1);
    fftwf_complex* source = fftwf_alloc_complex(n / 2 + 1);
    std::fill(&source[0][0], &source[0][0] + n + 2, 0.5f);
    for (auto _ : state) {
        std::copy(&source[0][0], &source[0][0] + n + 2, &in[0][0]);
        benchmark::DoNotOptimize(in);
        benchmark::ClobberMemory();
    }
    fftwf_free(source);
    fftwf_free(in);
    recordTime(state);
}
BENCHMARK(BM_FftwC2rInputCopy)->Apply(fftSizes);

// Console output plus a record of the fastest run of each benchmark, for the summary.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
                nanoseconds[run.run_name.function_name + "/" + run.run_name.args] =
                    run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;
};

void printFftSummary(const std::map<std::string, double>& ns) {
    std::printf(
        "\nRealFft against FFTW (FFTW_MEASURE plans), CPU time of the fastest of five "
        "runs;\nc2r is charged without the input refresh it needs because it "
        "overwrites its input\n");
    for (const char* n : {"1024", "2048"}) {
        const auto find = [&](const char* name) {
            const auto it = ns.find(std::string(name) + n);
            return it == ns.end() ? 0.0 : it->second;
        };
        const double forward = find("BM_RealFftForward/"), r2c = find("BM_FftwR2c/");
        const double inverse = find("BM_RealFftInverse/");
        const double c2r = find("BM_FftwC2r/") - find("BM_FftwC2rInputCopy/");
        if (forward > 0 && r2c > 0)
            std::printf("  %4s forward %8.1f ns   FFTW r2c %8.1f ns   ratio %.2f\n", n, forward,
                        r2c, forward / r2c);
        if (inverse > 0 && c2r > 0)
            std::printf("  %4s inverse %8.1f ns   FFTW c2r %8.1f ns   ratio %.2f\n", n, inverse,
                        c2r, inverse / c2r);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printFftSummary(reporter.nanoseconds);
    benchmark::Shutdown();
    return 0;
}
