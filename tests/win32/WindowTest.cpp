// Window classes and windows over SDL (offscreen driver).
#include "Win32TestWindow.h"

#include <string>

using namespace win32test;

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK refusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) return -1;
    return DefWindowProcA(window, message, wParam, lParam);
}

int destroyCount = 0;
LRESULT CALLBACK destroyAgainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        ++destroyCount;
        DestroyWindow(window);  // must not send WM_DESTROY a second time
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

WNDCLASSEXA classNamed(const char* name, WNDPROC proc = plainProc)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = proc;
    windowClass.lpszClassName = name;
    return windowClass;
}

TEST(RegisterClass, ValidatesTheRecordAndRefusesDuplicates)
{
    WNDCLASSEXA wrongSize = classNamed("reg-size");
    wrongSize.cbSize = 40;
    EXPECT_EQ(RegisterClassExA(&wrongSize), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    WNDCLASSEXA noProc = classNamed("reg-proc", nullptr);
    EXPECT_EQ(RegisterClassExA(&noProc), 0);
    WNDCLASSEXA noName = classNamed(nullptr);
    EXPECT_EQ(RegisterClassExA(&noName), 0);
    EXPECT_EQ(RegisterClassExA(nullptr), 0);

    WNDCLASSEXA good = classNamed("reg-good");
    const ATOM atom = RegisterClassExA(&good);
    EXPECT_NE(atom, 0);
    // Class names ignore case, so this is the same class.
    WNDCLASSEXA again = classNamed("REG-Good");
    SetLastError(0);
    EXPECT_EQ(RegisterClassExA(&again), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    // The atom names the class as well as its name does.
    HWND window = CreateWindowExA(0, MAKEINTATOM(atom), "atom", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    DestroyWindow(window);
}

TEST(CreateWindow, UnknownClassFailsWithItsErrorCode)
{
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "no-such-class", "x", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST(AdjustWindowRect, AddsTheNominalFrameForEachStyle)
{
    RECT overlapped{0, 0, 1024, 768};
    ASSERT_TRUE(AdjustWindowRect(&overlapped, WS_OVERLAPPEDWINDOW, FALSE));
    EXPECT_EQ(overlapped.left, -8);
    EXPECT_EQ(overlapped.top, -31);
    EXPECT_EQ(overlapped.right, 1032);
    EXPECT_EQ(overlapped.bottom, 776);

    RECT dialog{10, 10, 110, 60};
    AdjustWindowRect(&dialog, WS_CAPTION | WS_SYSMENU, TRUE);  // fixed frame, caption and a menu bar
    EXPECT_EQ(dialog.left, 7);
    EXPECT_EQ(dialog.top, 10 - 3 - 23 - 20);
    EXPECT_EQ(dialog.right, 113);
    EXPECT_EQ(dialog.bottom, 63);

    RECT popup{0, 0, 50, 50};
    AdjustWindowRect(&popup, WS_POPUP, FALSE);
    EXPECT_EQ(popup.right - popup.left, 50);
    EXPECT_EQ(popup.bottom - popup.top, 50);

    EXPECT_FALSE(AdjustWindowRect(nullptr, WS_OVERLAPPEDWINDOW, FALSE));
}

// CreateWindowExA must take off exactly the frame AdjustWindowRect added,
// for every style, and put the outer corner where it was asked.
TEST(CreateWindow, ClientAreaIsTheAdjustedSizeForEachStyle)
{
    const DWORD styles[] = {WS_OVERLAPPEDWINDOW, WS_CAPTION | WS_SYSMENU, WS_POPUP, WS_POPUP | WS_BORDER};
    for (DWORD style : styles) {
        SCOPED_TRACE(style);
        HWND window = createRecordingWindow(style);
        ASSERT_NE(window, nullptr);
        RECT client{};
        ASSERT_TRUE(GetClientRect(window, &client));
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.top, 0);
        EXPECT_EQ(client.right, 320);
        EXPECT_EQ(client.bottom, 200);
        int width = 0, height = 0;
        SDL_GetWindowSize(tvplat::sdlWindow(window), &width, &height);
        EXPECT_EQ(width, 320);
        EXPECT_EQ(height, 200);

        RECT adjusted{0, 0, 320, 200};
        AdjustWindowRect(&adjusted, style, FALSE);
        RECT outer{};
        ASSERT_TRUE(GetWindowRect(window, &outer));
        EXPECT_EQ(outer.left, 10);
        EXPECT_EQ(outer.top, 10);
        EXPECT_EQ(outer.right - outer.left, adjusted.right - adjusted.left);
        EXPECT_EQ(outer.bottom - outer.top, adjusted.bottom - adjusted.top);
        DestroyWindow(window);
    }
}

TEST(CreateWindow, StyleDecidesVisibilityAndResizing)
{
    HWND hidden = createRecordingWindow(WS_CAPTION);
    HWND visible = createRecordingWindow(WS_VISIBLE | WS_OVERLAPPEDWINDOW);
    ASSERT_NE(hidden, nullptr);
    ASSERT_NE(visible, nullptr);
    const Uint32 hiddenFlags = SDL_GetWindowFlags(tvplat::sdlWindow(hidden));
    const Uint32 visibleFlags = SDL_GetWindowFlags(tvplat::sdlWindow(visible));
    EXPECT_TRUE(hiddenFlags & SDL_WINDOW_HIDDEN);
    EXPECT_FALSE(hiddenFlags & SDL_WINDOW_RESIZABLE);
    EXPECT_FALSE(visibleFlags & SDL_WINDOW_HIDDEN);
    EXPECT_TRUE(visibleFlags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(visibleFlags & SDL_WINDOW_OPENGL);
    // A visible window is activated and takes the keyboard focus.
    EXPECT_EQ(GetFocus(), visible);
    EXPECT_EQ(GetForegroundWindow(), visible);
    EXPECT_EQ(tvplat::windowFromSdlId(SDL_GetWindowID(tvplat::sdlWindow(visible))), visible);
    DestroyWindow(hidden);
    DestroyWindow(visible);
    EXPECT_EQ(GetFocus(), nullptr);
}

// The Direct3D layer makes an OpenGL 4.5 core context with depth and
// stencil on the window; the window's pixel format must allow it.
TEST(CreateWindow, WindowTakesAnOpenGl45CoreContext)
{
    HWND window = createRecordingWindow();
    ASSERT_NE(window, nullptr);
    SDL_GLContext context = SDL_GL_CreateContext(tvplat::sdlWindow(window));
    ASSERT_NE(context, nullptr) << SDL_GetError();
    int major = 0, minor = 0, profile = 0, depth = 0, stencil = 0;
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil);
    EXPECT_GE(major * 10 + minor, 45);
    EXPECT_EQ(profile, SDL_GL_CONTEXT_PROFILE_CORE);
    EXPECT_GE(depth, 24);
    EXPECT_GE(stencil, 8);
    SDL_GL_DeleteContext(context);
    DestroyWindow(window);
}

TEST(CreateWindow, SendsCreateWithItsArgumentsAndHonoursARefusal)
{
    registerRecordingClass();
    received().clear();
    int parameter = 7;
    HWND window = CreateWindowExA(0, "recording", "created", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 5, 6, 300, 250, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), &parameter);
    ASSERT_NE(window, nullptr);
    ASSERT_GE(received().size(), 2u);
    EXPECT_EQ(received()[0].message, static_cast<UINT>(WM_CREATE));
    // WM_SIZE reports the client size of the visible window.
    EXPECT_EQ(received()[1].message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(LOWORD(received()[1].lParam), 300 - 16);
    EXPECT_EQ(HIWORD(received()[1].lParam), 250 - 39);
    DestroyWindow(window);

    WNDCLASSEXA refusing = classNamed("refusing", refusingProc);
    RegisterClassExA(&refusing);
    EXPECT_EQ(CreateWindowExA(0, "refusing", "no", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
}

TEST(DestroyWindow, SendsDestroyOnceAndInvalidatesTheHandle)
{
    WNDCLASSEXA windowClass = classNamed("destroy-again", destroyAgainProc);
    RegisterClassExA(&windowClass);
    HWND window =
        CreateWindowExA(0, "destroy-again", "d", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_USER, 0, 0);
    destroyCount = 0;
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(destroyCount, 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(tvplat::sdlWindow(window), nullptr);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    RECT rect{};
    EXPECT_FALSE(GetClientRect(window, &rect));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    // What was posted to the window went with it.
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    tvplat::resetMessageQueue();
}

// The default procedure destroys a window asked to close; the program's own
// procedure never passes WM_CLOSE on, so this is for other windows.
TEST(DefWindowProc, CloseDestroysTheWindow)
{
    HWND window = createRecordingWindow();
    ASSERT_NE(window, nullptr);
    received().clear();
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    ASSERT_EQ(received().size(), 2u);
    EXPECT_EQ(received()[0].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(received()[1].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(DefWindowProcA(nullptr, WM_USER, 1, 2), 0);
}

}  // namespace
