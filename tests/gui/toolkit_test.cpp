// The toolkit without a window: gestures, controls driven through the frame's input entry
// points, fall-off meters, redraw bookkeeping and filmstrip drawing into the back buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "gui/button.h"
#include "gui/frame.h"
#include "gui/input.h"
#include "gui/knob.h"
#include "gui/meter.h"
#include "gui/slider.h"
#include "gui/text.h"

namespace qx::gui {
namespace {

// Records what a control tells its listener, in order.
struct Recorder : CControlListener {
    struct Call {
        char what;  // 'b'egin, 'c'hange, 'e'nd
        int tag;
        float value;
    };
    std::vector<Call> calls;
    void controlChanged(CControl* c) override {
        calls.push_back({'c', c->getTag(), c->getValue()});
    }
    void controlBeginEdit(CControl* c) override {
        calls.push_back({'b', c->getTag(), c->getValue()});
    }
    void controlEndEdit(CControl* c) override {
        calls.push_back({'e', c->getTag(), c->getValue()});
    }
    std::string sequence() const {
        std::string s;
        for (const Call& call : calls)
            if (s.empty() || s.back() != call.what) s += call.what;
        return s;
    }
};

// A bitmap in one flat colour per filmstrip frame, black to full red.
BitmapRef stripBitmap(int width, int frameHeight, int frames) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width * frameHeight * frames));
    for (int i = 0; i < frames; ++i) {
        const std::uint32_t red = 255u * static_cast<unsigned>(i) / std::max(frames - 1, 1);
        std::fill_n(pixels.begin() + i * width * frameHeight, width * frameHeight,
                    0xff000000u | red << 16);
    }
    return std::make_shared<const CBitmap>(width, frameHeight * frames, pixels.data());
}

std::uint32_t backPixel(CFrame& frame, int x, int y) {
    return frame.backBuffer().pixel(x, y);
}

TEST(DragGesture, FollowsTravelClampsAndFineModeNeverJumps) {
    DragGesture drag(200.0f);
    drag.begin(0, 0.5f, false);
    EXPECT_FLOAT_EQ(drag.move(50, false), 0.75f);
    EXPECT_FLOAT_EQ(drag.move(-100, false), 0.0f);  // clamped, not negative
    EXPECT_FLOAT_EQ(drag.move(1000, false), 1.0f);

    drag.begin(0, 0.5f, false);
    drag.move(20, false);  // 0.6
    // Pressing Shift mid-drag continues from where the control is, ten times slower.
    EXPECT_FLOAT_EQ(drag.move(20, true), 0.6f);
    EXPECT_NEAR(drag.move(40, true), 0.61f, 1e-6);
    // Releasing Shift continues at full speed from there.
    EXPECT_NEAR(drag.move(40, false), 0.61f, 1e-6);
    EXPECT_NEAR(drag.move(60, false), 0.71f, 1e-6);

    EXPECT_FLOAT_EQ(wheelPosition(0.5f, 2.0f, false), 0.5f + 2 * kWheelStep);
    EXPECT_FLOAT_EQ(wheelPosition(0.5f, -1.0f, true), 0.5f - kWheelStep / kFineFactor);
    EXPECT_EQ(filmstripFrame(0.0f, 65), 0);
    EXPECT_EQ(filmstripFrame(1.0f, 65), 64);
    EXPECT_EQ(filmstripFrame(0.5f, 65), 32);
    EXPECT_EQ(filmstripFrame(2.0f, 65), 64);
}

TEST(Knob, DragIsOneEditAndShiftCtrlAndWheelWork) {
    Recorder listener;
    CFrame frame(CRect::sized(0, 0, 200, 200), nullptr);
    auto* knob = frame.add(std::make_unique<CAnimKnob>(CRect::sized(50, 50, 40, 40), &listener, 3,
                                                       65, stripBitmap(40, 40, 65)));
    knob->setValue(0.2f);
    knob->setDefaultValue(0.7f);

    frame.mouseDown({70, 70}, {});
    frame.mouseMoved({70, 50}, {});  // 20 px up of 200
    frame.mouseMoved({70, 30}, {});
    frame.mouseUp({70, 30}, {});
    EXPECT_NEAR(knob->getValue(), 0.4f, 1e-6);
    EXPECT_EQ(listener.sequence(), "bce");
    EXPECT_EQ(listener.calls.front().tag, 3);
    EXPECT_EQ(frame.mouseView(), nullptr);

    listener.calls.clear();
    frame.mouseDown({70, 70}, {.shift = true});
    frame.mouseMoved({70, 50}, {.shift = true});
    frame.mouseUp({70, 50}, {});
    EXPECT_NEAR(knob->getValue(), 0.41f, 1e-5);

    // Moving back to the press point gives no change call; the edit is still bracketed.
    listener.calls.clear();
    frame.mouseDown({70, 70}, {});
    frame.mouseUp({70, 70}, {});
    EXPECT_EQ(listener.sequence(), "be");

    listener.calls.clear();
    frame.mouseDown({70, 70}, {.control = true});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.7f);
    EXPECT_EQ(listener.sequence(), "bce");
    EXPECT_EQ(frame.mouseView(), nullptr);

    listener.calls.clear();
    frame.wheel({60, 60}, -1.0f, {});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.7f - kWheelStep);
    EXPECT_EQ(listener.sequence(), "bce");
    // Outside every control nothing happens.
    frame.wheel({5, 5}, 1.0f, {});
    frame.mouseDown({5, 5}, {});
    EXPECT_EQ(listener.calls.size(), 3u);
}

