// One SDL event pump feeds both the window procedure and DirectInput: the
// same key press or drag shows up in both within one frame, whichever of the
// two drains SDL's queue first.
#include "tests/input/InputTestSupport.h"

#include "input/InputDevices.h"

#include <dinput.h>

#include <algorithm>
#include <vector>

using namespace inputtest;

namespace {

// One turn of the program's loop: at most one message, then one frame
// (here: just the input poll).
void loopTurn(InputDevices& input)
{
    MSG msg{};
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    input.poll();
}

bool receivedMessage(UINT message, WPARAM wParam)
{
    return std::any_of(received.begin(), received.end(),
                       [&](const ReceivedMessage& m) { return m.message == message && m.wParam == wParam; });
}

}  // namespace

TEST(InputAndWindowMessages, EscapeReachesTheWindowAndTheKeyboardInTheSameFrame)
{
    TestWindow window;
    ASSERT_NE(window.handle, nullptr);
    InputDevices input(GetModuleHandleA(nullptr), window.handle);

    pushKey(window.id, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, true);
    loopTurn(input);
    EXPECT_TRUE(receivedMessage(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_EQ(input.keyTransition(DIK_ESCAPE), Pressed);
}

TEST(InputAndWindowMessages, DragReachesTheWindowAndTheMouseWhenTheDevicePumpsFirst)
{
    TestWindow window;
    ASSERT_NE(window.handle, nullptr);
    InputDevices input(GetModuleHandleA(nullptr), window.handle);

    pushButton(window.id, SDL_BUTTON_LEFT, true, 40, 50);
    pushMotion(window.id, 30, -10, 70, 40, SDL_BUTTON_LMASK);
    // The poll drains SDL's queue before any PeekMessageA does.
    input.poll();
    EXPECT_EQ(input.buttonTransition(0), Pressed);
    EXPECT_EQ(input.currentMotion().x, 30);
    EXPECT_EQ(input.currentMotion().y, -10);

    // The window messages were queued all the same.
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    std::vector<ReceivedMessage> mouse;
    for (const ReceivedMessage& m : received)
        if (m.message >= WM_MOUSEMOVE && m.message <= WM_MOUSEWHEEL) mouse.push_back(m);
    ASSERT_EQ(mouse.size(), 2u);
    EXPECT_EQ(mouse[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(mouse[0].lParam, MAKELPARAM(40, 50));
    EXPECT_EQ(mouse[1].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(mouse[1].wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(mouse[1].lParam, MAKELPARAM(70, 40));
    input.poll();
    EXPECT_EQ(input.buttonTransition(0), PressedLastPoll);  // still held
}
