// The option menu's pop-up list as a real window: it opens under the control, a click on an
// entry chooses it, a click elsewhere dismisses it and leaves the value alone.
#include <gtest/gtest.h>

#include "gui/frame.h"
#include "gui/text.h"
#include "tests/gui/x_session.h"

namespace qx::gui {
namespace {

struct Changes : CControlListener {
    int count = 0;
    void controlChanged(CControl*) override { ++count; }
};

// Top-level windows on the screen: the host window, plus the list while it is open.
int topLevelWindows(const testing::HostWindow& window) {
    Display* dpy = static_cast<Display*>(window.display());
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
    int mapped = 0;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable) ++mapped;
    }
    if (children) XFree(children);
    return mapped;
}

TEST(PopupWindow, ClickOnEntryChoosesClickOutsideDismisses) {
    if (!qx::testing::xServer()) GTEST_SKIP();
    testing::HostWindow window(300, 200);
    ASSERT_TRUE(window.valid());
    Changes listener;
    CFrame frame(CRect::sized(0, 0, 300, 200), nullptr);
    auto* menu =
        frame.add(std::make_unique<COptionMenu>(CRect::sized(20, 20, 80, 16), &listener, 16));
    for (const char* entry : {"64 bit", "32 bit", "24 bit", "20 bit"}) menu->addEntry(entry);
    ASSERT_TRUE(frame.open(window.window()));
    qx::testing::FakeUser user(window);
    auto idle = [&] { frame.idle(); };
    const int before = topLevelWindows(window);

    user.moveTo(40, 28);
    user.press();
    user.release();
    user.settle(idle);
    ASSERT_TRUE(frame.popupOpen());
    window.sync();
    EXPECT_EQ(topLevelWindows(window), before + 1);

    // Rows of 18 pixels below the control: the third entry.
    const int rowHeight = frame.popupStyle().rowHeight;
    user.moveTo(40, 36 + 2 * rowHeight + rowHeight / 2);
    user.settle(idle);
    user.press();
    user.release();
    user.settle(idle);
    EXPECT_FALSE(frame.popupOpen());
    EXPECT_EQ(menu->currentIndex(), 2);
    EXPECT_EQ(listener.count, 1);
    window.sync();
    EXPECT_EQ(topLevelWindows(window), before);

    user.moveTo(40, 28);
    user.press();
    user.release();
    user.settle(idle);
    ASSERT_TRUE(frame.popupOpen());
    user.moveTo(250, 150);  // away from the list, inside the editor
    user.press();
    user.release();
    user.settle(idle);
    EXPECT_FALSE(frame.popupOpen());
    EXPECT_EQ(menu->currentIndex(), 2);
    EXPECT_EQ(listener.count, 1);
}

}  // namespace
}  // namespace qx::gui