TEST(Knob, ExponentKnobDrawsPowerAndReportsRoot) {
    Recorder listener;
    CFrame frame(CRect::sized(0, 0, 100, 100), nullptr);
    auto* knob = frame.add(std::make_unique<CExpKnob>(CRect::sized(0, 0, 40, 40), &listener, 0, 65,
                                                      stripBitmap(40, 40, 65), 2.0f));
    knob->setValue(0.5f);
    EXPECT_FLOAT_EQ(knob->position(), 0.25f);
    EXPECT_EQ(knob->currentFrame(), filmstripFrame(0.25f, 65));
    frame.mouseDown({20, 20}, {});
    frame.mouseMoved({20, 20 - 50}, {});  // position 0.25 -> 0.5
    frame.mouseUp({20, -30}, {});
    EXPECT_NEAR(knob->getValue(), std::sqrt(0.5f), 1e-5);
    EXPECT_NEAR(knob->position(), 0.5f, 1e-5);
}

TEST(Slider, TrackPressJumpsHandleDragsBothOrientations) {
    Recorder listener;
    CFrame frame(CRect::sized(0, 0, 400, 300), nullptr);
    auto handleV = stripBitmap(20, 10, 1);
    auto* vertical = frame.add(std::make_unique<CSlider>(
        CRect::sized(10, 10, 20, 110), &listener, 1, Orientation::Vertical, nullptr, handleV));
    auto* horizontal = frame.add(std::make_unique<CSlider>(CRect::sized(100, 10, 210, 20),
                                                           &listener, 2, Orientation::Horizontal,
                                                           nullptr, stripBitmap(10, 20, 1)));
    // Ends of travel: handle flush with the track ends; maximum at the top / right.
    vertical->setValue(1.0f);
    EXPECT_EQ(vertical->handleRect(), CRect::sized(10, 10, 20, 10));
    vertical->setValue(0.0f);
    EXPECT_EQ(vertical->handleRect(), CRect::sized(10, 110, 20, 10));
    horizontal->setValue(1.0f);
    EXPECT_EQ(horizontal->handleRect().right, 310);

    // A press on the track centres the handle under the pointer.
    frame.mouseDown({20, 65}, {});
    EXPECT_NEAR(vertical->getValue(), 0.5f, 0.011f);
    frame.mouseMoved({20, 15}, {});  // 50 px up on a 100 px travel
    frame.mouseUp({20, 15}, {});
    EXPECT_NEAR(vertical->getValue(), 1.0f, 0.011f);
    EXPECT_EQ(listener.sequence(), "bce");

    // A press on the handle grabs it without a jump.
    horizontal->setValue(0.25f);
    const CRect handle = horizontal->handleRect();
    listener.calls.clear();
    frame.mouseDown({handle.left + 1, 20}, {});
    EXPECT_FLOAT_EQ(horizontal->getValue(), 0.25f);
    frame.mouseMoved({handle.left + 1 + 100, 20}, {});
    frame.mouseUp({handle.left + 101, 20}, {});
    EXPECT_NEAR(horizontal->getValue(), 0.75f, 1e-5);
    EXPECT_EQ(listener.calls.front().tag, 2);
}

