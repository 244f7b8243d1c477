#include "dinput8/DirectInput8.h"

#include "dinput8/DirectInputDevice8.h"
#include "dinput8/InputHub.h"

#include <new>

namespace tvdinput {

DirectInput8::~DirectInput8() { InputHub::get().detach(); }

HRESULT WINAPI DirectInput8::QueryInterface(REFIID riid, void** ppvObj)
{
    if (!ppvObj) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectInput8A) {
        AddRef();
        *ppvObj = static_cast<IDirectInput8A*>(this);
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI DirectInput8::AddRef() { return ++references; }

ULONG WINAPI DirectInput8::Release()
{
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT WINAPI DirectInput8::CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* lplpDirectInputDevice,
                                          LPUNKNOWN pUnkOuter)
{
    if (!lplpDirectInputDevice) return DIERR_INVALIDPARAM;
    *lplpDirectInputDevice = nullptr;
    if (pUnkOuter) return DIERR_NOAGGREGATION;

    DeviceKind kind;
    if (rguid == GUID_SysKeyboard)
        kind = DeviceKind::Keyboard;
    else if (rguid == GUID_SysMouse)
        kind = DeviceKind::Mouse;
    else
        return DIERR_DEVICENOTREG;

    DirectInputDevice8* device = new (std::nothrow) DirectInputDevice8(this, kind);
    if (!device) return DIERR_OUTOFMEMORY;
    *lplpDirectInputDevice = device;
    return DI_OK;
}

}  // namespace tvdinput

// The one interface version this layer implements (DirectInput 8.0).
static constexpr DWORD supportedVersion = 0x0800;

HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut, LPUNKNOWN punkOuter)
{
    if (!ppvOut) return DIERR_INVALIDPARAM;
    *ppvOut = nullptr;
    if (punkOuter) return DIERR_NOAGGREGATION;
    if (dwVersion < supportedVersion) return DIERR_OLDDIRECTINPUTVERSION;
    if (dwVersion > supportedVersion) return DIERR_BETADIRECTINPUTVERSION;
    if (riidltf != IID_IDirectInput8A) return DIERR_NOINTERFACE;

    if (!tvdinput::InputHub::get().attach()) return DIERR_GENERIC;
    tvdinput::DirectInput8* object = new (std::nothrow) tvdinput::DirectInput8();
    if (!object) {
        tvdinput::InputHub::get().detach();
        return DIERR_OUTOFMEMORY;
    }
    *ppvOut = static_cast<IDirectInput8A*>(object);
    return DI_OK;
}
