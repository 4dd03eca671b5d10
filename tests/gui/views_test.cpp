// The toolkit's live views without a window: damage bookkeeping, frame pacing, meters and
// overlays that move by time, read-outs, K scales, and the spectrum, transfer-curve and
// goniometer views drawn into the back buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gui/band_view.h"
#include "gui/frame.h"
#include "gui/meter.h"
#include "gui/page_container.h"
#include "gui/scope_view.h"
#include "gui/spectrum_view.h"
#include "gui/text.h"
#include "gui/transfer_view.h"
#include "skins/eraslip.h"
#include "tests/gui/editor_harness.h"

namespace qx::gui {
namespace {

TEST(DamageList, KeepsDistantAreasApartAndMergesNeighbours) {
    CDamageList damage;
    damage.add(CRect::sized(0, 0, 40, 30));
    damage.add(CRect::sized(360, 270, 40, 30));
    EXPECT_EQ(damage.size(), 2);
    EXPECT_EQ(damage.area(), 2 * 40 * 30);
    damage.add(CRect::sized(10, 10, 5, 5));  // already covered
    damage.add(CRect{});
    EXPECT_EQ(damage.size(), 2);
    damage.add(CRect::sized(40, 0, 40, 30));  // touching: one strip wastes nothing
    EXPECT_EQ(damage.size(), 2);
    EXPECT_EQ(damage.area(), 3 * 40 * 30);
    damage.add(CRect::sized(0, 0, 400, 300));  // covers everything
    EXPECT_EQ(damage.size(), 1);

    // More scattered areas than the list holds: merged, nothing lost.
    CDamageList many;
    CRect all;
    for (int i = 0; i < 40; ++i) {
        const CRect r = CRect::sized((i * 97) % 900, (i * 53) % 600, 8, 8);
        many.add(r);
        all = all.united(r);
    }
    EXPECT_LE(many.size(), CDamageList::kMaxRects);
    EXPECT_EQ(many.bounds(), all);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(many.intersects(CRect::sized((i * 97) % 900 + 4, (i * 53) % 600 + 4, 1, 1)));
}

TEST(DrawContext, ThinLinesCoverByDistanceAndStayInsideTheClip) {
    COffscreen buffer(40, 40);
    {
        CDrawContext context(buffer);
        const CRect clips[2] = {CRect::sized(0, 0, 20, 40), CRect::sized(30, 0, 10, 40)};
        context.clip(clips, 2);
        // On pixel centres: full colour; half way between two rows: half on each.
        const CPointF centred[3] = {{0.5f, 5.5f}, {20.5f, 5.5f}, {39.5f, 5.5f}};
        context.polyline(centred, 3, {{200, 100, 0}});
        context.line({0.5f, 20.0f}, {39.5f, 20.0f}, {{200, 100, 0}});
        context.points(centred, 3, {0, 0, 250});
    }
    EXPECT_EQ(buffer.pixel(10, 5), 0xc86400u);
    EXPECT_EQ(buffer.pixel(10, 4), 0u);
    EXPECT_EQ(buffer.pixel(10, 19), 0x643200u);
    EXPECT_EQ(buffer.pixel(10, 20), 0x643200u);
    // Between the two clip rectangles nothing is drawn; the dots take their pixels.
    for (int x = 20; x < 30; ++x) EXPECT_EQ(buffer.pixel(x, 5) | buffer.pixel(x, 20), 0u) << x;
    EXPECT_EQ(buffer.pixel(35, 20), 0x643200u);
    EXPECT_EQ(buffer.pixel(0, 5), 0x0000fau);
    EXPECT_EQ(buffer.pixel(39, 5), 0x0000fau);
    EXPECT_EQ(buffer.pixel(20, 5), 0u);  // the middle dot is outside the clip
}

TEST(BitmapCache, DecodesEachResourceOnce) {
    CBitmapCache cache(skins::eraslip());
    const BitmapRef first = cache.get(1025);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cache.get(1025), first);
    EXPECT_EQ(cache.get(4242), nullptr);
    EXPECT_EQ(cache.get(4242), nullptr);
    EXPECT_EQ(cache.decodes(), 2);
    cache.clear();
    EXPECT_NE(cache.get(1025), first);  // a fresh copy after a clear
}

// Counts its draws; data "changes" whenever the test says so.
class LiveProbe : public CView {
  public:
    explicit LiveProbe(const CRect& size) : CView(size) { setLive(true); }
    void draw(CDrawContext&) override { ++draws; }
    int draws = 0;
};

TEST(Frame, LiveViewsRedrawAtTheLiveRateWhateverTheIdleRate) {
    for (const double idleHz : {10.0, 25.0, 100.0, 250.0}) {
        double seconds = 100.0;
        CFrame frame(CRect::sized(0, 0, 100, 100), nullptr);
        frame.setClock([&] { return seconds; });
        frame.setLiveRate(30.0);
        auto* live = frame.add(std::make_unique<LiveProbe>(CRect::sized(0, 0, 50, 50)));
        auto* control = frame.add(std::make_unique<LiveProbe>(CRect::sized(50, 0, 50, 50)));
        control->setLive(false);
        frame.idle();
        live->draws = control->draws = 0;
        const int idles = static_cast<int>(idleHz * 2.0);  // two seconds
        for (int i = 0; i < idles; ++i) {
            seconds += 1.0 / idleHz;
            live->setDirty();
            control->setDirty();
            frame.idle();
        }
        EXPECT_EQ(control->draws, idles) << idleHz << " Hz";
        EXPECT_NEAR(live->draws, std::min(idleHz, 30.0) * 2.0, 2.0) << idleHz << " Hz";
    }
}

TEST(Meter, FallsTheSameDecibelsInTheSameTimeAtAnyIdleRate) {
    auto fallAfterOneSecond = [](double idleHz) {
        double seconds = 0.0;
        CFrame frame(CRect::sized(0, 0, 20, 100), nullptr);
        frame.setClock([&] { return seconds; });
        auto* meter = frame.add(
            std::make_unique<CFallOffMeter>(CRect::sized(0, 0, 10, 100), nullptr, nullptr, 0.0f));
        meter->setBallistics({24.0f, Ballistics::Unit::Decibel});  // 24 dB per second
        meter->setValue(1.0f);
        frame.idle();
        for (int i = 0; i < static_cast<int>(idleHz); ++i) {
            seconds += 1.0 / idleHz;
            meter->setValue(0.0f);  // silence
            frame.idle();
        }
        return 20.0 * std::log10(meter->getValue());
    };
    EXPECT_NEAR(fallAfterOneSecond(10.0), -24.0, 0.01);
    EXPECT_NEAR(fallAfterOneSecond(100.0), -24.0, 0.01);
    EXPECT_NEAR(fallAfterOneSecond(10.0), fallAfterOneSecond(100.0), 0.01);
}

struct Commands : CControlListener {
    std::vector<int> tags;
    void controlChanged(CControl* control) override { tags.push_back(control->getTag()); }
};

TEST(PeakHold, HoldsTheLargestClearsOnPressAndTellsItsCommand) {
    Commands listener;
    CFrame frame(CRect::sized(0, 0, 200, 50), nullptr);
    auto* mono =
        frame.add(std::make_unique<CPeakHoldReadout>(CRect::sized(0, 0, 80, 16), &listener, 104));
    EXPECT_EQ(mono->text(), "-inf dB");
    mono->feed(0, 0.5f);
    mono->feed(0, -0.25f);
    mono->feed(0, NAN);
    EXPECT_EQ(mono->text(), "-6.0 dB");
    mono->setOffsetDb(20.0f);  // K20: counts from the reference
    EXPECT_EQ(mono->text(), "14.0 dB");
    frame.mouseDown({10, 8}, {});
    EXPECT_EQ(mono->held(0), 0.0f);
    EXPECT_EQ(listener.tags, std::vector<int>{104});

    auto* stereo = frame.add(
        std::make_unique<CPeakHoldReadout>(CRect::sized(100, 0, 90, 16), &listener, 105, 2));
    stereo->setHeld(0, 1.0f);
    stereo->setHeld(1, 0.1f);
    EXPECT_EQ(stereo->text(), "0.0 dB -20.0 dB");
    stereo->setFormat([](const float* held, int, float offset, char* text) {
        std::snprintf(text, kDisplayTextSize, "%2.1f dB %2.1f", 20 * std::log10(held[0]) + offset,
                      20 * std::log10(held[1]) + offset);
    });
    EXPECT_EQ(stereo->text(), "0.0 dB -20.0");
}

BitmapRef flat(std::uint32_t argb, int width, int height) {
    const std::vector<std::uint32_t> pixels(static_cast<size_t>(width * height), argb);
    return std::make_shared<const CBitmap>(width, height, pixels.data());
}

TEST(Meter, KScaleMeterSwitchesLitBarAndOffset) {
    CFrame frame(CRect::sized(0, 0, 20, 100), nullptr);
    std::vector<CKScaleMeter::Scale> scales;
    const std::uint32_t colours[kNumKScales] = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00};
    for (int i = 0; i < kNumKScales; ++i)
        scales.push_back({flat(colours[i], 10, 100), kKScaleOffsetsDb[i]});
    auto* meter = frame.add(
        std::make_unique<CKScaleMeter>(CRect::sized(0, 0, 10, 100), nullptr, scales, 3.0f));
    meter->resetValue(0.5f);
    frame.redrawDirty();
    EXPECT_EQ(frame.backBuffer().pixel(5, 90), 0xff0000u);
    for (int i = 1; i < kNumKScales; ++i) {
        meter->selectScale(i);
        EXPECT_FALSE(frame.redrawDirty().empty());
        EXPECT_EQ(frame.backBuffer().pixel(5, 90), colours[i] & 0xffffffu);
        EXPECT_EQ(frame.backBuffer().pixel(5, 10), 0u);  // above the bar: unlit (none here)
        EXPECT_EQ(meter->offsetDb(), kKScaleOffsetsDb[i]);
    }
    meter->selectScale(7);
    EXPECT_EQ(meter->scale(), kNumKScales - 1);
}

