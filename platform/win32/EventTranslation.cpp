// Translation of SDL events into the window messages Windows would produce:
// keyboard and mouse input go into the input queue, window-state changes are
// sent to the window procedure.
#include <windows.h>
#include <tarnvale_platform.h>

#include "win32/Win32Internal.h"

#include <cmath>

namespace tvplat::detail {
namespace {

constexpr unsigned extended = 0x100;

struct KeyEntry {
    SDL_Scancode scancode;
    BYTE virtualKey;
    unsigned scanCode;  // set 1, with `extended` for E0-prefixed keys
};

// Every key but the letters, digits, F-keys and keypad digits (computed below).
constexpr KeyEntry keyTable[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5, 0x2B},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102, 0x56},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, 0x37 | extended},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45},
    {SDL_SCANCODE_INSERT, VK_INSERT, 0x52 | extended},
    {SDL_SCANCODE_HOME, VK_HOME, 0x47 | extended},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49 | extended},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0x53 | extended},
    {SDL_SCANCODE_END, VK_END, 0x4F | extended},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51 | extended},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D | extended},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B | extended},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0x50 | extended},
    {SDL_SCANCODE_UP, VK_UP, 0x48 | extended},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45 | extended},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35 | extended},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C | extended},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, 0x47},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, 0x48},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, 0x49},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, 0x4B},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, 0x4C},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, 0x4D},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, 0x4F},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, 0x50},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, 0x51},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0 + 0, 0x52},
    {SDL_SCANCODE_APPLICATION, VK_APPS, 0x5D | extended},
    {SDL_SCANCODE_F11, VK_F1 + 10, 0x57},
    {SDL_SCANCODE_F12, VK_F1 + 11, 0x58},
    // Key messages name the side-neutral modifier keys.
    {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D | extended},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36},
    {SDL_SCANCODE_LALT, VK_MENU, 0x38},
    {SDL_SCANCODE_RALT, VK_MENU, 0x38 | extended},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0x5B | extended},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0x5C | extended},
};

// Set-1 scan codes of the letters A..Z.
constexpr BYTE letterScanCodes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                      0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

const KeyEntry* findKey(SDL_Scancode scancode)
{
    for (const KeyEntry& entry : keyTable)
        if (entry.scancode == scancode) return &entry;
    return nullptr;
}

// Input state as of the last translated event: the mouse buttons held, the
// key modifiers, and which keys are down (for the previous-state bit).
uint32_t buttonsHeld = 0;
uint16_t modifiersHeld = 0;
bool keysDown[SDL_NUM_SCANCODES] = {};
POINT cursor{0, 0};

// SDL's X11 driver lets go of the pointer when a window loses the focus, so
// a button held then and released over another client's window is never
// reported: SDL keeps the button down in its state and drops the next press
// of it as a repeat. Windows reports buttons as they are. After a focus loss
// with a button down, and until SDL reports no button down again, the
// buttons are therefore taken from the pointer itself, and what SDL leaves
// out is reported by events of the layer's own.
bool buttonsInDoubt = false;

uint32_t now()
{
    return GetTickCount();
}

// The screen position of a client point of a window.
POINT screenPoint(const WindowRecord& window, int x, int y)
{
    int windowX = 0;
    int windowY = 0;
    SDL_GetWindowPosition(window.sdl, &windowX, &windowY);
    return POINT{windowX + x, windowY + y};
}

bool insideClient(const WindowRecord& window, int x, int y)
{
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window.sdl, &width, &height);
    return x >= 0 && y >= 0 && x < width && y < height;
}

// The window a keyboard event belongs to: its own window when it names one of
// ours, else the window with the focus.
HWND keyboardTarget(uint32_t windowId)
{
    WindowRecord* window = findWindowBySdlId(windowId);
    if (window != nullptr) return window->handle;
    return focusWindow();
}

void translateKey(const SDL_KeyboardEvent& key)
{
    const HWND window = keyboardTarget(key.windowID);
    const SDL_Scancode scancode = key.keysym.scancode;
    const bool down = key.type == SDL_KEYDOWN;
    modifiersHeld = key.keysym.mod;
    if (window == nullptr) return;

    bool wasDown = key.repeat != 0;
    if (scancode >= 0 && scancode < SDL_NUM_SCANCODES) {
        wasDown = wasDown || keysDown[scancode];
        keysDown[scancode] = down;
    }
    const UINT virtualKey = virtualKeyFor(scancode, key.keysym.sym);
    if (virtualKey == 0) return;

    // Alt turns key messages into system key messages (Ctrl+Alt is AltGr and
    // stays ordinary), and so does F10.
    const bool isAlt = virtualKey == VK_MENU;
    const bool altDown = (modifiersHeld & KMOD_ALT) != 0;
    const bool ctrlDown = (modifiersHeld & KMOD_CTRL) != 0;
    const bool system = ((altDown || isAlt) && !ctrlDown) || virtualKey == VK_F10;
    UINT message = down ? WM_KEYDOWN : WM_KEYUP;
    if (system) message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    const LPARAM lParam = keyMessageParam(scancode, down, down ? wasDown : true, altDown && !ctrlDown);
    postInputMessage(window, message, virtualKey, lParam, now(), cursor);
}

