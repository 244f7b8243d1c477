// The program's window on a real X server, driven by a user at that server:
// the pointer moved and its button pressed through the server, another
// client's window taking the focus, the window resized under a drag. What
// the window procedure makes of it (the drag state) and what DirectInput
// reports.
#include "app/DragRotation.h"
#include "app/MainWindow.h"
#include "input/InputDevices.h"
#include "support/DisplayServer.h"
#include "support/XUser.h"

#include <tarnvale_platform.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using testsupport::waitFor;

namespace {

class WindowOnXServer : public ::testing::Test {
protected:
    // In the child on the X server: the program's window, shown, at its
    // place, with the input focus.
    void SetUp() override
    {
        dragRotation = DragRotation{};
        if (!testsupport::isTestChild()) return;
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
        tvplat::resetMessageQueue();
        user = std::make_unique<testsupport::XUser>();
        ASSERT_TRUE(user->connected()) << user->error();
        mainWindow = std::make_unique<MainWindow>(GetModuleHandleA(NULL), "Tarnvale", 1024, 768);
        window = mainWindow->handle();
        ASSERT_NE(window, nullptr) << tvplat::lastPlatformError();
        sdl = tvplat::sdlWindow(window);
        xWindow = testsupport::xWindowOf(sdl);
        ASSERT_NE(xWindow, 0u);
        ASSERT_TRUE(pumpUntil([&] { return user->viewable(xWindow); }));
        ASSERT_TRUE(user->origin(xWindow, originX, originY));
        user->focus(xWindow);
        ASSERT_TRUE(pumpUntil([&] { return SDL_GetKeyboardFocus() == sdl; })) << "the window never got the focus";
    }
    void TearDown() override
    {
        dragRotation = DragRotation{};
        tvplat::resetMessageQueue();
    }

    // Removes and dispatches messages, as the program's loop does, until
    // `condition` holds (at most ten seconds); `seen` keeps each of them.
    template <typename Condition>
    bool pumpUntil(Condition condition)
    {
        return waitFor([&] {
            MSG msg{};
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
                seen.push_back(msg);
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            return condition();
        });
    }
    // Until `message` at client point (x, y) has been dispatched.
    bool dispatched(UINT message, int x, int y)
    {
        const LPARAM point = MAKELPARAM(x, y);
        size_t from = 0;
        return pumpUntil([&] {
            for (; from < seen.size(); ++from)
                if (seen[from].message == message && seen[from].lParam == point) return true;
            return false;
        });
    }
    size_t count(UINT message) const
    {
        size_t n = 0;
        for (const MSG& msg : seen) n += msg.message == message;
        return n;
    }

    void moveTo(int x, int y) { user->moveTo(originX + x, originY + y); }

    // Presses at (100, 100) and moves to (150, 120): a drag of (50, -20)
    // from that anchor under way.
    void startDrag()
    {
    moveTo(100, 100);
    ASSERT_TRUE(dispatched(WM_MOUSEMOVE, 100, 100));
    user->press();
    ASSERT_TRUE(dispatched(WM_LBUTTONDOWN, 100, 100));
    moveTo(150, 120);
    ASSERT_TRUE(dispatched(WM_MOUSEMOVE, 150, 120));
    expectDrag(50, -20, true, 100, 100);
    }

    static void expectDrag(int yaw, int pitch, bool dragging, int anchorX, int anchorY)
    {
        EXPECT_EQ(dragRotation.yawDegrees, yaw);
        EXPECT_EQ(dragRotation.pitchDegrees, pitch);
        EXPECT_EQ(dragRotation.dragging, dragging);
        EXPECT_EQ(dragRotation.anchorX, anchorX);
        EXPECT_EQ(dragRotation.anchorY, anchorY);
    }

