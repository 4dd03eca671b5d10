// Cost of one editor idle call on the host's interface thread, for the eraslip editor in a
// real window: with nothing to do, with the meter moving, and with the meter and every
// control changing between idles (host automation of all parameters); and a live curve
// redrawn next to a meter, with the bytes each idle sends.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <chrono>
#include <cmath>
#include <thread>

#include "effects/eraslip/lofi_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "gui/frame.h"
#include "gui/graph.h"
#include "gui/meter.h"
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

// A 1024-point curve in the top left corner of a 600 x 400 frame, a meter in the bottom right
// one: the curve changes every idle, the meter does not (or moves too, in the second case).
// The frame's clock steps 1/30 s per idle, so the live curve is due on every idle. Argument
// 0: shared-memory uploads allowed (used when the server offers them); 1: plain XPutImage.
// Second argument 1: 5 ms between idles (outside the timing), as a host's timer leaves them.
class CurveView : public qx::gui::CGraphView {
  public:
    explicit CurveView(const qx::gui::CRect& size) : CGraphView(size) {
        setAxes(qx::gui::CGraphAxis::linear(0, kPoints - 1), qx::gui::CGraphAxis::linear(0, 1));
        std::vector<qx::gui::GridLine> lines;
        for (int i = 1; i < 10; ++i) lines.push_back({i * (kPoints - 1) / 10.0, ""});
        setGrid(lines, {});
    }
    void setPhase(float phase) {
        for (int i = 0; i < kPoints; ++i)
            curve_[i] = 0.5f + 0.4f * std::sin(phase + 0.02f * static_cast<float>(i));
        dataChanged();
    }

  protected:
    void drawData(qx::gui::CDrawContext& context) override {
        plotPolyline(context, kPoints,
                     [&](int i) {
                         return std::pair{double(i), double(curve_[i])};
                     },
                     {{230, 153, 51}});
    }

  private:
    static constexpr int kPoints = 1024;
    float curve_[kPoints] = {};
};

qx::gui::BitmapRef barBitmap(unsigned char green) {
    const std::vector<std::uint32_t> pixels(9 * 253, 0xff1a001au | std::uint32_t{green} << 8);
    return std::make_shared<const qx::gui::CBitmap>(9, 253, pixels.data());
}

struct CurveFrame {
    qx::gui::testing::HostWindow window{600, 400};
    qx::gui::CFrame frame{qx::gui::CRect::sized(0, 0, 600, 400), nullptr};
    CurveView* curve;
    qx::gui::CVuMeter* meter;
    double seconds = 0.0;

    explicit CurveFrame(bool sharedMemory) {
        curve = frame.add(std::make_unique<CurveView>(qx::gui::CRect::sized(10, 10, 300, 180)));
        meter = frame.add(std::make_unique<qx::gui::CVuMeter>(
            qx::gui::CRect::sized(580, 140, 9, 253), barBitmap(220), barBitmap(40)));
        meter->setValue(0.5f);
        frame.setClock([this] { return seconds; });
        frame.setSharedMemoryAllowed(sharedMemory);
        frame.open(window.window());
        idle();
        frame.resetUploadStats();
    }
    void idle() {
        seconds += 1.0 / 30.0;
        frame.idle();
    }
};

void reportUploads(benchmark::State& state, const CurveFrame& f) {
    const double idles = static_cast<double>(state.iterations());
    state.counters["bytes/idle"] = static_cast<double>(f.frame.uploadStats().bytes) / idles;
    state.counters["rects/idle"] = static_cast<double>(f.frame.uploadStats().rects) / idles;
    state.counters["shm"] = f.frame.usesSharedMemory() ? 1 : 0;
}

void hostTimerGap(benchmark::State& state) {
    if (state.range(1) == 0) return;
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    state.ResumeTiming();
}

void BM_IdleCurveNextToUnchangedMeter(benchmark::State& state) {
    if (!server()) return state.SkipWithError("no X server");
    CurveFrame f(state.range(0) == 0);
    float phase = 0.0f;
    for (auto _ : state) {
        f.curve->setPhase(phase += 0.1f);
        f.idle();
        hostTimerGap(state);
    }
    reportUploads(state, f);
}
BENCHMARK(BM_IdleCurveNextToUnchangedMeter)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void BM_IdleCurveAndMeterInOppositeCorners(benchmark::State& state) {
    if (!server()) return state.SkipWithError("no X server");
    CurveFrame f(state.range(0) == 0);
    float phase = 0.0f;
    int i = 0;
    for (auto _ : state) {
        f.curve->setPhase(phase += 0.1f);
        f.meter->setValue(0.2f + 0.05f * static_cast<float>(i++ % 10));
        f.idle();
        hostTimerGap(state);
    }
    reportUploads(state, f);
}
BENCHMARK(BM_IdleCurveAndMeterInOppositeCorners)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
