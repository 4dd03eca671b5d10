// Cost of trigwave per stereo frame at 48 kHz in blocks of 512, of the engine alone and of
// the plug-in through its processing entries: idle (no voice sounding) and with all twelve
// voices held.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "effects/trigwave/trigwave_effect.h"
#include "effects/trigwave/trigwave_engine.h"
#include "effects/trigwave/trigwave_tables.h"
#include "framework/sample_guard.h"

namespace qx {
namespace {

constexpr int kBlock = 512;
constexpr int kHop = 1024;               // at 48 kHz
constexpr int kBurstPeriod = 6 * kHop;   // one onset every six hops
constexpr int kLoop = 2 * kBurstPeriod;  // input loop, a whole number of blocks

int soundingVoices(const TrigwaveEngine& e) {
    int n = 0;
    for (int v = 0; v < TrigwaveEngine::kVoices; ++v)
        n += e.voice(v).state() != SpectralVoice::kFree &&
             e.voice(v).ampEnvelope().stage() != EnvelopeGenerator::kIdle;
    return n;
}

// A loop of input: with bursts, a loud noise burst at the start of every period (twelve
// voices cycle within the hold time), otherwise a steady bed 40 dB down that never triggers.
template <typename T>
void makeInput(std::vector<T> (&in)[2], bool bursts) {
    std::srand(1);
    for (auto& channel : in) channel.resize(kLoop);
    for (int n = 0; n < kLoop; ++n) {
        const bool loud = bursts && n % kBurstPeriod < kHop;
        const float a = loud ? 0.5f : 0.01f;
        in[0][n] = static_cast<T>(a * (2.0f * std::rand() / RAND_MAX - 1.0f));
        in[1][n] = static_cast<T>(a * (2.0f * std::rand() / RAND_MAX - 1.0f));
    }
}

// Times `block` (one block of kBlock frames per call), after enough blocks for twelve
// onsets, and reports the voices seen sounding and the time per frame.
template <class Block>
void timeBlocks(benchmark::State& state, const TrigwaveEngine& e, Block&& block) {
    for (int i = 0; i < 13 * kBurstPeriod / kBlock; ++i) block();
    int fewest = TrigwaveEngine::kVoices, most = 0;
    for (auto _ : state) {
        block();
        benchmark::ClobberMemory();
        const int n = soundingVoices(e);
        fewest = std::min(fewest, n);
        most = std::max(most, n);
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["voices_min"] = fewest;
    state.counters["voices_max"] = most;
    // Seconds per stereo frame, printed with an SI prefix (n = nanoseconds).
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <typename T>
void runEngine(benchmark::State& state, bool bursts, float randomize) {
    DenormalGuard guard;  // as the effect runs it
    TrigwaveEngine e;
    e.setSampleRate(48000.0f);
    const float* row = kTrigwaveDescription.factory.row(0);
    for (int i = 0; i < kTrigwaveNumParams; ++i) applyTrigwaveParameter(e, i, row[i]);
    e.setRandomize(randomize);
    e.setReverbOn(true);
    e.setAmpSustainTime(2.0f);
    e.setAmpRelease(2.0f);

    std::vector<T> in[2];
    makeInput(in, bursts);
    std::vector<T> out[2] = {std::vector<T>(kBlock), std::vector<T>(kBlock)};
    int offset = 0;
    timeBlocks(state, e, [&] {
        e.processBlock(in[0].data() + offset, in[1].data() + offset, out[0].data(), out[1].data(),
                       kBlock);
        offset = (offset + kBlock) % kLoop;
    });
}

// The plug-in as a host calls it: program 0 with randomize 1, the reverb on and the longest
// sustain and release, through the record's processing entry.
template <typename T>
void runEffect(benchmark::State& state, bool bursts) {
    TrigwaveEffect fx(nullptr);
    fx.setSampleRate(48000.0f);
    fx.setParameter(kTrigwaveRandomize, 1.0f);
    fx.setParameter(kTrigwaveReverb, 1.0f);
    fx.setParameter(kTrigwaveEnvSustain, 1.0f);
    fx.setParameter(kTrigwaveEnvRelease, 1.0f);
    fx.resume();

    std::vector<T> in[2];
    makeInput(in, bursts);
    std::vector<T> out[2] = {std::vector<T>(kBlock), std::vector<T>(kBlock)};
    vst::AEffect* record = fx.getAeffect();
    int offset = 0;
    timeBlocks(state, fx.engine(), [&] {
        T* ins[2] = {in[0].data() + offset, in[1].data() + offset};
        T* outs[2] = {out[0].data(), out[1].data()};
        if constexpr (sizeof(T) == sizeof(float))
            record->processReplacing(record, ins, outs, kBlock);
        else
            record->processDoubleReplacing(record, ins, outs, kBlock);
        offset = (offset + kBlock) % kLoop;
    });
}

void BM_NoVoice(benchmark::State& state) {
    runEngine<float>(state, false, 1.0f);
}
void BM_TwelveVoicesRandom(benchmark::State& state) {
    runEngine<float>(state, true, 1.0f);
}
void BM_TwelveVoicesRandomDouble(benchmark::State& state) {
    runEngine<double>(state, true, 1.0f);
}
void BM_TwelveVoicesHalfRandom(benchmark::State& state) {
    runEngine<float>(state, true, 0.5f);
}
void BM_TwelveVoicesCoherent(benchmark::State& state) {
    runEngine<float>(state, true, 0.0f);
}
void BM_EffectNoVoice(benchmark::State& state) {
    runEffect<float>(state, false);
}
void BM_EffectTwelveVoices(benchmark::State& state) {
    runEffect<float>(state, true);
}
void BM_EffectTwelveVoicesDouble(benchmark::State& state) {
    runEffect<double>(state, true);
}

// Other engineers share the machine, so each case runs five times; the fastest run (the
// least disturbed) is the figure to compare.
void fastestOfFive(benchmark::internal::Benchmark* b) {
    b->Repetitions(5)->ReportAggregatesOnly(true)->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

BENCHMARK(BM_NoVoice)->Apply(fastestOfFive);
BENCHMARK(BM_TwelveVoicesRandom)->Apply(fastestOfFive);
BENCHMARK(BM_TwelveVoicesRandomDouble)->Apply(fastestOfFive);
BENCHMARK(BM_TwelveVoicesHalfRandom)->Apply(fastestOfFive);
BENCHMARK(BM_TwelveVoicesCoherent)->Apply(fastestOfFive);
BENCHMARK(BM_EffectNoVoice)->Apply(fastestOfFive);
BENCHMARK(BM_EffectTwelveVoices)->Apply(fastestOfFive);
BENCHMARK(BM_EffectTwelveVoicesDouble)->Apply(fastestOfFive);

}  // namespace
}  // namespace qx

BENCHMARK_MAIN();
