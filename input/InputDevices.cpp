#include "input/InputDevices.h"

#include <cstring>

namespace {

// Derives one transition from a byte of the previous and the latest snapshot.
uint8_t nextTransition(uint8_t previousByte, uint8_t currentByte, uint8_t transition)
{
    if (currentByte != previousByte) return currentByte ? Pressed : Released;
    return transition == Pressed ? PressedLastPoll : Steady;
}

// Reads one device into its snapshot. A missing device leaves the snapshot
// empty; so does a failed read, so that keys and buttons never stay held down
// while the device cannot be read (for instance after the window lost the
// focus). A device that lost its acquisition is acquired again here, and is
// read on the next poll.
void readDevice(IDirectInputDevice8A* device, void* snapshot, DWORD size)
{
    if (!device) {
        std::memset(snapshot, 0, size);
        return;
    }
    const HRESULT result = device->GetDeviceState(size, snapshot);
    if (FAILED(result)) {
        std::memset(snapshot, 0, size);
        if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) device->Acquire();
    }
}

// Gives a device its data format and cooperative level and acquires it. A
// device that takes neither is unusable and is released; a failed
// acquisition is retried by later polls.
IDirectInputDevice8A* prepareDevice(IDirectInputDevice8A* device, const DIDATAFORMAT& format, HWND window,
                                    DWORD cooperativeLevel)
{
    if (!device) return nullptr;
    if (FAILED(device->SetDataFormat(&format)) || FAILED(device->SetCooperativeLevel(window, cooperativeLevel))) {
        device->Release();
        return nullptr;
    }
    device->Acquire();
    return device;
}

}  // namespace

InputDevices::InputDevices(HINSTANCE instance, HWND window)
    : instance(instance), window(window), directInput(nullptr), keyboard(nullptr), mouse(nullptr)
{
    createDevices();
}

InputDevices::~InputDevices()
{
    // The devices keep DirectInput alive until they go, so this order is safe.
    if (directInput) {
        directInput->Release();
        directInput = nullptr;
    }
    if (keyboard) {
        keyboard->Release();
        keyboard = nullptr;
    }
    if (mouse) {
        mouse->Release();
        mouse = nullptr;
    }
}

void InputDevices::createDevices()
{
    void* created = nullptr;
    if (SUCCEEDED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr)))
        directInput = static_cast<IDirectInput8A*>(created);

    if (directInput) {
        IDirectInputDevice8A* device = nullptr;
        if (FAILED(directInput->CreateDevice(GUID_SysKeyboard, &device, nullptr))) device = nullptr;
        keyboard = prepareDevice(device, c_dfDIKeyboard, window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);

        device = nullptr;
        if (FAILED(directInput->CreateDevice(GUID_SysMouse, &device, nullptr))) device = nullptr;
        mouse = prepareDevice(device, c_dfDIMouse2, window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    }

    std::memset(previousKeys, 0, sizeof previousKeys);
    std::memset(keys, 0, sizeof keys);
    std::memset(&previousMouse, 0, sizeof previousMouse);
    std::memset(&mouseState, 0, sizeof mouseState);
    std::memset(buttonTransitions, 0, sizeof buttonTransitions);
    std::memset(keyTransitions, 0, sizeof keyTransitions);
    previousMotion = motion = combinedMotion = MotionTriple{0, 0, 0};
}

void InputDevices::poll()
{
    std::memcpy(previousKeys, keys, sizeof keys);
    readDevice(keyboard, keys, sizeof keys);
    std::memcpy(&previousMouse, &mouseState, sizeof mouseState);
    readDevice(mouse, &mouseState, sizeof mouseState);

    for (int key = 0; key < 256; ++key)
        keyTransitions[key] = nextTransition(previousKeys[key], keys[key], keyTransitions[key]);

    // 32-bit wrap-around on addition, computed without signed overflow.
    const auto add = [](int32_t a, int32_t b) {
        return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
    };
    const MotionTriple latest{mouseState.lX, mouseState.lY, mouseState.lZ};
    combinedMotion = {add(previousMotion.x, latest.x), add(previousMotion.y, latest.y),
                      add(previousMotion.z, latest.z)};
    motion = latest;
    previousMotion = latest;

    for (int button = 0; button < 8; ++button)
        buttonTransitions[button] =
            nextTransition(previousMouse.rgbButtons[button], mouseState.rgbButtons[button], buttonTransitions[button]);
}
