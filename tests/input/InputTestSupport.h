// Helpers for the input tests: a real window of the Win32 layer (on SDL's
// offscreen driver) and SDL events pushed as if the user had made them.
#pragma once

#include <windows.h>
#include <tarnvale_platform.h>

#include <SDL.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace inputtest {

struct ReceivedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message the test window procedure receives, in order.
inline std::vector<ReceivedMessage> received;

inline LRESULT CALLBACK recordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    received.push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

// A visible 320 x 240 window whose procedure records what it receives.
struct TestWindow {
    TestWindow()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = recordingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TarnvaleInputTest";
        RegisterClassExA(&windowClass);  // a second registration fails harmlessly
        handle = CreateWindowExA(0, "TarnvaleInputTest", "input test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 320, 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (SDL_Window* sdl = tvplat::sdlWindow(handle)) id = SDL_GetWindowID(sdl);
        tvplat::resetMessageQueue();
        received.clear();
    }
    ~TestWindow()
    {
        if (handle) DestroyWindow(handle);
        tvplat::resetMessageQueue();
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle = nullptr;
    Uint32 id = 0;
};

inline void push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

inline void pushKey(Uint32 windowId, SDL_Scancode scancode, SDL_Keycode keycode, bool down)
{
    SDL_Event event{};
    event.key = {down ? SDL_KEYDOWN : SDL_KEYUP, 0, windowId, Uint8(down ? SDL_PRESSED : SDL_RELEASED), 0, 0, 0, {}};
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = keycode;
    push(event);
}

inline void pushButton(Uint32 windowId, Uint8 button, bool down, int x = 10, int y = 10)
{
    SDL_Event event{};
    event.button = {down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, 0, windowId, 0, button,
                    Uint8(down ? SDL_PRESSED : SDL_RELEASED), 1, 0, x, y};
    push(event);
}

inline void pushMotion(Uint32 windowId, int xrel, int yrel, int x = 20, int y = 20, Uint32 buttons = 0)
{
    SDL_Event event{};
    event.motion = {SDL_MOUSEMOTION, 0, windowId, 0, buttons, x, y, xrel, yrel};
    push(event);
}

inline void pushWheel(Uint32 windowId, int notches, bool flipped = false)
{
    SDL_Event event{};
    event.wheel.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = windowId;
    event.wheel.y = notches;
    event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    push(event);
}

inline void pushFocus(Uint32 windowId, bool gained)
{
    SDL_Event event{};
    event.window.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId;
    event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    push(event);
}

}  // namespace inputtest
