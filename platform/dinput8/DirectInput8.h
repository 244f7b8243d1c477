// The DirectInput 8 object: the factory of the system keyboard and mouse.
#pragma once

#include <dinput.h>

namespace tvdinput {

class DirectInput8 final : public IDirectInput8A {
public:
    DirectInput8() = default;

    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;

    HRESULT WINAPI CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* lplpDirectInputDevice,
                                LPUNKNOWN pUnkOuter) override;

private:
    ~DirectInput8() override;

    ULONG references = 1;
};

}  // namespace tvdinput
