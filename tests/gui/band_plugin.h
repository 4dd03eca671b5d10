// A small effect with two families of eight per-band parameters, a page switch and a gain,
// and its editor: a band display on a page that the page parameter switches between the
// families. Its parameters and meters are atomics, so thread tests see only the editor's
// own races. The background is eraslip's (560 x 400).
#pragma once

#include <atomic>
#include <cstring>
#include <memory>

#include "framework/editor/plugin_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "gui/band_view.h"
#include "gui/page_container.h"
#include "skins/eraslip.h"

namespace qx::testing {

constexpr int kPage = 0;
constexpr int kGain = 1;
constexpr int kBands = 8;
constexpr int kFamilyA = 2;
constexpr int kFamilyB = kFamilyA + kBands;
constexpr int kBandParams = kFamilyB + kBands;  // 18 parameters
constexpr int kBandViewTag = 900;               // the layout row of the band page
const gui::CRect kBandArea = gui::CRect::sized(40, 60, 8 * 30, 200);

inline const EffectDescription& bandDescription() {
    static ParamName names[kBandParams];
    static ParamLabel labels[kBandParams];
    static ParameterDisplayRange ranges[kBandParams];
    static float values[kBandParams];
    static ProgramName programNames[1] = {"Default                "};
    static const char* const canDo[] = {nullptr};
    static const EffectDescription description = [] {
        for (int i = 0; i < kBandParams; ++i) {
            std::snprintf(names[i], sizeof names[i], "Param %-9d", i);
            std::snprintf(labels[i], sizeof labels[i], "dB             ");
            ranges[i] = {-20.0f, 20.0f};
            values[i] = 0.5f;
        }
        values[kPage] = 0.0f;
        return EffectDescription{
            {Generation::Current, "Bands", "Bands", "QX", 0x42616e64, 1, 2, 2, 0, 0, canDo, -1},
            {kBandParams, names, labels, ranges},
            {1, kBandParams, values, programNames}};
    }();
    return description;
}

class BandEffect : public ProgramEffect {
  public:
    explicit BandEffect(vst::audioMasterCallback host) : ProgramEffect(host, bandDescription()) {
        finishConstruction();
    }
    void processReplacing(float** inputs, float** outputs, int frames) override {
        const float gain = 2.0f * applied_[kGain].load(std::memory_order_relaxed);
        float peak = 0.0f;
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < frames; ++i) {
                outputs[c][i] = gain * inputs[c][i];
                peak = std::max(peak, std::abs(outputs[c][i]));
            }
        level_.store(peak, std::memory_order_relaxed);
    }
    float level() const { return level_.load(std::memory_order_relaxed); }

  protected:
    void applyParameter(int index, float value) override {
        applied_[index].store(value, std::memory_order_relaxed);
    }

  private:
    std::atomic<float> applied_[kBandParams]{};
    std::atomic<float> level_{0.0f};
};

inline constexpr const char* kPageNames[] = {"Family A", "Family B", nullptr};

inline const EditorDescription& bandEditorDescription() {
    static const gui::ControlLayout rows[] = {
        {gui::ControlKind::Custom, kBandViewTag, kBandArea.left, kBandArea.top, kBandArea.width(),
         kBandArea.height()},
        {gui::ControlKind::HSlider, kGain, 320, 300, 200, 20},
        {gui::ControlKind::ParamDisplay, kFamilyA, 320, 330, 100, 18},
        // The page parameter as a menu: entry 0 shows family A, entry 1 family B.
        {gui::ControlKind::OptionMenu, kPage, 320, 250, 80, 16, 0, 0, 0, 0.0f, nullptr,
         gui::Caption::None, kPageNames},
        {gui::ControlKind::HintLine, gui::kNoTag, 14, 370, 532, 20},
    };
    static const EditorDescription description = [] {
        EditorDescription d{};
        d.resources = skins::eraslip();
        d.controls = rows;
        d.numControls = static_cast<int>(std::size(rows));
        d.aboutText = "bands";
        return d;
    }();
    return description;
}

class BandEditor : public PluginEditor {
  public:
    explicit BandEditor(BandEffect* effect)
        : PluginEditor(effect, bandEditorDescription()), effect_(effect) {}

    void close() override {
        page_ = nullptr;
        bands_ = nullptr;
        PluginEditor::close();
    }
    gui::CPageContainer* page() const { return page_; }
    gui::CBandView* bands() const { return bands_; }

  protected:
    gui::CView* makeCustomView(const gui::ControlLayout& row) override {
        const gui::CRect area = gui::CRect::sized(row.x, row.y, row.width, row.height);
        page_ = new gui::CPageContainer(area, kFamilyA);
        bands_ = page_->add(std::make_unique<gui::CBandView>(area, this, kFamilyA, kBands));
        page_->bindBands(bands_);
        return page_;
    }
    void onParameterChanged(int index, float value) override {
        if (index == kPage && page_) page_->showFamily(value < 0.5f ? kFamilyA : kFamilyB);
    }
    void pollMeters() override {
        float levels[kBands];
        std::fill(std::begin(levels), std::end(levels), effect_->level());
        if (bands_) bands_->setOverlays(levels, nullptr, kBands);
    }
    void onOpened() override {}

  private:
    BandEffect* effect_;
    gui::CPageContainer* page_ = nullptr;
    gui::CBandView* bands_ = nullptr;
};

using BandPlugin = PluginEffectWithEditor<BandEffect, BandEditor>;

}  // namespace qx::testing