TEST(Spectrum, GridBelowHalfTheRateReadoutUnderThePressAndRedrawOnlyOnChange) {
    CFrame frame(CRect::sized(0, 0, 400, 300), nullptr);
    auto* view = frame.add(std::make_unique<CSpectrumView>(CRect::sized(20, 20, 339, 253)));
    std::vector<float> left(1024), right(1024);
    for (int i = 0; i < 1024; ++i) {
        left[static_cast<size_t>(i)] = 1.0f / (1 + i);
        right[static_cast<size_t>(i)] = 0.5f / (1 + i);
    }
    view->setCurve(0, left.data(), 1024);
    view->setCurve(1, right.data(), 1024);
    frame.redrawDirty();

    // The same data again: nothing to redraw. One bin changed: a narrow strip of the view
    // around its column, from the old curve's rows to the peak's.
    view->setCurve(0, left.data(), 1024);
    EXPECT_TRUE(frame.redrawDirty().empty());
    left[500] = 0.5f;
    view->setCurve(0, left.data(), 1024);
    const CDamageList& changed = frame.redrawDirty();
    ASSERT_EQ(changed.size(), 1);
    EXPECT_TRUE(view->getViewSize().encloses(changed[0]));
    const int column = static_cast<int>(view->xPixel(500.0 / 1024));
    EXPECT_TRUE(changed[0].contains({column, static_cast<int>(view->yPixel(0.5))}));
    EXPECT_LT(changed[0].width(), 40);
    EXPECT_LT(changed[0].area(), view->getViewSize().area() / 8);

    // A press at the right edge reads the last bin at about half the rate; moving off the
    // view and releasing clear it.
    view->setSampleRate(44100.0f);
    frame.mouseDown({358, 100}, {});
    EXPECT_EQ(view->readoutBin(), 1023);
    EXPECT_NEAR(view->readoutHz(), 22050.0, 40.0);
    EXPECT_STRNE(view->readout(), "");
    frame.mouseMoved({189, 100}, {});
    const int middleBin = view->readoutBin();
    EXPECT_GT(middleBin, 0);
    EXPECT_LT(middleBin, 1023);
    EXPECT_NEAR(view->readoutHz(), middleBin * 22050.0 / 1024, 22050.0 / 1024);
    frame.mouseMoved({390, 100}, {});
    EXPECT_STREQ(view->readout(), "");
    frame.mouseUp({390, 100}, {});

    // Grid lines: up to 16 kHz at 44.1 kHz, 32 kHz too at 96 kHz.
    auto gridDrawn = [&](double hz) {
        const int x = static_cast<int>(view->xPixel(2.0 * hz / view->sampleRate()));
        frame.invalidate(view->getViewSize());
        frame.redrawDirty();
        return frame.backBuffer().pixel(x, 30) == 0x3e4248u;
    };
    EXPECT_TRUE(gridDrawn(16000.0));
    EXPECT_FALSE(gridDrawn(32000.0));
    view->setSampleRate(96000.0f);
    EXPECT_TRUE(gridDrawn(32000.0));

    // Switched off: no curves, no read-out.
    view->clearCurves();
    frame.mouseDown({200, 100}, {});
    EXPECT_STREQ(view->readout(), "");
    EXPECT_EQ(view->readoutBin(), -1);
    frame.mouseUp({200, 100}, {});
}

