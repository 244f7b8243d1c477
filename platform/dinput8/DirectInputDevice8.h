// The system keyboard and the system mouse as DirectInput 8 devices.
#pragma once

#include <dinput.h>

#include <cstdint>

namespace tvdinput {

enum class DeviceKind { Keyboard, Mouse };

class DirectInputDevice8 final : public IDirectInputDevice8A {
public:
    // Holds a reference on the DirectInput object that created it, so the
    // creator may be released before its devices.
    DirectInputDevice8(IDirectInput8A* parent, DeviceKind kind);

    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;

    HRESULT WINAPI SetDataFormat(LPCDIDATAFORMAT lpdf) override;
    HRESULT WINAPI SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override;
    HRESULT WINAPI Acquire() override;
    HRESULT WINAPI Unacquire() override;
    HRESULT WINAPI GetDeviceState(DWORD cbData, LPVOID lpvData) override;
    HRESULT WINAPI Poll() override;

    // From the event listener: relative motion (mouse counts, wheel units).
    void addMotion(int64_t dx, int64_t dy, int64_t dz);
    // From the event listener: the focus moved; a foreground device whose
    // window lost it loses its acquisition.
    void checkFocus();

    DeviceKind kind() const { return deviceKind; }

    // Links of the listener's device list.
    DirectInputDevice8* next = nullptr;
    DirectInputDevice8* previous = nullptr;

private:
    ~DirectInputDevice8() override;

    bool foreground() const { return (cooperativeLevel & DISCL_FOREGROUND) != 0; }
    bool acceptsFormat(const DIDATAFORMAT& format) const;
    void fillMouseState(DIMOUSESTATE2& state);

    ULONG references = 1;
    IDirectInput8A* parent;
    DeviceKind deviceKind;
    const DIDATAFORMAT* format = nullptr;
    // Without SetCooperativeLevel a device is non-exclusive and background.
    DWORD cooperativeLevel = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    HWND window = nullptr;
    bool acquired = false;
    // Acquisition was taken away (focus lost); the next read says so once.
    bool inputLost = false;
    // Mouse motion since the last read or acquisition.
    int64_t motionX = 0;
    int64_t motionY = 0;
    int64_t motionZ = 0;
};

}  // namespace tvdinput
