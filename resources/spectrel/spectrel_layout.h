// The analyzer editor's layout on its 600 x 400 background: the spectrum view on the left,
// mid/side, correlation and left/right meters with their two scale legends on the right,
// the switches along the bottom. The skin painter labels the rows; the editor builds its
// controls from them.
#pragma once

#include "effects/spectrel/spectrel_params.h"
#include "gui/layout.h"

namespace qx::spectrel {

enum Bitmap : int {
    kBackground = 1024,
    kMeterUnlit = 1027,  // 9 x 253
    kMeterPeak = 1028,   // lit bars of the four output scales
    kMeterK12 = 1029,
    kMeterK14 = 1030,
    kMeterK20 = 1031,
    kLegendPeak = 1032,  // 18 x 258 scale legends, one per output scale
    kLegendK12 = 1033,
    kLegendK14 = 1034,
    kLegendK20 = 1035,
    kCorrelationBar = 1036,      // 9 x 253
    kSpectrumBackground = 1041,  // 339 x 270
    kButton = 1042,              // 22 x 20, two states
};

constexpr int kWidth = 600;
constexpr int kHeight = 400;
constexpr int kMeterTop = 71;
constexpr int kMeterHeight = 253;
constexpr int kLegendTop = 69;
constexpr int kCorrelationSteps = 126;
// The spectrum view and the part of it the axes span.
constexpr int kSpectrumLeft = 51;
constexpr int kSpectrumTop = 71;
constexpr int kSpectrumWidth = 339;
constexpr int kSpectrumHeight = 270;
constexpr int kPlotHeight = 252;

// Command tags (parameter tags are the indices of spectrel_params.h).
enum Command : int {
    kScalePeak = gui::kFirstCommandTag,  // write Output scale 0, 0.25, 0.5, 0.75
    kScaleK12,
    kScaleK14,
    kScaleK20,
    kPeakHoldReadout,
    kSpectrumTag,  // the spectrum view's row
};

// Meters fall by these shares of full scale per second: at the usual 30 redraws per second
// 0.1 (levels) and 0.05 (correlation) per redraw.
constexpr float kLevelFall = 3.0f;
constexpr float kCorrelationFall = 1.5f;

constexpr gui::ControlLayout levelMeter(int x, int width) {
    return {gui::ControlKind::KScaleMeter,
            gui::kNoTag,
            x,
            kMeterTop,
            width,
            kMeterHeight,
            kMeterUnlit,
            kMeterPeak,
            kSpectrelNumOutputScales,
            kLevelFall};
}
constexpr gui::ControlLayout button(int tag, int x, const char* caption,
                                    gui::Caption place = gui::Caption::Above) {
    return {
        gui::ControlKind::MovieButton, tag, x, 364, 22, 20, kButton, 0, 2, 0.0f, caption, place};
}
constexpr gui::ControlLayout legend(int x) {
    return {gui::ControlKind::BitmapView, gui::kNoTag, x, kLegendTop, 18, 258, kLegendPeak};
}

// Rows of the eight level meters in this order: left and right peak, left and right RMS,
// mid and side peak, mid and side RMS.
constexpr int kFirstLevelMeterRow = 0;
constexpr int kNumLevelMeters = 8;
constexpr int kCorrelationRow = 8;
constexpr int kFirstLegendRow = 9;

inline constexpr gui::ControlLayout kLayout[] = {
    levelMeter(511, 9),  // left peak
    levelMeter(552, 9),  // right peak
    levelMeter(521, 4),  // left RMS
    levelMeter(547, 4),  // right RMS
    levelMeter(412, 9),  // mid peak
    levelMeter(453, 9),  // side peak
    levelMeter(422, 4),  // mid RMS
    levelMeter(448, 4),  // side RMS
    {gui::ControlKind::FallOffMeter, gui::kNoTag, 480, kMeterTop, 9, kMeterHeight, kMeterUnlit,
     kCorrelationBar, kCorrelationSteps, kCorrelationFall},
    legend(429),
    legend(527),
    {gui::ControlKind::Custom, kSpectrumTag, kSpectrumLeft, kSpectrumTop, kSpectrumWidth,
     kSpectrumHeight, kSpectrumBackground},
    button(kSpectrelBypass, 22, "BYPASS"),
    button(kSpectrelSpectrumOn, 65, "ON"),
    button(kSpectrelSumSpectrum, 108, "SUM"),
    button(kSpectrelSlowSpectrum, 151, "SLOW"),
    button(kSpectrelAes17, 393, "AES17"),
    button(kSpectrelInterSamplePeak, 436, "ISP"),
    button(kScalePeak, 480, "PK", gui::Caption::Below),
    button(kScaleK12, 505, "K12", gui::Caption::Below),
    button(kScaleK14, 530, "K14", gui::Caption::Below),
    button(kScaleK20, 555, "K20", gui::Caption::Below),
    {gui::ControlKind::PeakHoldReadout, kPeakHoldReadout, 502, 346, 70, 10, 0, 0, 2, 0.0f},
};

}  // namespace qx::spectrel