// Redraws of only the damaged area leave the same picture as redrawing the whole view:
// the area reaches every pixel a moved curve touched, antialiased edges and sharp joints
// included, across new data, sum mode, display gain and curves coming and going.
TEST(Spectrum, PartialRedrawsLeaveTheSamePictureAsAWholeRedraw) {
    const CRect size = CRect::sized(20, 20, 339, 253);
    CFrame incremental(CRect::sized(0, 0, 400, 300), nullptr);
    CFrame whole(CRect::sized(0, 0, 400, 300), nullptr);
    auto* view = incremental.add(std::make_unique<CSpectrumView>(size));
    auto* reference = whole.add(std::make_unique<CSpectrumView>(size));
    for (CSpectrumView* v : {view, reference}) v->setCurveStyle(0, {{250, 190, 70}, 1.2f});
    unsigned seed = 11;
    auto random = [&seed] {
        return static_cast<float>(seed = seed * 1664525u + 1013904223u) / 4.3e9f;
    };
    std::vector<float> left(1024), right(1024);
    // A damaged area too small leaves old curve or misses new curve: tens to hundreds of
    // steps; cairo may round an antialiased pixel one step apart.
    auto expectSamePicture = [&](int step) {
        incremental.redrawDirty();
        whole.invalidate(size);
        whole.redrawDirty();
        int differ = 0;
        for (int y = size.top; y < size.bottom; ++y)
            for (int x = size.left; x < size.right; ++x)
                differ += qx::testing::channelDistance(incremental.backBuffer().pixel(x, y),
                                                       whole.backBuffer().pixel(x, y)) > 4;
        EXPECT_EQ(differ, 0) << "step " << step;
    };
    incremental.redrawDirty();
    long partial = 0;
    for (int step = 0; step < 24; ++step) {
        // A floor with spikes of any height, and a peak that moves.
        const int peak = 10 + 40 * step;
        for (int i = 0; i < 1024; ++i) {
            const bool near = std::abs(i - peak) < 30;
            left[static_cast<size_t>(i)] = near && random() < 0.2f ? random() : 1e-9f;
            right[static_cast<size_t>(i)] = near ? 1e-5f * random() : 1e-9f;
        }
        left[static_cast<size_t>(peak)] = 0.9f;
        for (CSpectrumView* v : {view, reference}) {
            v->setCurve(0, left.data(), 1024);
            if (step % 7 != 3) v->setCurve(1, right.data(), 1024);
            v->setSumMode(step % 9 == 4);
            v->setDisplayGain(step % 5 == 2 ? 4.0f : 1.0f);
            if (step == 12) v->clearCurves();
        }
        partial += incremental.redrawDirty().area() < size.area() / 2;
        expectSamePicture(step);
    }
    // Most steps redrew a part of the view only.
    EXPECT_GT(partial, 12);
}

