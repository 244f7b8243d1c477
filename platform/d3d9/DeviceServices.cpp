#include "DeviceServices.h"

#include "GlContext.h"

#include <tarnvale_platform.h>

DeviceServices::DeviceServices(IDirect3DDevice9* comDevice, HWND deviceWindow, SDL_Window* sdlWindow)
    : glState(counters), com(comDevice), window(deviceWindow), sdl(sdlWindow)
{
}

DeviceServices::~DeviceServices() = default;

bool DeviceServices::makeCurrent()
{
    if (windowLost || context == nullptr) return false;
    // The window may have been destroyed since; its SDL window with it. (The
    // software context stays current without it.)
    if (tvplat::sdlWindow(window) != sdl) {
        windowLost = true;
        return false;
    }
    return context->makeCurrent();
}

HRESULT DeviceServices::handOutDevice(IDirect3DDevice9** out) const
{
    if (out == nullptr) return D3DERR_INVALIDCALL;
    com->AddRef();
    *out = com;
    return D3D_OK;
}