TEST(Buttons, MovieButtonTogglesAndMovieBitmapPicksFrame) {
    Recorder listener;
    CFrame frame(CRect::sized(0, 0, 100, 100), nullptr);
    auto* button = frame.add(std::make_unique<CMovieButton>(CRect::sized(0, 0, 30, 20), &listener,
                                                            8, stripBitmap(30, 20, 2)));
    auto* strip = frame.add(std::make_unique<CMovieBitmap>(CRect::sized(40, 0, 20, 20), nullptr, -1,
                                                           4, stripBitmap(20, 20, 4)));
    frame.mouseDown({5, 5}, {});
    frame.mouseUp({5, 5}, {});
    EXPECT_TRUE(button->isOn());
    frame.mouseDown({5, 5}, {});
    EXPECT_FALSE(button->isOn());
    ASSERT_EQ(listener.calls.size(), 6u);
    EXPECT_EQ(listener.sequence(), "bcebce");
    EXPECT_FLOAT_EQ(listener.calls[1].value, 1.0f);
    EXPECT_FLOAT_EQ(listener.calls[4].value, 0.0f);

    strip->setValue(1.0f / 3.0f);
    EXPECT_EQ(strip->currentFrame(), 1);
    frame.mouseDown({45, 5}, {});  // display only: the press goes nowhere
    EXPECT_EQ(frame.mouseView(), nullptr);
}

TEST(OptionMenu, ChoosingAnEntryStoresItsIndex) {
    Recorder listener;
    CFrame frame(CRect::sized(0, 0, 200, 100), nullptr);
    auto* menu =
        frame.add(std::make_unique<COptionMenu>(CRect::sized(10, 10, 60, 14), &listener, 16));
    for (const char* entry : {"64 bit", "32 bit", "24 bit"}) menu->addEntry(entry);
    menu->setValue(1.0f);
    EXPECT_EQ(menu->text(), "32 bit");
    menu->setValue(7.0f);  // clamped to the last entry
    EXPECT_EQ(menu->currentIndex(), 2);

    frame.mouseDown({20, 15}, {});
    ASSERT_TRUE(frame.popupOpen());
    frame.choosePopupEntry(0);
    EXPECT_FALSE(frame.popupOpen());
    EXPECT_FLOAT_EQ(menu->getValue(), 0.0f);
    EXPECT_EQ(listener.sequence(), "bce");

    // Dismissing the list changes nothing.
    frame.mouseDown({20, 15}, {});
    frame.closePopup();
    frame.choosePopupEntry(1);
    EXPECT_FLOAT_EQ(menu->getValue(), 0.0f);
}

TEST(Meter, FallsByTimeGainMeterRisesBackPeakMarkStays) {
    double seconds = 0.0;
    CFrame frame(CRect::sized(0, 0, 40, 100), nullptr);
    frame.setClock([&] { return seconds; });
    auto* level = frame.add(
        std::make_unique<CFallOffMeter>(CRect::sized(0, 0, 10, 100), nullptr, nullptr, 3.0f));
    level->setValue(0.8f);
    EXPECT_FLOAT_EQ(level->getValue(), 0.8f);
    seconds += 0.1;
    level->setValue(0.0f);
    EXPECT_NEAR(level->getValue(), 0.5f, 1e-6);
    seconds += 0.1;
    level->setValue(0.45f);
    EXPECT_FLOAT_EQ(level->getValue(), 0.45f);  // met the reading: follows it
    level->setValue(0.9f);
    EXPECT_FLOAT_EQ(level->getValue(), 0.9f);  // rises at once
    // However often it is told, it falls by the time that passed.
    for (int i = 0; i < 10; ++i) {
        seconds += 0.01;
        level->setValue(0.0f);
    }
    EXPECT_NEAR(level->getValue(), 0.6f, 1e-5);

    auto* gain = frame.add(
        std::make_unique<CFallOffMeter>(CRect::sized(20, 0, 10, 100), nullptr, nullptr, -1.5f));
    gain->resetValue(1.0f);
    gain->setValue(0.5f);
    EXPECT_FLOAT_EQ(gain->getValue(), 0.5f);  // reduction shows at once
    seconds += 0.1;
    gain->setValue(1.0f);
    EXPECT_NEAR(gain->getValue(), 0.65f, 1e-6);  // and recovers gradually

    // 20 steps over 100 pixels: a step lights only once reached.
    CVuMeter stepped(CRect::sized(0, 0, 10, 100), nullptr, nullptr, 20);
    EXPECT_EQ(stepped.litLength(0.049f), 0);
    EXPECT_EQ(stepped.litLength(0.05f), 5);
    EXPECT_EQ(stepped.litLength(1.5f), 100);
    EXPECT_EQ(stepped.litLength(NAN), 0);
}

