// SDL events pushed into SDL's queue come out of PeekMessageA as the window
// messages Windows would produce, and reach the registered listeners.
#include "Win32TestWindow.h"

#include "platform/win32/Win32Internal.h"

#include <algorithm>

using namespace win32test;

namespace {

class EventTranslation : public QueueTest {
protected:
    void pushKey(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers = 0, Uint8 repeat = 0)
    {
        SDL_Event event{};
        event.key.type = type;
        event.key.windowID = sdlId();
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = keycode;
        event.key.keysym.mod = modifiers;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void pushMotion(int x, int y, Uint32 buttons)
    {
        SDL_Event event{};
        event.motion.type = SDL_MOUSEMOTION;
        event.motion.windowID = sdlId();
        event.motion.x = x;
        event.motion.y = y;
        event.motion.state = buttons;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void pushButton(Uint32 type, Uint8 button, int x, int y)
    {
        SDL_Event event{};
        event.button.type = type;
        event.button.windowID = sdlId();
        event.button.button = button;
        event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.button.clicks = 1;
        event.button.x = x;
        event.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void pushWindowEvent(Uint8 what, int data1 = 0, int data2 = 0)
    {
        SDL_Event event{};
        event.window.type = SDL_WINDOWEVENT;
        event.window.windowID = sdlId();
        event.window.event = what;
        event.window.data1 = data1;
        event.window.data2 = data2;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    // The messages that one key event becomes.
    MSG keyMessage(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers = 0, Uint8 repeat = 0)
    {
        pushKey(type, scancode, keycode, modifiers, repeat);
        std::vector<MSG> messages = drain();
        EXPECT_EQ(messages.size(), 1u);
        return messages.empty() ? MSG{} : messages[0];
    }
};

TEST_F(EventTranslation, KeysBecomeKeyMessagesWithVirtualKeyAndScanCode)
{
    MSG msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(msg.lParam, 0x00010001);  // repeat 1, scan code 1, first press

    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, 1);
    EXPECT_EQ(msg.lParam, 0x40010001);  // auto-repeat: the key was already down

    msg = keyMessage(SDL_KEYUP, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(static_cast<DWORD>(msg.lParam), 0xC0010001u);

    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0x1E);
    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_7, SDLK_7);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('7'));
    EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0x08);

    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_UP, SDLK_UP);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_UP));
    EXPECT_EQ((msg.lParam >> 16) & 0x1FF, 0x148);  // extended key
    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_F5, SDLK_F5);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_F1 + 4));
    EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0x3F);
    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_RSHIFT);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_SHIFT));
    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_NE(msg.lParam & (1 << 24), 0);

    // Layout decides the letters: the key at Q's place that types 'a'.
    EXPECT_EQ(tvplat::detail::virtualKeyFor(SDL_SCANCODE_Q, SDLK_a), static_cast<UINT>('A'));
    EXPECT_EQ(tvplat::detail::virtualKeyFor(SDL_SCANCODE_SPACE, SDLK_SPACE), static_cast<UINT>(VK_SPACE));
    EXPECT_EQ(tvplat::detail::virtualKeyFor(SDL_SCANCODE_RETURN, SDLK_RETURN), static_cast<UINT>(VK_RETURN));
    EXPECT_EQ(tvplat::detail::virtualKeyFor(SDL_SCANCODE_F12, SDLK_F12), static_cast<UINT>(VK_F12));
}

TEST_F(EventTranslation, AltMakesSystemKeysButAltGrDoesNot)
{
    MSG msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_MENU));
    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_LALT);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSKEYDOWN));  // Alt+Esc does not reach WM_KEYDOWN
    EXPECT_NE(msg.lParam & (1 << 29), 0);
    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_E, SDLK_e, KMOD_LALT | KMOD_LCTRL);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    msg = keyMessage(SDL_KEYDOWN, SDL_SCANCODE_F10, SDLK_F10);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSKEYDOWN));
}

TEST_F(EventTranslation, EveryEventReachesTheListenersInTheSamePump)
{
    struct Seen {
        std::vector<Uint32> types;
    } seen;
    auto listener = [](const SDL_Event& event, void* user) { static_cast<Seen*>(user)->types.push_back(event.type); };
    tvplat::addEventListener(listener, &seen);
    tvplat::addEventListener(listener, &seen);  // the same pair twice is registered once

    pushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
    pushMotion(5, 5, 0);
    pushKey(SDL_KEYUP, SDL_SCANCODE_SPACE, SDLK_SPACE);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    // One peek drained SDL's queue: the listener saw all three events, and the
    // other two messages wait in the window queue.
    EXPECT_EQ(seen.types, (std::vector<Uint32>{SDL_KEYDOWN, SDL_MOUSEMOTION, SDL_KEYUP}));
    EXPECT_EQ(tvplat::pendingMessageCount(), 2);

    tvplat::removeEventListener(listener, &seen);
    pushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
    tvplat::pumpEvents();
    EXPECT_EQ(seen.types.size(), 3u);
}

