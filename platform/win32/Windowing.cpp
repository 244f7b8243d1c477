// Window classes and windows over SDL2: RegisterClassExA, AdjustWindowRect,
// CreateWindowExA, DestroyWindow and the window queries.
#include <windows.h>
#include <tarnvale_platform.h>

#include "win32/Win32Internal.h"
#include "win32/XErrorTrap.h"

#ifndef __EMSCRIPTEN__
#include <wayland-client-core.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <strings.h>
#include <vector>

namespace tvplat::detail {
namespace {

struct ClassRecord {
    std::string name;
    ATOM atom;
    WNDPROC proc;
    HINSTANCE instance;
    UINT style;
};

std::vector<ClassRecord>& classes()
{
    static std::vector<ClassRecord> table;
    return table;
}

std::vector<WindowRecord>& windows()
{
    static std::vector<WindowRecord> table;
    return table;
}

// Window handles are opaque numbers that are never reused, so a stale handle
// never names a later window.
uintptr_t nextHandleValue = 0x00010010;
HWND focus = nullptr;

// Class atoms lie in the string-atom range, as on Windows.
constexpr ATOM firstClassAtom = 0xC000;

ClassRecord* findClass(LPCSTR name)
{
    const auto value = reinterpret_cast<uintptr_t>(name);
    for (ClassRecord& record : classes()) {
        if (value < 0x10000) {  // MAKEINTATOM
            if (record.atom == value) return &record;
        } else if (strcasecmp(record.name.c_str(), name) == 0) {  // class names ignore case
            return &record;
        }
    }
    return nullptr;
}

void quitVideo()
{
    // A lost X server leaves connections Xlib has not yet found broken (SDL
    // keeps a second one), and closing one ends the process from inside
    // exit: the process ends without closing them.
    if (tvplat::displayLost()[0] != '\0') return;
    SDL_Quit();
}

// SDL's drivers that show nothing. SDL falls back to the offscreen one when
// no display answers, so a program asked for a window would run invisibly.
bool showsNothing(const char* driver)
{
    return driver != nullptr && (strcasecmp(driver, "offscreen") == 0 || strcasecmp(driver, "dummy") == 0);
}

// Whether the user named `driver` in SDL_VIDEODRIVER (one name, or several
// separated by commas).
bool driverAskedFor(const char* driver)
{
    const char* hint = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (hint == nullptr) return false;
    const std::string names = hint;
    for (size_t start = 0; start <= names.size();) {
        size_t end = names.find(',', start);
        if (end == std::string::npos) end = names.size();
        if (strcasecmp(names.substr(start, end - start).c_str(), driver) == 0) return true;
        start = end + 1;
    }
    return false;
}

// What libwayland said while SDL looked for a display. libwayland writes
// its complaints to stderr through a handler of its own; one made while
// looking ("XDG_RUNTIME_DIR is invalid or not set") is part of why no
// display was found, and belongs in that reason, not on a line ahead of it.
bool probingDisplays = false;
std::string waylandProbeLog;

#ifndef __EMSCRIPTEN__
void onWaylandLog(const char* format, va_list arguments)
{
    if (!probingDisplays) {
        std::vfprintf(stderr, format, arguments);
        return;
    }
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = text;
    if (line.rfind("error: ", 0) == 0) line.erase(0, 7);
    while (!line.empty() && (line.back() == '\n' || line.back() == '.' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) waylandProbeLog += (waylandProbeLog.empty() ? "" : "; ") + line;
}
#endif

// SDL_InitSubSystem(SDL_INIT_VIDEO), with what libwayland says kept in
// waylandProbeLog.
int initVideoQuietly()
{
#ifndef __EMSCRIPTEN__
    static bool handlerSet = false;
    if (!handlerSet) {
        wl_log_set_handler_client(onWaylandLog);
        handlerSet = true;
    }
#endif
    waylandProbeLog.clear();
    probingDisplays = true;
    const int result = SDL_InitSubSystem(SDL_INIT_VIDEO);
    probingDisplays = false;
    return result;
}

// libwayland's account of the probe, as a clause of a reason; empty when
// it had nothing to say.
std::string waylandClause()
{
    return waylandProbeLog.empty() ? std::string() : "; Wayland: " + waylandProbeLog;
}

// Why no display was found: which of the variables naming one are set.
std::string noDisplayReason()
{
    std::string named;
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || value[0] == '\0') continue;
        named += std::string(named.empty() ? "" : ", ") + variable + "=" + value;
    }
    return (named.empty() ? std::string("no display (neither DISPLAY nor WAYLAND_DISPLAY is set)")
                          : "no display answers (" + named + ")") +
           waylandClause() + "; SDL_VIDEODRIVER=offscreen runs without one, showing nothing";
}

// Default size for CW_USEDEFAULT, as a modest fraction of a typical screen.
constexpr int defaultClientWidth = 800;
constexpr int defaultClientHeight = 600;

}  // namespace

