// Cost of one editor idle call on the host's interface thread, for the eraslip editor in a
// real window: with nothing to do, with the meter moving, and with the meter and every
// control changing between idles (host automation of all parameters).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "effects/eraslip/lofi_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "gui/testing/host_window.h"
#include "gui/testing/virtual_display.h"

QX_DEFINE_PLUGIN(LofiEffect, LofiEditor)

namespace {

using Plugin = qx::PluginEffectWithEditor<qx::LofiEffect, qx::LofiEditor>;

qx::vst::VstIntPtr host(qx::vst::AEffect*, qx::vst::VstInt32 opcode, qx::vst::VstInt32,
                        qx::vst::VstIntPtr, void*, float) {
    return opcode == qx::vst::audioMasterVersion ? 2300 : 0;
}

qx::gui::testing::VirtualDisplay* server() {
    static std::unique_ptr<qx::gui::testing::VirtualDisplay> display = [] {
        std::string error;
        auto d = qx::gui::testing::VirtualDisplay::ensure(&error);
        if (!d) std::fprintf(stderr, "no X server: %s\n", error.c_str());
        return d;
    }();
    return display.get();
}

struct OpenEditor {
    std::unique_ptr<Plugin> effect = std::make_unique<Plugin>(&host);
    qx::gui::testing::HostWindow window{560, 400};
    std::vector<float> in = std::vector<float>(64), outL = in, outR = in;

    OpenEditor() {
        qx::vst::AEffect* record = effect->getAeffect();
        record->dispatcher(record, qx::vst::effEditOpen, 0, 0, window.parentHandle(), 0);
        idle();
    }
    ~OpenEditor() {
        qx::vst::AEffect* record = effect->getAeffect();
        record->dispatcher(record, qx::vst::effEditClose, 0, 0, nullptr, 0);
    }
    void idle() {
        qx::vst::AEffect* record = effect->getAeffect();
        record->dispatcher(record, qx::vst::effEditIdle, 0, 0, nullptr, 0);
    }
    // A block whose peak is `level`, so the next idle's meter reading moves.
    void play(float level) {
        in.assign(in.size(), level);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        effect->processReplacing(ins, outs, static_cast<int>(in.size()));
    }
};

void BM_IdleNothingChanged(benchmark::State& state) {
    if (!server()) return state.SkipWithError("no X server");
    OpenEditor editor;
    for (auto _ : state) editor.idle();
}
BENCHMARK(BM_IdleNothingChanged)->Unit(benchmark::kMicrosecond);

void BM_IdleMeterMoving(benchmark::State& state) {
    if (!server()) return state.SkipWithError("no X server");
    OpenEditor editor;
    editor.effect->setParameter(qx::eraslip::kBypass, 1.0f);  // output = input: exact levels
    int i = 0;
    for (auto _ : state) {
        editor.play(0.1f + 0.8f * static_cast<float>(i++ % 12) / 11.0f);
        editor.idle();
    }
}
BENCHMARK(BM_IdleMeterMoving)->Unit(benchmark::kMicrosecond);

void BM_IdleEverythingMoving(benchmark::State& state) {
    if (!server()) return state.SkipWithError("no X server");
    OpenEditor editor;
    int i = 0;
    for (auto _ : state) {
        const float v = static_cast<float>(i % 20) / 19.0f;
        for (int p = 0; p < qx::eraslip::kNumParams; ++p) editor.effect->setParameter(p, v);
        editor.play(0.1f + 0.8f * static_cast<float>(i % 12) / 11.0f);
        editor.idle();
        ++i;
    }
}
BENCHMARK(BM_IdleEverythingMoving)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
