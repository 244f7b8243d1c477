// The window procedure's table: what ends the program and how a left-button
// drag sets the rack's angles.
#include "app/DragRotation.h"
#include "app/WinMain.h"

#include <tarnvale_platform.h>

#include <gtest/gtest.h>

namespace {

// The procedure is called directly, as DispatchMessageA would call it; no
// window is needed for these cases.
class WindowProc : public ::testing::Test {
protected:
    void SetUp() override
    {
        dragRotation = DragRotation{};
        tvplat::resetMessageQueue();
    }
    void TearDown() override
    {
        dragRotation = DragRotation{};
        tvplat::resetMessageQueue();
    }

    static LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return mainWindowProc(nullptr, message, wParam, lParam);
    }
    static LRESULT press(int x, int y) { return send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    static LRESULT move(int x, int y, WPARAM keys = MK_LBUTTON) { return send(WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); }
    static LRESULT release(int x, int y) { return send(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

    // True when the next removed message is WM_QUIT with exit code 0.
    static bool quitQueued()
    {
        MSG msg{};
        return PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT && msg.wParam == 0;
    }
};

TEST_F(WindowProc, EscapeCloseAndDestroyEachQueueTheQuitMessage)
{
    const UINT enders[][2] = {{WM_KEYDOWN, VK_ESCAPE}, {WM_CLOSE, 0}, {WM_DESTROY, 0}};
    for (const auto& ender : enders) {
        SCOPED_TRACE(ender[0]);
        EXPECT_EQ(send(ender[0], ender[1]), 0);
        EXPECT_TRUE(quitQueued());
    }
    // Other keys and a released Esc end nothing.
    send(WM_KEYDOWN, VK_SPACE);
    send(WM_KEYDOWN, 'Q');
    send(WM_KEYUP, VK_ESCAPE);
    send(WM_SYSKEYDOWN, VK_ESCAPE, 1 << 29);
    EXPECT_FALSE(quitQueued());
}

TEST_F(WindowProc, DragAnglesAreAbsoluteOffsetsFromTheAnchor)
{
    press(100, 200);
    EXPECT_TRUE(dragRotation.dragging);
    EXPECT_EQ(dragRotation.anchorX, 100);
    EXPECT_EQ(dragRotation.anchorY, 200);
    EXPECT_EQ(dragRotation.yawDegrees, 0);  // a press alone turns nothing
    EXPECT_EQ(dragRotation.pitchDegrees, 0);

    move(150, 180);
    move(190, 200);  // straight right by 90 from the anchor: overwritten, not added
    EXPECT_EQ(dragRotation.yawDegrees, 90);
    EXPECT_EQ(dragRotation.pitchDegrees, 0);
    move(60, 230);  // left and down: both negative
    EXPECT_EQ(dragRotation.yawDegrees, -40);
    EXPECT_EQ(dragRotation.pitchDegrees, -30);
    move(100, 150);  // up: pitch positive
    EXPECT_EQ(dragRotation.pitchDegrees, 50);

    // Release, press elsewhere, move one pixel right: the new anchor counts.
    release(100, 150);
    EXPECT_FALSE(dragRotation.dragging);
    EXPECT_EQ(dragRotation.pitchDegrees, 50);  // the angles survive the release
    press(500, 400);
    move(501, 400);
    EXPECT_EQ(dragRotation.yawDegrees, 1);
    EXPECT_EQ(dragRotation.pitchDegrees, 0);
}

TEST_F(WindowProc, PressDuringADragKeepsTheOldAnchor)
{
    // Press inside, release outside (never received): still dragging, so the
    // next press takes no anchor.
    press(10, 10);
    press(300, 300);
    EXPECT_EQ(dragRotation.anchorX, 10);
    EXPECT_EQ(dragRotation.anchorY, 10);
    move(310, 300);
    EXPECT_EQ(dragRotation.yawDegrees, 300);
    EXPECT_EQ(dragRotation.pitchDegrees, -290);
}

TEST_F(WindowProc, OnlyTheLeftButtonAloneTurnsTheRack)
{
    press(0, 0);
    move(20, 10);
    const WPARAM others[] = {MK_LBUTTON | MK_SHIFT, MK_LBUTTON | MK_CONTROL, MK_LBUTTON | MK_RBUTTON,
                             MK_LBUTTON | MK_MBUTTON, MK_LBUTTON | MK_XBUTTON1, MK_RBUTTON, 0};
    for (WPARAM keys : others) {
        move(77, 66, keys);
        EXPECT_EQ(dragRotation.yawDegrees, 20) << keys;
        EXPECT_EQ(dragRotation.pitchDegrees, -10) << keys;
    }
}

// The move case looks only at the key state: a move with the left button
// down that arrives without a press here is measured from the last anchor.
TEST_F(WindowProc, MoveWithoutAPressUsesTheLastAnchor)
{
    move(30, 40);
    EXPECT_EQ(dragRotation.yawDegrees, 30);  // anchor (0, 0) at start
    EXPECT_EQ(dragRotation.pitchDegrees, -40);
    EXPECT_FALSE(dragRotation.dragging);

    press(5, 5);
    release(5, 5);
    move(8, 9);
    EXPECT_EQ(dragRotation.yawDegrees, 3);
    EXPECT_EQ(dragRotation.pitchDegrees, -4);
}

// Coordinates are the unsigned 16-bit halves of lParam: what Windows packs
// from a negative coordinate reads back as a large positive one.
TEST_F(WindowProc, CoordinatesAreUnsignedSixteenBitHalves)
{
    send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-1, 2));
    EXPECT_EQ(dragRotation.anchorX, 65535);
    EXPECT_EQ(dragRotation.anchorY, 2);
    move(40000, 0);
    EXPECT_EQ(dragRotation.yawDegrees, 40000 - 65535);
    EXPECT_EQ(dragRotation.pitchDegrees, 2);
    move(0, 65535);
    EXPECT_EQ(dragRotation.yawDegrees, -65535);
    EXPECT_EQ(dragRotation.pitchDegrees, 2 - 65535);
}

}  // namespace
