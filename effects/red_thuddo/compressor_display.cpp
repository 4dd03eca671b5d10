// Drawing and input of the compressor editor's transfer-curve display and gain bars.
#include "effects/red_thuddo/compressor_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace qx {

namespace {

constexpr int kBarsWidth = 44;
constexpr int kGap = 8;
constexpr int kLabelHeight = 16;  // read-outs under the bars
constexpr gui::CColor kWell{14, 16, 18};
constexpr gui::CColor kDim{120, 124, 130};
constexpr gui::CColor kText{200, 202, 206};
const gui::CFont kSmall{"DejaVu Sans", 8.0, false};

float toDb(float gain) {
    return gainMeterDb(gain);
}

}  // namespace

GainBars::GainBars(const gui::CRect& size, gui::CControlListener* listener, int tag,
                   gui::CColor accent)
    : CControl(size, listener, tag), accent_(accent) {
    setLive(true);
}

int GainBars::pixelOf(float gainDb) const {
    const int top = size_.top + 4, bottom = size_.bottom - kLabelHeight - 4;
    const float t = (kTopDb - std::clamp(gainDb, kBottomDb, kTopDb)) / (kTopDb - kBottomDb);
    return top + static_cast<int>(std::lround(t * static_cast<float>(bottom - top)));
}

void GainBars::setGains(int channel, float gain, float smallest, float largest) {
    if (channel < 0 || channel > 1 || !std::isfinite(gain)) return;
    const double t = now();
    const double elapsed = lastTime_ < 0.0 ? 0.0 : t - lastTime_;
    if (channel == 1) lastTime_ = t;
    shown_[channel] = ballistics_.next(shown_[channel], gain, elapsed);
    smallest_[channel] = std::isfinite(smallest) ? smallest : 1.0f;
    largest_[channel] = std::isfinite(largest) ? largest : 1.0f;
    // Redraw only when a bar end or a tick lands on another pixel row.
    const int rows[3] = {pixelOf(toDb(shown_[channel])), pixelOf(toDb(smallest_[channel])),
                         pixelOf(toDb(largest_[channel]))};
    if (!std::equal(rows, rows + 3, drawn_[channel])) {
        std::copy(rows, rows + 3, drawn_[channel]);
        setDirty();
    }
}

void GainBars::draw(gui::CDrawContext& context) {
    context.fillRect(size_, kWell);
    const int zero = pixelOf(0.0f);
    const int barWidth = (size_.width() - 12) / 2;
    for (int c = 0; c < 2; ++c) {
        const int left = size_.left + 4 + c * (barWidth + 4);
        const int end = pixelOf(toDb(shown_[c]));
        const gui::CRect bar{left, std::min(zero, end), left + barWidth, std::max(zero, end) + 1};
        context.fillRect(bar, accent_);
        for (float extreme : {smallest_[c], largest_[c]}) {
            const int row = pixelOf(toDb(extreme));
            context.fillRect({left, row, left + barWidth, row + 2}, kText);
        }
        char text[16];
        redThuddoCurveNumberText(toDb(shown_[c]), text, sizeof text);
        context.drawString(
            text, {left - 2, size_.bottom - kLabelHeight, left + barWidth + 2, size_.bottom},
            kSmall, kText);
    }
    context.fillRect({size_.left + 2, zero, size_.right - 2, zero + 1}, kDim);
    // Ticks every 10 dB on both edges.
    for (float db = kTopDb - 10.0f; db > kBottomDb; db -= 10.0f) {
        const int row = pixelOf(db);
        context.fillRect({size_.left, row, size_.left + 3, row + 1}, kDim);
        context.fillRect({size_.right - 3, row, size_.right, row + 1}, kDim);
    }
}

bool GainBars::onMouseDown(gui::CPoint /*where*/, const gui::MouseState& /*state*/) {
    valueChanged();  // a command: the listener clears the meters
    return false;
}

CurveReadout::CurveReadout(const gui::CRect& size) : CView(size) {
    setMouseEnabled(false);
}

void CurveReadout::replace(char* text, const char* next) {
    if (std::strcmp(text, next) == 0) return;
    std::strcpy(text, next);
    setDirty();
}