// SDL's last move before the pointer leaves a window: SDL puts it on the
// window's edge (it keeps positions inside the window) and reports the
// pointer's leaving right after it.
bool leavingMove(const SDL_MouseMotionEvent& motion)
{
    SDL_Event next;
    return SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
           next.type == SDL_WINDOWEVENT && next.window.event == SDL_WINDOWEVENT_LEAVE &&
           next.window.windowID == motion.windowID;
}

void translateMotion(const SDL_MouseMotionEvent& motion)
{
    if (!buttonsInDoubt) buttonsHeld = motion.state;
    WindowRecord* window = findWindowBySdlId(motion.windowID);
    if (window == nullptr) return;
    // Without a mouse capture Windows reports only moves over the client area.
    if (!insideClient(*window, motion.x, motion.y) || leavingMove(motion)) return;
    cursor = screenPoint(*window, motion.x, motion.y);
    postInputMessage(window->handle, WM_MOUSEMOVE, mouseKeyFlags(buttonsHeld, modifiersHeld),
                     packPoint(motion.x, motion.y), now(), cursor);
}

void translateButton(const SDL_MouseButtonEvent& button)
{
    const bool down = button.type == SDL_MOUSEBUTTONDOWN;
    if (button.button >= 1 && button.button <= 32) {
        const uint32_t mask = SDL_BUTTON(button.button);
        buttonsHeld = down ? (buttonsHeld | mask) : (buttonsHeld & ~mask);
    }
    WindowRecord* window = findWindowBySdlId(button.windowID);
    if (window == nullptr) return;
    if (!insideClient(*window, button.x, button.y)) return;

    UINT message = 0;
    WPARAM high = 0;
    switch (button.button) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    case SDL_BUTTON_X1:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        high = XBUTTON1;
        break;
    case SDL_BUTTON_X2:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        high = XBUTTON2;
        break;
    default: return;
    }
    cursor = screenPoint(*window, button.x, button.y);
    const WPARAM wParam = mouseKeyFlags(buttonsHeld, modifiersHeld) | (high << 16);
    postInputMessage(window->handle, message, wParam, packPoint(button.x, button.y), now(), cursor);
}

void translateWheel(const SDL_MouseWheelEvent& wheel)
{
    // The wheel message goes to the focus window, with screen coordinates.
    WindowRecord* window = findWindowBySdlId(wheel.windowID);
    const HWND target = focusWindow() != nullptr ? focusWindow() : (window != nullptr ? window->handle : nullptr);
    if (target == nullptr) return;
    float notches = wheel.preciseY != 0.0f ? wheel.preciseY : static_cast<float>(wheel.y);
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
    const long delta = std::lround(notches * WHEEL_DELTA);
    if (delta == 0) return;
    POINT point = cursor;
    if (window != nullptr) point = screenPoint(*window, wheel.mouseX, wheel.mouseY);
    const WPARAM wParam = mouseKeyFlags(buttonsHeld, modifiersHeld) | (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16);
    postInputMessage(target, WM_MOUSEWHEEL, wParam, packPoint(point.x, point.y), now(), point);
}

void translateWindowEvent(const SDL_WindowEvent& event)
{
    WindowRecord* window = findWindowBySdlId(event.windowID);
    if (window == nullptr) return;
    const HWND handle = window->handle;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        postInputMessage(handle, WM_CLOSE, 0, 0, now(), cursor);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        const bool maximized = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
        queueSentMessage(handle, WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                         packPoint(event.data1, event.data2));
        break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
        queueSentMessage(handle, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_RESTORED: {
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(window->sdl, &width, &height);
        queueSentMessage(handle, WM_SIZE, SIZE_RESTORED, packPoint(width, height));
        break;
    }
    case SDL_WINDOWEVENT_MOVED:
        queueSentMessage(handle, WM_MOVE, 0, packPoint(event.data1, event.data2));
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: {
        const HWND previous = focusWindow();
        setFocusWindow(handle);
        queueSentMessage(handle, WM_ACTIVATE, WA_ACTIVE, 0);
        queueSentMessage(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous == handle ? nullptr : previous), 0);
        break;
    }
    case SDL_WINDOWEVENT_FOCUS_LOST:
        if (SDL_GetMouseState(nullptr, nullptr) != 0) buttonsInDoubt = true;
        if (focusWindow() == handle) setFocusWindow(nullptr);
        queueSentMessage(handle, WM_ACTIVATE, WA_INACTIVE, 0);
        queueSentMessage(handle, WM_KILLFOCUS, 0, 0);
        break;
    default:
        break;
    }
}

}  // namespace

