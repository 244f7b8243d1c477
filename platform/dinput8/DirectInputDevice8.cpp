#include "dinput8/DirectInputDevice8.h"

#include "dinput8/InputHub.h"

#include <tarnvale_platform.h>

#include <cstring>
#include <limits>

namespace tvdinput {

namespace {

LONG clampToLong(int64_t value)
{
    if (value > std::numeric_limits<LONG>::max()) return std::numeric_limits<LONG>::max();
    if (value < std::numeric_limits<LONG>::min()) return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(value);
}

// A format matches one of the predefined ones when it is that object or a
// copy of it (applications may copy the structure before passing it).
bool sameFormat(const DIDATAFORMAT& a, const DIDATAFORMAT& b)
{
    return a.dwSize == b.dwSize && a.dwObjSize == b.dwObjSize && a.dwFlags == b.dwFlags &&
           a.dwDataSize == b.dwDataSize && a.dwNumObjs == b.dwNumObjs && a.rgodf == b.rgodf;
}

}  // namespace

DirectInputDevice8::DirectInputDevice8(IDirectInput8A* creator, DeviceKind kind)
    : parent(creator), deviceKind(kind)
{
    parent->AddRef();
    InputHub::get().addDevice(this);
}

DirectInputDevice8::~DirectInputDevice8()
{
    InputHub::get().removeDevice(this);
    parent->Release();
}

HRESULT WINAPI DirectInputDevice8::QueryInterface(REFIID riid, void** ppvObj)
{
    if (!ppvObj) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectInputDevice8A) {
        AddRef();
        *ppvObj = static_cast<IDirectInputDevice8A*>(this);
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI DirectInputDevice8::AddRef() { return ++references; }

ULONG WINAPI DirectInputDevice8::Release()
{
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

bool DirectInputDevice8::acceptsFormat(const DIDATAFORMAT& requested) const
{
    const DIDATAFORMAT& own = deviceKind == DeviceKind::Keyboard ? c_dfDIKeyboard : c_dfDIMouse2;
    return &requested == &own || sameFormat(requested, own);
}

HRESULT WINAPI DirectInputDevice8::SetDataFormat(LPCDIDATAFORMAT lpdf)
{
    if (!lpdf) return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    if (!acceptsFormat(*lpdf)) return DIERR_INVALIDPARAM;
    format = deviceKind == DeviceKind::Keyboard ? &c_dfDIKeyboard : &c_dfDIMouse2;
    return DI_OK;
}

HRESULT WINAPI DirectInputDevice8::SetCooperativeLevel(HWND hwnd, DWORD dwFlags)
{
    constexpr DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
    if (acquired) return DIERR_ACQUIRED;
    if (dwFlags & ~known) return DIERR_INVALIDPARAM;
    const bool exclusive = (dwFlags & DISCL_EXCLUSIVE) != 0;
    const bool nonExclusive = (dwFlags & DISCL_NONEXCLUSIVE) != 0;
    const bool isForeground = (dwFlags & DISCL_FOREGROUND) != 0;
    const bool background = (dwFlags & DISCL_BACKGROUND) != 0;
    if (exclusive == nonExclusive || isForeground == background) return DIERR_INVALIDPARAM;
    // The system keyboard and mouse cannot be held exclusively in the background.
    if (exclusive && background) return DIERR_UNSUPPORTED;
    // A foreground device follows its window's focus, so it needs one.
    if (isForeground && !hwnd) return DIERR_INVALIDPARAM;
    if (hwnd && !IsWindow(hwnd)) return E_HANDLE;
    cooperativeLevel = dwFlags;
    window = hwnd;
    return DI_OK;
}

HRESULT WINAPI DirectInputDevice8::Acquire()
{
    if (!format) return DIERR_INVALIDPARAM;
    if (acquired) return S_FALSE;
    if (foreground() && !InputHub::get().windowHasFocus(window)) return DIERR_OTHERAPPHASPRIO;
    acquired = true;
    inputLost = false;
    motionX = motionY = motionZ = 0;
    return DI_OK;
}

HRESULT WINAPI DirectInputDevice8::Unacquire()
{
    inputLost = false;
    if (!acquired) return DI_NOEFFECT;
    acquired = false;
    return DI_OK;
}

void DirectInputDevice8::checkFocus()
{
    if (acquired && foreground() && !InputHub::get().windowHasFocus(window)) {
        acquired = false;
        inputLost = true;
    }
}

void DirectInputDevice8::addMotion(int64_t dx, int64_t dy, int64_t dz)
{
    if (!acquired || deviceKind != DeviceKind::Mouse) return;
    motionX += dx;
    motionY += dy;
    motionZ += dz;
}

HRESULT WINAPI DirectInputDevice8::Poll()
{
    // The keyboard and mouse deliver their data without polling.
    checkFocus();
    if (inputLost) {
        inputLost = false;
        return DIERR_INPUTLOST;
    }
    return acquired ? DI_NOEFFECT : DIERR_NOTACQUIRED;
}

void DirectInputDevice8::fillMouseState(DIMOUSESTATE2& state)
{
    state.lX = clampToLong(motionX);
    state.lY = clampToLong(motionY);
    state.lZ = clampToLong(motionZ);
    std::memcpy(state.rgbButtons, InputHub::get().mouseButtons(), sizeof state.rgbButtons);
    motionX = motionY = motionZ = 0;
}

HRESULT WINAPI DirectInputDevice8::GetDeviceState(DWORD cbData, LPVOID lpvData)
{
    if (!lpvData) return DIERR_INVALIDPARAM;
    if (format && cbData != format->dwDataSize) return DIERR_INVALIDPARAM;

    // Drain SDL's queue so this read sees everything that has happened; the
    // listener updates key, button, motion and focus state as events pass.
    tvplat::pumpEvents();
    checkFocus();
    if (inputLost) {
        inputLost = false;
        return DIERR_INPUTLOST;
    }
    if (!acquired) return DIERR_NOTACQUIRED;

    if (deviceKind == DeviceKind::Keyboard) {
        std::memcpy(lpvData, InputHub::get().keyboardState(), 256);
    } else {
        DIMOUSESTATE2 state;
        fillMouseState(state);
        std::memcpy(lpvData, &state, sizeof state);
    }
    return DI_OK;
}

}  // namespace tvdinput