void CurveReadout::setLive(float inputDb, float gainDb) {
    char in[16], gain[16], next[sizeof live_];
    redThuddoCurveNumberText(inputDb, in, sizeof in);
    redThuddoCurveNumberText(gainDb, gain, sizeof gain);
    std::snprintf(next, sizeof next, "DETECTOR %s dB     GAIN %s dB", in, gain);
    replace(live_, next);
}

void CurveReadout::setSettings(const TransferCurveSettings& s) {
    char threshold[16], range[16], next[sizeof settings_];
    redThuddoCurveNumberText(s.thresholdDb, threshold, sizeof threshold);
    redThuddoCurveNumberText(s.maxGainDb, range, sizeof range);
    auto ratio = [](float r, char* text, std::size_t size) {
        if (r > kRedThuddoRatioInfAbove)
            std::snprintf(text, size, "inf");
        else
            redThuddoCurveNumberText(r, text, size);
    };
    char r1[16], r2[16];
    ratio(s.ratio1, r1, sizeof r1);
    ratio(s.ratio2, r2, sizeof r2);
    std::snprintf(next, sizeof next, "THRESHOLD %s dB   RATIOS %s / %s   %s KNEE   RANGE %s dB",
                  threshold, r1, r2, s.softKnee ? "SOFT" : "HARD", range);
    replace(settings_, next);
}

void CurveReadout::draw(gui::CDrawContext& context) {
    context.fillRect(size_, kWell);
    const int half = size_.height() / 2;
    context.drawString(live_, {size_.left + 6, size_.top, size_.right - 6, size_.top + half},
                       kSmall, kText, gui::TextAlign::Left);
    context.drawString(settings_, {size_.left + 6, size_.top + half, size_.right - 6, size_.bottom},
                       kSmall, kDim, gui::TextAlign::Left);
}

CompressorDisplay::CompressorDisplay(const gui::CRect& size, gui::CControlListener* listener,
                                     int tag, gui::CColor accent)
    : CViewContainer(size) {
    const int curveWidth = size.width() - kBarsWidth - kGap;
    curve_ = add(std::make_unique<gui::CTransferView>(
        gui::CRect::sized(size.left, size.top, curveWidth, curveWidth),
        static_cast<double>(kRedThuddoCurveMinDb), static_cast<double>(kRedThuddoCurveMaxDb), 1.0));
    const gui::CRect& c = curve_->getViewSize();
    curve_->setPlotArea({c.left + 28, c.top + 8, c.right - 12, c.bottom - 20});
    // Lines every 10 dB, labelled inside the range only (the ends would be cut off).
    std::vector<gui::GridLine> lines;
    for (int db = kRedThuddoCurveMinDb; db <= kRedThuddoCurveMaxDb; db += 10) {
        const bool end = db == kRedThuddoCurveMinDb || db == kRedThuddoCurveMaxDb;
        lines.push_back({static_cast<double>(db), end ? "" : std::to_string(db)});
    }
    curve_->setGrid(lines, lines);
    curve_->setMarkerStyle({250, 250, 250}, 3.5f);
    curve_->setLive(true);
    bars_ = add(std::make_unique<GainBars>(
        gui::CRect{size.right - kBarsWidth, size.top, size.right, c.bottom}, listener, tag,
        accent));
    readout_ = add(std::make_unique<CurveReadout>(
        gui::CRect{size.left, c.bottom + 8, size.right, std::min(size.bottom, c.bottom + 44)}));
    const gui::CColor mixColour{150, 154, 160};
    curve_->setCurve(
        1, [this](double x) { return transferMixCurveDb(settings_, static_cast<float>(x)); },
        {mixColour, 1.5f, gui::LineCap::Round, 4.0f});
    curve_->setCurve(0,
                     [this](double x) { return transferCurveDb(settings_, static_cast<float>(x)); },
                     {accent, 2.5f, gui::LineCap::Round, 0.0f});
}

void CompressorDisplay::setSettings(const TransferCurveSettings& settings) {
    settings_ = settings;
    curve_->curvesChanged();
    readout_->setSettings(settings);
}

void CompressorDisplay::setLevels(float meanSquare, float gain) {
    const float inputDb = transferInputDb(meanSquare);
    curve_->setOperatingPoint(inputDb);
    readout_->setLive(inputDb, gainMeterDb(gain));
}

}  // namespace qx
