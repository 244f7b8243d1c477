// State shared by the pieces of the Win32 layer (windows, message queue,
// event translation). Not part of the public interface.
#pragma once

#include <windows.h>

#include <SDL.h>

#include <cstdint>
#include <string>

namespace tvplat::detail {

// ----- Window frame metrics ---------------------------------------------------
// The nominal non-client frame of a window, in pixels, as AdjustWindowRect
// adds it and CreateWindowExA removes it again. The values are those of the
// Windows 10 default theme at 96 dpi:
//   sizing frame (WS_THICKFRAME)   8  (4 frame + 4 padded border)
//   fixed frame  (WS_DLGFRAME)     3
//   thin border  (WS_BORDER only)  1
//   caption      (WS_CAPTION)     23  above the top frame
//   menu bar                      20  below the caption
// The SDL window itself is the client area; the window manager draws its own
// decorations, which need not match these numbers.
struct FrameMetrics {
    int left;
    int top;
    int right;
    int bottom;
};
FrameMetrics frameFor(DWORD style, bool hasMenu);

// ----- Windows -----------------------------------------------------------------
struct WindowRecord {
    HWND handle;
    SDL_Window* sdl;
    uint32_t sdlId;
    WNDPROC proc;
    DWORD style;
    DWORD exStyle;
    bool hasMenu;     // created with a menu: the nominal frame includes a menu bar
    bool destroying;  // WM_DESTROY has been sent; a nested DestroyWindow does nothing more
};

// SDL's video subsystem, started on first need and stopped at exit. Returns
// false (and keeps SDL's reason, see setPlatformError) when it cannot start.
bool ensureVideo();

// The record of a live window, or null.
WindowRecord* findWindow(HWND window);
WindowRecord* findWindowBySdlId(uint32_t id);
// Number of live windows and the i-th of them (for the SDL_QUIT broadcast).
int windowCount();
WindowRecord* windowAt(int index);

// The window that has the keyboard focus / is active (null when none).
void setFocusWindow(HWND window);
HWND focusWindow();

// ----- Message queue -------------------------------------------------------------
// Input messages (from the SDL event pump) go into the input queue, which
// PeekMessageA reads after the posted messages and the quit flag, as Windows
// orders its queues. Sent messages (WM_SIZE, WM_ACTIVATE, focus changes) are
// delivered straight to the window procedure by the next PeekMessageA, as
// Windows delivers sent messages to a thread that peeks at its queue.
void postInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, uint32_t time, POINT point);
void queueSentMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Drops every queued message addressed to a window (when it is destroyed).
void forgetWindowMessages(HWND window);

// ----- Event translation -------------------------------------------------------------
// Translates one SDL event into the messages Windows would produce for it.
void translateEvent(const SDL_Event& event);
// Forgets the tracked mouse-button and modifier state.
void resetInputState();
// Makes up for the button changes SDL cannot report after a focus loss
// (EventTranslation.cpp); called before each drain of SDL's queue, it pumps
// SDL's events first only while the buttons are in doubt.
void reconcileButtons();
// The cursor's screen position at the last mouse event (MSG::pt of messages
// that do not come from the mouse).
POINT lastCursorPosition();

// The pieces of the translation, for tests.
// Virtual-key code of a key: letters follow the keyboard layout (keycode),
// every other key its position (scancode). 0 for keys without one.
UINT virtualKeyFor(SDL_Scancode scancode, SDL_Keycode keycode);
// PC scan code (set 1) of a key; 0x100 marks an extended (E0-prefixed) key.
unsigned scanCodeFor(SDL_Scancode scancode);
// The lParam of a key message.
LPARAM keyMessageParam(SDL_Scancode scancode, bool down, bool wasDown, bool altDown);
// Client coordinates packed as Windows packs them: x in the low 16 bits, y in
// the high 16 bits, each truncated to 16 bits (negative values wrap).
LPARAM packPoint(int x, int y);
// MK_* flags for a mouse-button mask (SDL_BUTTON_*MASK) and key modifiers.
WPARAM mouseKeyFlags(uint32_t buttons, uint16_t modifiers);

// ----- Errors --------------------------------------------------------------------------
// The calling thread's last-error code, and a text reason for failures that
// come from SDL (tvplat::lastPlatformError).
void setPlatformError(DWORD code, const char* reason);

}  // namespace tvplat::detail
