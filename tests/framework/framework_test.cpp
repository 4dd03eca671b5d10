// The framework's own promises, on a small effect of the current generation: program
// application order, the editor following every change, the sample guards and the entry
// point's refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "framework/aeff_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "framework/program_effect.h"
#include "framework/sample_guard.h"

extern "C" qx::vst::AEffect* VSTPluginMain(qx::vst::audioMasterCallback host);

namespace qx {
namespace {

const ParamName kNames[3] = {"Gain           ", "Mode           ", "Bypass         "};
const ParamLabel kLabels[3] = {"dB", "  ", "  "};
const ParameterDisplayRange kRanges[3] = {{-72.0f, 0.0f}, {0.0f, 4.0f}, {0.0f, 1.0f}};
const float kValues[2 * 3] = {0.5f, 0.0f, 0.0f, 1.0f, 2.0f, 0.0f};
const ProgramName kPrograms[2] = {"Default                ", "Loud                   "};
const int kMenus[3] = {0, 5, 0};  // Mode is a menu of five entries
const char* const kCanDo[] = {"bypass", nullptr};
const EffectDescription kToy = {
    {Generation::Current, "Toy", "Toy product", "QX", vst::fourCC('T', 'o', 'y', '!'), 7, 2, 2, 16,
     vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing, kCanDo, 2},
    {3, kNames, kLabels, kRanges, kMenus},
    {2, 3, kValues, kPrograms},
};

struct HostLog {
    std::vector<std::pair<int, float>> automated;
    int version = 2400;
};
HostLog* gHost = nullptr;

vst::VstIntPtr toyHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr,
                       void*, float opt) {
    if (opcode == vst::audioMasterVersion) return gHost ? gHost->version : 2400;
    if (opcode == vst::audioMasterAutomate && gHost) gHost->automated.emplace_back(index, opt);
    return 0;
}

class ToyEffect : public ProgramEffect {
  public:
    explicit ToyEffect(vst::audioMasterCallback host) : ProgramEffect(host, kToy) {
        finishConstruction();
    }
    void processReplacing(float** in, float** out, int frames) override {
        for (int i = 0; i < frames; ++i) {
            out[0][i] = in[0][i];
            out[1][i] = in[1][i];
        }
    }
    std::vector<std::pair<int, float>> applied;