FrameMetrics frameFor(DWORD style, bool hasMenu)
{
    int border = 0;
    if (style & WS_THICKFRAME)
        border = 8;
    else if (style & WS_DLGFRAME)
        border = 3;
    else if (style & WS_BORDER)
        border = 1;
    int top = border;
    if ((style & WS_CAPTION) == WS_CAPTION) top += 23;
    if (hasMenu) top += 20;
    return FrameMetrics{border, top, border, border};
}

bool ensureVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    static bool atexitRegistered = false;
    // Mouse messages reach a window only while the cursor is over its client
    // area: the program never captures the mouse, so SDL must not either.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    // A click that brings the window to the front is also a click in it, as
    // on Windows; SDL would drop one that comes just after the focus.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Closing the last window is a WM_CLOSE for that window and nothing more;
    // SDL_QUIT then only comes from a signal (Ctrl+C, the session ending).
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The desktop matches a window to the program's desktop entry, and so
    // shows the entry's icon, by the window's X11 WM_CLASS or Wayland app id.
    // SDL takes both from these variables when video starts (Wayland falling
    // back to the X11 one); a name the user has set already is kept.
    if (std::getenv("SDL_VIDEO_WAYLAND_WMCLASS") == nullptr && std::getenv("SDL_VIDEO_X11_WMCLASS") == nullptr)
        setenv("SDL_VIDEO_WAYLAND_WMCLASS", TARNVALE_APP_ID, 0);
    setenv("SDL_VIDEO_X11_WMCLASS", TARNVALE_APP_ID, 0);
    if (initVideoQuietly() != 0) {
        setPlatformError(ERROR_GEN_FAILURE, (SDL_GetError() + waylandClause()).c_str());
        return false;
    }
    // A driver that shows nothing only when asked for by name: a window
    // nobody can see, drawn forever, is no window.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (showsNothing(driver) && !driverAskedFor(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        setPlatformError(ERROR_GEN_FAILURE, noDisplayReason().c_str());
        return false;
    }
    if (!atexitRegistered) {
        atexitRegistered = true;
        std::atexit(quitVideo);
    }
    return true;
}

WindowRecord* findWindow(HWND window)
{
    if (window == nullptr) return nullptr;
    for (WindowRecord& record : windows())
        if (record.handle == window) return &record;
    return nullptr;
}

WindowRecord* findWindowBySdlId(uint32_t id)
{
    for (WindowRecord& record : windows())
        if (record.sdlId == id) return &record;
    return nullptr;
}

int windowCount()
{
    return static_cast<int>(windows().size());
}

WindowRecord* windowAt(int index)
{
    if (index < 0 || index >= windowCount()) return nullptr;
    return &windows()[static_cast<size_t>(index)];
}

void setFocusWindow(HWND window)
{
    focus = window;
}

HWND focusWindow()
{
    return focus;
}

}  // namespace tvplat::detail