UINT virtualKeyFor(SDL_Scancode scancode, SDL_Keycode keycode)
{
    if (keycode >= SDLK_a && keycode <= SDLK_z) return static_cast<UINT>('A' + (keycode - SDLK_a));
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return static_cast<UINT>('A' + (scancode - SDL_SCANCODE_A));
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return static_cast<UINT>('1' + (scancode - SDL_SCANCODE_1));
    if (scancode == SDL_SCANCODE_0) return '0';
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F10)
        return static_cast<UINT>(VK_F1 + (scancode - SDL_SCANCODE_F1));
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
        return static_cast<UINT>(VK_F1 + 12 + (scancode - SDL_SCANCODE_F13));
    const KeyEntry* entry = findKey(scancode);
    return entry != nullptr ? entry->virtualKey : 0;
}

unsigned scanCodeFor(SDL_Scancode scancode)
{
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return letterScanCodes[scancode - SDL_SCANCODE_A];
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_0)  // 1..9 then 0: 0x02..0x0B
        return static_cast<unsigned>(0x02 + (scancode - SDL_SCANCODE_1));
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F10)
        return static_cast<unsigned>(0x3B + (scancode - SDL_SCANCODE_F1));
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
        return static_cast<unsigned>(0x64 + (scancode - SDL_SCANCODE_F13));
    const KeyEntry* entry = findKey(scancode);
    return entry != nullptr ? entry->scanCode : 0;
}

LPARAM keyMessageParam(SDL_Scancode scancode, bool down, bool wasDown, bool altDown)
{
    const unsigned scan = scanCodeFor(scancode);
    DWORD value = 1;                              // repeat count
    value |= (scan & 0xFF) << 16;                 // scan code
    if (scan & extended) value |= 1u << 24;       // extended key
    if (altDown) value |= 1u << 29;               // context code: Alt held
    if (wasDown) value |= 1u << 30;               // previous key state
    if (!down) value |= 1u << 31;                 // transition state
    return static_cast<LPARAM>(value);
}

LPARAM packPoint(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(x & 0xFFFF), static_cast<WORD>(y & 0xFFFF));
}

WPARAM mouseKeyFlags(uint32_t buttons, uint16_t modifiers)
{
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
    if (buttons & SDL_BUTTON_X1MASK) flags |= MK_XBUTTON1;
    if (buttons & SDL_BUTTON_X2MASK) flags |= MK_XBUTTON2;
    if (modifiers & KMOD_SHIFT) flags |= MK_SHIFT;
    if (modifiers & KMOD_CTRL) flags |= MK_CONTROL;
    return flags;
}

void translateEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        translateKey(event.key);
        break;
    case SDL_MOUSEMOTION:
        translateMotion(event.motion);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        translateButton(event.button);
        break;
    case SDL_MOUSEWHEEL:
        translateWheel(event.wheel);
        break;
    case SDL_WINDOWEVENT:
        translateWindowEvent(event.window);
        break;
    case SDL_QUIT:
        // An interrupt or a session ending asks every window to close.
        for (int i = 0; i < windowCount(); ++i)
            postInputMessage(windowAt(i)->handle, WM_CLOSE, 0, 0, now(), cursor);
        break;
    default:
        break;
    }
}

void reconcileButtons()
{
    if (!buttonsInDoubt) return;
    // SDL's state after the events the window system has for it now.
    SDL_PumpEvents();
    const uint32_t reported = SDL_GetMouseState(nullptr, nullptr);
    if (reported == 0) {
        buttonsInDoubt = false;
        return;
    }
    int x = 0;
    int y = 0;
    const uint32_t actual = SDL_GetGlobalMouseState(&x, &y);
    SDL_Window* under = SDL_GetMouseFocus();
    int left = 0;
    int top = 0;
    if (under != nullptr) SDL_GetWindowPosition(under, &left, &top);
    for (Uint8 button = SDL_BUTTON_LEFT; button <= SDL_BUTTON_X2; ++button) {
        const uint32_t mask = SDL_BUTTON(button);
        // Only the changes SDL cannot report: it holds the button down.
        if ((reported & mask) == 0 || ((actual ^ buttonsHeld) & mask) == 0) continue;
        const bool down = (actual & mask) != 0;
        // A release SDL missed happened over another window: it is no message
        // of ours, and the moves already queued come after it. A press SDL
        // dropped happened where the pointer is now.
        if (!down) buttonsHeld &= ~mask;
        SDL_Event event{};
        event.button = {down ? Uint32(SDL_MOUSEBUTTONDOWN) : Uint32(SDL_MOUSEBUTTONUP), SDL_GetTicks(),
                        down && under != nullptr ? SDL_GetWindowID(under) : 0, 0, button,
                        Uint8(down ? SDL_PRESSED : SDL_RELEASED), 1, 0, x - left, y - top};
        SDL_PushEvent(&event);
    }
}

void resetInputState()
{
    buttonsInDoubt = false;
    buttonsHeld = 0;
    modifiersHeld = 0;
    for (bool& key : keysDown)
        key = false;
    cursor = POINT{0, 0};
}

POINT lastCursorPosition()
{
    return cursor;
}

}  // namespace tvplat::detail
