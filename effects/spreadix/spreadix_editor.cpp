// Building, parameter, scope and meter handling of the spreadix editor.
#include "effects/spreadix/spreadix_editor.h"

#include <cmath>
#include <iterator>

#include "resources/spreadix/spreadix_layout.h"
#include "skins/spreadix.h"

namespace qx {

namespace {

// The meter shows 0.9 times the output peak, so full scale sits below the top (red above).
constexpr float kMeterScale = 0.9f;

constexpr gui::CColor kCyan{140, 255, 255};
constexpr gui::CColor kSpeaker{150, 154, 160};
constexpr gui::CColor kRegion{44, 60, 64};
constexpr gui::CColor kLeftSource{255, 170, 60};
constexpr gui::CColor kRightSource{120, 200, 255};

EditorDescription makeDescription() {
    EditorDescription d;
    d.resources = skins::spreadix();
    d.controls = spreadix::kLayout;
    d.numControls = static_cast<int>(std::size(spreadix::kLayout));
    d.hintKinds = nullptr;
    d.theme.display = {{"DejaVu Sans", 10.5, true}, kCyan, {}, {}, gui::TextAlign::Center};
    d.theme.command = d.theme.display;
    d.theme.hint = {
        {"DejaVu Sans Mono", 10.5, false}, {176, 180, 188}, {}, {}, gui::TextAlign::Left};
    d.aboutText = "Spreadix stereo spreader  |  drag: adjust   Shift: fine   Ctrl-click: default";
    return d;
}

const EditorDescription& spreadixEditorDescription() {
    static const EditorDescription d = makeDescription();
    return d;
}

}  // namespace

SpreadixScopeView::SpreadixScopeView(const gui::CRect& size) : CScopeView(size) {
    gui::GraphStyle style;
    style.background = {10, 14, 16};
    style.grid = {40, 52, 56};
    setStyle(style);
    // The mono axis (vertical) and the side axis (horizontal) through the centre.
    setGrid({{0.0, ""}}, {{0.0, ""}});
    setDotColor(kCyan);
}

void SpreadixScopeView::setPositions(float left, float right) {
    if (left == left_ && right == right_) return;
    left_ = left;
    right_ = right;
    dataChanged();
}

void SpreadixScopeView::setDipole(bool on) {
    if (on == dipole_) return;
    dipole_ = on;
    dataChanged();
}

void SpreadixScopeView::drawData(gui::CDrawContext& context) {
    // The stage strip along the bottom: position 0..1 across the plot's width.
    const gui::CRect& plot = plotArea();
    const float y = static_cast<float>(plot.bottom) - 9.0f;
    const auto stageX = [&](float p) {
        return static_cast<float>(plot.left) + 6.0f + p * static_cast<float>(plot.width() - 12);
    };
    const float lo = dipole_ ? 0.4f : 0.25f;
    const float hi = dipole_ ? 0.6f : 0.75f;
    context.fillRect(gui::CRect{static_cast<int>(stageX(lo)), static_cast<int>(y) - 2,
                                static_cast<int>(stageX(hi)) + 1, static_cast<int>(y) + 3},
                     kRegion);
    // The loudspeakers stay at the ITU positions; the dipole layout narrows the plain region.
    context.fillRect(gui::CRect{static_cast<int>(stageX(0.25f)) - 3, static_cast<int>(y) - 3,
                                static_cast<int>(stageX(0.25f)) + 3, static_cast<int>(y) + 4},
                     kSpeaker);
    context.fillRect(gui::CRect{static_cast<int>(stageX(0.75f)) - 3, static_cast<int>(y) - 3,
                                static_cast<int>(stageX(0.75f)) + 3, static_cast<int>(y) + 4},
                     kSpeaker);
    context.fillCircle({stageX(left_), y}, 3.5f, kLeftSource);
    context.fillCircle({stageX(right_), y}, 3.5f, kRightSource);
    context.drawString(dipole_ ? "DIPOLE" : "ITU",
                       gui::CRect{plot.right - 60, plot.top + 3, plot.right - 6, plot.top + 15},
                       {"DejaVu Sans", 8.0, true}, kSpeaker, gui::TextAlign::Right);
    CScopeView::drawData(context);
}

SpreadixEditor::SpreadixEditor(SpreadixEffect* effect)
    : PluginEditor(effect, spreadixEditorDescription()), spreadix_(effect) {
    pan_[0] = spreadixPan(effect->getParameter(kSpreadixPanLeft));
    pan_[1] = spreadixPan(effect->getParameter(kSpreadixPanRight));
    dipole_ = spreadixSwitch(effect->getParameter(kSpreadixDipole));
}

gui::CView* SpreadixEditor::makeCustomView(const gui::ControlLayout& row) {
    return new SpreadixScopeView(gui::CRect::sized(row.x, row.y, row.width, row.height));
}

void SpreadixEditor::close() {
    scope_ = nullptr;  // the frame deletes the views
    meter_ = nullptr;
    peakReadout_ = nullptr;
    PluginEditor::close();
}

void SpreadixEditor::onOpened() {
    scope_ = nullptr;
    meter_ = nullptr;
    for (int row = 0; row < static_cast<int>(std::size(spreadix::kLayout)); ++row) {
        if (spreadix::kLayout[row].kind == gui::ControlKind::Custom)
            scope_ = dynamic_cast<SpreadixScopeView*>(viewOfRow(row));
        else if (spreadix::kLayout[row].kind == gui::ControlKind::FallOffMeter)
            meter_ = dynamic_cast<gui::CFallOffMeter*>(viewOfRow(row));
    }
    peakReadout_ = dynamic_cast<gui::CPeakHoldReadout*>(controlFor(spreadix::kPeakReadout));
    if (scope_) {
        scope_->setPositions(pan_[0], pan_[1]);
        scope_->setDipole(dipole_);
    }
}

void SpreadixEditor::onParameterChanged(int index, float value) {
    if (index == kSpreadixPanLeft || index == kSpreadixPanRight)
        pan_[index - kSpreadixPanLeft] = spreadixPan(value);
    else if (index == kSpreadixDipole)
        dipole_ = spreadixSwitch(value);
    else
        return;
    if (scope_) {
        scope_->setPositions(pan_[0], pan_[1]);
        scope_->setDipole(dipole_);
    }
}

void SpreadixEditor::parameterText(int index, float value, char* text) {
    spreadixParameterText(index, value, text);
}

void SpreadixEditor::pollMeters() {
    if (scope_) {
        // Also when nothing new came: a reopened editor shows the last pairs of a stopped
        // transport. The view redraws only when they differ from what it shows.
        const SpreadixScopeFrame* pairs = spreadix_->latestScope();
        if (pairs) scope_->setPairs(pairs->left, pairs->right, kSpreadixScopePoints);
    }
    const float vu = spreadix_->takeOutputPeak(MeterReader::Editor);
    if (!std::isfinite(vu)) return;
    if (meter_) meter_->setValue(kMeterScale * vu);
    if (!peakReadout_) return;
    peakReadout_->feed(0, vu);
    if (meter_) meter_->setPeakValue(kMeterScale * peakReadout_->held(0));
}

void SpreadixEditor::onCommand(gui::CControl* control) {
    if (control->getTag() != spreadix::kPeakReadout) return;
    // The read-out has cleared its hold; the meter's mark follows it.
    if (meter_) meter_->setPeakValue(0.0f);
    setHint("Peak hold cleared");
}

}  // namespace qx
