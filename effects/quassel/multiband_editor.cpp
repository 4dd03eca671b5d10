// The quassel editor: pages of the band display, dB-travel faders, meters and hint texts.
#include "effects/quassel/multiband_editor.h"

#include <cmath>
#include <cstdio>

#include "effects/quassel/quassel_tables.h"
#include "resources/quassel/quassel_layout.h"
#include "skins/quassel.h"

namespace qx {

namespace {

constexpr const char* kPageTexts[kQuasselNumFamilies] = {"Makeup gain display", "Threshold display",
                                                         "Ratio display",       "Attack display",
                                                         "Release display",     "Warmth display"};

// The bars' overlays fall (levels) and recover (gains) by the display release: the step of
// the bar travel per refresh at a 30 Hz refresh, in dB per second along the upper segment
// of the travel (42 dB over six sevenths).
float barReleaseDbPerSecond(float displayRelease) {
    constexpr float kDbPerTravel = 42.0f * 7.0f / 6.0f;
    constexpr float kRefreshPerSecond = 30.0f;
    return std::max(1.0f, quasselBarStep(displayRelease) * kDbPerTravel * kRefreshPerSecond);
}

EditorDescription makeDescription() {
    EditorDescription d{};
    d.resources = skins::quassel();
    d.controls = quassel::kLayout;
    d.numControls = static_cast<int>(std::size(quassel::kLayout));
    d.hintKinds = nullptr;  // the editor writes its own line for every parameter
    const gui::CColor accent{56, 204, 158};
    d.theme.display = {{"DejaVu Sans", 11.0, true}, accent, {}, {}, gui::TextAlign::Center};
    d.theme.command = {{"DejaVu Sans Mono", 10.0, true}, accent, {}, {}, gui::TextAlign::Center};
    d.theme.hint = {
        {"DejaVu Sans Mono", 10.5, false}, {176, 180, 188}, {}, {}, gui::TextAlign::Left};
    d.aboutText = "Drag a bar to set its band  |  Shift: fine  |  Ctrl-click: default";
    return d;
}

const EditorDescription& multibandEditorDescription() {
    static const EditorDescription d = makeDescription();
    return d;
}

}  // namespace

MultibandEditor::MultibandEditor(MultibandEffect* effect)
    : PluginEditor(effect, multibandEditorDescription()), multiband_(effect) {}

int MultibandEditor::faderParameter(int tag) {
    if (tag == quassel::kPreGainFader) return kQuasselPreGain;
    if (tag == quassel::kOutputTrimFader) return kQuasselOutputTrim;
    return -1;
}

gui::CView* MultibandEditor::makeCustomView(const gui::ControlLayout& row) {
    if (row.tag != kQuasselMakeupGain) return nullptr;
    const gui::CRect area = gui::CRect::sized(row.x, row.y, row.width, row.height);
    page_ = new gui::CPageContainer(area, kQuasselFamilyFirst[family_]);
    bands_ = page_->add(std::make_unique<gui::CBandView>(area, this, kQuasselFamilyFirst[family_],
                                                         kQuasselBandsPerFamily));
    page_->bindBands(bands_);
    gui::BandStyle style;
    style.track = {20, 24, 26};
    style.bar = {56, 204, 158};
    style.level = {240, 240, 236};
    style.gain = {240, 160, 52};
    bands_->setStyle(style);
    // Levels, and gains times 0.1, on the faders' dB travel.
    bands_->setPlacement([](float linear) { return quasselTravelPosition(linear); });
    return page_;
}

void MultibandEditor::close() {
    page_ = nullptr;
    bands_ = nullptr;
    meters_[0] = meters_[1] = nullptr;
    readout_ = nullptr;
    PluginEditor::close();
}

void MultibandEditor::onOpened() {
    for (int c = 0; c < 2; ++c)
        meters_[c] = dynamic_cast<gui::CFallOffMeter*>(viewOfRow(quassel::kMeterRow[c]));
    readout_ = dynamic_cast<gui::CPeakHoldReadout*>(controlFor(quassel::kPeakReadout));
    if (readout_)
        readout_->setFormat([](const float* held, int channels, float, char* text) {
            const auto db = [](float v) { return 20.0 * std::log10(std::max(v, 1e-8f)); };
            std::snprintf(text, gui::kDisplayTextSize, "%2.1f dB %2.1f", db(held[0]),
                          db(held[channels > 1 ? 1 : 0]));
        });
}

void MultibandEditor::showPage(int family) {
    family_ = family;
    if (page_) page_->showFamily(kQuasselFamilyFirst[family]);
    if (bands_) bands_->setBandCount(quasselBandCount(parameterValue(kQuasselNumberOfBands)));
    for (int f = 0; f < kQuasselNumFamilies; ++f)
        if (gui::CControl* button = controlFor(quassel::kFirstPageButton + f))
            button->setValue(f == family ? 1.0f : 0.0f);
}

void MultibandEditor::onParameterChanged(int index, float value) {
    switch (index) {
        case kQuasselGuiMode:
            showPage(quasselPageFamily(value, family_));
            break;
        case kQuasselNumberOfBands:
            showPage(family_);  // the bar count follows the band count
            break;
        case kQuasselDisplayRelease:
            if (bands_) bands_->setRelease(barReleaseDbPerSecond(value));
            break;
        case kQuasselPreGain:
        case kQuasselOutputTrim: {
            const int tag =
                index == kQuasselPreGain ? quassel::kPreGainFader : quassel::kOutputTrimFader;
            // The fader places the normalised value itself on the travel.
            if (gui::CControl* fader = controlFor(tag))
                fader->setValue(quasselTravelPosition(value));
            break;
        }
        default:
            break;
    }
}

void MultibandEditor::controlChanged(gui::CControl* control) {
    PluginEditor::controlChanged(control);
    const int tag = control->getTag();
    if (isParameterTag(tag)) {
        char text[kHintSize];
        quasselControlText(tag, control->getValue(), text, kHintSize);
        setHint(text);
    }
}

void MultibandEditor::controlBeginEdit(gui::CControl* control) {
    const int parameter = faderParameter(control->getTag());
    if (parameter >= 0)
        beginEdit(parameter);
    else
        PluginEditor::controlBeginEdit(control);
}

void MultibandEditor::controlEndEdit(gui::CControl* control) {
    const int parameter = faderParameter(control->getTag());
    if (parameter >= 0)
        endEdit(parameter);
    else
        PluginEditor::controlEndEdit(control);
}

void MultibandEditor::onCommand(gui::CControl* control) {
    const int tag = control->getTag();
    if (const int parameter = faderParameter(tag); parameter >= 0) {
        const float value = quasselTravelGain(control->getValue());
        effect()->setParameterAutomated(parameter, value);
        char text[kHintSize];
        quasselControlText(parameter, value, text, kHintSize);
        setHint(text);
        return;
    }
    const int family = tag - quassel::kFirstPageButton;
    if (family >= 0 && family < kQuasselNumFamilies) {
        effect()->setParameter(kQuasselGuiMode, quasselPageValue(family));
        showPage(family);
        setHint(kPageTexts[family]);
        return;
    }
    if (tag == quassel::kPeakReadout) {
        multiband_->requestResetHold();
        setHint("Peak hold reset");
    }
}

void MultibandEditor::pollMeters() {
    const QuasselMeters& m = multiband_->meters();
    for (int c = 0; c < 2; ++c) {
        if (meters_[c]) {
            meters_[c]->setValue(quasselTravelPosition(m.level[c].load()));
            meters_[c]->setPeakValue(quasselTravelPosition(m.hold[c].load()));
        }
        if (readout_) readout_->setHeld(c, m.hold[c].load());
    }
    if (!bands_) return;
    float levels[kQuasselBandsPerFamily], gains[kQuasselBandsPerFamily];
    for (int b = 0; b < kQuasselBandsPerFamily; ++b) {
        levels[b] = m.bandLevel[b].load();
        gains[b] = 0.1f * m.bandGain[b].load();
    }
    bands_->setOverlays(levels, gains, bands_->bandCount());
}

}  // namespace qx
