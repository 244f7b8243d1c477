// Placeholder: replaced by the real input devices.
#include "input/InputDevices.h"
#include <cstring>
InputDevices::InputDevices(HINSTANCE instance, HWND window) : instance(instance), window(window), directInput(nullptr), keyboard(nullptr), mouse(nullptr)
{
    std::memset(previousKeys, 0, sizeof previousKeys); std::memset(keys, 0, sizeof keys);
    std::memset(&previousMouse, 0, sizeof previousMouse); std::memset(&mouseState, 0, sizeof mouseState);
    std::memset(buttonTransitions, 0, sizeof buttonTransitions); std::memset(keyTransitions, 0, sizeof keyTransitions);
    previousMotion = motion = combinedMotion = MotionTriple{0, 0, 0};
}
InputDevices::~InputDevices() = default;
void InputDevices::poll() {}
void InputDevices::createDevices() {}
