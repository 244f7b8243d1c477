// The main window: class, style, position and an exact 1024 x 768 client area.
#include "app/MainWindow.h"
#include "support/DisplayServer.h"
#include "support/XUser.h"

#include <tarnvale_platform.h>

#include <SDL.h>
#include <gtest/gtest.h>


namespace {

void expectMainWindowGeometry(HWND window)
{
    ASSERT_NE(window, nullptr) << tvplat::lastPlatformError();
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right - client.left, 1024);
    EXPECT_EQ(client.bottom - client.top, 768);
    SDL_Window* sdl = tvplat::sdlWindow(window);
    ASSERT_NE(sdl, nullptr);
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "Tarnvale");
    const Uint32 flags = SDL_GetWindowFlags(sdl);
    EXPECT_FALSE(flags & SDL_WINDOW_HIDDEN);    // visible without ShowWindow
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);  // an overlapped window can be resized
}

TEST(MainWindow, ClientAreaIsExactlyTheRequestedSizeWithTheOuterCornerAt64)
{
    MainWindow mainWindow(GetModuleHandleA(NULL), "Tarnvale", 1024, 768);
    expectMainWindowGeometry(mainWindow.handle());
    RECT outer{};
    ASSERT_TRUE(GetWindowRect(mainWindow.handle(), &outer));
    EXPECT_EQ(outer.left, 64);
    EXPECT_EQ(outer.top, 64);
}

// A second main window in the same process finds its class registered; the
// failed registration is not examined and the window is still made.
TEST(MainWindow, ASecondWindowReusesTheRegisteredClass)
{
    MainWindow first(GetModuleHandleA(NULL), "Tarnvale", 1024, 768);
    MainWindow second(GetModuleHandleA(NULL), "Tarnvale", 1024, 768);
    ASSERT_NE(first.handle(), nullptr);
    ASSERT_NE(second.handle(), nullptr);
    EXPECT_NE(first.handle(), second.handle());
    // Both windows live on after their objects: the window goes with the process.
    HWND handle = nullptr;
    {
        MainWindow third(GetModuleHandleA(NULL), "Tarnvale", 640, 480);
        handle = third.handle();
    }
    EXPECT_TRUE(IsWindow(handle));
}

// A real X11 window on an X server of the test's own, with the same exact
// client area and title.
TEST(MainWindowOnX11, ClientAreaIsExactly1024By768)
{
    if (!testsupport::onOwnXServer()) return;
    MainWindow mainWindow(GetModuleHandleA(NULL), "Tarnvale", 1024, 768);
    ASSERT_NE(mainWindow.handle(), nullptr) << tvplat::lastPlatformError();
    EXPECT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
    // Measured once the X server shows the window.
    testsupport::XUser user;
    ASSERT_TRUE(user.connected()) << user.error();
    const unsigned long xWindow = testsupport::xWindowOf(tvplat::sdlWindow(mainWindow.handle()));
    EXPECT_TRUE(testsupport::waitFor([&] {
        MSG msg{};
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        }
        return user.viewable(xWindow);
    }));
    expectMainWindowGeometry(mainWindow.handle());
}

}  // namespace
