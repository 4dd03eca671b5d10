// The spreadix editor in a real window on an X server, through the built plug-in with XTest
// input: the goniometer read back from the window's pixels, the stage marks, the meter and
// the edits a host sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/geometry.h"
#include "resources/spreadix/spreadix_layout.h"
#include "tests/gui/editor_harness.h"
#include "tools/vsthost/plugin_host.h"

// After the toolkit headers: Xlib defines None and other plain names as macros.
#include <X11/Xutil.h>

namespace qx {
namespace {

using gui::testing::HostWindow;
using testing::FakeUser;

const gui::ControlLayout& rowOf(gui::ControlKind kind, int tag) {
    return testing::rowOf(spreadix::kLayout, kind, tag);
}

gui::CRect rectOf(const gui::ControlLayout& row) {
    return gui::CRect::sized(row.x, row.y, row.width, row.height);
}

using testing::centreOf;

struct Dot {
    int dx, dy;  // from the scope's centre, y downwards
};

class SpreadixEditorTest : public testing::HostedEditorTest<> {
  protected:
    void SetUp() override { open(QX_SPREADIX_PATH, spreadix::kWidth, spreadix::kHeight); }
    // Idles like a host's timer until `done` holds (live views redraw at their own rate).
    template <class Done>
    bool idleUntil(Done done) {
        for (int i = 0; i < 60; ++i) {
            plugin->dispatch(vst::effEditIdle);
            window->sync();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Sines of the two amplitudes on the inputs.
    void play(float left, float right, int frames = 2048) {
        std::vector<std::vector<float>> in(2, std::vector<float>(static_cast<size_t>(frames)));
        for (int n = 0; n < frames; ++n) {
            const float s = std::sin(0.1425f * static_cast<float>(n));
            in[0][static_cast<size_t>(n)] = left * s;
            in[1][static_cast<size_t>(n)] = right * s;
        }
        plugin->run(in, 512);
    }
    // 0x00RRGGBB of every pixel of `area`, row by row, in one read from the server.
    std::vector<unsigned long> capture(const gui::CRect& area) const {
        window->sync();
        Display* display = static_cast<Display*>(window->display());
        XImage* image = XGetImage(display, window->window(), area.left, area.top,
                                  static_cast<unsigned>(area.width()),
                                  static_cast<unsigned>(area.height()), AllPlanes, ZPixmap);
        std::vector<unsigned long> pixels;
        if (!image) return pixels;
        const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x) {
                const unsigned long value = XGetPixel(image, x, y);
                unsigned long rgb = 0;
                for (unsigned long mask : masks) {
                    unsigned long bits = value & mask;
                    for (; mask && !(mask & 1); mask >>= 1) bits >>= 1;
                    rgb = (rgb << 8) | (bits * 255 / (mask ? mask : 1));
                }
                pixels.push_back(rgb);
            }
        XDestroyImage(image);
        return pixels;
    }
    // The scope's dots (its exact dot colour), relative to its centre.
    std::vector<Dot> dots() const {
        const gui::CRect scope = scopeRect();
        const auto pixels = capture(scope);
        std::vector<Dot> found;
        for (size_t i = 0; i < pixels.size(); ++i)
            if (pixels[i] == 0x8CFFFFul) {
                const int x = static_cast<int>(i) % scope.width();
                const int y = static_cast<int>(i) / scope.width();
                found.push_back({x - scope.width() / 2, y - scope.height() / 2});
            }
        return found;
    }
    static gui::CRect scopeRect() { return rectOf(rowOf(gui::ControlKind::Custom, gui::kNoTag)); }
};

TEST_F(SpreadixEditorTest, ScopeDrawsMonoUprightAndLeftOnlyAsTheFallingDiagonal) {
    EXPECT_TRUE(dots().empty());  // silence: every pair sits at the centre, under nothing yet

    // Mono: L = R, so every dot sits on the centre column, spread up and down.
    play(0.8f, 0.8f);
    ASSERT_TRUE(idleUntil([&] { return dots().size() > 30; }));
    std::vector<Dot> mono = dots();
    int top = 0, bottom = 0;
    for (const Dot& d : mono) {
        EXPECT_LE(std::abs(d.dx), 1) << d.dx << "," << d.dy;
        top = std::min(top, d.dy);
        bottom = std::max(bottom, d.dy);
    }
    // 0.8 at -4 dB is 0.5; L + R = 1 reaches 0.22 of the height from the centre.
    const int reach = static_cast<int>(0.5f * 2.0f * 0.22f * spreadix::kScopeHeight);
    EXPECT_NEAR(top, -reach, 3);
    EXPECT_NEAR(bottom, reach, 3);

    // Left only: x = -0.17 L width, y = -0.22 L height from the centre.
    play(0.8f, 0.0f);
    ASSERT_TRUE(idleUntil([&] {
        const auto now = dots();
        return now.size() > 30 && std::none_of(now.begin(), now.end(), [](const Dot& d) {
                   return std::abs(d.dx) <= 1 && std::abs(d.dy) > 8;
               });
    }));
    const double sx = 0.17 * spreadix::kScopeWidth, sy = 0.22 * spreadix::kScopeHeight;
    bool upperLeft = false, lowerRight = false;
    for (const Dot& d : dots()) {
        // Distance from the line through the centre with slope sy / sx, in pixels.
        const double off = std::fabs(d.dx * sy - d.dy * sx) / std::hypot(sx, sy);
        EXPECT_LE(off, 1.5) << d.dx << "," << d.dy;
        upperLeft |= d.dx < -15 && d.dy < -12;
        lowerRight |= d.dx > 15 && d.dy > 12;
    }
    EXPECT_TRUE(upperLeft);
    EXPECT_TRUE(lowerRight);

    // Reopened with the transport stopped, the scope shows the last pairs again.
    const size_t shown = dots().size();
    plugin->dispatch(vst::effEditClose);
    ASSERT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, window->parentHandle()), 1);
    EXPECT_TRUE(idleUntil([&] { return dots().size() == shown; }));
}

TEST_F(SpreadixEditorTest, StageMarksFollowPansAndLayoutFromHostAndMouse) {
    const gui::CRect scope = scopeRect();
    const gui::CRect strip{scope.left, scope.bottom - 16, scope.right, scope.bottom - 2};
    const auto itu = capture(strip);
    // The host switches the layout and moves the left source outside the stage.
    plugin->setParameter(kSpreadixDipole, 1.0f);
    ASSERT_TRUE(idleUntil([&] { return capture(strip) != itu; }));
    const auto dipole = capture(strip);
    plugin->setParameter(kSpreadixPanLeft, 0.0f);
    ASSERT_TRUE(idleUntil([&] { return capture(strip) != dipole; }));

    // A drag of the right pan to the right end: one automated edit, stage mark follows.
    const auto before = capture(strip);
    const gui::ControlLayout& panR = rowOf(gui::ControlKind::HSlider, kSpreadixPanRight);
    drag(centreOf(panR), 12, 0, 10);
    EXPECT_GT(plugin->getParameter(kSpreadixPanRight), 0.9f);
    expectOneEdit(kSpreadixPanRight);
    EXPECT_TRUE(idleUntil([&] { return capture(strip) != before; }));

    // A knob drag on Side Level, and the Bypass button.
    plugin->clearEvents();
    drag(centreOf(rowOf(gui::ControlKind::AnimKnob, kSpreadixSideLevel)), 0, -8, 6);
    EXPECT_GT(plugin->getParameter(kSpreadixSideLevel), 0.3f);
    expectOneEdit(kSpreadixSideLevel);
    plugin->clearEvents();
    const gui::ControlLayout& bypass = rowOf(gui::ControlKind::MovieButton, kSpreadixBypass);
    user->moveTo(centreOf(bypass).x, centreOf(bypass).y);
    settle();
    user->press();
    settle();
    user->release();
    settle();
    EXPECT_EQ(plugin->getParameter(kSpreadixBypass), 1.0f);
    expectOneEdit(kSpreadixBypass);
}

TEST_F(SpreadixEditorTest, MeterRisesWithASignalWithoutTakingTheHostsVu) {
    const gui::ControlLayout& meterRow = rowOf(gui::ControlKind::FallOffMeter, gui::kNoTag);
    const gui::CRect meter = rectOf(meterRow);
    const auto silent = capture(meter);
    play(0.8f, 0.8f);
    EXPECT_TRUE(idleUntil([&] { return capture(meter) != silent; }));
    // The editor took its own reading; the host's is still there.
    EXPECT_GT(plugin->vu(), 0.4f);
}

}  // namespace
}  // namespace qx
