// The one SDL event listener behind every DirectInput object of the process:
// it keeps the keyboard and mouse-button state, follows the window focus and
// hands relative mouse motion to the mouse devices that are acquired.
#pragma once

#include <windows.h>

#include <SDL.h>

#include <cstdint>

namespace tvdinput {

class DirectInputDevice8;

class InputHub {
public:
    // Called once per DirectInput object. The first attach starts SDL's event
    // subsystem, seeds the state from what SDL already knows and registers the
    // listener with the shared event pump; the last detach undoes that.
    // Returns false when SDL's events cannot be started.
    bool attach();
    void detach();

    // Devices register so that motion and focus changes reach them.
    void addDevice(DirectInputDevice8* device);
    void removeDevice(DirectInputDevice8* device);

    // Key states indexed by DIK code, 0x80 while down.
    const BYTE* keyboardState() const { return keys; }
    // Mouse buttons in DIMOUSESTATE2 order (left, right, middle, X1, X2, ...).
    const BYTE* mouseButtons() const { return buttons; }

    // Whether a window counts as the focused (foreground) window.
    //  - Once a focus event has been seen, the last one decides.
    //  - Before that, SDL's keyboard focus decides when it names a window.
    //  - When SDL names no window either, the window counts as focused: the
    //    headless drivers (offscreen, dummy) and an X server without a window
    //    manager never hand out focus, and the program must still run there.
    // A handle that names no SDL window never has the focus.
    bool windowHasFocus(HWND window) const;

    // Number of attached DirectInput objects (for tests).
    int userCount() const { return users; }

    static InputHub& get();

private:
    static void onEvent(const SDL_Event& event, void* user);
    void handle(const SDL_Event& event);
    void focusChanged();
    void clearPressed();

    int users = 0;
    BYTE keys[256] = {};
    BYTE buttons[8] = {};
    bool focusReported = false;
    uint32_t focusedWindowId = 0;
    DirectInputDevice8* firstDevice = nullptr;
};

// The DIK code of an SDL scancode; 0 for keys DirectInput has no code for.
BYTE dikFromScancode(int scancode);
// The rgbButtons index of an SDL mouse button number; -1 beyond the eighth.
int mouseButtonIndex(int sdlButton);

}  // namespace tvdinput
