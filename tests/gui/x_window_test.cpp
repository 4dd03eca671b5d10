// The toolkit on a real X server: only damaged areas are sent (through shared memory and
// without it), graphs put known curves on the expected pixels of the window, and the error
// trap keeps the editor's X errors from the host's handler.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gui/frame.h"
#include "gui/graph.h"
#include "gui/x11/x_error_trap.h"
#include "tests/gui/x_session.h"

namespace qx::gui {
namespace {

// A flat colour that counts how often it is drawn.
class Swatch : public CView {
  public:
    Swatch(const CRect& size, CColor color) : CView(size), color_(color) {}
    void setColor(CColor color) {
        color_ = color;
        setDirty();
    }
    void draw(CDrawContext& context) override {
        ++draws;
        context.fillRect(size_, color_);
    }
    int draws = 0;

  private:
    CColor color_;
};

unsigned long rgb(CColor c) {
    return static_cast<unsigned long>(c.r) << 16 | static_cast<unsigned long>(c.g) << 8 | c.b;
}

class Uploads : public ::testing::TestWithParam<bool> {};

TEST_P(Uploads, DamagedCornerRepaintsAndSendsOnlyThatCorner) {
    if (!qx::testing::xServer()) GTEST_SKIP();
    testing::HostWindow window(400, 300);
    CFrame frame(CRect::sized(0, 0, 400, 300), nullptr);
    frame.setSharedMemoryAllowed(GetParam());
    auto* corner =
        frame.add(std::make_unique<Swatch>(CRect::sized(0, 0, 40, 30), CColor{0, 0, 90}));
    auto* far =
        frame.add(std::make_unique<Swatch>(CRect::sized(360, 270, 40, 30), CColor{0, 90, 0}));
    ASSERT_TRUE(frame.open(window.window()));
    if (GetParam() && !frame.usesSharedMemory()) GTEST_SKIP() << "the server offers no MIT-SHM";
    EXPECT_EQ(frame.usesSharedMemory(), GetParam());
    qx::testing::FakeUser user(window);
    user.settle([&] { frame.idle(); });
    frame.resetUploadStats();
    const int farDraws = far->draws;

    const CColor red{220, 30, 30};
    corner->setColor(red);
    frame.idle();
    EXPECT_EQ(frame.uploadStats().updates, 1);
    EXPECT_EQ(frame.uploadStats().rects, 1);
    EXPECT_EQ(frame.uploadStats().pixels, 40 * 30);
    EXPECT_EQ(frame.uploadStats().bytes, 4 * 40 * 30);
    EXPECT_EQ(far->draws, farDraws);
    EXPECT_EQ(window.awaitPixel(20, 15, rgb(red)), rgb(red));
    EXPECT_EQ(window.pixel(39, 29), rgb(red));
    EXPECT_EQ(window.pixel(380, 285), rgb({0, 90, 0}));

    // Both corners at once: two small areas, not the box around them.
    frame.resetUploadStats();
    const CColor blue{30, 30, 220};
    corner->setColor(blue);
    far->setColor(blue);
    frame.idle();
    EXPECT_EQ(frame.uploadStats().rects, 2);
    EXPECT_EQ(frame.uploadStats().pixels, 2 * 40 * 30);
    EXPECT_EQ(window.awaitPixel(5, 5, rgb(blue)), rgb(blue));
    EXPECT_EQ(window.awaitPixel(395, 295, rgb(blue)), rgb(blue));

    // Nothing changed: nothing sent.
    frame.resetUploadStats();
    frame.idle();
    EXPECT_EQ(frame.uploadStats().updates, 0);
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndPlain, Uploads, ::testing::Values(true, false));

// Plots (x[i], y[i]) as a hard-edged polyline over a grid.
class CurveGraph : public CGraphView {
  public:
    using CGraphView::CGraphView;
    std::vector<double> xs, ys;
    CColor color{0, 255, 0};

