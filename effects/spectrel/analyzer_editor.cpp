// Building, parameter handling and meter polling of the analyzer's editor.
#include "effects/spectrel/analyzer_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "resources/spectrel/spectrel_layout.h"
#include "skins/spectrel.h"

namespace qx {

namespace {

const EditorDescription& analyzerDescription() {
    static const EditorDescription d = [] {
        EditorDescription e;
        e.resources = skins::spectrel();
        e.controls = spectrel::kLayout;
        e.numControls = static_cast<int>(std::size(spectrel::kLayout));
        e.hintKinds = nullptr;
        const gui::CColor accent{90, 220, 140};
        e.theme.display = {{"DejaVu Sans", 9.0, true}, accent, {}, {}, gui::TextAlign::Center};
        e.theme.command = {{"DejaVu Sans Mono", 8.0, true}, accent, {}, {}, gui::TextAlign::Center};
        e.theme.hint = e.theme.display;
        e.aboutText = "";  // no status line
        return e;
    }();
    return d;
}

// Meter reading of a linear level; below -72 dB the meter is empty.
float meterValue(float amplitude) {
    return std::max(spectrelLevelPosition(amplitude), 0.0f);
}

// Inverse of spectrelPowerPosition on its two segments (position 0 stands for -72 dB).
double positionPower(double p) {
    constexpr double kKnee = 0.14285715;
    const double db = p >= kKnee ? (p - kKnee) / 0.023699295 - 36.0 : p / 0.003968254 - 72.0;
    return std::pow(10.0, db / 10.0);
}

}  // namespace

AnalyzerEditor::AnalyzerEditor(AnalyzerEffect* effect)
    : PluginEditor(effect, analyzerDescription()), analyzer_(effect) {}

gui::CView* AnalyzerEditor::makeCustomView(const gui::ControlLayout& row) {
    if (row.tag != spectrel::kSpectrumTag) return nullptr;
    const gui::CRect size = gui::CRect::sized(row.x, row.y, row.width, row.height);
    auto* view = new gui::CSpectrumView(size);
    view->setBackground(loadBitmap(row.bitmap));
    view->setPlotArea({size.left, size.top, size.right, size.top + spectrel::kPlotHeight});
    view->setAxes(
        gui::CGraphAxis::custom(
            [](double fn) {
                return static_cast<double>(spectrelFrequencyPosition(static_cast<float>(fn)));
            },
            [](double p) {
                return static_cast<double>(spectrelPositionFrequency(static_cast<float>(p)));
            }),
        gui::CGraphAxis::custom(
            [](double power) {
                return static_cast<double>(spectrelPowerPosition(static_cast<float>(power)));
            },
            positionPower));
    gui::GraphStyle style = view->style();
    style.background.a = 0;  // the painted glass covers the view
    style.grid = {160, 160, 160, 90};
    style.label = {160, 160, 160};
    style.labelFont = {"DejaVu Sans", 7.5, false};
    view->setStyle(style);
    view->setGridLabel([](double hz, char* text, int size) {
        std::snprintf(text, static_cast<std::size_t>(size), "%3.1f", hz / 1000.0);
    });
    view->setCurveStyle(0, {{250, 190, 70}, 1.2f});
    view->setCurveStyle(1, {{90, 220, 140}, 1.2f});
    view->setReadoutFormat([this](int bin, double hz, char* text) {
        const float gain = spectrelSpectrumGain(scale_);
        const bool sum = parameterValue(kSpectrelSumSpectrum) > 0.5f;
        const float left = shown_ ? shown_->left[bin] : AnalyzerEngine::kSpectrumFloor;
        const float right = shown_ ? shown_->right[bin] : AnalyzerEngine::kSpectrumFloor;
        spectrelReadoutText(static_cast<float>(hz), sum, gain * left, gain * right, text,
                            gui::CSpectrumView::kReadoutSize);
    });
    return view;
}

void AnalyzerEditor::forgetViews() {
    spectrum_ = nullptr;
    std::fill(std::begin(levels_), std::end(levels_), nullptr);
    correlation_ = nullptr;
    readout_ = nullptr;
    legends_[0] = legends_[1] = nullptr;
    std::fill(std::begin(scaleButtons_), std::end(scaleButtons_), nullptr);
    shown_ = nullptr;
}

void AnalyzerEditor::close() {
    forgetViews();  // the frame deletes them
    PluginEditor::close();
}

void AnalyzerEditor::onOpened() {
    forgetViews();
    using namespace spectrel;
    for (int i = 0; i < kNumLevelMeters; ++i)
        levels_[i] = dynamic_cast<gui::CKScaleMeter*>(viewOfRow(kFirstLevelMeterRow + i));
    correlation_ = dynamic_cast<gui::CFallOffMeter*>(viewOfRow(kCorrelationRow));
    legends_[0] = viewOfRow(kFirstLegendRow);
    legends_[1] = viewOfRow(kFirstLegendRow + 1);
    for (int row = 0; row < static_cast<int>(std::size(kLayout)); ++row) {
        const int tag = kLayout[row].tag;
        if (tag == kSpectrumTag) spectrum_ = dynamic_cast<gui::CSpectrumView*>(viewOfRow(row));
        if (tag == kPeakHoldReadout)
            readout_ = dynamic_cast<gui::CPeakHoldReadout*>(viewOfRow(row));
        if (tag >= kScalePeak && tag <= kScaleK20)
            scaleButtons_[tag - kScalePeak] = dynamic_cast<gui::CControl*>(viewOfRow(row));
    }
    if (readout_) {
        readout_->setFormat([this](const float* held, int, float, char* text) {
            spectrelPeakHoldText(20.0f * std::log10(1e-8f + held[0]),
                                 20.0f * std::log10(1e-8f + held[1]), scale_, text,
                                 gui::kDisplayTextSize);
        });
    }
    if (spectrum_) spectrum_->setSampleRate(analyzer_->getSampleRate());
    // The parameter-driven visuals follow in onParameterChanged, once per parameter.
    pollMeters();
}

void AnalyzerEditor::onParameterChanged(int index, float value) {
    switch (index) {
        case kSpectrelOutputScale:
            showScale(spectrelOutputScale(value));
            break;
        case kSpectrelSumSpectrum:
            if (spectrum_) spectrum_->setSumMode(spectrelSwitch(value));
            break;
        case kSpectrelSpectrumOn:
            connectSpectrum(spectrelSwitch(value));
            break;
        default:
            break;
    }
}

void AnalyzerEditor::showScale(SpectrelOutputScale scale) {
    scale_ = scale;
    const int choice = static_cast<int>(scale);
    for (gui::CKScaleMeter* meter : levels_)
        if (meter) meter->selectScale(choice);
    for (gui::CView* legend : legends_)
        if (legend) legend->setBackground(loadBitmap(spectrel::kLegendPeak + choice));
    for (int i = 0; i < kSpectrelNumOutputScales; ++i)
        if (scaleButtons_[i]) scaleButtons_[i]->setValue(i == choice ? 1.0f : 0.0f);
    if (spectrum_) spectrum_->setDisplayGain(spectrelSpectrumGain(scale));
    if (readout_) readout_->setOffsetDb(spectrelScaleOffsetDb(scale));
}

void AnalyzerEditor::connectSpectrum(bool on) {
    spectrumOn_ = on;
    if (!spectrum_) return;
    if (!on) {
        spectrum_->clearCurves();
        return;
    }
    showSpectrum(analyzer_->latestSpectrum());
}

void AnalyzerEditor::showSpectrum(const AnalyzerSpectrum* frame) {
    shown_ = frame;
    if (!spectrum_ || !frame) return;
    spectrum_->setCurve(0, frame->left, kSpectrelSpectrumBins);
    spectrum_->setCurve(1, frame->right, kSpectrelSpectrumBins);
}

void AnalyzerEditor::pollMeters() {
    AnalyzerMeters& m = analyzer_->meters();
    // Rows: left and right peak, left and right RMS, mid and side peak, mid and side RMS.
    constexpr int kPeakMeters[4] = {0, 1, 4, 5};
    constexpr int kRmsMeters[4] = {2, 3, 6, 7};
    for (int c = 0; c < AnalyzerEngine::kNumMeters; ++c) {
        const float peak = m.peakSince[c].take(MeterReader::Editor);
        if (gui::CKScaleMeter* meter = levels_[kPeakMeters[c]]) {
            meter->setValue(meterValue(peak));
            meter->setPeakValue(meterValue(m.peakHold[c].load()));
        }
        if (gui::CKScaleMeter* meter = levels_[kRmsMeters[c]])
            meter->setValue(meterValue(m.rmsLevel[c].load()));
    }
    if (correlation_) {
        const float c = m.correlation.load();
        correlation_->setValue(0.0f);
        if (std::isfinite(c)) correlation_->setPeakValue(std::clamp((c + 1.0f) * 0.5f, 0.0f, 1.0f));
    }
    if (readout_) {
        readout_->setHeld(0, m.peakHold[AnalyzerEngine::kLeft].load());
        readout_->setHeld(1, m.peakHold[AnalyzerEngine::kRight].load());
    }
    if (!spectrum_) return;
    spectrum_->setSampleRate(analyzer_->getSampleRate());
    if (!spectrumOn_) return;
    bool fresh = false;
    const AnalyzerSpectrum* frame = analyzer_->latestSpectrum(&fresh);
    if (fresh || frame != shown_) showSpectrum(frame);
}

void AnalyzerEditor::onCommand(gui::CControl* control) {
    const int tag = control->getTag();
    if (tag == spectrel::kPeakHoldReadout) {
        analyzer_->requestPeakHoldReset();
        return;
    }
    if (tag < spectrel::kScalePeak || tag > spectrel::kScaleK20) return;
    const auto scale = static_cast<SpectrelOutputScale>(tag - spectrel::kScalePeak);
    // A click on the lit button leaves it lit: exactly one scale is always shown.
    showScale(scale);
    analyzer_->beginEdit(kSpectrelOutputScale);
    analyzer_->setParameterAutomated(kSpectrelOutputScale, spectrelOutputScaleValue(scale));
    analyzer_->endEdit(kSpectrelOutputScale);
}

}  // namespace qx