TEST_F(EventTranslation, MouseMessagesCarryKeyStateAfterTheEventAndPackedClientCoordinates)
{
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
    pushKey(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
    pushMotion(11, 21, SDL_BUTTON_LMASK);
    pushKey(SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 0);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 12, 22);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 13, 23);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 14, 24);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 319, 199);

    std::vector<MSG> mouse;
    for (const MSG& msg : drain())
        if (msg.message >= WM_MOUSEMOVE && msg.message <= WM_XBUTTONUP) mouse.push_back(msg);
    ASSERT_EQ(mouse.size(), 6u);
    EXPECT_EQ(mouse[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(mouse[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(mouse[0].lParam, (20 << 16) | 10);
    EXPECT_EQ(mouse[1].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(mouse[1].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(mouse[2].message, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(mouse[2].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON));
    EXPECT_EQ(mouse[3].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(mouse[3].wParam, static_cast<WPARAM>(MK_RBUTTON));  // the left button is already up
    EXPECT_EQ(mouse[4].message, static_cast<UINT>(WM_XBUTTONDOWN));
    EXPECT_EQ(mouse[4].wParam, static_cast<WPARAM>(MK_RBUTTON | MK_XBUTTON1 | (XBUTTON1 << 16)));
    EXPECT_EQ(mouse[5].message, static_cast<UINT>(WM_MBUTTONDOWN));
    EXPECT_EQ(mouse[5].wParam, static_cast<WPARAM>(MK_RBUTTON | MK_XBUTTON1 | MK_MBUTTON));
    EXPECT_EQ(mouse[5].lParam, (199 << 16) | 319);
}

TEST_F(EventTranslation, PackingTruncatesEachCoordinateToSixteenUnsignedBits)
{
    using tvplat::detail::packPoint;
    EXPECT_EQ(packPoint(-1, -2), static_cast<LPARAM>(0xFFFEFFFFu));
    EXPECT_EQ(LOWORD(packPoint(-1, 0)), 0xFFFF);
    EXPECT_EQ(packPoint(40000, 70000), static_cast<LPARAM>((static_cast<DWORD>(70000 & 0xFFFF) << 16) | 40000));
    EXPECT_GE(packPoint(0, 0x8000), 0);  // zero-extended, as MAKELPARAM does
}

// The program never captures the mouse, so moves and presses outside the
// client area do not reach the window (a release there leaves a drag open).
TEST_F(EventTranslation, MouseOutsideTheClientAreaIsNotReported)
{
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5);
    pushMotion(320, 10, SDL_BUTTON_LMASK);
    pushMotion(10, -1, SDL_BUTTON_LMASK);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 400, 10);
    pushMotion(6, 6, 0);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(messages[1].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(messages[1].wParam, 0u);  // the release outside still updated the key state
}

TEST_F(EventTranslation, ConsecutiveMovesWithTheSameKeyStateAreCoalesced)
{
    for (int i = 0; i < 5; ++i)
        pushMotion(10 + i, 10, SDL_BUTTON_LMASK);
    pushMotion(20, 10, 0);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 20, 10);
    pushMotion(30, 12, SDL_BUTTON_LMASK);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(LOWORD(messages[0].lParam), 14);  // the last of the burst
    EXPECT_EQ(messages[1].wParam, 0u);
    EXPECT_EQ(messages[2].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(LOWORD(messages[3].lParam), 30);
}

TEST_F(EventTranslation, WheelReportsNotchesAndScreenCoordinates)
{
    SDL_Event event{};
    event.wheel.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = sdlId();
    event.wheel.y = -1;
    event.wheel.preciseY = -1.0f;
    event.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    event.wheel.mouseX = 3;
    event.wheel.mouseY = 4;
    SDL_PushEvent(&event);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(HIWORD(messages[0].wParam), WHEEL_DELTA);
    RECT outer{};
    GetWindowRect(window, &outer);
    int x = 0, y = 0;
    SDL_GetWindowPosition(tvplat::sdlWindow(window), &x, &y);
    EXPECT_EQ(LOWORD(messages[0].lParam), x + 3);
    EXPECT_EQ(HIWORD(messages[0].lParam), y + 4);
}

TEST_F(EventTranslation, CloseAndQuitArriveAsCloseMessages)
{
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].hwnd, window);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_CLOSE));

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    messages = drain();
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(),
                            [&](const MSG& msg) { return msg.hwnd == window && msg.message == WM_CLOSE; }));
}

// Size and focus changes are sent to the procedure, not queued, as Windows
// sends them; they cost the loop no turn.
TEST_F(EventTranslation, WindowStateChangesAreSentToTheProcedure)
{
    pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480);
    pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(received().size(), 4u);
    EXPECT_EQ(received()[0].message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(received()[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(received()[0].lParam, (480 << 16) | 640);
    EXPECT_EQ(received()[1].message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(received()[1].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(received()[2].message, static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(received()[2].wParam, static_cast<WPARAM>(WA_INACTIVE));
    EXPECT_EQ(received()[3].message, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(GetFocus(), nullptr);

    received().clear();
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(received().size(), 2u);
    EXPECT_EQ(received()[0].message, static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(received()[0].wParam, static_cast<WPARAM>(WA_ACTIVE));
    EXPECT_EQ(received()[1].message, static_cast<UINT>(WM_SETFOCUS));
    EXPECT_EQ(GetFocus(), window);
}

// Keyboard input for no window of ours goes to the focus window.
TEST_F(EventTranslation, KeysWithoutAWindowGoToTheFocusWindow)
{
    SDL_Event event{};
    event.key.type = SDL_KEYDOWN;
    event.key.windowID = 0;
    event.key.keysym.scancode = SDL_SCANCODE_B;
    event.key.keysym.sym = SDLK_b;
    HWND other = createRecordingWindow(WS_VISIBLE | WS_OVERLAPPEDWINDOW);  // takes the focus
    ASSERT_NE(other, nullptr);
    SDL_PushEvent(&event);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].hwnd, other);
    DestroyWindow(other);
}

}  // namespace
