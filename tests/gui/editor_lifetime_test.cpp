// The editor as hosts really treat it: the parent window destroyed before effEditClose (in
// the middle of a drag, with a pop-up list open), automation from another thread while the
// editor opens and closes and a third thread processes, and real mouse drags on a band page
// whose family a parameter switches.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/gui/band_plugin.h"
#include "tests/gui/x_session.h"

namespace qx {
namespace {

using gui::testing::HostWindow;
using testing::BandEditor;
using testing::BandPlugin;
using testing::FakeUser;

struct HostEvent {
    int opcode;
    int index;
    float value;
};

std::mutex gEventsMutex;
std::vector<HostEvent> gEvents;

vst::VstIntPtr recordingHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32 index,
                             vst::VstIntPtr, void*, float opt) {
    if (opcode == vst::audioMasterVersion) return 2400;
    if (opcode == vst::audioMasterAutomate || opcode == vst::audioMasterBeginEdit ||
        opcode == vst::audioMasterEndEdit) {
        std::lock_guard<std::mutex> lock(gEventsMutex);
        gEvents.push_back({opcode, index, opt});
    }
    return 0;
}

std::vector<HostEvent> takeEvents() {
    std::lock_guard<std::mutex> lock(gEventsMutex);
    std::vector<HostEvent> out;
    out.swap(gEvents);
    return out;
}

// Lets go of the left button through a connection of its own (the one that pressed it
// went with its window).
void releaseLeftButton() {
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
    XCloseDisplay(dpy);
}

class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::xServer()) GTEST_SKIP();
        takeEvents();
        effect = std::make_unique<BandPlugin>(&recordingHost);
        editor = dynamic_cast<BandEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    vst::VstIntPtr dispatch(int opcode, void* ptr = nullptr) {
        vst::AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }
    void hostSetParameter(int index, float value) {
        vst::AEffect* record = effect->getAeffect();
        record->setParameter(record, index, value);
    }
    float hostGetParameter(int index) {
        vst::AEffect* record = effect->getAeffect();
        return record->getParameter(record, index);
    }
    // The events of one gesture on `index` must be begin, automation..., end, the last
    // automation carrying what the effect now reports; none for any other index.
    void expectOneEdit(const std::vector<HostEvent>& events, int index) {
        ASSERT_GE(events.size(), 3u);
        for (const HostEvent& e : events) EXPECT_EQ(e.index, index) << "opcode " << e.opcode;
        EXPECT_EQ(events.front().opcode, vst::audioMasterBeginEdit);
        EXPECT_EQ(events.back().opcode, vst::audioMasterEndEdit);
        for (size_t i = 1; i + 1 < events.size(); ++i)
            EXPECT_EQ(events[i].opcode, vst::audioMasterAutomate) << i;
        EXPECT_FLOAT_EQ(events[events.size() - 2].value, hostGetParameter(index));
    }
    gui::CPoint barCentre(int band) {
        const gui::CRect r = editor->bands()->bar(band)->getViewSize();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    std::unique_ptr<BandPlugin> effect;
    BandEditor* editor = nullptr;
};

TEST_F(EditorTest, ParentDestroyedBeforeCloseAtAnyMomentThenAFreshEditorOpens) {
    testing::HostErrorHandler hostHandler;
    enum Moment { RightAfterOpen, AfterIdles, DuringDrag, WithListOpen, IdledAfterwards };
    for (int moment = RightAfterOpen; moment <= IdledAfterwards; ++moment) {
        SCOPED_TRACE(moment);
        auto parent = std::make_unique<HostWindow>(560, 400);
        ASSERT_EQ(dispatch(vst::effEditOpen, parent->parentHandle()), 1);
        FakeUser user(*parent);
        auto idle = [&] { dispatch(vst::effEditIdle); };
        if (moment != RightAfterOpen) user.settle(idle);
        if (moment == DuringDrag) {
            const gui::CPoint bar = barCentre(3);
            user.moveTo(bar.x, bar.y);
            user.press();
            user.settle(idle);
            user.moveTo(bar.x, bar.y - 20);
            user.settle(idle);
        }
        if (moment == WithListOpen) {
            user.moveTo(340, 258);  // the page menu
            user.press();
            user.release();
            user.settle(idle);
            ASSERT_TRUE(editor->getFrame()->popupOpen());
        }
        takeEvents();
        parent.reset();  // the host's window goes, ours with it
        if (moment == IdledAfterwards || moment == DuringDrag || moment == WithListOpen)
            for (int i = 0; i < 3; ++i) idle();
        if (moment == DuringDrag) {
            // The gesture the host saw begin is closed.
            const auto events = takeEvents();
            ASSERT_FALSE(events.empty());
            EXPECT_EQ(events.back().opcode, vst::audioMasterEndEdit);
            releaseLeftButton();
        }
        dispatch(vst::effEditClose);
        EXPECT_EQ(editor->getFrame(), nullptr);
    }
    EXPECT_EQ(hostHandler.errors().load(), 0) << "an X error of the editor reached the host";
    EXPECT_TRUE(hostHandler.installed()) << "the host's handler was replaced";

    // A fresh editor opens in a new window and draws; nothing holds the pointer.
    HostWindow window(560, 400);
    ASSERT_EQ(dispatch(vst::effEditOpen, window.parentHandle()), 1);
    FakeUser user(window);
    user.settle([&] { dispatch(vst::effEditIdle); });
    EXPECT_NE(window.childWindow(), 0ul);
    // A bar's track, drawn and shown.
    const gui::CRect bar = editor->bands()->bar(0)->getViewSize();
    EXPECT_EQ(window.awaitPixel(bar.left + 1, bar.top + 1, 0x181a1eul), 0x181a1eul);
    Display* host = static_cast<Display*>(window.display());
    EXPECT_EQ(XGrabPointer(host, window.window(), False, ButtonPressMask, GrabModeAsync,
                           GrabModeAsync, None, None, CurrentTime),
              GrabSuccess);
    XUngrabPointer(host, CurrentTime);
    dispatch(vst::effEditClose);
}

