// Window classes and windows over SDL (offscreen driver).
#include <windows.h>
#include <tarnvale_platform.h>

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Window, SmokeCreateAndMeasure)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = "smoke";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    RECT rect{0, 0, 1024, 768};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowExA(0, "smoke", "Smoke", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 64, 64, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr) << tvplat::lastPlatformError();
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 768);
    EXPECT_NE(tvplat::sdlWindow(window), nullptr);
    SDL_GLContext context = SDL_GL_CreateContext(tvplat::sdlWindow(window));
    ASSERT_NE(context, nullptr) << SDL_GetError();
    int major = 0, minor = 0, profile = 0, depth = 0;
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    printf("%d.%d profile %d depth %d\n", major, minor, profile, depth);
    SDL_GL_DeleteContext(context);
    MSG msg{};
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    DestroyWindow(window);
}

}  // namespace
