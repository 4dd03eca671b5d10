// Cost of one idle call of the analyzer's editor in a real window (its own Xvfb when
// $DISPLAY is not usable), at 30 idles per second of 48 kHz audio: 1600 frames are played
// between idles (untimed), so every other idle brings a new spectrum, and the meters move.
// Counters: the pixels and bytes each idle sends to the window system.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "effects/spectrel/analyzer_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "gui/frame.h"
#include "gui/testing/host_window.h"
#include "gui/testing/virtual_display.h"
#include "resources/spectrel/spectrel_layout.h"

QX_DEFINE_PLUGIN(AnalyzerEffect, AnalyzerEditor)

namespace {

using Plugin = qx::PluginEffectWithEditor<qx::AnalyzerEffect, qx::AnalyzerEditor>;

qx::vst::VstIntPtr host(qx::vst::AEffect*, qx::vst::VstInt32 opcode, qx::vst::VstInt32,
                        qx::vst::VstIntPtr, void*, float) {
    return opcode == qx::vst::audioMasterVersion ? 2400 : 0;
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

void idleAt30Fps(benchmark::State& state, bool spectrumOn) {
    if (!server()) {
        state.SkipWithError("no X server");
        return;
    }
    auto effect = std::make_unique<Plugin>(&host);
    effect->setSampleRate(48000.0f);
    effect->setParameter(qx::kSpectrelSpectrumOn, spectrumOn ? 1.0f : 0.0f);
    qx::gui::testing::HostWindow window{qx::spectrel::kWidth, qx::spectrel::kHeight};
    qx::vst::AEffect* record = effect->getAeffect();
    record->dispatcher(record, qx::vst::effEditOpen, 0, 0, window.parentHandle(), 0);
    auto idle = [&] { record->dispatcher(record, qx::vst::effEditIdle, 0, 0, nullptr, 0); };
    idle();
    auto* editor = dynamic_cast<qx::AnalyzerEditor*>(effect->getEditor());
    qx::gui::CFrame* frame = editor ? editor->getFrame() : nullptr;
    if (!frame) {
        state.SkipWithError("editor did not open");
        return;
    }
    // The frame paces redraws by its clock: it advances 1/30 s per idle, as a host's timer.
    // It starts past any due time the frame's own clock set while opening.
    double seconds = 1e9;
    frame->setClock([&seconds] { return seconds; });
    constexpr int kFrames = 1600;  // 1/30 s at 48 kHz
    std::vector<float> left(kFrames), right(kFrames), out(kFrames);
    double phase = 0.0;
    long idles = 0;
    frame->resetUploadStats();
    for (auto _ : state) {
        state.PauseTiming();
        // A slow sweep, so the curve keeps changing.
        const double step = 2 * M_PI * (200.0 + 50.0 * static_cast<double>(idles % 200)) / 48000.0;
        for (int i = 0; i < kFrames; ++i, phase += step) {
            left[i] = 0.5f * static_cast<float>(std::sin(phase));
            right[i] = 0.3f * static_cast<float>(std::sin(1.3 * phase));
        }
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {out.data(), out.data()};
        record->processReplacing(record, ins, outs, kFrames);
        seconds += 1.0 / 30.0;
        state.ResumeTiming();
        idle();
        ++idles;
    }
    const qx::gui::UploadStats& stats = frame->uploadStats();
    state.counters["pixels/idle"] = static_cast<double>(stats.pixels) / static_cast<double>(idles);
    state.counters["bytes/idle"] = static_cast<double>(stats.bytes) / static_cast<double>(idles);
    record->dispatcher(record, qx::vst::effEditClose, 0, 0, nullptr, 0);
}

void BM_EditorIdleSpectrumOn(benchmark::State& state) {
    idleAt30Fps(state, true);
}
void BM_EditorIdleSpectrumOff(benchmark::State& state) {
    idleAt30Fps(state, false);
}
BENCHMARK(BM_EditorIdleSpectrumOn)->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_EditorIdleSpectrumOff)->Unit(benchmark::kMicrosecond)->Iterations(300);

}  // namespace

BENCHMARK_MAIN();