using namespace tvplat::detail;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx)
{
    if (lpwcx == nullptr || lpwcx->cbSize != sizeof(WNDCLASSEXA) || lpwcx->lpfnWndProc == nullptr ||
        lpwcx->lpszClassName == nullptr || reinterpret_cast<uintptr_t>(lpwcx->lpszClassName) < 0x10000 ||
        lpwcx->lpszClassName[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (findClass(lpwcx->lpszClassName) != nullptr) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    std::vector<ClassRecord>& table = classes();
    if (table.size() >= 0x3FFF) {  // the atom range is exhausted
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const ATOM atom = static_cast<ATOM>(firstClassAtom + table.size());
    table.push_back(ClassRecord{lpwcx->lpszClassName, atom, lpwcx->lpfnWndProc, lpwcx->hInstance, lpwcx->style});
    return atom;
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu)
{
    if (lpRect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FrameMetrics frame = frameFor(dwStyle, bMenu != FALSE);
    lpRect->left -= frame.left;
    lpRect->top -= frame.top;
    lpRect->right += frame.right;
    lpRect->bottom += frame.bottom;
    return TRUE;
}

namespace {

// Where the client area of a window of this outer placement goes: the SDL
// window is the client area, so the nominal frame comes off the outer size
// and the client stands where the frame would leave it.
struct ClientPlacement {
    int x;
    int y;
    int width;
    int height;
};

ClientPlacement clientPlacement(const FrameMetrics& frame, int x, int y, int width, int height)
{
    ClientPlacement client = {static_cast<int>(SDL_WINDOWPOS_UNDEFINED), static_cast<int>(SDL_WINDOWPOS_UNDEFINED),
                              defaultClientWidth, defaultClientHeight};
    if (width != CW_USEDEFAULT) {
        client.width = width - frame.left - frame.right;
        client.height = height - frame.top - frame.bottom;
    }
    if (client.width < 1) client.width = 1;  // SDL refuses empty windows
    if (client.height < 1) client.height = 1;
    if (x != CW_USEDEFAULT) {
        client.x = x + frame.left;
        client.y = y + frame.top;
    }
    return client;
}

Uint32 sdlWindowFlags(DWORD style)
{
    Uint32 flags = SDL_WINDOW_OPENGL;
    if (!(style & WS_VISIBLE)) flags |= SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if (style & WS_MAXIMIZE) flags |= SDL_WINDOW_MAXIMIZED;
    if (style & WS_MINIMIZE) flags |= SDL_WINDOW_MINIMIZED;
    if (!(style & (WS_CAPTION | WS_THICKFRAME))) flags |= SDL_WINDOW_BORDERLESS;
    return flags;
}

// The SDL window, with OpenGL where the display offers it for windows;
// null (SDL's reason kept) when none can be made.
SDL_Window* openSdlWindow(const char* title, const ClientPlacement& client, Uint32 flags)
{
    // The Direct3D layer renders with an OpenGL context on this window; its
    // pixel format is fixed when the window is created.
    tvplat::setWindowGlFormat();
    SDL_Window* sdl = nullptr;
    const std::string xError = tvplat::withoutFatalXErrors(
        [&] { sdl = SDL_CreateWindow(title, client.x, client.y, client.width, client.height, flags); }, &sdl);
    std::string why = sdl == nullptr ? SDL_GetError() : "";
    if (sdl != nullptr && !xError.empty()) {
        // The display's OpenGL failed while the window was made (a GL driver
        // that cannot start there): the window is not to be drawn with it.
        SDL_DestroyWindow(sdl);
        sdl = nullptr;
        why = "its OpenGL failed: " + xError;
    }
    if (sdl == nullptr) {
        // A display without OpenGL for windows (an X server without GLX, or
        // with a driver that fails) still takes a plain window, which
        // software rendering can show in.
        sdl = SDL_CreateWindow(title, client.x, client.y, client.width, client.height, flags & ~SDL_WINDOW_OPENGL);
        if (sdl != nullptr)
            std::fprintf(stderr, "CreateWindowExA: the display offers no OpenGL for windows (%s); made without it\n",
                         why.c_str());
    }
    if (sdl == nullptr)
        setPlatformError(ERROR_GEN_FAILURE, SDL_GetError());
    else
        tvplat::watchXConnection(sdl);
    return sdl;
}

}  // namespace

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    ClassRecord* windowClass = lpClassName != nullptr ? findClass(lpClassName) : nullptr;
    if (windowClass == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const ClientPlacement client = clientPlacement(frameFor(dwStyle, hMenu != nullptr), X, Y, nWidth, nHeight);
    SDL_Window* sdl = ensureVideo() ? openSdlWindow(lpWindowName != nullptr ? lpWindowName : "", client,
                                                    sdlWindowFlags(dwStyle))
                                    : nullptr;
    if (sdl == nullptr) {
        std::fprintf(stderr, "CreateWindowExA: cannot open a window: %s\n", tvplat::lastPlatformError());
        return nullptr;
    }

    const HWND handle = reinterpret_cast<HWND>(nextHandleValue);
    nextHandleValue += 0x10;
    windows().push_back(WindowRecord{handle, sdl, SDL_GetWindowID(sdl), windowClass->proc, dwStyle, dwExStyle,
                                    hMenu != nullptr, false});

    // Windows sends WM_CREATE before CreateWindowEx returns; a procedure that
    // answers -1 refuses the window.
    CREATESTRUCTA create{};
    create.lpCreateParams = lpParam;
    create.hInstance = hInstance;
    create.hMenu = hMenu;
    create.hwndParent = hWndParent;
    create.cy = nHeight;
    create.cx = nWidth;
    create.y = Y;
    create.x = X;
    create.style = static_cast<LONG>(dwStyle);
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    if (dwStyle & WS_VISIBLE) {
        // A visible top-level window is activated and takes the focus.
        SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.width, client.height));
        setFocusWindow(handle);
    }
    return handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    WindowRecord* record = findWindow(hWnd);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (record->destroying) return TRUE;
    record->destroying = true;
    SDL_HideWindow(record->sdl);
    SendMessageA(hWnd, WM_DESTROY, 0, 0);
    // The procedure may have destroyed the window itself.
    record = findWindow(hWnd);
    if (record == nullptr) return TRUE;
    SDL_Window* sdl = record->sdl;
    std::vector<WindowRecord>& table = windows();
    table.erase(table.begin() + (record - table.data()));
    forgetWindowMessages(hWnd);
    if (focusWindow() == hWnd) setFocusWindow(nullptr);
    SDL_DestroyWindow(sdl);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    WindowRecord* record = findWindow(hWnd);
    if (record == nullptr || lpRect == nullptr) {
        SetLastError(record == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(record->sdl, &width, &height);
    *lpRect = RECT{0, 0, width, height};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    WindowRecord* record = findWindow(hWnd);
    if (record == nullptr || lpRect == nullptr) {
        SetLastError(record == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(record->sdl, &x, &y);
    SDL_GetWindowSize(record->sdl, &width, &height);
    const FrameMetrics frame = frameFor(record->style, record->hasMenu);
    *lpRect = RECT{x - frame.left, y - frame.top, x + width + frame.right, y + height + frame.bottom};
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    return findWindow(hWnd) != nullptr ? TRUE : FALSE;
}

HWND WINAPI GetFocus()
{
    return focusWindow();
}

HWND WINAPI GetForegroundWindow()
{
    return focusWindow();
}

namespace tvplat {

SDL_Window* sdlWindow(HWND window)
{
    detail::WindowRecord* record = detail::findWindow(window);
    return record != nullptr ? record->sdl : nullptr;
}

HWND windowFromSdlId(uint32_t windowId)
{
    detail::WindowRecord* record = detail::findWindowBySdlId(windowId);
    return record != nullptr ? record->handle : nullptr;
}

void setWindowGlFormat()
{
#ifdef __EMSCRIPTEN__
    // A page's canvas: WebGL 2 (OpenGL ES 3.0), opaque, as the display's
    // own X8R8G8B8 back buffer would be (alpha left in it must not let the
    // page show through).
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
#else
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
#endif
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, windowDepthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, windowStencilBits);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

}  // namespace tvplat