  protected:
    void applyParameter(int index, float value) override { applied.emplace_back(index, value); }
};

class ToyEditor : public AEffEditor {
  public:
    explicit ToyEditor(AudioEffect* effect) : AEffEditor(effect) {}
    void setParameter(int index, float value) override { seen.emplace_back(index, value); }
    std::vector<std::pair<int, float>> seen;
};

TEST(Framework, ProgramsApplyInOrderAndTheEditorFollowsEveryChange) {
    HostLog log;
    gHost = &log;
    PluginEffectWithEditor<ToyEffect, ToyEditor> fx(&toyHost);
    auto* editor = static_cast<ToyEditor*>(fx.getEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(fx.getAeffect()->flags & vst::effFlagsHasEditor);
    EXPECT_EQ(fx.getAeffect()->initialDelay, 16);
    EXPECT_EQ(fx.getPlugCategory(), vst::kPlugCategEffect);

    fx.applied.clear();
    fx.setProgram(1);
    const std::vector<std::pair<int, float>> program1 = {{0, 1.0f}, {1, 2.0f}, {2, 0.0f}};
    EXPECT_EQ(fx.applied, program1);
    EXPECT_EQ(editor->seen, program1);

    // An edit from the editor reaches the engine, the editor and the host.
    editor->seen.clear();
    fx.setParameterAutomated(0, 0.25f);
    EXPECT_EQ(fx.getParameter(0), 0.25f);
    EXPECT_EQ(editor->seen, (std::vector<std::pair<int, float>>{{0, 0.25f}}));
    EXPECT_EQ(log.automated, (std::vector<std::pair<int, float>>{{0, 0.25f}}));

    // Host bypass goes through the same path but does not automate.
    EXPECT_TRUE(fx.setBypass(true));
    EXPECT_EQ(fx.getParameter(2), 1.0f);
    EXPECT_EQ(editor->seen.back(), (std::pair<int, float>{2, 1.0f}));
    EXPECT_EQ(log.automated.size(), 1u);

    // Labels of the current generation are two characters; the display is linear.
    char text[64];
    std::memset(text, 'x', sizeof text);
    fx.getParameterLabel(0, text);
    EXPECT_STREQ(text, "dB");
    fx.setParameter(0, 0.5f);
    fx.getParameterDisplay(0, text);
    EXPECT_STREQ(text, "-36.000");
    gHost = nullptr;
}

// The shared canDo lists, answered through an effect: each one says yes to exactly its texts.
TEST(Framework, SharedCanDoListsAnswerTheirTexts) {
    const char* const texts[] = {"plugAsChannelInsert",
                                 "plugAsSend",
                                 "mixDryWet",
                                 "1in1out",
                                 "1in2out",
                                 "2in1out",
                                 "2in2out",
                                 "bypass"};
    const struct {
        const char* const* list;
        const char* yes;  // one flag per text above
    } lists[] = {{kCanDoEveryLayoutAndBypass, "11111111"},
                 {kCanDoEveryLayout, "11111110"},
                 {kCanDoStereoOutput, "11101010"},
                 {kCanDoStereoOutputUnmixed, "11001010"}};
    for (const auto& l : lists) {
        EffectDescription d = kToy;
        d.identity.canDoYes = l.list;
        class Listed : public ProgramEffect {
          public:
            explicit Listed(const EffectDescription& d) : ProgramEffect(nullptr, d) {}
            void processReplacing(float**, float**, int) override {}
            void applyParameter(int, float) override {}
        } fx(d);
        for (int t = 0; t < 8; ++t)
            EXPECT_EQ(fx.canDo(texts[t]), l.yes[t] == '1' ? 1 : -1) << l.yes << " " << texts[t];
        EXPECT_EQ(fx.canDo(""), -1);
    }
}

TEST(Framework, DispatcherBoundaryRejectsNonsense) {
    PluginEffectWithEditor<ToyEffect> fx(&toyHost);
    vst::AEffect* e = fx.getAeffect();
    for (int op : {vst::effGetProgramName, vst::effGetParamName, vst::effGetParamLabel,
                   vst::effGetParamDisplay, vst::effSetProgramName, vst::effGetEffectName,
                   vst::effGetVendorString, vst::effGetProductString, vst::effCanDo,
                   vst::effGetProgramNameIndexed, vst::effGetErrorText, vst::effString2Parameter})
        e->dispatcher(e, op, 0, 0, nullptr, 0.0f);  // null text pointers are ignored
    e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, NAN);
    e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, -5.0f);
    EXPECT_EQ(fx.getSampleRate(), 44100.0f);
    e->dispatcher(e, vst::effSetProgram, 0, vst::VstIntPtr(1) << 40, nullptr, 0.0f);
    EXPECT_EQ(fx.getProgram(), 0);
    e->setParameter(e, 0, NAN);
    EXPECT_EQ(e->getParameter(e, 0), 0.5f);
    EXPECT_EQ(e->dispatcher(e, vst::effGetVu, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(e->dispatcher(e, vst::effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(e->dispatcher(e, vst::effIdentify, 0, 0, nullptr, 0.0f),
              vst::fourCC('N', 'v', 'E', 'f'));

    // Missing channel pointers: outputs that exist are silenced, nothing is read.
    float out0[4] = {1, 1, 1, 1};
    float* outs[2] = {out0, nullptr};
    e->processReplacing(e, nullptr, outs, 4);
    EXPECT_EQ(out0[3], 0.0f);
    double d0[4] = {1, 1, 1, 1}, d1[4] = {1, 1, 1, 1};
    double* douts[2] = {d0, d1};
    e->processDoubleReplacing(e, nullptr, douts, 4);
    EXPECT_EQ(d1[0], 0.0);
}

TEST(Framework, SampleGuards) {
    EXPECT_EQ(cleanSample(0.25f), 0.25f);
    EXPECT_EQ(cleanSample(-1.5f), -1.5f);
    EXPECT_EQ(cleanSample(NAN), 0.0f);
    EXPECT_EQ(cleanSample(-INFINITY), 0.0f);
    EXPECT_EQ(cleanSample(3e30f), kInputSampleLimit);
    EXPECT_EQ(cleanSample(-1e300), -kInputSampleLimit);  // would be -inf as a float
    EXPECT_EQ(cleanSample(0.1), 0.1f);

    volatile float tiny = 1e-39f;  // a denormal
    {
        DenormalGuard guard;
        volatile float product = tiny * 0.5f;
        EXPECT_EQ(product, 0.0f);
    }
    volatile float product = tiny * 0.5f;
    EXPECT_NE(product, 0.0f);  // the host's mode is back
}

class FailingEditor : public AEffEditor {
  public:
    explicit FailingEditor(AudioEffect* effect) : AEffEditor(effect) {}
    static void* operator new(std::size_t, const std::nothrow_t&) noexcept { return nullptr; }
    static void operator delete(void* p) { ::operator delete(p); }
};

bool gFailEditor = false;

}  // namespace

AudioEffect* createEffectInstance(vst::audioMasterCallback host) {
    if (gFailEditor)
        return new (std::nothrow) PluginEffectWithEditor<ToyEffect, FailingEditor>(host);
    return new (std::nothrow) PluginEffectWithEditor<ToyEffect>(host);
}

namespace {

TEST(Framework, EntryPointRefusals) {
    HostLog log;
    gHost = &log;
    log.version = 0;  // a host older than VST 2
    EXPECT_EQ(VSTPluginMain(&toyHost), nullptr);
    EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
    log.version = 2400;
    vst::AEffect* e = VSTPluginMain(&toyHost);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, vst::kEffectMagic);
    EXPECT_EQ(e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f), 1);

    // A failed editor allocation refuses this instance and every later one.
    gFailEditor = true;
    EXPECT_EQ(VSTPluginMain(&toyHost), nullptr);
    gFailEditor = false;
    EXPECT_EQ(VSTPluginMain(&toyHost), nullptr);
    constructionFailed = false;  // let the rest of this process create effects again
    gHost = nullptr;
}

}  // namespace
}  // namespace qx