  protected:
    void drawData(CDrawContext& context) override {
        plotPolyline(context, static_cast<int>(xs.size()),
                     [&](int i) {
                         return std::pair{xs[static_cast<size_t>(i)], ys[static_cast<size_t>(i)]};
                     },
                     {color, 1.0f, LineCap::Square, 0.0f, false});
    }
};

TEST(Graph, KnownCurvesLandOnTheExpectedPixelsOfBothAxisTypes) {
    if (!qx::testing::xServer()) GTEST_SKIP();
    testing::HostWindow window(500, 150);
    CFrame frame(CRect::sized(0, 0, 500, 150), nullptr);
    GraphStyle style;
    style.background = {0, 0, 0};
    style.grid = {80, 80, 80};

    // Linear: y = x from 0 to 10 on a 201 x 101 plot.
    auto* linear = frame.add(std::make_unique<CurveGraph>(CRect::sized(10, 20, 201, 101)));
    linear->setStyle(style);
    linear->setAxes(CGraphAxis::linear(0, 10), CGraphAxis::linear(0, 10));
    for (int i = 0; i <= 40; ++i) {
        linear->xs.push_back(i / 4.0);
        linear->ys.push_back(i / 4.0);
    }
    // Logarithmic frequency against dB: 20 / f falls 60 dB over three decades, a straight
    // line from the top left to the bottom right; grid line at 1 kHz.
    auto* logDb = frame.add(std::make_unique<CurveGraph>(CRect::sized(250, 20, 241, 121)));
    logDb->setStyle(style);
    logDb->setAxes(CGraphAxis::logarithmic(20, 20000), CGraphAxis::decibel(-60, 0));
    logDb->setGrid({{1000.0, ""}}, {});
    for (int i = 0; i <= 300; ++i) {
        const double f = 20.0 * std::pow(10.0, i / 100.0);
        logDb->xs.push_back(f);
        logDb->ys.push_back(20.0 / f);
    }
    ASSERT_TRUE(frame.open(window.window()));
    window.sync();

    const unsigned long green = 0x00ff00;
    // Linear: position p of both axes lands on column 10 + 200 p, row 120 - 100 p.
    for (double x : {0.0, 2.5, 5.0, 7.5, 10.0}) {
        const int column = 10 + static_cast<int>(std::lround(20 * x));
        const int row = 120 - static_cast<int>(std::lround(10 * x));
        EXPECT_EQ(window.awaitPixel(column, row, green), green) << "x " << x;
        EXPECT_NE(window.pixel(column, row - 3), green) << "x " << x;
    }
    EXPECT_EQ(window.pixel(10, 20), 0ul);  // the top left corner stays empty
    // Log / dB: a decade is 80 columns and 40 rows.
    for (double f : {20.0, 200.0, 2000.0, 20000.0}) {
        const double decades = std::log10(f / 20.0);
        const int column = 250 + static_cast<int>(std::lround(80 * decades));
        const int row = 20 + static_cast<int>(std::lround(40 * decades));
        EXPECT_EQ(window.awaitPixel(column, row, green), green) << f << " Hz";
        EXPECT_NE(window.pixel(column, row + 3), green) << f << " Hz";
    }
    // 1 kHz: 80 * log10(50) columns in, a grey line from top to bottom.
    const int gridColumn = 250 + static_cast<int>(std::lround(80 * std::log10(50.0)));
    EXPECT_EQ(window.awaitPixel(gridColumn, 30, 0x505050ul), 0x505050ul);
    EXPECT_EQ(window.awaitPixel(gridColumn, 130, 0x505050ul), 0x505050ul);
    EXPECT_EQ(window.pixel(gridColumn + 2, 130), 0ul);
    EXPECT_NEAR(logDb->xValue(logDb->xPixel(440.0)), 440.0, 1e-3);
    EXPECT_NEAR(logDb->yValue(logDb->yPixel(0.5)), 0.5, 1e-5);
}

TEST(XErrorTrap, TrapsItsConnectionForwardsOthersAndRestoresTheHandler) {
    if (!qx::testing::xServer()) GTEST_SKIP();
    Display* editor = XOpenDisplay(nullptr);
    Display* host = XOpenDisplay(nullptr);
    ASSERT_TRUE(editor && host);
    const ::Window missing = 0x7ffff0;
    qx::testing::HostErrorHandler hostHandler;
    std::atomic<int>& hostErrors = hostHandler.errors();
    {
        x11::XErrorTrap trap(editor);
        XDestroyWindow(editor, missing);
        EXPECT_TRUE(trap.sync());
        EXPECT_EQ(trap.lastError(), BadWindow);
        // The host's own errors still reach the host.
        XDestroyWindow(host, missing);
        XSync(host, False);
        EXPECT_EQ(hostErrors, 1);
        {
            x11::XErrorTrap inner(host);
            XDestroyWindow(host, missing);
            EXPECT_TRUE(inner.sync());
            XDestroyWindow(editor, missing);
            XSync(editor, False);
        }
        EXPECT_EQ(trap.errors(), 2);
        EXPECT_EQ(hostErrors, 1);
    }
    EXPECT_TRUE(hostHandler.installed());
    XDestroyWindow(editor, missing);
    XSync(editor, False);
    EXPECT_EQ(hostErrors, 2);  // no trap: the handler in place gets it
    XCloseDisplay(editor);
    XCloseDisplay(host);
}

}  // namespace
}  // namespace qx::gui