    std::unique_ptr<testsupport::XUser> user;
    std::unique_ptr<MainWindow> mainWindow;
    HWND window = nullptr;
    SDL_Window* sdl = nullptr;
    unsigned long xWindow = 0;
    int originX = 0;
    int originY = 0;
    std::vector<MSG> seen;
};

// The button goes down in the window, the pointer leaves for another
// client's window, which takes the focus, and the button comes up there.
// The program never captures the mouse, so the release does not reach its
// window: the drag goes on, the next press keeps the first anchor, and moves
// without the button change nothing. DirectInput's mouse, a foreground
// device, holds no button down once the focus has gone.
TEST_F(WindowOnXServer, AReleaseOverAnotherWindowThatTookTheFocusLeavesTheDragOn)
{
    if (!testsupport::onOwnXServer()) return;
    InputDevices input(GetModuleHandleA(NULL), window);
    ASSERT_TRUE(input.hasMouse());
    // Beside the main window, which covers (64, 64) to (1088, 832).
    const unsigned long other = user->openWindow(1100, 850, 150, 150);
    ASSERT_NE(other, 0u);

    ASSERT_NO_FATAL_FAILURE(startDrag());
    input.poll();
    EXPECT_EQ(input.currentMouse().rgbButtons[0], 0x80) << "DirectInput does not see the button held";

    user->moveTo(1150, 900);
    user->focus(other);
    ASSERT_TRUE(pumpUntil([&] { return SDL_GetKeyboardFocus() != sdl; })) << "the focus never left";
    user->release();
    // Back over the window, no button held: the first message since the
    // press and the move.
    moveTo(300, 200);
    ASSERT_TRUE(dispatched(WM_MOUSEMOVE, 300, 200));
    EXPECT_EQ(count(WM_LBUTTONUP), 0u) << "the release over the other window reached the program's window";
    EXPECT_EQ(seen.back().wParam, 0u) << "the move reports a button held";
    expectDrag(50, -20, true, 100, 100);

    input.poll();
    EXPECT_EQ(input.currentMouse().rgbButtons[0], 0) << "DirectInput holds the button after the focus went";
    EXPECT_EQ(input.buttonTransition(0), Released);
    user->focus(xWindow);
    ASSERT_TRUE(pumpUntil([&] { return SDL_GetKeyboardFocus() == sdl; }));
    input.poll();  // acquires the mouse again
    input.poll();
    EXPECT_EQ(input.currentMouse().rgbButtons[0], 0) << "DirectInput holds the button with the focus back";

    // The next press takes no anchor; a move with the button measures from
    // the first one.
    user->press();
    ASSERT_TRUE(dispatched(WM_LBUTTONDOWN, 300, 200));
    expectDrag(50, -20, true, 100, 100);
    moveTo(310, 190);
    ASSERT_TRUE(dispatched(WM_MOUSEMOVE, 310, 190));
    expectDrag(210, -90, true, 100, 100);
    user->release();
    ASSERT_TRUE(dispatched(WM_LBUTTONUP, 310, 190));
    EXPECT_FALSE(dragRotation.dragging);
}

// The window is made larger, then smaller, in the middle of a drag: the
// angles go on following client-area pixels from the anchor, points beyond
// the old size count once the window reaches them, and points beyond the
// new size are outside.
TEST_F(WindowOnXServer, AResizeInTheMiddleOfADragKeepsTheAnglesInClientPixels)
{
    if (!testsupport::onOwnXServer()) return;
    const auto clientSize = [&](int width, int height) {
        return [this, width, height] {
            RECT client{};
            return GetClientRect(window, &client) && client.right == width && client.bottom == height;
        };
    };

    ASSERT_NO_FATAL_FAILURE(startDrag());

    user->resize(xWindow, 1150, 900);
    ASSERT_TRUE(pumpUntil(clientSize(1150, 900)));
    moveTo(1100, 850);
    ASSERT_TRUE(dispatched(WM_MOUSEMOVE, 1100, 850));
    expectDrag(1000, -750, true, 100, 100);

    user->resize(xWindow, 600, 400);
    ASSERT_TRUE(pumpUntil(clientSize(600, 400)));
    const size_t movesBefore = count(WM_MOUSEMOVE);
    moveTo(700, 500);
    moveTo(500, 300);
    ASSERT_TRUE(dispatched(WM_MOUSEMOVE, 500, 300));
    EXPECT_EQ(count(WM_MOUSEMOVE), movesBefore + 1) << "a move outside the smaller window reached it";
    expectDrag(400, -200, true, 100, 100);

    user->release();
    ASSERT_TRUE(dispatched(WM_LBUTTONUP, 500, 300));
    EXPECT_FALSE(dragRotation.dragging);
}

}  // namespace