TEST(TransferCurve, SamplesTheFunctionAndRedrawsTheMarkerOnlyWhenItMoves) {
    CFrame frame(CRect::sized(0, 0, 300, 300), nullptr);
    auto* view = frame.add(std::make_unique<CTransferView>(CRect::sized(0, 0, 251, 251)));
    double threshold = -20.0, ratio = 4.0;
    view->setCurve(
        0, [&](double in) { return in <= threshold ? in : threshold + (in - threshold) / ratio; },
        {{250, 200, 60}, 1.5f});
    ASSERT_EQ(view->numPoints(), 51);
    EXPECT_DOUBLE_EQ(view->sampledOutput(0, 10), -40.0);  // -40 dB in, below threshold
    EXPECT_DOUBLE_EQ(view->sampledOutput(0, 50), -15.0);  // 0 dB in: -20 + 20 / 4
    EXPECT_TRUE(std::isnan(view->sampledOutput(1, 0)));
    threshold = -30.0;
    view->curvesChanged();
    EXPECT_DOUBLE_EQ(view->sampledOutput(0, 50), -22.5);

    view->setOperatingPoint(-10.0);
    frame.redrawDirty();
    // A level within the same pixel column: nothing to redraw; another column: redraw.
    view->setOperatingPoint(-10.01);
    EXPECT_TRUE(frame.redrawDirty().empty());
    view->setOperatingPoint(-5.0);
    EXPECT_FALSE(frame.redrawDirty().empty());
    // The marker sits on the curve: -5 dB in gives -30 + 25 / 4 = -23.75 dB out.
    const int x = static_cast<int>(view->xPixel(-5.0));
    const int y = static_cast<int>(view->yPixel(-23.75));
    EXPECT_EQ(frame.backBuffer().pixel(x, y), 0xfafafau);
    view->setOperatingPoint(NAN);
    EXPECT_FALSE(frame.redrawDirty().empty());
    EXPECT_NE(frame.backBuffer().pixel(x, y), 0xfafafau);
}

