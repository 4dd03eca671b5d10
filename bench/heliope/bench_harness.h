// Shared by the headphone renderer benchmarks: an engine running a factory program at
// 48 kHz in blocks of 512, the building blocks it is made of measured the same way, and a
// summary that sets the engine against the sum of its blocks.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/biquad_filter.h"
#include "dsp/delay_line.h"
#include "dsp/noise_source.h"
#include "dsp/room_reverb.h"
#include "effects/heliope/head_model.h"
#include "effects/heliope/heliope_tables.h"

namespace qx::bench {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;

inline std::vector<float> noise(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> x(n);
    for (float& v : x) v = dist(rng);
    return x;
}

// Other engineers share the machine: each case runs three times and the summary uses the
// fastest (least disturbed) run.
inline void repeat(benchmark::internal::Benchmark* b) {
    b->Repetitions(3)->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

inline void perFrame(benchmark::State& state, int framesPerIteration) {
    state.SetItemsProcessed(state.iterations() * framesPerIteration);
    // Seconds per frame, printed with an SI prefix (n = nanoseconds).
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(framesPerIteration),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// An engine with program `program` of its table applied, on noise at every input.
template <class Engine>
void runEngine(benchmark::State& state, const EffectDescription& d, int program) {
    Engine e;
    e.setSampleRate(kRate);
    const float* row = d.factory.row(program);
    for (int i = 0; i < d.factory.numParams; ++i) applyHeliopeParameter(e, i, row[i]);
    e.reset();
    std::vector<std::vector<float>> in(e.numInputs());
    std::vector<const float*> ins;
    for (int c = 0; c < e.numInputs(); ++c) {
        in[c] = noise(kBlock, 1 + c);
        ins.push_back(in[c].data());
    }
    std::vector<float> out0(kBlock), out1(kBlock);
    float* outs[2] = {out0.data(), out1.data()};
    for (auto _ : state) {
        e.processBlock(ins.data(), outs, kBlock);
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
        benchmark::ClobberMemory();
    }
    perFrame(state, kBlock);
}

// The plug-in's effect class through its record's processReplacing, as a host calls it
// (the boundary's checks, the hand-off and the meter publication included), with program
// `program` selected.
template <class Effect>
void runEffect(benchmark::State& state, int program) {
    Effect fx(nullptr);
    vst::AEffect* record = fx.getAeffect();
    record->dispatcher(record, vst::effSetSampleRate, 0, 0, nullptr, kRate);
    record->dispatcher(record, vst::effSetProgram, 0, program, nullptr, 0.0f);
    record->dispatcher(record, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<std::vector<float>> in(static_cast<size_t>(record->numInputs));
    std::vector<float*> ins;
    for (int c = 0; c < record->numInputs; ++c) {
        in[c] = noise(kBlock, 1 + c);
        ins.push_back(in[c].data());
    }
    std::vector<float> out0(kBlock), out1(kBlock);
    float* outs[2] = {out0.data(), out1.data()};
    for (auto _ : state) {
        record->processReplacing(record, ins.data(), outs, kBlock);
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
        benchmark::ClobberMemory();
    }
    perFrame(state, kBlock);
}

// Applying a whole program between two blocks (on the audio thread once the framework
// hands changes over there): alternates two programs so that every setter has work.
template <class Engine>
void runProgramChange(benchmark::State& state, const EffectDescription& d, int a, int b) {
    Engine e;
    e.setSampleRate(kRate);
    int program = a;
    for (auto _ : state) {
        const float* row = d.factory.row(program);
        for (int i = 0; i < d.factory.numParams; ++i) applyHeliopeParameter(e, i, row[i]);
        program = program == a ? b : a;
        benchmark::ClobberMemory();
    }
}

// One block type over a 512-sample input per iteration, as a chain would run it.
template <typename Body>
void runBlock(benchmark::State& state, Body body) {
    const std::vector<float> in = noise(kBlock, 7);
    float sink = 0.0f;
    for (auto _ : state) {
        for (float x : in) sink += body(x);
        benchmark::DoNotOptimize(sink);
    }
    perFrame(state, kBlock);
}

inline void BM_Biquad(benchmark::State& state) {
    BiquadFilter f;
    designFilter(f, kRate, FilterDesign{kBiquadBell, 1100.0f, 1.0f, -8.0f});
    runBlock(state, [&](float x) { return f.processSample(x); });
}

inline void BM_ItdDelay(benchmark::State& state) {
    DelayLine d;
    d.init(10, 115, 1.0f);
    runBlock(state, [&](float x) {
        d.write(x);
        return d.readCurrent();
    });
}

inline void BM_Noise(benchmark::State& state) {
    NoiseSource n;
    runBlock(state, [&](float x) { return x + n.nextSample(); });
}

// The room as the renderers configure it; range(0) is "Next door" (modulated reads).
inline void BM_Room(benchmark::State& state) {
    RoomReverb r(RoomReverb::Variant::Renderer);
    configureRoom(r, kRate);
    updateRoom(r, kRate, 0.5f, state.range(0) != 0);
    runBlock(state, [&](float x) {
        r.processSample(x, 0.0f);
        return r.outputLeft() + r.outputRight();
    });
}

// Console output plus the fastest ns per frame of each case, for the summary.
class Recorder : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate ||
                run.aggregate_name != "min")
                continue;
            const auto it = run.counters.find("time_per_frame");
            if (it != run.counters.end()) {
                std::string name = run.run_name.function_name;
                if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
                ns[name] = it->second.value * 1e9;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double get(const std::string& name) const {
        const auto it = ns.find(name);
        return it == ns.end() ? 0.0 : it->second;
    }
    std::map<std::string, double> ns;
};

// What one frame of an engine runs, in block units.
struct Recipe {
    const char* label;
    const char* engineCase;
    int biquads, delays, noises;
    bool nextDoor;
};

inline void printSums(const Recorder& r, const Recipe* recipes, int count) {
    const double biquad = r.get("BM_Biquad"), delay = r.get("BM_ItdDelay"), n = r.get("BM_Noise");
    std::printf("\nns per frame at 48 kHz, block 512 (fastest of three runs)\n");
    std::printf("  blocks: biquad %.2f, delay %.2f, noise %.2f, room %.2f, room modulated %.2f\n",
                biquad, delay, n, r.get("BM_Room/next_door:0"), r.get("BM_Room/next_door:1"));
    for (int i = 0; i < count; ++i) {
        const Recipe& c = recipes[i];
        const double room = r.get(c.nextDoor ? "BM_Room/next_door:1" : "BM_Room/next_door:0");
        const double sum = c.biquads * biquad + c.delays * delay + c.noises * n + room;
        const double engine = r.get(c.engineCase);
        if (engine <= 0.0 || room <= 0.0) continue;  // not run (filtered out)
        std::printf(
            "  %-28s engine %7.1f   blocks %7.1f (%d biquads, %d delays, %d noise, room)"
            "   ratio %.2f\n",
            c.label, engine, sum, c.biquads, c.delays, c.noises, sum > 0 ? engine / sum : 0.0);
    }
}

// The whole program: every registered case, then the sums of `recipes` and `extra`.
template <int N>
int runAndSummarise(int argc, char** argv, const Recipe (&recipes)[N],
                    void (*extra)(const Recorder&) = nullptr) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printSums(recorder, recipes, N);
    if (extra) extra(recorder);
    benchmark::Shutdown();
    return 0;
}

// The building blocks, each measured as a chain of the engine runs it.
#define QX_HELIOPE_BLOCK_BENCHMARKS()      \
    BENCHMARK(BM_Biquad)->Apply(repeat);   \
    BENCHMARK(BM_ItdDelay)->Apply(repeat); \
    BENCHMARK(BM_Noise)->Apply(repeat);    \
    BENCHMARK(BM_Room)->ArgName("next_door")->Arg(0)->Arg(1)->Apply(repeat)

}  // namespace qx::bench
