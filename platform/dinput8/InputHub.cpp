#include "dinput8/InputHub.h"

#include "dinput8/DirectInputDevice8.h"

#include <dinput.h>
#include <tarnvale_platform.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tvdinput {

namespace {

// One notch of a mouse wheel, in DirectInput's wheel units.
constexpr int64_t wheelNotch = 120;

struct ScancodePair {
    SDL_Scancode scancode;
    BYTE dik;
};

// SDL scancodes are USB HID usages; DIK codes are the PC set-1 scan codes,
// with 0x80 added for the extended (E0-prefixed) keys.
constexpr ScancodePair scancodePairs[] = {
    {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_C, DIK_C}, {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_F, DIK_F}, {SDL_SCANCODE_G, DIK_G}, {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_I, DIK_I}, {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K}, {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_M, DIK_M}, {SDL_SCANCODE_N, DIK_N}, {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_R, DIK_R}, {SDL_SCANCODE_S, DIK_S}, {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_V, DIK_V}, {SDL_SCANCODE_W, DIK_W}, {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_Y, DIK_Y}, {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2}, {SDL_SCANCODE_3, DIK_3}, {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5}, {SDL_SCANCODE_6, DIK_6}, {SDL_SCANCODE_7, DIK_7}, {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_RETURN, DIK_RETURN}, {SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB}, {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS}, {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE}, {SDL_SCANCODE_GRAVE, DIK_GRAVE}, {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD}, {SDL_SCANCODE_SLASH, DIK_SLASH}, {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2}, {SDL_SCANCODE_F3, DIK_F3}, {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6}, {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9}, {SDL_SCANCODE_F10, DIK_F10}, {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12}, {SDL_SCANCODE_F13, DIK_F13}, {SDL_SCANCODE_F14, DIK_F14},
    {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ}, {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL}, {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_INSERT, DIK_INSERT}, {SDL_SCANCODE_HOME, DIK_HOME}, {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_DELETE, DIK_DELETE}, {SDL_SCANCODE_END, DIK_END}, {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT}, {SDL_SCANCODE_LEFT, DIK_LEFT}, {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK}, {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY}, {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD}, {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER}, {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2}, {SDL_SCANCODE_KP_3, DIK_NUMPAD3}, {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6}, {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8}, {SDL_SCANCODE_KP_9, DIK_NUMPAD9}, {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL}, {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102}, {SDL_SCANCODE_APPLICATION, DIK_APPS},
    {SDL_SCANCODE_POWER, DIK_POWER}, {SDL_SCANCODE_SLEEP, DIK_SLEEP},
    {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1}, {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN}, {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},
    {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL}, {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_LGUI, DIK_LWIN}, {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_RALT, DIK_RMENU}, {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_MUTE, DIK_MUTE}, {SDL_SCANCODE_AUDIOMUTE, DIK_MUTE}, {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
    {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN}, {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
    {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK}, {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP},
    {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE}, {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
    {SDL_SCANCODE_MAIL, DIK_MAIL}, {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR},
    {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER}, {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
    {SDL_SCANCODE_AC_HOME, DIK_WEBHOME}, {SDL_SCANCODE_AC_BACK, DIK_WEBBACK},
    {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD}, {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP},
    {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH}, {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES},
};

constexpr std::array<BYTE, SDL_NUM_SCANCODES> buildScancodeTable()
{
    std::array<BYTE, SDL_NUM_SCANCODES> table{};
    for (const ScancodePair& pair : scancodePairs)
        table[pair.scancode] = pair.dik;
    return table;
}
constexpr std::array<BYTE, SDL_NUM_SCANCODES> scancodeTable = buildScancodeTable();

constinit InputHub theHub;

}  // namespace

BYTE dikFromScancode(int scancode)
{
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return scancodeTable[static_cast<size_t>(scancode)];
}

int mouseButtonIndex(int sdlButton)
{
    // SDL numbers left, middle, right, X1, X2 as 1..5; DirectInput orders the
    // first three left, right, middle. Further buttons follow in order.
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return (sdlButton >= 6 && sdlButton <= 8) ? sdlButton - 1 : -1;
    }
}

InputHub& InputHub::get() { return theHub; }

bool InputHub::attach()
{
    if (users == 0) {
        if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
            std::fprintf(stderr, "DirectInput: SDL events cannot start: %s\n", SDL_GetError());
            return false;
        }
        // Keys and buttons already held when input starts count as down.
        std::memset(keys, 0, sizeof keys);
        int count = 0;
        const Uint8* sdlKeys = SDL_GetKeyboardState(&count);
        for (int scancode = 0; sdlKeys && scancode < count; ++scancode) {
            const BYTE dik = dikFromScancode(scancode);
            if (sdlKeys[scancode] && dik) keys[dik] = 0x80;
        }
        std::memset(buttons, 0, sizeof buttons);
        const Uint32 mask = SDL_GetMouseState(nullptr, nullptr);
        for (int button = 1; button <= 8; ++button) {
            const int index = mouseButtonIndex(button);
            if (index >= 0 && (mask & SDL_BUTTON(button))) buttons[index] = 0x80;
        }
        focusReported = false;
        focusedWindowId = 0;
        tvplat::addEventListener(&InputHub::onEvent, this);
    }
    ++users;
    return true;
}

void InputHub::detach()
{
    if (users <= 0) return;
    if (--users == 0) {
        tvplat::removeEventListener(&InputHub::onEvent, this);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }
}

void InputHub::addDevice(DirectInputDevice8* device)
{
    device->previous = nullptr;
    device->next = firstDevice;
    if (firstDevice) firstDevice->previous = device;
    firstDevice = device;
}

void InputHub::removeDevice(DirectInputDevice8* device)
{
    if (device->previous)
        device->previous->next = device->next;
    else if (firstDevice == device)
        firstDevice = device->next;
    if (device->next) device->next->previous = device->previous;
    device->next = device->previous = nullptr;
}

bool InputHub::windowHasFocus(HWND window) const
{
    SDL_Window* sdl = tvplat::sdlWindow(window);
    if (!sdl) return false;
    if (focusReported) return focusedWindowId != 0 && focusedWindowId == SDL_GetWindowID(sdl);
    SDL_Window* keyboardFocus = SDL_GetKeyboardFocus();
    return keyboardFocus == nullptr || keyboardFocus == sdl;
}

void InputHub::onEvent(const SDL_Event& event, void* user) { static_cast<InputHub*>(user)->handle(event); }

void InputHub::handle(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const BYTE dik = dikFromScancode(event.key.keysym.scancode);
        if (dik) keys[dik] = event.type == SDL_KEYDOWN ? 0x80 : 0;
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const int index = mouseButtonIndex(event.button.button);
        if (index >= 0) buttons[index] = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
        break;
    }
    case SDL_MOUSEMOTION:
        for (DirectInputDevice8* device = firstDevice; device; device = device->next)
            device->addMotion(event.motion.xrel, event.motion.yrel, 0);
        break;
    case SDL_MOUSEWHEEL: {
        // SDL's y is positive away from the user unless the direction is
        // flipped ("natural" scrolling); DirectInput's wheel is positive away.
        // Fine-grained wheels and touchpads report fractions of a notch.
        float notches = event.wheel.preciseY != 0.0f ? event.wheel.preciseY : static_cast<float>(event.wheel.y);
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        if (!std::isfinite(notches)) break;
        notches = std::clamp(notches, -1.0e6f, 1.0e6f);
        const int64_t units = std::llround(static_cast<double>(notches) * wheelNotch);
        for (DirectInputDevice8* device = firstDevice; device; device = device->next)
            device->addMotion(0, 0, units);
        break;
    }
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            focusReported = true;
            focusedWindowId = event.window.windowID;
            focusChanged();
        } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            focusReported = true;
            if (focusedWindowId == event.window.windowID) focusedWindowId = 0;
            // Releases that happen while another window has the focus never
            // reach us, so nothing may stay held down across a focus change.
            clearPressed();
            focusChanged();
        }
        break;
    default:
        break;
    }
}

void InputHub::clearPressed()
{
    std::memset(keys, 0, sizeof keys);
    std::memset(buttons, 0, sizeof buttons);
}

void InputHub::focusChanged()
{
    for (DirectInputDevice8* device = firstDevice; device; device = device->next)
        device->checkFocus();
}

}  // namespace tvdinput