TEST(Meter, LitPartFromTheBottomAndScaleSwitchRedraws) {
    CFrame frame(CRect::sized(0, 0, 20, 100), nullptr);
    auto* meter = frame.add(
        std::make_unique<CVuMeter>(CRect::sized(0, 0, 10, 100), stripBitmap(10, 100, 1), nullptr));
    meter->setValue(0.5f);
    frame.redrawDirty();
    EXPECT_EQ(backPixel(frame, 5, 90), 0x000000u);  // the one-frame strip is black: lit part
    meter->setLitBitmap(stripBitmap(10, 50, 2));    // lower half of this one is red
    const CDamageList& damage = frame.redrawDirty();
    ASSERT_EQ(damage.size(), 1);
    EXPECT_EQ(damage[0], CRect::sized(0, 0, 10, 100));
    EXPECT_EQ(backPixel(frame, 5, 90), 0xff0000u);
    EXPECT_EQ(backPixel(frame, 5, 10), 0x000000u);  // unlit: no background, frame stays black
}

// The areas redrawn, as a list of rectangles.
std::vector<CRect> rects(const CDamageList& damage) {
    return {damage.begin(), damage.end()};
}

TEST(Frame, RedrawsOnlyDirtyViewsAndTakesChangesFromOtherThreads) {
    CFrame frame(CRect::sized(0, 0, 200, 100), nullptr);
    auto* knob = frame.add(std::make_unique<CAnimKnob>(CRect::sized(10, 10, 40, 40), nullptr, 0, 65,
                                                       stripBitmap(40, 40, 65)));
    auto* display = frame.add(std::make_unique<CParamDisplay>(CRect::sized(100, 10, 60, 16)));
    // First paint: everything.
    EXPECT_EQ(rects(frame.redrawDirty()), std::vector<CRect>{CRect::sized(0, 0, 200, 100)});
    EXPECT_TRUE(frame.redrawDirty().empty());

    knob->setValue(0.0f);  // unchanged value: nothing to draw
    EXPECT_TRUE(frame.redrawDirty().empty());
    std::thread automation([&] {
        knob->setValue(1.0f);
        display->setValue(0.5f);
    });
    automation.join();
    // Two areas apart, not the box around both.
    const std::vector<CRect> both = rects(frame.redrawDirty());
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].united(both[1]), CRect(10, 10, 160, 50));
    EXPECT_EQ(both[0].area() + both[1].area(), 40 * 40 + 60 * 16);
    // The filmstrip's last frame is full red, its first black.
    EXPECT_EQ(backPixel(frame, 30, 30), 0xff0000u);
    knob->setValue(0.0f);
    EXPECT_EQ(rects(frame.redrawDirty()), std::vector<CRect>{CRect::sized(10, 10, 40, 40)});
    EXPECT_EQ(backPixel(frame, 30, 30), 0x000000u);
    // Non-finite values from a host are ignored.
    knob->setValue(NAN);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
}

TEST(Text, DisplaysConvertLabelsClickAndMissingBitmapsDrawNothing) {
    CParamDisplay plain(CRect::sized(0, 0, 50, 14));
    plain.setValue(0.25f);
    EXPECT_EQ(plain.text(), "0.25");
    CCallbackDisplay scaled(CRect::sized(0, 0, 50, 14), [](float v) { return v * 100.0f; });
    scaled.setValue(0.5f);
    scaled.setValueToString([](float v, char* text) { std::snprintf(text, 64, "%d%%", int(v)); });
    EXPECT_EQ(scaled.text(), "50%");

    Recorder listener;
    CFrame frame(CRect::sized(0, 0, 100, 100), nullptr);
    auto* label = frame.add(std::make_unique<CTextLabel>(CRect::sized(0, 0, 60, 14), "hold"));
    frame.mouseDown({5, 5}, {});
    EXPECT_TRUE(listener.calls.empty());  // a plain label takes no clicks
    label->setClickable(&listener, 104);
    frame.mouseDown({5, 5}, {});
    ASSERT_EQ(listener.calls.size(), 1u);
    EXPECT_EQ(listener.calls[0].tag, 104);

    ResourceSet none;
    EXPECT_EQ(loadBitmap(none, 1024), nullptr);
    frame.add(std::make_unique<CAnimKnob>(CRect::sized(60, 60, 30, 30), nullptr, 0, 65,
                                          loadBitmap(none, 1025)));
    frame.add(std::make_unique<CSlider>(CRect::sized(10, 60, 40, 10), nullptr, 1,
                                        Orientation::Horizontal, nullptr, nullptr));
    EXPECT_FALSE(frame.redrawDirty().empty());
}

}  // namespace
}  // namespace qx::gui