TEST_F(EditorTest, AutomationThreadWhileTheEditorOpensAndClosesAndAudioRuns) {
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        unsigned n = 0;
        while (!stop.load()) {
            ++n;
            hostSetParameter(static_cast<int>(n % testing::kBandParams),
                             static_cast<float>(n % 101) / 100.0f);
        }
    });
    std::thread audio([&] {
        std::vector<float> in(64, 0.25f), outL(64), outR(64);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        vst::AEffect* record = effect->getAeffect();
        while (!stop.load()) record->processReplacing(record, ins, outs, 64);
    });
    HostWindow window(560, 400);
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_EQ(dispatch(vst::effEditOpen, window.parentHandle()), 1);
        for (int i = 0; i < 3; ++i) dispatch(vst::effEditIdle);
        dispatch(vst::effEditClose);
    }
    stop = true;
    automation.join();
    audio.join();

    // Nothing was lost: after one idle every bound control shows what the effect reports.
    ASSERT_EQ(dispatch(vst::effEditOpen, window.parentHandle()), 1);
    dispatch(vst::effEditIdle);
    for (int index = 0; index < testing::kBandParams; ++index)
        for (gui::CControl* control : editor->controlsFor(index))
            EXPECT_FLOAT_EQ(control->getValue(), hostGetParameter(index)) << index;
    dispatch(vst::effEditClose);
}

TEST_F(EditorTest, BandDragsAutomateTheirBandOnlyAndFollowThePageFamily) {
    HostWindow window(560, 400);
    ASSERT_EQ(dispatch(vst::effEditOpen, window.parentHandle()), 1);
    FakeUser user(window);
    auto settle = [&] { user.settle([&] { dispatch(vst::effEditIdle); }); };
    auto drag = [&](gui::CPoint from, int dy) {
        user.moveTo(from.x, from.y);
        settle();
        user.press();
        settle();
        for (int step = 1; step <= 4; ++step) {
            user.moveTo(from.x, from.y + dy * step / 4);
            settle();
        }
        user.release();
        settle();
    };
    settle();
    takeEvents();

    // Family A: band 2 follows the pointer to the top quarter; its neighbours stay.
    const gui::CRect bar2 = editor->bands()->bar(2)->getViewSize();
    drag(barCentre(2), -bar2.height() / 4);
    expectOneEdit(takeEvents(), testing::kFamilyA + 2);
    EXPECT_NEAR(hostGetParameter(testing::kFamilyA + 2), 0.75f, 0.02f);
    EXPECT_FLOAT_EQ(hostGetParameter(testing::kFamilyA + 1), 0.5f);
    EXPECT_FLOAT_EQ(hostGetParameter(testing::kFamilyB + 2), 0.5f);

    // The host switches the page: the bars take family B's tags and values.
    hostSetParameter(testing::kFamilyB + 2, 0.2f);
    hostSetParameter(testing::kPage, 1.0f);
    settle();
    ASSERT_EQ(editor->page()->family(), testing::kFamilyB);
    EXPECT_EQ(editor->bands()->bar(2)->getTag(), testing::kFamilyB + 2);
    EXPECT_FLOAT_EQ(editor->bands()->bar(2)->getValue(), 0.2f);
    EXPECT_EQ(editor->controlFor(testing::kFamilyB + 5), editor->bands()->bar(5));
    EXPECT_TRUE(editor->controlsFor(testing::kFamilyA + 5).empty());
    takeEvents();

    // The same drag now edits family B's band 2 and writes its name in the hint line.
    drag(barCentre(2), bar2.height() / 8);
    expectOneEdit(takeEvents(), testing::kFamilyB + 2);
    EXPECT_NEAR(hostGetParameter(testing::kFamilyB + 2), 0.5f - 0.125f, 0.02f);
    EXPECT_NEAR(hostGetParameter(testing::kFamilyA + 2), 0.75f, 0.02f);
    EXPECT_NE(editor->hintLine()->text().find("Param 12"), std::string::npos)
        << editor->hintLine()->text();

    // A host change of a family B parameter reaches its bar; one of family A does not.
    hostSetParameter(testing::kFamilyB + 6, 0.9f);
    hostSetParameter(testing::kFamilyA + 6, 0.1f);
    settle();
    EXPECT_FLOAT_EQ(editor->bands()->bar(6)->getValue(), 0.9f);

    // Back to family A through the page menu: a user choice, automated like any edit.
    user.moveTo(340, 258);
    user.press();
    user.release();
    settle();
    user.moveTo(340, 266 + 18 / 2);  // first row of the list below the menu
    settle();
    user.press();
    user.release();
    settle();
    EXPECT_EQ(editor->page()->family(), testing::kFamilyA);
    expectOneEdit(takeEvents(), testing::kPage);
    EXPECT_FLOAT_EQ(editor->bands()->bar(6)->getValue(), 0.1f);
    dispatch(vst::effEditClose);
}

}  // namespace
}  // namespace qx
