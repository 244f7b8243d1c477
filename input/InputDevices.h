#pragma once

#include <windows.h>
#include <dinput.h>

#include <cstdint>

// Per-key and per-button transition state after a poll.
enum InputTransition : uint8_t {
    Steady = 0,
    Pressed = 1,
    PressedLastPoll = 2,
    Released = 3,
};

struct MotionTriple {
    int32_t x;
    int32_t y;
    int32_t z;
};

// Opens the system keyboard and mouse through DirectInput 8 and snapshots
// both once per frame, deriving key and button transitions and mouse motion.
class InputDevices {
public:
    InputDevices(HINSTANCE instance, HWND window);
    ~InputDevices();

    InputDevices(const InputDevices&) = delete;
    InputDevices& operator=(const InputDevices&) = delete;

    void poll();

    // Read-only view of the state, valid between polls.
    const uint8_t* keyState() const { return keys; }
    const uint8_t* previousKeyState() const { return previousKeys; }
    const DIMOUSESTATE2& currentMouse() const { return mouseState; }
    const DIMOUSESTATE2& previousMouseState() const { return previousMouse; }
    InputTransition keyTransition(int key) const { return static_cast<InputTransition>(keyTransitions[key & 0xFF]); }
    InputTransition buttonTransition(int button) const
    {
        return static_cast<InputTransition>(buttonTransitions[button & 7]);
    }
    const MotionTriple& currentMotion() const { return motion; }
    const MotionTriple& combined() const { return combinedMotion; }
    bool hasKeyboard() const { return keyboard != nullptr; }
    bool hasMouse() const { return mouse != nullptr; }

private:
    void createDevices();

    HINSTANCE instance;
    HWND window;
    IDirectInput8A* directInput;
    IDirectInputDevice8A* keyboard;
    IDirectInputDevice8A* mouse;
    uint8_t previousKeys[256];
    uint8_t keys[256];
    DIMOUSESTATE2 previousMouse;
    DIMOUSESTATE2 mouseState;
    uint8_t buttonTransitions[8];
    uint8_t keyTransitions[256];
    MotionTriple previousMotion;
    MotionTriple motion;
    MotionTriple combinedMotion;
};
