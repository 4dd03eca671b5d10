// What a program change costs the block it lands on: the 129-parameter toy effect (each
// setter an exp and a pow, as real ones) processes 512-frame blocks through its record,
// with and without a whole program applied at the block's start.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "framework/plugin_effect_with_editor.h"
#include "tests/framework/toy_plugin/toy_effect.h"

namespace {

using Effect = qx::PluginEffectWithEditor<qx::toy::ToyEffect>;

struct Running {
    Effect fx{nullptr};
    qx::vst::AEffect* e = fx.getAeffect();
    std::vector<float> in = std::vector<float>(512, 0.25f), outL = in, outR = in;

    Running() {
        e->dispatcher(e, qx::vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
        e->dispatcher(e, qx::vst::effMainsChanged, 0, 1, nullptr, 0.0f);
        process(512);  // from now on, changes wait for a block
    }
    void process(int frames) {
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        e->processReplacing(e, ins, outs, frames);
    }
    void clear() { fx.clearLogs(); }
};

// Times only the processing call; the program change before it is the host's side.
void timeBlocks(benchmark::State& state, bool changeProgram, int frames) {
    Running r;
    int program = 0;
    for (auto _ : state) {
        if (changeProgram) {
            program = (program + 1) % 4;  // four programs that differ in every value
            r.e->dispatcher(r.e, qx::vst::effSetProgram, 0, program, nullptr, 0.0f);
        }
        const auto start = std::chrono::steady_clock::now();
        r.process(frames);
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        r.clear();
    }
}

void BM_Block512(benchmark::State& state) {
    timeBlocks(state, false, 512);
}
void BM_Block512AfterProgramChange(benchmark::State& state) {
    timeBlocks(state, true, 512);
}
// One frame: the block is little more than the 129 setters.
void BM_ProgramChangeAppliedAtBlockStart(benchmark::State& state) {
    timeBlocks(state, true, 1);
}

BENCHMARK(BM_Block512)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Block512AfterProgramChange)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProgramChangeAppliedAtBlockStart)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