TEST(Scope, MonoIsAVerticalLineLeftOnlyADiagonal) {
    CFrame frame(CRect::sized(0, 0, 200, 200), nullptr);
    auto* scope = frame.add(std::make_unique<CScopeView>(CRect::sized(0, 0, 200, 200)));
    const unsigned dot = 0x8cffffu;
    auto columnsAndRows = [&](const std::vector<float>& l, const std::vector<float>& r) {
        scope->setPairs(l.data(), r.data(), static_cast<int>(l.size()));
        frame.redrawDirty();
        std::vector<std::pair<int, int>> lit;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                if (frame.backBuffer().pixel(x, y) == dot) lit.emplace_back(x, y);
        return lit;
    };
    std::vector<float> ramp(256), zero(256, 0.0f);
    for (int i = 0; i < 256; ++i) ramp[static_cast<size_t>(i)] = -1.0f + i / 127.5f;

    const auto mono = columnsAndRows(ramp, ramp);
    ASSERT_GT(mono.size(), 50u);
    for (const auto& [x, y] : mono) EXPECT_EQ(x, 100);  // the centre column, top to bottom
    const auto leftOnly = columnsAndRows(ramp, zero);
    ASSERT_GT(leftOnly.size(), 50u);
    // L > 0 goes up and to the left: x falls as y falls.
    for (const auto& [x, y] : leftOnly) {
        const double l = (y - 99.5) / (-0.22 * 199);  // mid = L
        EXPECT_NEAR(x, 99.5 - l * 0.17 * 199, 1.0) << x << "," << y;
    }
    // The same pairs again: nothing to redraw.
    scope->setPairs(ramp.data(), zero.data(), 256);
    EXPECT_TRUE(frame.redrawDirty().empty());
}

TEST(BandView, OverlaysFallByTheirReleaseAndBarsShareTheWidth) {
    double seconds = 0.0;
    Commands listener;
    CFrame frame(CRect::sized(0, 0, 300, 200), nullptr);
    frame.setClock([&] { return seconds; });
    auto* bands =
        frame.add(std::make_unique<CBandView>(CRect::sized(10, 10, 200, 120), &listener, 40, 20));
    bands->setBandCount(10);
    EXPECT_FALSE(bands->bar(10)->isVisible());
    EXPECT_TRUE(bands->bar(9)->isVisible());
    EXPECT_GE(bands->bar(0)->getViewSize().left, 10);
    EXPECT_LE(bands->bar(9)->getViewSize().right, 210);
    EXPECT_EQ(frame.hitTest({bands->bar(3)->getViewSize().left + 1, 50}), bands->bar(3));

    // Level readings placed linearly in dB over 60 dB; 30 dB per second release.
    bands->setPlacement([](float linear) { return (20 * std::log10(linear) + 60) / 60; });
    bands->setRelease(30.0f);
    std::vector<float> levels(10, 1.0f), gains(10, 0.1f);
    bands->setOverlays(levels.data(), gains.data(), 10);
    std::fill(levels.begin(), levels.end(), 0.001f);
    std::fill(gains.begin(), gains.end(), 1.0f);
    for (int i = 0; i < 10; ++i) {
        seconds += 0.05;
        bands->setOverlays(levels.data(), gains.data(), 10);
    }
    frame.redrawDirty();
    // After half a second the level mark is 15 dB down (a quarter of the bar), the gain mark
    // 15 dB up from -20 dB.
    const CRect bar = bands->bar(0)->getViewSize();
    const int travel = bar.height() - 2;
    const int levelRow = bar.bottom - 2 - static_cast<int>(std::lround(0.75 * travel));
    const int gainRow = bar.bottom - 2 - static_cast<int>(std::lround((55.0 / 60.0) * travel));
    EXPECT_EQ(frame.backBuffer().pixel(bar.left + 1, levelRow), 0xebebebu);
    EXPECT_EQ(frame.backBuffer().pixel(bar.left + 1, gainRow), 0x5ab4ebu);

    // The page re-tags every bar; each stays its band.
    CPageContainer page(CRect::sized(0, 0, 300, 200), 40);
    page.bindBands(bands);
    page.showFamily(60);
    EXPECT_EQ(bands->bar(0)->getTag(), 60);
    EXPECT_EQ(bands->bar(19)->getTag(), 79);
}

}  // namespace
}  // namespace qx::gui
